#include "app/runtime.h"

#include "script/variables.h"
#include "world/physics.h"

namespace ef2 {

Runtime::Runtime()
    : elements(rebuildRequest, *this),
      world(variables, elements, rebuildRequest),
      interpreter(*this),
      parser(*this),
      timers(*this) {}

Runtime::~Runtime() = default;

void Runtime::printLine(std::string_view text, int32_t messageId) {
    if (messageId == 0) console.print(text);
}

void Runtime::physicsStep() {
    static const InteractionTriggerRunner noTriggers;
    ef2::physicsStep(world, random, noTriggers);
}

std::string Runtime::messageText() { return message.text(); }

std::optional<int32_t> Runtime::evaluateNumber(std::string_view text) {
    LookupResult result = lookupValue(*this, text);
    if (result.kind != ValueKind::Number) return std::nullopt;
    return result.value;
}

void Runtime::report(std::string_view line) { printLine(line, 0); }

}  // namespace ef2
