// The keywords of the script language and the parse function of each. A line
// whose first token is one of these words is that statement; the parse function
// reads the rest of the line (its grammar is the comment above it).

#include "script/parser.h"
#include "statements/control.h"
#include "statements/drawing.h"
#include "statements/files.h"
#include "statements/input.h"
#include "statements/interface.h"
#include "statements/listing.h"
#include "statements/messages.h"
#include "statements/network.h"
#include "statements/world_editing.h"

namespace ef2 {

const std::vector<Keyword>& keywordTable() {
    static const std::vector<Keyword> table = {
        {"Emberfall2", parseHeader},
        {"ERROR", parseErrorLine},
        {"TRIGGER", parseTriggerBlock},
        {"ON", parseOn},
        {"RETURN", parseReturn},
        {"EXIT", parseExit},
        {"RESTART", parseRestart},
        {"TIMER", parseTimer},
        {"LIST", parseList},
        {"SET", parseSet},
        {"Set", parseSet},
        {"INC", parseInc},
        {"GET", parseGet},
        {"WHILE", parseWhile},
        {"IF", parseIf},
        {"FOR", parseFor},
        {"EXEC", parseExec},
        {"REMOVETRIGGER", parseRemoveTrigger},
        {"KEYCODE", parseKeyCode},
        {"ELEMENT", parseElement},
        {"Element", parseElement},
        {"INTERACTION", parseInteraction},
        {"Interaction", parseInteraction},
        {"INTERACTIONAT", parseInteractionAt},
        {"InteractionAt", parseInteractionAt},
        {"INTERACTIONTRIGGER", parseInteractionTrigger},
        {"InteractionTrigger", parseInteractionTrigger},
        {"INTERACTIONTRIGGERAT", parseInteractionTriggerAt},
        {"InteractionTriggerAt", parseInteractionTriggerAt},
        {"INTERACTIONREMOVE", parseInteractionRemove},
        {"INTERACTIONCLEAR", parseInteractionClear},
        {"DIECLEAR", parseDieClear},
        {"ELEMENTSCLEAR", parseElementsClear},
        {"GROUP", parseGroup},
        {"Group", parseGroup},
        {"NOBIAS", parseNoBias},
        {"WIND", parseWind},
        {"RESIZE", parseResize},
        {"COUNT", parseCount},
        {"CLOSEST", parseClosest},
        {"DRAW", parseDraw},
        {"MENU", parseMenu},
        {"SUBMENU", parseSubmenu},
        {"STATUS", parseStatus},
        {"WRITE", parseWrite},
        {"SCROLL", parseScroll},
        // Files and messages.
        {"SAVE", parseSave},
        {"LOAD", parseLoad},
        {"FILE", parseFile},
        {"GETFILE", parseGetFile},
        {"INCLUDE", parseInclude},
        {"Include", parseInclude},
        {"SYSTEM", parseSystem},
        {"MESSAGE", parseMessage},
        {"Message", parseMessageLine},
        // Other instances.
        {"CONNECT", parseConnect},
        {"REMOTE", parseRemote},
        // ORDER: lines whose first word is no keyword are tried against these
        // in turn: a web address, then an assignment, then a trigger call.
        {"http://", parseWebAddressLine, KeywordForm::Prefix},
        {"=", parseAssignmentLine, KeywordForm::SecondWord},
        {"", parseBareCall, KeywordForm::AnyWord},
    };
    return table;
}

}  // namespace ef2
