#pragma once
// Statements that compose and use the message buffer and the string table:
// MESSAGE with its sixteen sub-commands, the Message box line and SYSTEM.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseMessage(StatementReader& reader);
ActionPtr parseMessageLine(StatementReader& reader);
ActionPtr parseSystem(StatementReader& reader);

}  // namespace ef2
