#pragma once
// LIST: printing the program's state (groups, elements, variables, rules,
// triggers, statements, timers, run counts) to the statement's origin.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseList(StatementReader& reader);

}  // namespace ef2
