#pragma once
// The base of every statement.
//
// A statement is parsed once from one script line and may run many times. It
// owns what it parsed (texts, expressions, parameter lists) and carries the
// origin of the text it came from (`messageId`: 0 for the local user, otherwise
// a network connection), so that its output goes back where the text came from.
// Whether a peer wrote it is kept apart (`byPeer`): a peer may send text to
// origin 0 (`MESSAGE EXEC 0`, a world script it saved), and what that text
// defines must not gain the local user's rights.

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
    // Parsed while the program acted for a network peer; it acts for one
    // whenever it runs, whoever runs it.
    bool byPeer = false;
};

// Statements are shared: several triggers may hold the same statement.
using ActionPtr = std::shared_ptr<Action>;

}  // namespace ef2
