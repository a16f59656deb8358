#include "statements/listing.h"

#include <cstdio>
#include <functional>

#include "statements/statement.h"
#include "world/rules_text.h"

namespace ef2 {

namespace {

enum class ListKind {
    Group = 1,
    Groups,
    Elements,
    Vars,
    Interactions,
    DieTos,
    ElementGroups,
    Triggers,
    Actions,
    Timers,
    TriggerExecs,
};

struct ListForm {
    std::string_view word;
    ListKind kind;
    bool takesArgument;
};

constexpr ListForm kListForms[] = {
    {"GROUP", ListKind::Group, true},
    {"GROUPS", ListKind::Groups, false},
    {"ELEMENTS", ListKind::Elements, false},
    {"VARS", ListKind::Vars, false},
    {"INTERACTIONS", ListKind::Interactions, true},
    {"DIETOS", ListKind::DieTos, true},
    {"ELEMENTGROUPS", ListKind::ElementGroups, true},
    {"TRIGGERS", ListKind::Triggers, false},
    {"ACTIONS", ListKind::Actions, true},
    {"TIMERS", ListKind::Timers, false},
    {"TRIGGEREXECS", ListKind::TriggerExecs, false},
};

// LIST kind [argument]
class ActionList : public Statement {
public:
    ActionList(const ListForm& form, std::string argument) : form_(form), argument_(std::move(argument)) {}

    void run(Runtime& runtime) override {
        auto print = [&](const std::string& line) { runtime.printLine(line, messageId); };
        print(header());
        listEntries(runtime, print);
        print("(END)");
        if (form_.kind == ListKind::TriggerExecs) {
            int32_t all = 0;
            for (const Trigger& trigger : runtime.interpreter.triggers().all()) {
                all = static_cast<int32_t>(static_cast<uint32_t>(all) +
                                           static_cast<uint32_t>(trigger.runCount));
            }
            print("(ALLEXECS) " + std::to_string(all));
        }
    }

    std::string text() const override {
        std::string result = "LIST " + std::string(form_.word);
        if (form_.takesArgument) result += " " + argument_;
        return result;
    }

private:
    using Print = std::function<void(const std::string&)>;

    std::string header() const {
        switch (form_.kind) {
            case ListKind::Group:
            case ListKind::Groups: return "(GROUP)";
            case ListKind::Elements: return "(ELEMENTS)";
            case ListKind::Vars: return "(VARS)";
            case ListKind::Interactions: return "(INTERACTIONS)";
            case ListKind::DieTos: return "(ELEMENTDIETOS:" + argument_ + ")";
            case ListKind::ElementGroups: return "(ELEMENTGROUP:" + argument_ + ")";
            case ListKind::Triggers: return "(TRIGGERS)";
            case ListKind::Actions: return "(ACTIONS:" + argument_ + ")";
            case ListKind::Timers: return "(TIMERS)";
            case ListKind::TriggerExecs: return "(TRIGGEREXECS)";
        }
        return {};
    }

    void listEntries(Runtime& runtime, const Print& print) const {
        ElementTable& elements = runtime.elements;
        switch (form_.kind) {
            case ListKind::Group: {
                const ElementGroup* group = elements.group(elements.findGroup(argument_, false));
                if (group) {
                    for (uint16_t member : group->members) print(elements.nameOf(member));
                }
                break;
            }
            case ListKind::Groups:
                for (int index = 0; index < elements.groupCount(); ++index)
                    print(elements.group(index)->name);
                break;
            case ListKind::Elements:
                for (int id = 2; id < elements.recordCount() && elements.get(id); ++id)
                    print(elements.nameOf(id));
                break;
            case ListKind::Vars:
                for (const Variable& variable : runtime.variables.all()) print(variable.name);
                break;
            case ListKind::Interactions: listInteractions(runtime, print); break;
            case ListKind::DieTos:
                if (const Element* element = elements.get(elements.idOfName(argument_, false))) {
                    for (const DeathRule& rule : element->deathRules) print(elements.nameOf(rule.target));
                }
                break;
            case ListKind::ElementGroups: {
                uint16_t id = elements.idOfName(argument_, false);
                for (int index = 0; index < elements.groupCount(); ++index) {
                    const ElementGroup* group = elements.group(index);
                    for (uint16_t member : group->members) {
                        if (member == id) print(group->name);
                    }
                }
                break;
            }
            case ListKind::Triggers:
                for (const Trigger& trigger : runtime.interpreter.triggers().all()) print(trigger.name);
                break;
            case ListKind::Actions: {
                TriggerRef trigger = runtime.interpreter.findTrigger(argument_, messageId);
                if (trigger) {
                    for (const ActionPtr& action : trigger.trigger->actions) print(action->text());
                }
                break;
            }
            case ListKind::Timers:
                runtime.timers.forEach([&](const TimerRecord& record) {
                    int32_t left = static_cast<int32_t>(record.due - runtime.timers.frameCounter());
                    print(std::to_string(left) + " " +
                          (record.trigger ? record.trigger->name : std::string()));
                });
                break;
            case ListKind::TriggerExecs:
                for (const Trigger& trigger : runtime.interpreter.triggers().all()) {
                    char count[16];
                    std::snprintf(count, sizeof count, "%10u", static_cast<unsigned>(trigger.runCount));
                    print(std::string(count) + " " + trigger.name);
                }
                break;
        }
    }

    void listInteractions(Runtime& runtime, const Print& print) const {
        ElementTable& elements = runtime.elements;
        uint16_t id = elements.idOfName(argument_, false);
        const Element* element = elements.get(id);
        if (!element) return;
        for (const Interaction& rule : element->interactions)
            print(interactionText(elements, rule, *element->name));
    }

    const ListForm& form_;
    std::string argument_;
};

}  // namespace

// LIST kind [argument]
ActionPtr parseList(StatementReader& reader) {
    std::optional<std::string> word = reader.next();
    if (!word) return nullptr;
    for (const ListForm& form : kListForms) {
        if (form.word != *word) continue;
        std::string argument;
        if (form.takesArgument) {
            std::optional<std::string> given = reader.next();
            if (!given) return nullptr;
            argument = *given;
        }
        if (!reader.atEnd()) return nullptr;
        return std::make_shared<ActionList>(form, argument);
    }
    return nullptr;
}

}  // namespace ef2
