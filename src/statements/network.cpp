#include "statements/network.h"

#include "script/variables.h"
#include "statements/statement.h"

namespace ef2 {

namespace {

// CONNECT host port variable
class ActionConnect : public Statement {
public:
    ActionConnect(std::string host, std::unique_ptr<Expression> port, std::string variable)
        : host_(std::move(host)), port_(std::move(port)), variable_(std::move(variable)) {}

    void run(Runtime& runtime) override {
        const int32_t id = runtime.network.connect(host_, port_->evaluate(runtime));
        runtime.variables.obtain(variable_, 0, false)->value = id;
    }
    std::string text() const override {
        return "CONNECT " + quoted(host_) + " " + port_->text() + " " + quoted(variable_);
    }

private:
    std::string host_;
    std::unique_ptr<Expression> port_;
    std::string variable_;
};

enum class RemoteKind { Set = 1, Exec };

// REMOTE connection SET name value | REMOTE connection EXEC name
class ActionRemote : public Statement {
public:
    ActionRemote(RemoteKind kind, std::unique_ptr<Expression> connection, std::string name,
                 std::unique_ptr<Expression> value)
        : kind_(kind), connection_(std::move(connection)), name_(std::move(name)), value_(std::move(value)) {}

    void run(Runtime& runtime) override {
        const int32_t connection = connection_->evaluate(runtime);
        std::string line = kind_ == RemoteKind::Set
                               ? "SET " + quoted(name_) + " " + std::to_string(value_->evaluate(runtime))
                               : "EXEC " + quoted(name_);
        if (runtime.peerMayReach(messageId, connection)) runtime.printLine(line, connection);
    }
    std::string text() const override {
        std::string result = "REMOTE " + connection_->text();
        if (kind_ == RemoteKind::Set) return result + " SET " + quoted(name_) + " " + value_->text();
        return result + " EXEC " + quoted(name_);
    }

private:
    RemoteKind kind_;
    std::unique_ptr<Expression> connection_;
    std::string name_;
    std::unique_ptr<Expression> value_;
};

}  // namespace

// CONNECT host port variable
ActionPtr parseConnect(StatementReader& reader) {
    std::optional<std::string> host = reader.next();
    std::unique_ptr<Expression> port = reader.expression(reader.next());
    std::optional<std::string> variable = reader.next();
    if (!host || !port || !variable || !reader.atEnd()) return nullptr;
    return std::make_shared<ActionConnect>(std::move(*host), std::move(port), std::move(*variable));
}

// REMOTE connection SET name value | REMOTE connection EXEC name
ActionPtr parseRemote(StatementReader& reader) {
    std::unique_ptr<Expression> connection = reader.expression(reader.next());
    std::optional<std::string> kind = reader.next();
    std::optional<std::string> name = reader.next();
    if (!connection || !kind || !name) return nullptr;
    if (*kind == "SET") {
        std::unique_ptr<Expression> value = reader.expression(reader.next());
        if (!value || !reader.atEnd()) return nullptr;
        return std::make_shared<ActionRemote>(RemoteKind::Set, std::move(connection), std::move(*name),
                                              std::move(value));
    }
    if (*kind != "EXEC" || !reader.atEnd()) return nullptr;
    return std::make_shared<ActionRemote>(RemoteKind::Exec, std::move(connection), std::move(*name), nullptr);
}

}  // namespace ef2
