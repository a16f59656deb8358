#include "statements/control.h"

#include "app/exit_request.h"
#include "platform/links.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "script/tokenizer.h"
#include "script/variables.h"
#include "statements/statement.h"

namespace ef2 {

namespace {

// The variable an assignment writes: bound on the first run when it is a plain
// name, otherwise looked up by name on every run (array and element names).
class AssignmentTarget {
public:
    explicit AssignmentTarget(std::string name) : name_(std::move(name)) {}

    void bind(Runtime& runtime) {
        if (bound_) return;
        bound_ = true;
        if (name_.find('[') == std::string::npos) variable_ = getVariable(runtime, name_, 0, false);
    }
    void store(Runtime& runtime, int32_t value) {
        if (variable_) {
            variable_->value = value;
        } else {
            getVariable(runtime, name_, value, true);
        }
    }
    Variable* variable() const { return variable_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    bool bound_ = false;
    Variable* variable_ = nullptr;
};

// SET name expression
class ActionSetVar : public Statement {
public:
    ActionSetVar(std::string name, std::unique_ptr<Expression> value)
        : target_(std::move(name)), value_(std::move(value)) {}
    void run(Runtime& runtime) override {
        target_.bind(runtime);
        runtime.interpreter.noteOrigin(messageId);
        target_.store(runtime, value_->evaluate(runtime));
    }
    std::string text() const override { return "SET " + quoted(target_.name()) + " " + value_->text(); }

private:
    AssignmentTarget target_;
    std::unique_ptr<Expression> value_;
};

// INC name
class ActionInc : public Statement {
public:
    ActionInc(ScriptContext& context, std::string name)
        : current_(std::make_unique<Expression>(context, name)), target_(std::move(name)) {}
    void run(Runtime& runtime) override {
        target_.bind(runtime);
        runtime.interpreter.noteOrigin(messageId);
        if (Variable* variable = target_.variable()) {
            variable->value = static_cast<int32_t>(static_cast<uint32_t>(variable->value) + 1u);
        } else {
            int32_t next = static_cast<int32_t>(static_cast<uint32_t>(current_->evaluate(runtime)) + 1u);
            getVariable(runtime, target_.name(), next, true);
        }
    }
    std::string text() const override { return "INC " + quoted(target_.name()); }

private:
    std::unique_ptr<Expression> current_;
    AssignmentTarget target_;
};

// GET name
class ActionGetVar : public Statement {
public:
    explicit ActionGetVar(std::string name) : name_(std::move(name)) {}
    void run(Runtime& runtime) override {
        runtime.interpreter.noteOrigin(messageId);
        LookupResult result = lookupValue(runtime, name_);
        std::string line = "[" + name_ + "] ";
        switch (result.kind) {
            case ValueKind::Number: line += std::to_string(result.value); break;
            case ValueKind::Text: line += result.text; break;
            case ValueKind::Nothing: line += "0"; break;
        }
        runtime.printLine(line, messageId);
    }
    std::string text() const override { return "GET " + quoted(name_); }

private:
    std::string name_;
};

// RETURN expression
class ActionReturn : public Statement {
public:
    explicit ActionReturn(std::unique_ptr<Expression> value) : value_(std::move(value)) {}
    void run(Runtime& runtime) override { runtime.interpreter.setReturn(value_->evaluate(runtime)); }
    std::string text() const override { return "RETURN " + value_->text(); }

private:
    std::unique_ptr<Expression> value_;
};

// EXIT
class ActionExit : public Statement {
public:
    void run(Runtime&) override { throw ExitRequest{0}; }
    std::string text() const override { return "EXIT"; }
};

// RESTART [argument]
class ActionRestart : public Statement {
public:
    explicit ActionRestart(std::optional<std::string> argument) : argument_(std::move(argument)) {}
    // The new run keeps this run's window mode, folder and network options.
    // The words become its file arguments, never options ("--" ends the
    // options), and each must be a name a statement may use. A restart asked
    // for by a network peer is put to the person at the toy.
    void run(Runtime& runtime) override {
        std::vector<std::string> arguments{programPath()};
        arguments.insert(arguments.end(), runtime.restartOptions.begin(), runtime.restartOptions.end());
        arguments.push_back("--");
        for (std::string& word : splitWords(argument_.value_or(""))) {
            if (!fileNameAllowed(word, LinkRules::Strict)) {
                runtime.printLine("Refused file name " + quoted(word), 0);
                return;
            }
            arguments.push_back(std::move(word));
        }
        if (runtime.actsForPeer(messageId) &&
            !askYesNo(runtime.desktop,
                      "A network connection asks to restart the program" +
                          (argument_ ? " with " + *argument_ : std::string()) + ".",
                      "Restart?", Asker::NetworkPeer)) {
            runtime.printLine("Refused RESTART for a network connection", 0);
            return;
        }
        // The new run takes over the port.
        runtime.network.closeAll();
        runProgram(arguments, true);
        throw ExitRequest{0};
    }
    std::string text() const override { return argument_ ? "RESTART " + quoted(*argument_) : "RESTART"; }

private:
    std::optional<std::string> argument_;
};

// IF condition trigger [parameters] | IF condition trigger ELSE trigger
class ActionIf : public Statement, public ElseBranch {
public:
    ActionIf(std::unique_ptr<Expression> condition, TriggerRef then,
             std::unique_ptr<ParameterList> parameters)
        : condition_(std::move(condition)), then_(std::move(then)), parameters_(std::move(parameters)) {}
    void setElse(TriggerRef otherwise) override { else_ = std::move(otherwise); }
    void run(Runtime& runtime) override {
        runtime.interpreter.noteOrigin(messageId);
        if (condition_->evaluate(runtime) != 0) {
            runtime.interpreter.runWithParameters(then_.trigger, parameters_.get());
        } else if (else_) {
            runtime.interpreter.runTrigger(else_.trigger);
        }
    }
    std::string text() const override {
        std::string result = "IF " + condition_->text() + " " + quoted(then_.name());
        if (else_) result += " ELSE " + quoted(else_.name());
        return result;
    }

private:
    std::unique_ptr<Expression> condition_;
    TriggerRef then_;
    TriggerRef else_;
    std::unique_ptr<ParameterList> parameters_;
};

// WHILE condition trigger [parameters]
class ActionWhile : public Statement {
public:
    ActionWhile(std::unique_ptr<Expression> condition, TriggerRef body,
                std::unique_ptr<ParameterList> parameters)
        : condition_(std::move(condition)), body_(std::move(body)), parameters_(std::move(parameters)) {}
    void run(Runtime& runtime) override {
        while (condition_->evaluate(runtime) != 0) {
            runtime.interpreter.runWithParameters(body_.trigger, parameters_.get());
        }
    }
    std::string text() const override { return "WHILE " + condition_->text() + " " + quoted(body_.name()); }

private:
    std::unique_ptr<Expression> condition_;
    TriggerRef body_;
    std::unique_ptr<ParameterList> parameters_;
};

// FOR name FROM start TO|DOWNTO limit [STEP step] DO trigger [parameters]
class ActionFor : public Statement {
public:
    ActionFor(bool down, std::string name, std::unique_ptr<Expression> start,
              std::unique_ptr<Expression> limit, std::unique_ptr<Expression> step, TriggerRef body,
              std::unique_ptr<ParameterList> parameters)
        : down_(down),
          name_(std::move(name)),
          start_(std::move(start)),
          limit_(std::move(limit)),
          step_(std::move(step)),
          body_(std::move(body)),
          parameters_(std::move(parameters)) {}

    void run(Runtime& runtime) override {
        Variable* counter = getVariable(runtime, name_, 0, true);
        int32_t limit = limit_->evaluate(runtime);
        int32_t step = step_ ? step_->evaluate(runtime) : 1;
        int32_t start = start_->evaluate(runtime);
        if (!counter) return;  // an element property cannot count
        counter->value = start;
        // The trigger may move the counter; the next value comes from it.
        while (down_ ? counter->value >= limit : counter->value <= limit) {
            runtime.interpreter.runWithParameters(body_.trigger, parameters_.get());
            uint32_t next = down_ ? static_cast<uint32_t>(counter->value) - static_cast<uint32_t>(step)
                                  : static_cast<uint32_t>(counter->value) + static_cast<uint32_t>(step);
            counter->value = static_cast<int32_t>(next);
        }
    }
    std::string text() const override {
        return "FOR " + quoted(name_) + " FROM " + start_->text() + (down_ ? " DOWNTO " : " TO ") +
               limit_->text() + " DO " + quoted(body_.name());
    }

private:
    bool down_;
    std::string name_;
    std::unique_ptr<Expression> start_, limit_, step_;
    TriggerRef body_;
    std::unique_ptr<ParameterList> parameters_;
};

// FOR EACH element DO trigger [parameters]
class ActionForEach : public Statement {
public:
    ActionForEach(std::unique_ptr<Expression> element, TriggerRef body,
                  std::unique_ptr<ParameterList> parameters)
        : element_(std::move(element)), body_(std::move(body)), parameters_(std::move(parameters)) {}

    void run(Runtime& runtime) override {
        const Interpreter::ScanPosition& position = runtime.interpreter.scanPosition();
        int32_t element = element_->evaluate(runtime);
        World& world = runtime.world;
        const int width = world.width(), height = world.height();
        // Cells are read as the scan reaches them, so changes ahead are seen.
        for (int y = 1; y <= height; ++y) {
            for (int x = 1; x <= width; ++x) {
                if (world.interiorCell(x, y) != element) continue;
                position.x->value = x;
                position.y->value = y;
                runtime.interpreter.runWithParameters(body_.trigger, parameters_.get());
            }
        }
    }
    std::string text() const override {
        return "FOR EACH " + element_->text() + " DO " + quoted(body_.name());
    }

private:
    std::unique_ptr<Expression> element_;
    TriggerRef body_;
    std::unique_ptr<ParameterList> parameters_;
};

// EXEC trigger [parameters], and the bare call
class ActionExec : public Statement {
public:
    ActionExec(TriggerRef target, std::unique_ptr<ParameterList> parameters)
        : target_(std::move(target)), parameters_(std::move(parameters)) {}
    void run(Runtime& runtime) override {
        runtime.interpreter.runWithParameters(target_.trigger, parameters_.get());
    }
    std::string text() const override { return "EXEC " + quoted(target_.name()); }

private:
    TriggerRef target_;
    std::unique_ptr<ParameterList> parameters_;
};

// ON name statement; TRIGGER name [EXTENDS base] { (nameless, does nothing)
class ActionTrigger : public Statement {
public:
    ActionTrigger(std::optional<std::string> name, ActionPtr statement)
        : name_(std::move(name)), statement_(std::move(statement)) {}
    void run(Runtime& runtime) override {
        if (name_) runtime.interpreter.addActionToTrigger(*name_, statement_, messageId);
    }
    std::string text() const override {
        if (!name_) return "TRIGGER";
        return "ON " + quoted(*name_) + " " + statement_->text();
    }

private:
    std::optional<std::string> name_;
    ActionPtr statement_;
};

// REMOVETRIGGER name
class ActionRemoveTrigger : public Statement {
public:
    explicit ActionRemoveTrigger(std::string name) : name_(std::move(name)) {}
    void run(Runtime& runtime) override {
        TriggerRef target = runtime.interpreter.findTrigger(name_, messageId);
        runtime.interpreter.emptyTrigger(target.trigger);
    }
    std::string text() const override { return "REMOVETRIGGER " + quoted(name_); }

private:
    std::string name_;
};

enum class TimerUnit { Frames = 1, Seconds = 2, Milliseconds = 3, Unknown = -1 };

// TIMER delay unit trigger [parameters]
class ActionTimer : public Statement {
public:
    ActionTimer(TimerUnit unit, std::unique_ptr<Expression> delay, TriggerRef target,
                std::unique_ptr<ParameterList> parameters)
        : unit_(unit),
          delay_(std::move(delay)),
          target_(std::move(target)),
          parameters_(std::move(parameters)) {}
    void run(Runtime& runtime) override {
        std::optional<ParameterFrame> frame;
        if (parameters_) frame = runtime.interpreter.buildFrame(*parameters_);
        if (unit_ != TimerUnit::Frames) {
            // Seconds and milliseconds are accepted but schedule nothing.
            runtime.timers.scheduleNothing();
            return;
        }
        runtime.timers.schedule(target_, delay_->evaluate(runtime), frame);
    }
    std::string text() const override {
        return "TIMER " + delay_->text() + " FRAMES " + quoted(target_.name());
    }

private:
    TimerUnit unit_;
    std::unique_ptr<Expression> delay_;
    TriggerRef target_;
    std::unique_ptr<ParameterList> parameters_;
};

// TIMER CLEAR | TIMER REMOVE trigger | TIMER REMOVEALL trigger
class ActionClearTimer : public Statement {
public:
    ActionClearTimer(TriggerRef target, bool all) : target_(std::move(target)), all_(all) {}
    void run(Runtime& runtime) override {
        if (!target_) {
            runtime.timers.remove(nullptr, true);
        } else {
            runtime.timers.remove(target_.trigger, all_);
        }
    }
    std::string text() const override {
        if (!target_) return "TIMER CLEAR";
        return std::string(all_ ? "TIMER REMOVEALL " : "TIMER REMOVE ") + quoted(target_.name());
    }

private:
    TriggerRef target_;
    bool all_;
};

}  // namespace

// SET name expression
ActionPtr parseSet(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!name || !value || !reader.atEnd()) return nullptr;
    return make<ActionSetVar>(*name, std::move(value));
}

// name = expression
ActionPtr parseAssignmentLine(StatementReader& reader) {
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!value || !reader.atEnd()) return nullptr;
    return make<ActionSetVar>(reader.firstWord, std::move(value));
}

// INC name
ActionPtr parseInc(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return make<ActionInc>(reader.context, *name);
}

// GET name
ActionPtr parseGet(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return make<ActionGetVar>(*name);
}

// RETURN expression
ActionPtr parseReturn(StatementReader& reader) {
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!value || !reader.atEnd()) return nullptr;
    return make<ActionReturn>(std::move(value));
}

// EXIT
ActionPtr parseExit(StatementReader& reader) {
    if (!reader.atEnd()) return nullptr;
    return make<ActionExit>();
}

// RESTART [argument]
ActionPtr parseRestart(StatementReader& reader) {
    std::optional<std::string> argument = reader.next();
    if (!reader.atEnd()) return nullptr;
    return make<ActionRestart>(argument);
}

// IF condition trigger [parameters] | IF condition trigger ELSE trigger
ActionPtr parseIf(StatementReader& reader) {
    std::unique_ptr<Expression> condition = reader.expression(reader.next());
    if (!condition) return nullptr;
    std::optional<std::string> thenName = reader.next();
    if (!thenName) return nullptr;
    TriggerRef then = reader.trigger(*thenName);
    bool elseFound = false;
    std::unique_ptr<ParameterList> parameters =
        parseParameterList(reader.context, reader.tokens, "ELSE", elseFound);
    std::optional<std::string> elseName;
    if (elseFound) {
        elseName = reader.next();
        if (!elseName) return nullptr;
    }
    if (!reader.atEnd()) return nullptr;
    auto statement = std::make_shared<ActionIf>(std::move(condition), std::move(then), std::move(parameters));
    if (elseName) statement->setElse(reader.context.interpreter.findTrigger(*elseName, reader.messageId));
    if (*thenName == "{") reader.context.parser.setPendingIf(statement, statement.get());
    return statement;
}

// WHILE condition trigger [parameters]
ActionPtr parseWhile(StatementReader& reader) {
    std::unique_ptr<Expression> condition = reader.expression(reader.next());
    std::optional<std::string> bodyName = reader.next();
    if (!condition || !bodyName) return nullptr;
    TriggerRef body = reader.trigger(*bodyName);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    return make<ActionWhile>(std::move(condition), std::move(body), std::move(parameters));
}

// FOR EACH element DO trigger [parameters]
static ActionPtr parseForEach(StatementReader& reader) {
    std::unique_ptr<Expression> element = reader.expression(reader.next());
    std::optional<std::string> doWord = reader.next();
    std::optional<std::string> bodyName = reader.next();
    if (!element || !doWord || *doWord != "DO" || !bodyName) return nullptr;
    TriggerRef body = reader.trigger(*bodyName);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    return make<ActionForEach>(std::move(element), std::move(body), std::move(parameters));
}

// FOR name FROM start TO|DOWNTO limit [STEP step] DO trigger [parameters]
// FOR EACH element DO trigger [parameters]
ActionPtr parseFor(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name) return nullptr;
    if (*name == "EACH") return parseForEach(reader);
    std::optional<std::string> fromWord = reader.next();
    std::unique_ptr<Expression> start = reader.expression(reader.next());
    std::optional<std::string> direction = reader.next();
    std::unique_ptr<Expression> limit = reader.expression(reader.next());
    if (!fromWord || *fromWord != "FROM" || !start || !direction || !limit) return nullptr;
    if (*direction != "TO" && *direction != "DOWNTO") return nullptr;
    std::optional<std::string> word = reader.next();
    std::unique_ptr<Expression> step;
    if (word && *word == "STEP") {
        step = reader.expression(reader.next());
        if (!step) return nullptr;
        word = reader.next();
    }
    if (!word || *word != "DO") return nullptr;
    std::optional<std::string> bodyName = reader.next();
    if (!bodyName) return nullptr;
    TriggerRef body = reader.trigger(*bodyName);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    return make<ActionFor>(*direction == "DOWNTO", *name, std::move(start), std::move(limit), std::move(step),
                           std::move(body), std::move(parameters));
}

// The call of trigger `name` with the parameters the rest of the line gives.
static ActionPtr parseCall(StatementReader& reader, const std::string& name) {
    TriggerRef target = reader.trigger(name);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    return make<ActionExec>(std::move(target), std::move(parameters));
}

// EXEC trigger [parameters]
ActionPtr parseExec(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name) return nullptr;
    return parseCall(reader, *name);
}

// trigger [parameters], when AUTOEXEC is set
ActionPtr parseBareCall(StatementReader& reader) {
    return parseCall(reader, reader.firstWord);
}

// ON name statement
ActionPtr parseOn(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name) return nullptr;
    ActionPtr statement = reader.context.parser.parseStatement(reader.tokens, reader.messageId);
    if (!statement) return nullptr;
    return make<ActionTrigger>(*name, std::move(statement));
}

// TRIGGER name [EXTENDS base] {
ActionPtr parseTriggerBlock(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    std::optional<std::string> word = reader.next();
    std::optional<std::string> base;
    if (word && *word == "EXTENDS") {
        base = reader.next();
        word = reader.next();
        if (!base) return nullptr;
    }
    if (!name || !word || *word != "{" || !reader.atEnd()) return nullptr;
    // A named block is a registered trigger, so an inline <...> name cannot be one.
    if ((*name)[0] == '<' || (base && (*base)[0] == '<')) return nullptr;
    Interpreter& interpreter = reader.context.interpreter;
    TriggerRef target = interpreter.findTrigger(*name, reader.messageId);
    if (!target) return nullptr;
    interpreter.emptyTrigger(target.trigger);
    if (base) {
        TriggerRef baseTrigger = interpreter.findTrigger(*base, reader.messageId);
        if (baseTrigger && baseTrigger.trigger != target.trigger) {
            std::vector<ActionPtr> inherited = baseTrigger.trigger->actions;
            for (ActionPtr& action : inherited) target.trigger->actions.push_back(std::move(action));
        }
    }
    reader.context.parser.pushBlock(target.trigger->name);
    return make<ActionTrigger>(std::nullopt, std::make_shared<Action>());
}

// REMOVETRIGGER name
ActionPtr parseRemoveTrigger(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return make<ActionRemoveTrigger>(*name);
}

// TIMER delay unit trigger [parameters] | TIMER CLEAR | TIMER REMOVE[ALL] trigger
ActionPtr parseTimer(StatementReader& reader) {
    std::optional<std::string> first = reader.next();
    if (!first) return nullptr;
    if (*first == "CLEAR") {
        if (!reader.atEnd()) return nullptr;
        return make<ActionClearTimer>(TriggerRef{}, true);
    }
    if (*first == "REMOVE" || *first == "REMOVEALL") {
        std::optional<std::string> name = reader.next();
        if (!name) return nullptr;
        TriggerRef target = reader.trigger(*name);
        if (!reader.atEnd()) return nullptr;
        return make<ActionClearTimer>(std::move(target), *first == "REMOVEALL");
    }
    std::unique_ptr<Expression> delay = reader.expression(first);
    std::optional<std::string> unitWord = reader.next();
    std::optional<std::string> name = reader.next();
    if (!delay || !unitWord || !name) return nullptr;
    TimerUnit unit = *unitWord == "FRAMES" ? TimerUnit::Frames
                     : *unitWord == "SEK"  ? TimerUnit::Seconds
                     : *unitWord == "MSEK" ? TimerUnit::Milliseconds
                                           : TimerUnit::Unknown;
    TriggerRef target = reader.trigger(*name);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    return make<ActionTimer>(unit, std::move(delay), std::move(target), std::move(parameters));
}

// Emberfall2 ... (a header line)
ActionPtr parseHeader(StatementReader&) {
    return make<Action>();
}

// ERROR [text]: an error reported back by a peer
ActionPtr parseErrorLine(StatementReader& reader) {
    if (std::optional<std::string> rest = reader.tokens.restOfLine()) {
        runtimeOf(reader).printLine("ERROR from " + std::to_string(reader.messageId) + ": " + *rest, 0);
    }
    return make<Action>();
}

}  // namespace ef2
