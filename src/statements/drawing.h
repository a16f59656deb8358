#pragma once
// DRAW: one shape, a list of points, or a small picture written as text rows.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseDraw(StatementReader& reader);

}  // namespace ef2
