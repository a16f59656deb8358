#pragma once
// Statements for variables, control flow, triggers and timers: SET (and the
// assignment form), INC, GET, RETURN, EXIT, RESTART, IF, WHILE, FOR, FOR EACH,
// EXEC (and the bare call), ON, TRIGGER, REMOVETRIGGER and TIMER.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseSet(StatementReader& reader);
ActionPtr parseInc(StatementReader& reader);
ActionPtr parseGet(StatementReader& reader);
ActionPtr parseReturn(StatementReader& reader);
ActionPtr parseExit(StatementReader& reader);
ActionPtr parseRestart(StatementReader& reader);
ActionPtr parseIf(StatementReader& reader);
ActionPtr parseWhile(StatementReader& reader);
ActionPtr parseFor(StatementReader& reader);
ActionPtr parseExec(StatementReader& reader);
ActionPtr parseOn(StatementReader& reader);
ActionPtr parseTriggerBlock(StatementReader& reader);
ActionPtr parseRemoveTrigger(StatementReader& reader);
ActionPtr parseTimer(StatementReader& reader);
ActionPtr parseHeader(StatementReader& reader);
ActionPtr parseErrorLine(StatementReader& reader);

// `name = expression` and, with AUTOEXEC set, `trigger [parameters]`: lines
// whose first word is no keyword, read from the line's first word on.
ActionPtr parseAssignmentLine(StatementReader& reader);
ActionPtr parseBareCall(StatementReader& reader);

}  // namespace ef2
