// The keywords of the script language and the parse function of each. A line
// whose first token is one of these words is that statement; the parse function
// reads the rest of the line (its grammar is the comment above it).

#include "script/parser.h"
#include "statements/control.h"
#include "statements/input.h"
#include "statements/listing.h"

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
    };
    return table;
}

}  // namespace ef2
