#pragma once
// Statements that build the user interface: MENU, SUBMENU, STATUS, WRITE and
// SCROLL.

#include "script/parser.h"

namespace ef2 {

ActionPtr parseMenu(StatementReader& reader);
ActionPtr parseSubmenu(StatementReader& reader);
ActionPtr parseStatus(StatementReader& reader);
ActionPtr parseWrite(StatementReader& reader);
ActionPtr parseScroll(StatementReader& reader);

class Runtime;
// Writes text into the world as particles of `element`, with its baseline at y.
void writeText(Runtime& runtime, uint16_t element, int x, int y, int size, const std::string& text,
               bool centred);

}  // namespace ef2
