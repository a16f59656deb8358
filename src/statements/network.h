#pragma once
// Statements that drive other instances over the network: CONNECT opens a
// connection, REMOTE sets a variable or runs a trigger at its other end.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseConnect(StatementReader& reader);
ActionPtr parseRemote(StatementReader& reader);

}  // namespace ef2
