#pragma once
// Names as the script language reads and writes them.
//
// Besides plain variables, a name may be an array element (`A[I]` names `A`
// followed by the value of `I`), a parameter (`$3`), a number literal, or a
// name the program gives a meaning of its own (element properties such as
// `ELEMENTWEIGHT:Sand`, groups such as `GROUP:Powders:2`), which the script
// context reads and writes. `getVariable` writes; `lookupValue` reads and
// never creates a variable.

#include <cstdint>
#include <string>
#include <string_view>

#include "script/variable_table.h"

namespace ef2 {

class ScriptContext;

enum class ValueKind : int { Nothing = 0, Number = 1, Text = 7 };

struct LookupResult {
    ValueKind kind = ValueKind::Nothing;
    int32_t value = 0;
    std::string text;  // ValueKind::Text only
};

// Gets or creates the variable `name` (see VariableTable::obtain). Array names
// are resolved first; a name of the program (an element property) gives
// nullptr and, with `overwrite`, writes the property instead.
Variable* getVariable(ScriptContext& context, std::string_view name, int32_t value, bool overwrite);

LookupResult lookupValue(ScriptContext& context, std::string_view name);

// The variable name an array name stands for now ("A[I]" -> "A2"), or the
// name itself when it has no brackets.
std::string resolveArrayName(ScriptContext& context, std::string_view name);
bool isArrayName(std::string_view name);

}  // namespace ef2
