#include "app/runtime.h"

#include "script/variables.h"
#include "statements/keyword_table.h"
#include "world/element_variables.h"
#include "world/physics.h"

namespace ef2 {

Runtime::Runtime()
    : ScriptContext(keywordTable()),
      elements(rebuildRequest, *this),
      world(variables, elements, rebuildRequest),
      network(*this) {
    interactionRunner_ = [this](Trigger* trigger, uint16_t acting, uint16_t neighbour, int x1, int y1, int x2,
                                int y2) {
        runInteractionTrigger(trigger, acting, neighbour, x1, y1, x2, y2);
    };
}

Runtime::~Runtime() = default;

void Runtime::printLine(std::string_view text, int32_t messageId) {
    if (messageId == 0) {
        console.print(text);
    } else {
        network.send(text, messageId);
    }
}

bool Runtime::peerMayReach(int32_t origin, int32_t target) {
    if (origin == 0 || target == 0 || target == origin) return true;
    printLine("Refused: connection " + std::to_string(origin) + " may not reach connection " +
                  std::to_string(target),
              0);
    return false;
}

bool Runtime::refusedForPeer(int32_t messageId, std::string_view what) {
    if (!actsForPeer(messageId)) return false;
    printLine("Refused " + std::string(what) + " for a network connection", 0);
    return true;
}

void Runtime::runReceivedLine(std::string_view line, int lineNumber, int32_t connectionId) {
    PeerRun peer(*this, true);
    parser.parseLine(line, lineNumber, connectionId, "Network");
}

void Runtime::reportLocally(std::string_view line) {
    printLine(line, 0);
}

void Runtime::reportLink(std::string_view line) {
    printLine(line, 0);
}

bool Runtime::askAboutLink(const std::string& text, const std::string& caption, int32_t origin) {
    const bool fromPeer = actsForPeer(origin);
    DialogShown shown = true;
    const bool yes =
        askYesNo(desktop, text, caption, fromPeer ? Asker::NetworkPeer : Asker::LocalScript, &shown);
    if (!shown) printLine("No box could be shown to ask \"" + caption + "\": taken as no", 0);
    return yes;
}

void Runtime::showLinkProgress(std::string_view line) {
    printLine(line, 0);
    if (showNow) showNow(line);
}

void Runtime::releaseStuckInput() {
    input.releaseAll();
    releaseStuckDesktopInput();
}

void Runtime::connectionClosed(int32_t connectionId) {
    parser.forgetOrigin(connectionId);
}

// ALLOWALLIPS exists from the start (the main program creates it first of all).
bool Runtime::allowAllAddresses() {
    if (!allowAllIps_) allowAllIps_ = variables.obtain("ALLOWALLIPS", 0, false);
    return allowAllIps_->value != 0;
}

const std::string* Runtime::stringSlot(int32_t index) const {
    const std::string& text = strings.get(index);
    return text.empty() ? nullptr : &text;
}

void Runtime::physicsStep() {
    ef2::physicsStep(world, random, interactionRunner_);
}

// INTERACTION1 and INTERACTION2 hold the two elements, X1 Y1 and X2 Y2 the two
// cells in framed coordinates.
void Runtime::runInteractionTrigger(Trigger* trigger, uint16_t acting, uint16_t neighbour, int x1, int y1,
                                    int x2, int y2) {
    InteractionVariables& v = interactionVariables_;
    if (!v.acting) {
        v = InteractionVariables{
            variables.obtain("INTERACTION1", 0, false), variables.obtain("INTERACTION2", 0, false),
            variables.obtain("X1", 0, false),           variables.obtain("Y1", 0, false),
            variables.obtain("X2", 0, false),           variables.obtain("Y2", 0, false)};
    }
    v.acting->value = acting;
    v.neighbour->value = neighbour;
    v.x1->value = x1;
    v.y1->value = y1;
    v.x2->value = x2;
    v.y2->value = y2;
    interpreter.runTrigger(trigger);
}

std::string Runtime::messageText() {
    return message.text();
}

std::optional<int32_t> Runtime::evaluateNumber(std::string_view text) {
    LookupResult result = lookupValue(*this, text);
    if (result.kind != ValueKind::Number) return std::nullopt;
    return result.value;
}

void Runtime::report(std::string_view line) {
    printLine(line, 0);
}

bool Runtime::inGroup(int32_t elementId, int32_t group) {
    const ElementGroup* members = elements.group(group);
    if (!members) return false;
    for (uint16_t member : members->members) {
        if (member == static_cast<uint32_t>(elementId)) return true;
    }
    return false;
}

bool Runtime::isWorldName(std::string_view name) {
    return isElementVariableName(name);
}

std::optional<LookupResult> Runtime::readWorldName(std::string_view name) {
    return readElementVariable(*this, elements, name);
}

bool Runtime::writeWorldName(std::string_view name, int32_t value, bool overwrite) {
    return writeElementVariable(*this, elements, name, value, overwrite);
}

}  // namespace ef2
