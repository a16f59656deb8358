// The script engine linked alone: no world, window, files or statements of
// the program. A context of the test's own and a keyword table of three
// statements are all it needs, which is what keeps script/ the lowest layer.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "script/chance.h"
#include "script/script_context.h"
#include "script/tokenizer.h"

namespace ef2 {
namespace {

class SayStatement : public Action {
public:
    explicit SayStatement(std::unique_ptr<Expression> value) : value_(std::move(value)) {}
    void execute(ScriptContext& context) override {
        context.printLine(std::to_string(value_->evaluate(context)), messageId);
    }

private:
    std::unique_ptr<Expression> value_;
};

class CallStatement : public Action {
public:
    CallStatement(TriggerRef target, std::unique_ptr<ParameterList> parameters)
        : target_(std::move(target)), parameters_(std::move(parameters)) {}
    void execute(ScriptContext& context) override {
        context.interpreter.runWithParameters(target_.trigger, parameters_.get());
    }

private:
    TriggerRef target_;
    std::unique_ptr<ParameterList> parameters_;
};

class AssignStatement : public Action {
public:
    AssignStatement(std::string name, std::unique_ptr<Expression> value)
        : name_(std::move(name)), value_(std::move(value)) {}
    void execute(ScriptContext& context) override {
        getVariable(context, name_, value_->evaluate(context), true);
    }

private:
    std::string name_;
    std::unique_ptr<Expression> value_;
};

ActionPtr parseSay(StatementReader& reader) {
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!value || !reader.atEnd()) return nullptr;
    return std::make_shared<SayStatement>(std::move(value));
}

ActionPtr parseCallOf(StatementReader& reader, const std::string& name) {
    TriggerRef target = reader.trigger(name);
    std::unique_ptr<ParameterList> parameters = reader.parameters();
    return std::make_shared<CallStatement>(std::move(target), std::move(parameters));
}

ActionPtr parseCall(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    return name ? parseCallOf(reader, *name) : nullptr;
}

// BLOCK name {
ActionPtr parseBlock(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    std::optional<std::string> brace = reader.next();
    if (!name || !brace || *brace != "{") return nullptr;
    reader.context.parser.pushBlock(*name);
    return std::make_shared<Action>();
}

ActionPtr parseLink(StatementReader& reader) {
    auto value = std::make_unique<Expression>(reader.context, "7");
    return std::make_shared<SayStatement>(std::move(value));
}

ActionPtr parseAssignment(StatementReader& reader) {
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!value || !reader.atEnd()) return nullptr;
    return std::make_shared<AssignStatement>(reader.firstWord, std::move(value));
}

ActionPtr parseBareCall(StatementReader& reader) {
    return parseCallOf(reader, reader.firstWord);
}

const std::vector<Keyword>& testKeywords() {
    static const std::vector<Keyword> table = {
        {"SAY", parseSay},
        {"CALL", parseCall},
        {"BLOCK", parseBlock},
        {"web:", parseLink, KeywordForm::Prefix},
        {"=", parseAssignment, KeywordForm::SecondWord},
        {"", parseBareCall, KeywordForm::AnyWord},
    };
    return table;
}

// The program around the engine: a world whose cell (x, y) holds 100x + y,
// one group {3, 5} at index 1, and one name of its own, THING:SIZE.
class TestContext final : public ScriptContext {
public:
    TestContext() : ScriptContext(testKeywords()) { parameters.push(ParameterFrame{}); }

    void printLine(std::string_view text, int32_t messageId) override {
        lines.push_back(std::to_string(messageId) + ": " + std::string(text));
    }
    int32_t randomNumber() override { return kChanceScale / 2; }
    int32_t worldCell(int32_t x, int32_t y) override { return 100 * x + y; }
    bool inGroup(int32_t elementId, int32_t group) override {
        return group == 1 && (elementId == 3 || elementId == 5);
    }
    bool isWorldName(std::string_view name) override { return name.starts_with("THING:"); }
    std::optional<LookupResult> readWorldName(std::string_view name) override {
        if (name != "THING:SIZE") return std::nullopt;
        return LookupResult{ValueKind::Number, thingSize, {}};
    }
    bool writeWorldName(std::string_view name, int32_t value, bool overwrite) override {
        if (!name.starts_with("THING:")) return false;
        if (overwrite && name == "THING:SIZE") thingSize = value;
        return true;
    }

    void run(std::string_view text, int32_t origin = 0) { parser.parseText(text, origin, std::nullopt); }

    std::vector<std::string> lines;
    int32_t thingSize = 4;
};

using Lines = std::vector<std::string>;

TEST(ScriptAlone, LinesTakeTheFormsOfTheProgramsKeywordTable) {
    TestContext context;
    context.run(
        "X = 2\n"
        "SAY (X * 3 + 1)\n"
        "BLOCK TWICE {\n"
        "SAY ($0 + $0)\n"
        "}\n"
        "CALL TWICE 21\n"
        "web:anything\n"
        "TWICE 4\n"
        "AUTOEXEC = 1\n"
        "TWICE 4\n");
    EXPECT_EQ(context.lines, (Lines{"0: 7", "0: 42", "0: 7", "0: ERROR in line 8: TWICE 4", "0: 8"}));

    context.lines.clear();
    context.run("SAY (1 +) 2\nBLOCK OPEN {\n", 5);
    context.run("SAY 2\n");  // the local origin's lines are not taken by connection 5's open block
    EXPECT_EQ(context.lines, (Lines{"5: ERROR in line 1: SAY (1 +) 2", "0: 2"}));
}

TEST(ScriptAlone, ExpressionsReachTheProgramOnlyThroughTheContext) {
    TestContext context;
    context.run(
        "SAY (2 PIXEL 3)\n"
        "SAY (5 INGROUP 1)\n"
        "SAY (4 INGROUP 1)\n"
        "SAY (0 RAND 100)\n"
        "SAY (THING:SIZE + 1)\n"
        "THING:SIZE = 9\n"
        "SAY THING:SIZE\n"
        "SAY 50%\n");
    EXPECT_EQ(context.lines, (Lines{"0: 203", "0: 1", "0: 0", "0: 50", "0: 5", "0: 9", "0: 16384"}));
    EXPECT_EQ(context.variables.find("THING:SIZE"), nullptr)
        << "a name of the program never becomes a variable";
}

TEST(ScriptAlone, RunawaysAreStoppedAndTimersRunThroughTheContext) {
    TestContext context;
    context.run("BLOCK LOOP {\nCALL LOOP\n}\nCALL LOOP 1\n");
    EXPECT_EQ(context.lines, (Lines{"0: Script stopped: triggers nested more than " +
                                    std::to_string(kMaxTriggerNesting) + " deep (a runaway loop?)"}));
    EXPECT_EQ(context.parameters.depth(), 1) << "the frame of the abandoned call is gone";

    context.lines.clear();
    context.run("BLOCK LATER {\nSAY FRAME\n}\n");
    context.timers.schedule(context.interpreter.findTrigger("LATER", 0), 2, std::nullopt);
    for (int pass = 0; pass < 4; ++pass) context.timers.runTimers();
    EXPECT_EQ(context.lines, (Lines{"0: 2"}));
}

}  // namespace
}  // namespace ef2
