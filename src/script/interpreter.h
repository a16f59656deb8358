#pragma once
// Running triggers: the registry, the return protocol, parameter frames, debug
// traces and the guard against runaway scripts.
//
// `runTrigger` runs a trigger's statements in order. RETURN stores a value and
// sets the return flag; the flag stops every running trigger on the way out up
// to the first trigger-call expression or the event that started the chain.
// Callers with a parameter list push a frame of ten values for the callee
// (`runWithParameters`); callers without one let the callee see their frame.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/expression.h"
#include "script/parameter_stack.h"
#include "script/trigger.h"

namespace ef2 {

class ScriptContext;

// One timer pass, one event or one top-level statement may run at most this
// many statements and trigger calls, for at most this long. A script that
// keeps a timer re-running in the same pass, or a WHILE whose condition never
// falls, is stopped there with one console line instead of freezing the
// program for good. The time limit catches loops whose statements are slow
// (printing, drawing, resizing, files), which the count alone would let run
// for minutes. Time spent waiting for the person or for another program
// (dialogs, questions, SYSTEM) does not count.
constexpr int64_t kStatementBudget = 10'000'000;
constexpr int64_t kPassMilliseconds = 1000;
// The clock is read every this many statements, so a pass ends at most that
// many statements after its time is up.
constexpr int kClockCheckInterval = 16;

struct RunawayLimits {
    int64_t statements = kStatementBudget;
    int64_t milliseconds = kPassMilliseconds;
};
// Triggers calling triggers nest on the machine stack; deeper than this is a
// runaway recursion.
constexpr int kMaxTriggerNesting = 2000;

// Texts that run texts (INCLUDE, the script form of a world, MESSAGE EXEC,
// clipboard text) nest on the machine stack. A text nested deeper than this
// is a runaway, such as a file that includes itself: the pass that began it
// is stopped like any runaway script.
constexpr int kMaxTextNesting = 200;

// Thrown when a script exceeds the budget or a nesting limit; caught where
// the pass or event began.
struct RunawayScript {
    std::string reason;
};

class Interpreter {
public:
    explicit Interpreter(ScriptContext& context) : context_(context) {}
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    TriggerRegistry& triggers() { return triggers_; }

    // The trigger a name stands for: "MESSAGE" is the message text, "<...>" an
    // inline statement (a new anonymous trigger each time; none when it does
    // not parse), anything else a registered trigger, created when new.
    TriggerRef findTrigger(std::string_view name, int32_t messageId);
    void addActionToTrigger(std::string_view name, ActionPtr action, int32_t messageId);
    // Empties a trigger (REMOVETRIGGER): a run of it in progress stops after
    // the current statement.
    void emptyTrigger(Trigger* trigger);

    int32_t runTrigger(Trigger* trigger);
    // With parameters, runs the trigger in a new frame built from them;
    // without, in the caller's frame.
    int32_t runWithParameters(Trigger* trigger, const ParameterList* parameters);
    int32_t runWithFrame(Trigger* trigger, const ParameterFrame& frame);
    ParameterFrame buildFrame(const ParameterList& parameters);
    // Frame pushes and pops with their console errors and debug traces.
    bool pushFrame(const ParameterFrame& frame);
    void popFrame();

    bool returnFlag() const { return returnFlag_; }
    int32_t returnValue() const { return returnValue_; }
    void setReturn(int32_t value) {
        returnValue_ = value;
        returnFlag_ = true;
    }
    void clearReturn() { returnFlag_ = false; }
    int32_t runSerial() const { return runSerial_; }

    // SET, INC, GET and IF tell scripts where they came from through MESSAGEID.
    void noteOrigin(int32_t messageId);

    // FOREACHX and FOREACHY: one pair shared by every FOR EACH, created (and
    // set to 0) by the first scan of the run.
    struct ScanPosition {
        Variable* x = nullptr;
        Variable* y = nullptr;
    };
    const ScanPosition& scanPosition();

    // Binds DEBUGPARAMETER, DEBUGVAR and DEBUGFRAME (the main program creates them).
    void bindDebugVariables();
    const Variable* debugVar() const { return debugVar_; }
    const Variable* debugFrame() const { return debugFrame_; }

    // Runs `body` as one pass under the statement budget. Nested calls join the
    // pass already running. A runaway pass is abandoned with one console line.
    template <typename Body>
    void guarded(Body&& body) {
        guarded(std::forward<Body>(body), [] {});
    }
    // As above; `onRunaway` runs first when the pass is abandoned.
    template <typename Body, typename OnRunaway>
    void guarded(Body&& body, OnRunaway&& onRunaway) {
        if (guardDepth_ > 0) {
            body();
            return;
        }
        GuardScope scope(*this);
        try {
            body();
        } catch (const RunawayScript& runaway) {
            onRunaway();
            abandon(runaway);
        }
    }
    void charge() {
        if (--budget_ < 0) statementsSpent();
        if (--untilClockCheck_ == 0) checkClock();
    }

    // Tests and fuzzing lower the limits; they apply from the next pass on.
    void setRunawayLimits(const RunawayLimits& limits) { limits_ = limits; }
    const RunawayLimits& runawayLimits() const { return limits_; }

    // While one lives, a text runs within a text (see kMaxTextNesting).
    class TextNestingScope {
    public:
        // Throws RunawayScript when the limit is passed.
        explicit TextNestingScope(Interpreter& interpreter);
        ~TextNestingScope() { --interpreter_.textNesting_; }
        TextNestingScope(const TextNestingScope&) = delete;
        TextNestingScope& operator=(const TextNestingScope&) = delete;

    private:
        Interpreter& interpreter_;
    };

    // While one lives, the pass's time stands still: the statement is
    // waiting for the person or for another program, not looping.
    class UntimedWait {
    public:
        explicit UntimedWait(Interpreter& interpreter);
        ~UntimedWait();
        UntimedWait(const UntimedWait&) = delete;
        UntimedWait& operator=(const UntimedWait&) = delete;

    private:
        Interpreter& interpreter_;
        int64_t started_;
    };

private:
    [[noreturn]] void statementsSpent() const;
    void checkClock();
    struct GuardScope {
        explicit GuardScope(Interpreter& interpreter);
        ~GuardScope();
        Interpreter& interpreter;
    };
    void abandon(const RunawayScript& runaway);
    int32_t runStatements(Trigger* trigger);
    void traceTrigger(const Trigger* trigger) const;
    void traceAction(const Action& action) const;
    void traceFrame(const char* label, const ParameterFrame& frame) const;

    ScriptContext& context_;
    TriggerRegistry triggers_;
    bool returnFlag_ = false;
    int32_t returnValue_ = 0;
    int32_t runSerial_ = 0;
    int depth_ = -1;  // nesting, for the indentation of traces
    int nesting_ = 0;
    int textNesting_ = 0;
    Variable* debugTrigger_ = nullptr;
    Variable* debugAction_ = nullptr;
    Variable* debugParameter_ = nullptr;
    Variable* debugVar_ = nullptr;
    Variable* debugFrame_ = nullptr;
    Variable* messageIdVariable_ = nullptr;
    ScanPosition scanPosition_;
    int guardDepth_ = 0;
    RunawayLimits limits_;
    int64_t budget_ = kStatementBudget;
    int untilClockCheck_ = kClockCheckInterval;
    int64_t passStarted_ = 0;
    int guardFrames_ = 0;
};

}  // namespace ef2
