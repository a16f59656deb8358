#pragma once
// Statements that define the sand world: ELEMENT, the INTERACTION family,
// INTERACTIONREMOVE/CLEAR, DIECLEAR, ELEMENTSCLEAR, GROUP, NOBIAS, WIND, RESIZE,
// COUNT and CLOSEST.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseElement(StatementReader& reader);
ActionPtr parseInteraction(StatementReader& reader);
ActionPtr parseInteractionAt(StatementReader& reader);
ActionPtr parseInteractionTrigger(StatementReader& reader);
ActionPtr parseInteractionTriggerAt(StatementReader& reader);
ActionPtr parseInteractionRemove(StatementReader& reader);
ActionPtr parseInteractionClear(StatementReader& reader);
ActionPtr parseDieClear(StatementReader& reader);
ActionPtr parseElementsClear(StatementReader& reader);
ActionPtr parseGroup(StatementReader& reader);
ActionPtr parseNoBias(StatementReader& reader);
ActionPtr parseWind(StatementReader& reader);
ActionPtr parseResize(StatementReader& reader);
ActionPtr parseCount(StatementReader& reader);
ActionPtr parseClosest(StatementReader& reader);

}  // namespace ef2
