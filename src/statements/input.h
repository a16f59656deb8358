#pragma once
// KEYCODE: naming a key code for the KEY_ triggers.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseKeyCode(StatementReader& reader);

}  // namespace ef2
