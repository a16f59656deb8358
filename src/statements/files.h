#pragma once
// Statements that move data between files and memory: LOAD, SAVE, FILE,
// GETFILE and INCLUDE (with the line form "http://...").
//
// The exact word "MESSAGE" as a file name stands for the message buffer's
// text. File names pass the link check (platform/links.h) while the line is
// parsed and again when the statement runs; a refused name makes the statement
// do nothing.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseLoad(StatementReader& reader);
ActionPtr parseSave(StatementReader& reader);
ActionPtr parseFile(StatementReader& reader);
ActionPtr parseGetFile(StatementReader& reader);
ActionPtr parseInclude(StatementReader& reader);

// A line whose first word begins with "http://": an INCLUDE of that word.
ActionPtr parseWebAddressLine(StatementReader& reader);

}  // namespace ef2
