#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "app/runtime.h"
#include "script/expression.h"
#include "script/tokenizer.h"

namespace ef2 {
namespace {

// A runtime with the start frame pushed and a small world, as the program has
// once it is running.
struct Scripted : ::testing::Test {
    Scripted() {
        runtime.world.create(20, 20);
        runtime.interpreter.pushFrame(ParameterFrame{});
    }
    void run(std::string_view text) { runtime.parser.parseText(text, 0, std::nullopt); }
    int32_t value(const char* name) {
        Variable* variable = runtime.variables.find(name);
        return variable ? variable->value : -999999;
    }
    const std::deque<std::string>& console() { return runtime.console.recentLines(); }
    Runtime runtime;
};

TEST_F(Scripted, ErrorsWithoutAFileNameUseTheShortForm) {
    run("SET A 1\nFOO\n");
    ASSERT_FALSE(console().empty());
    EXPECT_EQ(console().back(), "ERROR in line 2: FOO");
}

TEST_F(Scripted, ParameterFramesNestTo1024AndTheNextPushFails) {
    // Each level calls the next with a parameter; the depth counter stops it.
    run("TRIGGER NEST {\nINC DEPTH\nIF (DEPTH < 1030) NEST DEPTH\n}\nEXEC NEST 0\n");
    EXPECT_EQ(value("DEPTH"), 1030);
    int errors = 0;
    for (const std::string& line : console()) errors += line == "PARAMETER ADD ERROR";
    EXPECT_EQ(errors, 1030 - 1024);  // the start frame plus 1024 pushes fit
    EXPECT_EQ(runtime.parameters.depth(), 1);
}

TEST_F(Scripted, RuleOfTheReturnFlag) {
    run("TRIGGER T {\nSET A 1\nRETURN 5\nSET A 2\n}\n");
    Trigger* trigger = runtime.interpreter.triggers().find("T");
    EXPECT_EQ(runtime.interpreter.runTrigger(trigger), 5);
    EXPECT_EQ(value("A"), 1);
    EXPECT_EQ(trigger->runCount, 1);
    Trigger* empty = runtime.interpreter.triggers().obtain("EMPTY");
    EXPECT_EQ(runtime.interpreter.runTrigger(empty), 0);
    EXPECT_EQ(empty->runCount, 1);
}

TEST_F(Scripted, ATriggerThatEmptiesItselfStopsAndStaysSafe) {
    run("TRIGGER T {\nSET A 1\nREMOVETRIGGER T\nSET A 2\n}\nEXEC T\n");
    EXPECT_EQ(value("A"), 1);
    EXPECT_TRUE(runtime.interpreter.triggers().find("T")->actions.empty());
    // A single-statement trigger that empties itself must not free the
    // statement that is running.
    run("ON SOLO REMOVETRIGGER SOLO\nEXEC SOLO\nEXEC SOLO\n");
    EXPECT_TRUE(runtime.interpreter.triggers().find("SOLO")->actions.empty());
}

TEST_F(Scripted, TimerRecordsAreRecycled) {
    run("TIMER 10 SEK T\nTIMER 1 HOURS T\n");
    EXPECT_EQ(runtime.timers.size(), 0u);
    EXPECT_EQ(runtime.timers.poolSize(), 1u);  // the same record came back twice
    run("TIMER 0 FRAMES T\nTIMER 0 FRAMES T\n");
    runtime.timers.runTimers();
    EXPECT_EQ(runtime.timers.size(), 0u);
    EXPECT_EQ(runtime.timers.poolSize(), 2u);
}

TEST_F(Scripted, ExpressionsBindVariablesWhenParsed) {
    Expression expression(runtime, "(NEWVAR + 1)");
    EXPECT_TRUE(expression.isValid());
    ASSERT_NE(runtime.variables.find("NEWVAR"), nullptr);
    Expression array(runtime, "ARR[IDX]");
    EXPECT_EQ(array.evaluate(runtime), 0);
    EXPECT_EQ(runtime.variables.find("ARR0"), nullptr);  // reading an element never creates it
    EXPECT_FALSE(Expression(runtime, "").isValid());
    EXPECT_FALSE(Expression(runtime, "   ").isValid());
    EXPECT_FALSE(Expression(runtime, "()").isValid());
    EXPECT_FALSE(Expression(runtime, "1 ? 2").isValid());
}

TEST_F(Scripted, RandStaysWithinItsBoundsAndFollowsTheSeed) {
    Expression roll(runtime, "10 RAND 20");
    runtime.random.seed(7);
    std::vector<int32_t> first;
    for (int i = 0; i < 200; ++i) {
        int32_t value = roll.evaluate(runtime);
        ASSERT_GE(value, 10);
        ASSERT_LT(value, 20);
        first.push_back(value);
    }
    runtime.random.seed(7);
    for (int32_t expected : first) ASSERT_EQ(roll.evaluate(runtime), expected);
}

TEST_F(Scripted, LongChainsWorkAndHostileExpressionsAreRejectedQuickly) {
    // A chain is read and evaluated in loops: its length costs no stack.
    std::string longChain = "1";
    for (int i = 0; i < 20000; ++i) longChain += " + 1";
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Expression(runtime, longChain).evaluate(runtime), 20001);
    // Beyond 100,000 tokens a formula is refused: each token is a node.
    for (int i = 0; i < 40000; ++i) longChain += " + 1";
    EXPECT_FALSE(Expression(runtime, longChain).isValid());
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "(1 + ";
    deep += "1";
    for (int i = 0; i < 5000; ++i) deep += ")";
    Expression nested(runtime, deep);
    EXPECT_FALSE(nested.isValid());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    std::string moderate = "1";
    for (int i = 0; i < 500; ++i) moderate += " + 1";
    EXPECT_EQ(Expression(runtime, moderate).evaluate(runtime), 501);
}

// Random and mutated lines through the parser: nothing may crash, hang or leak
// (the sanitizer build checks the last two).
TEST_F(Scripted, RandomAndMutatedLinesNeverCrashTheParser) {
    const std::vector<std::string> seeds = {
        "SET X 5",
        "IF (X > 3) <GET X> ELSE <GET Y>",
        "FOR I FROM 1 TO 3 DO <INC J>",
        "TRIGGER T {",
        "}",
        "} ELSE {",
        "EXEC T 1 2 3",
        "ON KEY_A SET X 1",
        "TIMER 0 FRAMES T",
        "LIST ACTIONS T",
        "X = \"SIN 45 + 1\"",
        "A[I] = (I * 2)",
        "WHILE (N > 0) <SET N (N - 1)>",
        "RETURN *T 1",
        "GET ELEMENTWEIGHT:Sand",
        "EXEC {",
        "TRIGGER U EXTENDS T {",
        "INC A[-1]",
        "KEYCODE 27 ESC",
        "LIST TRIGGEREXECS",
        "TIMER REMOVEALL T",
    };
    const std::string alphabet = "{}()<>\"$[]%*:;=+-/ \t\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 random(1234);
    // A fixed count keeps the run the same everywhere: lines that run
    // runaway triggers take far longer under the sanitizers.
    for (int lines = 1; lines <= 2500; ++lines) {
        std::string line = seeds[random() % seeds.size()];
        int edits = static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = line.empty() ? 0 : random() % line.size();
            switch (random() % 3) {
                case 0: line.insert(at, 1, alphabet[random() % alphabet.size()]); break;
                case 1:
                    if (!line.empty()) line.erase(at, 1);
                    break;
                default: line.insert(at, seeds[random() % seeds.size()]); break;
            }
        }
        runtime.parser.parseLine(line, lines, 0, "fuzz");
    }
    // Close whatever blocks the random lines left open.
    for (int i = 0; i < 1000 && runtime.parser.blockDepth() > 0; ++i)
        runtime.parser.parseLine("}", 0, 0, "fuzz");
    EXPECT_EQ(runtime.parser.blockDepth(), 0u);
}

}  // namespace
}  // namespace ef2
