#pragma once
// The base of every statement class of the language.
//
// The script engine runs statements against its ScriptContext; the program's
// context is always its Runtime, so a statement is handed the Runtime and
// reaches every table of the program. Parse functions reach it through
// `runtimeOf(reader)`.

#include <memory>
#include <utility>

#include "app/runtime.h"
#include "script/action.h"
#include "script/parser.h"
#include "script/text_form.h"

namespace ef2 {

inline Runtime& runtimeOf(ScriptContext& context) {
    return static_cast<Runtime&>(context);
}
inline Runtime& runtimeOf(StatementReader& reader) {
    return runtimeOf(reader.context);
}

class Statement : public Action {
public:
    using Action::Action;
    void execute(ScriptContext& context) final {
        ScriptContext::PeerRun peer(context, byPeer);
        run(runtimeOf(context));
    }

protected:
    // What the statement does each time it runs.
    virtual void run(Runtime& runtime) = 0;
};

// A parse function's result: a new statement of class T.
template <typename T, typename... Args>
ActionPtr make(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
}

}  // namespace ef2
