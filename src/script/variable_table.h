#pragma once
// The registry of named integers, the only data type of the script language.
//
// Owns every `Variable` for the whole run: records are created in order, never
// moved and never removed, so engine code fetches a `Variable*` once and reads
// or writes its value directly afterwards. This file knows nothing about the
// special names (arrays, element properties, groups); those are resolved by
// `getVariable` and `lookupValue` in variables.h.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ef2 {

struct Variable {
    std::string name;  // stored in full, whatever its length
    int32_t value = 0;
};

class VariableTable {
public:
    VariableTable() = default;
    VariableTable(const VariableTable&) = delete;
    VariableTable& operator=(const VariableTable&) = delete;

    // Exact, case-sensitive search; nullptr when no variable has that name.
    Variable* find(std::string_view name);

    // Plain get-or-create: a new variable starts with `value`; an existing one
    // takes `value` only when `overwrite` is set.
    Variable* obtain(std::string_view name, int32_t value, bool overwrite);

    // Creation order, as `LIST VARS` prints it.
    const std::deque<Variable>& all() const { return records_; }
    std::size_t size() const { return records_.size(); }

private:
    std::deque<Variable> records_;  // a deque never moves its elements
    std::unordered_map<std::string_view, Variable*> byName_;
};

// Many variables are created on first use (SCROLLX when the view first
// scrolls, ABSX when the mouse is first sampled): `slot` is bound to the
// variable, created with 0, the first time a caller needs it.
inline Variable* onFirstUse(VariableTable& table, Variable*& slot, std::string_view name) {
    if (!slot) slot = table.obtain(name, 0, false);
    return slot;
}

}  // namespace ef2
