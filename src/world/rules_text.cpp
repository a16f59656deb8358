#include "world/rules_text.h"

#include "script/text_form.h"
#include "script/trigger.h"

namespace ef2 {

std::string interactionText(const ElementTable& elements, const Interaction& rule,
                            const std::string& ownerName) {
    std::string chance = std::to_string(rule.chance);
    if (rule.trigger) {
        return "INTERACTIONTRIGGER " + quoted(ownerName) + " " + quoted(elements.nameOf(rule.partner)) + " " +
               quoted(rule.trigger->name) + " " + chance;
    }
    return "INTERACTION " + quoted(ownerName) + " " + quoted(elements.nameOf(rule.partner)) + " " +
           quoted(elements.nameOf(rule.ownerResult)) + " " + quoted(elements.nameOf(rule.partnerResult)) +
           " " + chance;
}

}  // namespace ef2
