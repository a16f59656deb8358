#include "script/interpreter.h"

#include <cstdio>

#include "script/coarse_clock.h"
#include "script/script_context.h"
#include "script/tokenizer.h"

namespace ef2 {

namespace {

// Keeps the nesting count right however a run ends.
struct NestingScope {
    NestingScope(int& depth, int& nesting) : depth(depth), nesting(nesting) {
        ++depth;
        ++nesting;
    }
    ~NestingScope() {
        --depth;
        --nesting;
    }
    int& depth;
    int& nesting;
};

// Pops the frame a call pushed, however the call ends.
struct FrameScope {
    FrameScope(Interpreter& interpreter, bool pushed) : interpreter(interpreter), pushed(pushed) {}
    ~FrameScope() {
        if (pushed) interpreter.popFrame();
    }
    Interpreter& interpreter;
    bool pushed;
};

}  // namespace

Interpreter::GuardScope::GuardScope(Interpreter& interpreter) : interpreter(interpreter) {
    interpreter.guardDepth_ = 1;
    interpreter.budget_ = interpreter.limits_.statements;
    interpreter.untilClockCheck_ = kClockCheckInterval;
    interpreter.passStarted_ = coarseMilliseconds();
    interpreter.guardFrames_ = interpreter.context_.parameters.depth();
}

void Interpreter::statementsSpent() const {
    throw RunawayScript{"more than " + std::to_string(limits_.statements) + " statements in one pass"};
}

void Interpreter::checkClock() {
    untilClockCheck_ = kClockCheckInterval;
    if (coarseMilliseconds() - passStarted_ > limits_.milliseconds) {
        throw RunawayScript{"more than " + std::to_string(limits_.milliseconds) +
                            " milliseconds in one pass"};
    }
}

Interpreter::TextNestingScope::TextNestingScope(Interpreter& interpreter) : interpreter_(interpreter) {
    if (interpreter_.textNesting_ >= kMaxTextNesting) {
        throw RunawayScript{"files and message lines nested more than " + std::to_string(kMaxTextNesting) +
                            " deep"};
    }
    ++interpreter_.textNesting_;
}

Interpreter::UntimedWait::UntimedWait(Interpreter& interpreter)
    : interpreter_(interpreter), started_(coarseMilliseconds()) {}

Interpreter::UntimedWait::~UntimedWait() {
    interpreter_.passStarted_ += coarseMilliseconds() - started_;
}

Interpreter::GuardScope::~GuardScope() {
    interpreter.guardDepth_ = 0;
    interpreter.triggers_.releaseRetired();
}

void Interpreter::abandon(const RunawayScript& runaway) {
    ParameterStack& parameters = context_.parameters;
    while (parameters.depth() > guardFrames_) parameters.pop();
    returnFlag_ = false;
    context_.printLine("Script stopped: " + runaway.reason + " (a runaway loop?)", 0);
}

void Interpreter::bindDebugVariables() {
    debugParameter_ = context_.variables.obtain("DEBUGPARAMETER", 0, false);
    debugVar_ = context_.variables.obtain("DEBUGVAR", 0, false);
    debugFrame_ = context_.variables.obtain("DEBUGFRAME", 0, false);
}

void Interpreter::noteOrigin(int32_t messageId) {
    if (!messageIdVariable_) messageIdVariable_ = context_.variables.obtain("MESSAGEID", 0, true);
    messageIdVariable_->value = messageId;
}

const Interpreter::ScanPosition& Interpreter::scanPosition() {
    if (!scanPosition_.x) {
        scanPosition_.x = context_.variables.obtain("FOREACHX", 0, true);
        scanPosition_.y = context_.variables.obtain("FOREACHY", 0, true);
    }
    return scanPosition_;
}

TriggerRef Interpreter::findTrigger(std::string_view name, int32_t messageId) {
    std::string message;
    if (name == "MESSAGE") {
        message = context_.message.text();
        name = message;
    }
    if (!name.empty() && name[0] == '<') {
        // The last character (normally '>') goes; the rest after '<' is the statement.
        std::string statementText(name.substr(1));
        if (!statementText.empty()) statementText.pop_back();
        Tokenizer tokens(statementText);
        ActionPtr statement = context_.parser.parseStatement(tokens, messageId);
        if (!statement) return {};
        auto anonymous = std::make_shared<Trigger>();
        anonymous->name = "NO NAME";
        anonymous->actions.push_back(std::move(statement));
        TriggerRef ref;
        ref.trigger = anonymous.get();
        ref.owned = std::move(anonymous);
        return ref;
    }
    TriggerRef ref;
    ref.trigger = triggers_.obtain(name);
    return ref;
}

void Interpreter::addActionToTrigger(std::string_view name, ActionPtr action, int32_t messageId) {
    TriggerRef ref = findTrigger(name, messageId);
    if (!ref) return;
    ref.trigger->actions.push_back(std::move(action));
}

void Interpreter::emptyTrigger(Trigger* trigger) {
    if (!trigger) return;
    triggers_.retire(std::move(trigger->actions));
    trigger->actions.clear();
    trigger->clearedAt = runSerial_;
}

int32_t Interpreter::runTrigger(Trigger* trigger) {
    if (!trigger) {
        // A loop around a statement that named no trigger still costs.
        if (guardDepth_ > 0) charge();
        return 0;
    }
    if (guardDepth_ == 0) {
        int32_t result = 0;
        guarded([&] { result = runTrigger(trigger); });
        return result;
    }
    charge();
    ++trigger->runCount;
    if (trigger->actions.empty()) return 0;
    if (!debugTrigger_) {
        debugTrigger_ = context_.variables.obtain("DEBUGTRIGGER", 0, true);
        debugAction_ = context_.variables.obtain("DEBUGACTION", 0, true);
    }
    if (nesting_ >= kMaxTriggerNesting) {
        throw RunawayScript{"triggers nested more than " + std::to_string(kMaxTriggerNesting) + " deep"};
    }
    NestingScope scope(depth_, nesting_);
    returnFlag_ = false;
    traceTrigger(trigger);
    return runStatements(trigger);
}

int32_t Interpreter::runStatements(Trigger* trigger) {
    if (trigger->actions.size() == 1) {
        Action& action = *trigger->actions.front();
        traceAction(action);
        action.execute(context_);
        return returnFlag_ ? returnValue_ : 0;
    }
    const int32_t serial = ++runSerial_;
    for (std::size_t index = 0; index < trigger->actions.size() && trigger->clearedAt < serial; ++index) {
        Action& action = *trigger->actions[index];
        traceAction(action);
        charge();
        action.execute(context_);
        if (returnFlag_) return returnValue_;
    }
    return 0;
}

void Interpreter::traceTrigger(const Trigger* trigger) const {
    if (debugTrigger_->value == 0) return;
    std::printf("%*s", depth_ * 2, "");
    if (trigger->name.empty()) {
        std::printf("executing trigger: noname, actions: %i\n", static_cast<int>(trigger->actions.size()));
    } else {
        std::printf("executing trigger: %s actions: %i\n", trigger->name.c_str(),
                    static_cast<int>(trigger->actions.size()));
    }
}

void Interpreter::traceAction(const Action& action) const {
    if (debugAction_->value == 0) return;
    std::printf("%*sexecuting action: messagid: %i action: %s\n", (depth_ + 1) * 2, "", action.messageId,
                action.text().c_str());
}

void Interpreter::traceFrame(const char* label, const ParameterFrame& frame) const {
    std::printf("%s %i %i %i %i %i %i %i %i %i %i\n", label, frame[0], frame[1], frame[2], frame[3], frame[4],
                frame[5], frame[6], frame[7], frame[8], frame[9]);
}

ParameterFrame Interpreter::buildFrame(const ParameterList& parameters) {
    ParameterFrame frame{};
    for (std::size_t slot = 0; slot < parameters.size() && slot < frame.size(); ++slot) {
        if (parameters[slot]) frame[slot] = parameters[slot]->evaluate(context_);
    }
    return frame;
}

bool Interpreter::pushFrame(const ParameterFrame& frame) {
    if (debugParameter_ && debugParameter_->value != 0) traceFrame("setting parameters   :", frame);
    if (!context_.parameters.push(frame)) {
        context_.printLine("PARAMETER ADD ERROR", 0);
        return false;
    }
    return true;
}

void Interpreter::popFrame() {
    ParameterStack& parameters = context_.parameters;
    if (!parameters.pop() || parameters.depth() == 0) {
        if (parameters.depth() == 0) context_.printLine("PARAMETER REMOVE ERROR", 0);
        return;
    }
    if (debugParameter_ && debugParameter_->value != 0)
        traceFrame("removing parameters to:", *parameters.top());
}

int32_t Interpreter::runWithParameters(Trigger* trigger, const ParameterList* parameters) {
    if (!parameters) return runTrigger(trigger);
    return runWithFrame(trigger, buildFrame(*parameters));
}

int32_t Interpreter::runWithFrame(Trigger* trigger, const ParameterFrame& frame) {
    FrameScope scope(*this, pushFrame(frame));
    return runTrigger(trigger);
}

}  // namespace ef2
