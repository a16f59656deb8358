#pragma once
// The statement table of the script language, which the program hands to its
// script engine (see script/parser.h for the forms of its entries).

#include <vector>

#include "script/parser.h"

namespace ef2 {

// Every keyword of the language and the parse function of its statement,
// then the forms of the lines that begin with no keyword.
const std::vector<Keyword>& keywordTable();

}  // namespace ef2
