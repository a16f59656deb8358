#pragma once
// The base of every statement.
//
// A statement is parsed once from one script line and may run many times. It
// owns what it parsed (texts, expressions, parameter lists) and carries the
// origin of the text it came from (`messageId`: 0 for the local user, otherwise
// a network connection), so that its output goes back where the text came from.

#include <cstdint>
#include <memory>
#include <string>

namespace ef2 {

class ScriptContext;

class Action {
public:
    explicit Action(int32_t messageId = 0) : messageId(messageId) {}
    virtual ~Action() = default;
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

    virtual void execute(ScriptContext&) {}
    // The canonical one-line form, as listings and traces print it.
    virtual std::string text() const { return "NO ACTION"; }

    int32_t messageId;
};

// Statements are shared: several triggers may hold the same statement.
using ActionPtr = std::shared_ptr<Action>;

}  // namespace ef2
