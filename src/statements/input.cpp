#include "statements/input.h"

#include "statements/statement.h"

namespace ef2 {

namespace {

// KEYCODE code name
class ActionKey : public Statement {
public:
    ActionKey(std::unique_ptr<Expression> code, std::string name)
        : code_(std::move(code)), name_(std::move(name)) {}
    void run(Runtime& runtime) override { runtime.keyNames.defineKeyName(name_, code_->evaluate(runtime)); }
    std::string text() const override { return "KEYCODE " + code_->text() + " " + name_; }

private:
    std::unique_ptr<Expression> code_;
    std::string name_;
};

}  // namespace

// KEYCODE code name
ActionPtr parseKeyCode(StatementReader& reader) {
    std::unique_ptr<Expression> code = reader.expression(reader.next());
    std::optional<std::string> name = reader.next();
    if (!code || !name || !reader.atEnd()) return nullptr;
    return std::make_shared<ActionKey>(std::move(code), *name);
}

}  // namespace ef2
