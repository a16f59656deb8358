#pragma once
// Names as the script language reads and writes them.
//
// Besides plain variables, a name may be an array element (`A[I]` names `A`
// followed by the value of `I`), an element property (`ELEMENTWEIGHT:Sand`), a
// group pseudo-variable (`GROUP:Powders:2`, `COUNT:GROUP:Powders`), a
// parameter (`$3`) or a number literal. `getVariable` writes; `lookupValue`
// reads and never creates a variable.

#include <cstdint>
#include <string>
#include <string_view>

#include "script/variable_table.h"

namespace ef2 {

class Runtime;

enum class ValueKind : int { Nothing = 0, Number = 1, Text = 7 };

struct LookupResult {
    ValueKind kind = ValueKind::Nothing;
    int32_t value = 0;
    std::string text;  // ValueKind::Text only
};

// Gets or creates the variable `name` (see VariableTable::obtain). Array names
// are resolved first; an element property name gives nullptr and, with
// `overwrite`, writes the property instead.
Variable* getVariable(Runtime& runtime, std::string_view name, int32_t value, bool overwrite);

LookupResult lookupValue(Runtime& runtime, std::string_view name);

// The variable name an array name stands for now ("A[I]" -> "A2"), or the
// name itself when it has no brackets.
std::string resolveArrayName(Runtime& runtime, std::string_view name);
bool isArrayName(std::string_view name);

}  // namespace ef2
