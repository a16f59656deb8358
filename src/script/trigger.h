#pragma once
// Triggers: named lists of statements that run on events, and the registry
// that finds or creates them by name.
//
// Triggers are created on first mention and never removed; emptying one keeps
// the record. The anonymous one-statement trigger of an inline `<statement>` is
// not registered: the statement that named it owns it.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/action.h"

namespace ef2 {

struct Trigger {
    std::string name;
    std::vector<ActionPtr> actions;
    int32_t runCount = 0;
    int32_t clearedAt = 0;  // run serial at which it was last emptied
};

// A trigger a statement refers to, with ownership when it is anonymous.
struct TriggerRef {
    Trigger* trigger = nullptr;
    std::shared_ptr<Trigger> owned;  // set for inline triggers only
    explicit operator bool() const { return trigger != nullptr; }
    const std::string& name() const;
};

class TriggerRegistry {
public:
    // Exact, case-sensitive; nullptr when there is no such trigger.
    Trigger* find(std::string_view name);
    Trigger* obtain(std::string_view name);
    const std::deque<Trigger>& all() const { return triggers_; }

    // Statements dropped by emptying a trigger stay alive until no trigger is
    // running, because the statement doing the emptying may be one of them.
    void retire(std::vector<ActionPtr>&& actions);
    void releaseRetired() { retired_.clear(); }

private:
    std::deque<Trigger> triggers_;
    std::unordered_map<std::string_view, Trigger*> byName_;
    std::vector<ActionPtr> retired_;
};

}  // namespace ef2
