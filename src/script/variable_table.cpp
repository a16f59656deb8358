#include "script/variable_table.h"

namespace ef2 {

Variable* VariableTable::find(std::string_view name) {
    auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
}

Variable* VariableTable::obtain(std::string_view name, int32_t value, bool overwrite) {
    if (Variable* existing = find(name)) {
        if (overwrite) existing->value = value;
        return existing;
    }
    Variable& created = records_.emplace_back(Variable{std::string(name), value});
    // The key views the record's own name, which lives as long as the record.
    byName_.emplace(std::string_view(created.name), &created);
    return &created;
}

}  // namespace ef2
