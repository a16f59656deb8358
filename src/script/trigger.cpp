#include "script/trigger.h"

namespace ef2 {

const std::string& TriggerRef::name() const {
    static const std::string none;
    return trigger ? trigger->name : none;
}

Trigger* TriggerRegistry::find(std::string_view name) {
    auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
}

Trigger* TriggerRegistry::obtain(std::string_view name) {
    if (Trigger* existing = find(name)) return existing;
    Trigger& created = triggers_.emplace_back();
    created.name = std::string(name);
    byName_.emplace(std::string_view(created.name), &created);
    return &created;
}

void TriggerRegistry::retire(std::vector<ActionPtr>&& actions) {
    for (ActionPtr& action : actions) retired_.push_back(std::move(action));
    actions.clear();
}

}  // namespace ef2
