#pragma once
// The names through which scripts read and write elements and groups as if
// they were variables.
//
// `ELEMENTWEIGHT:Sand` (and SPRAY, SLIDE, VISCOUSITY, R, G, B, CUSTOMR1 to
// CUSTOMB3, DEATHRATE:i:name) read and write a property; `ELEMENTICONTYPE:`
// and `ELEMENTICONTEXT:` read an icon's texts, `ELEMENT:COUNT` the number of
// defined elements and `ELEMENT:name` an element's id. `GROUP:g` is a group's
// index, `GROUP:g:k` and `GROUPORDER:g:k` its k-th member and that member's
// key, `COUNT:GROUP:g` its size and `COUNT:GROUPS` the number of groups. The
// element or group in a name may be given as a number or variable; an unknown
// element name takes a new record. The program's script context answers
// through these (see script/script_context.h).

#include <cstdint>
#include <optional>
#include <string_view>

#include "script/variables.h"

namespace ef2 {

class ElementTable;
class ScriptContext;

// The names an expression looks up at every evaluation.
bool isElementVariableName(std::string_view name);

// The value a name stands for; nothing when it is not one of these names
// (or names a property that does not exist).
std::optional<LookupResult> readElementVariable(ScriptContext& context, ElementTable& elements,
                                                std::string_view name);

// True when `name` begins with "ELEMENT" and no variable may be made of it:
// without `overwrite` it is never written, with it the property was written.
// False for any other name, and for an "ELEMENT" name that names no property.
bool writeElementVariable(ScriptContext& context, ElementTable& elements, std::string_view name,
                          int32_t value, bool overwrite);

}  // namespace ef2
