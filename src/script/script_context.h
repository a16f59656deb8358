#pragma once
// The script engine as a whole, and what it needs from the program around it.
//
// A `ScriptContext` holds the engine's own parts: the variables, the parameter
// frames, the message buffer, the interpreter with its triggers, the parser
// and the timers. Everything else the language reaches (a line printed for an
// origin, random numbers, the world's cells, element and group names) it asks
// of the program through the pure virtual functions below, which the program
// implements (its `Runtime` does; a test may implement them itself). Nothing
// in script/ knows the program's other parts: script/ is the lowest layer.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "script/interpreter.h"
#include "script/message_buffer.h"
#include "script/parameter_stack.h"
#include "script/parser.h"
#include "script/timer_queue.h"
#include "script/variable_table.h"
#include "script/variables.h"

namespace ef2 {

class ScriptContext {
public:
    // `keywords` is the language's statement table; the program supplies it,
    // since the statements belong to the program.
    explicit ScriptContext(const std::vector<Keyword>& keywords);
    virtual ~ScriptContext();
    ScriptContext(const ScriptContext&) = delete;
    ScriptContext& operator=(const ScriptContext&) = delete;

    // Declaration order is construction order: the engine's parts refer to
    // each other and to the context, but use nothing while being built.
    VariableTable variables;
    ParameterStack parameters;
    MessageBuffer message;
    Interpreter interpreter;
    Parser parser;
    TimerQueue timers;

    // The one way to report a line: to the local console for origin 0,
    // otherwise back to the connection the text came from.
    virtual void printLine(std::string_view text, int32_t messageId) = 0;
    // The next number of the program's one random generator, 0 to
    // kChanceScale - 1.
    virtual int32_t randomNumber() = 0;
    // The element at interior cell (x, y) of the world; 0 outside it.
    virtual int32_t worldCell(int32_t x, int32_t y) = 0;
    // Whether element `elementId` is a member of group `group`; false for a
    // group that does not exist.
    virtual bool inGroup(int32_t elementId, int32_t group) = 0;

    // Names that stand for properties of the program rather than variables
    // (element properties, groups). `isWorldName` says, when an expression is
    // read, whether a name is one that must be looked up at every evaluation.
    virtual bool isWorldName(std::string_view name) = 0;
    // The value such a name stands for now; nothing when the name is not one
    // of them, and it is then read as a number or a variable.
    virtual std::optional<LookupResult> readWorldName(std::string_view name) = 0;
    // True when `name` is such a name and no variable may be made of it: the
    // property was written (only with `overwrite`) or the name is read-only
    // here. False when `name` is an ordinary variable name.
    virtual bool writeWorldName(std::string_view name, int32_t value, bool overwrite) = 0;

    // True while the program acts for a network peer: a peer's line, a
    // statement a peer wrote, or a timer a peer set is running. Statements
    // parsed and timers set meanwhile are the peer's as well, whatever origin
    // their output goes to, so no chain of triggers, timers and texts sent to
    // origin 0 turns a peer's wish into the local user's.
    bool actingForPeer() const { return peerRuns_ > 0; }

    // Counts a run on behalf of a peer for as long as it lives (nothing when
    // `forPeer` is false).
    class PeerRun {
    public:
        PeerRun(ScriptContext& context, bool forPeer) : runs_(forPeer ? &context.peerRuns_ : nullptr) {
            if (runs_) ++*runs_;
        }
        ~PeerRun() {
            if (runs_) --*runs_;
        }
        PeerRun(const PeerRun&) = delete;
        PeerRun& operator=(const PeerRun&) = delete;

    private:
        int* runs_;
    };

private:
    int peerRuns_ = 0;
};

}  // namespace ef2
