// A runaway pass ends after its time whatever its statements do, while time
// spent waiting for the person or for another program does not count.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <unistd.h>

#include "app/runtime.h"
#include "support/scratch_folder.h"

namespace ef2 {
namespace {

class Runaway : public test::InScratchFolder {
protected:
    void SetUp() override {
        InScratchFolder::SetUp();
        runtime.world.create(20, 20);
        runtime.interpreter.pushFrame(ParameterFrame{});
        // Far more statements than the loops below could run in their time.
        runtime.interpreter.setRunawayLimits({int64_t{1} << 40, 300});
    }
    void run(std::string_view text) { runtime.parser.parseText(text, 0, std::nullopt); }
    int32_t value(const char* name) {
        Variable* variable = runtime.variables.find(name);
        return variable ? variable->value : -999999;
    }
    int printed(const std::string& line) {
        const auto& lines = runtime.console.recentLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    Runtime runtime;
};

constexpr const char* kTimeUp = "Script stopped: more than 300 milliseconds in one pass (a runaway loop?)";

TEST_F(Runaway, LoopsThatPrintDrawOrResizeEndAfterTheirTime) {
    run("N = 1\n"
        "TRIGGER PRINT {\nMESSAGE SENDTEXT tick 0\n}\n"
        "TRIGGER PAINT {\nDRAW 0 FILLEDRECT 1 1 20 20\n}\n"
        "TRIGGER GROW {\nRESIZE 300 300\nRESIZE 20 20\n}\n");
    for (const char* body : {"PRINT", "PAINT", "GROW"}) {
        const auto started = std::chrono::steady_clock::now();
        run(std::string("WHILE (N > 0) ") + body + "\nSET AFTER 1\n");
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(runtime.console.recentLines().back(), kTimeUp) << body;
        EXPECT_EQ(value("AFTER"), 1) << "the next statement runs";
        // Far above the limit, so that only a pass that does not stop fails.
        EXPECT_LT(seconds, 30.0) << body;
    }
}

TEST_F(Runaway, WaitingForAQuestionOrACommandDoesNotCount) {
    runtime.desktop = DesktopSettings{true, true, {}};
    testing::internal::CaptureStdout();
    run("TRIGGER SLOW {\nSYSTEM \"sleep 0.5\"\nFOR I FROM 1 TO 100 DO NOTHING\nSET DONE 1\n}\nEXEC SLOW\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(value("DONE"), 1);
    EXPECT_EQ(printed(kTimeUp), 0);
}

TEST_F(Runaway, TheStatementLimitStillCountsAndNamesItsNumber) {
    runtime.interpreter.setRunawayLimits({5000, 60000});
    run("WHILE 1 NOTHING\n");
    EXPECT_EQ(printed("Script stopped: more than 5000 statements in one pass (a runaway loop?)"), 1);
}

// The body is an inline trigger that does not parse, so the loop runs no
// statement at all: each turn must still be charged, or the loop never ends
// (the alarm then ends the test program instead of letting it hang).
TEST_F(Runaway, ALoopAroundABodyThatDoesNotParseIsStillCharged) {
    runtime.interpreter.setRunawayLimits({5000, 60000});
    alarm(120);
    run("WHILE 1 <BOGUS>\nSET AFTER 1\n");
    alarm(0);
    EXPECT_EQ(printed("Script stopped: more than 5000 statements in one pass (a runaway loop?)"), 1);
    EXPECT_EQ(value("AFTER"), 1) << "the next statement runs";
}

// The timer keeps re-running itself in the same pass: it is stopped there and
// loses its timers, so the next pass runs quietly.
TEST_F(Runaway, ATimerThatKeepsReschedulingItselfIsStoppedOnce) {
    runtime.interpreter.setRunawayLimits({5000, 60000});
    run("TRIGGER LOOP {\nTIMER 0 FRAMES THIS\n}\nTIMER 0 FRAMES LOOP\n");
    runtime.timers.runTimers();
    const std::string stopped = "Script stopped: more than 5000 statements in one pass (a runaway loop?)";
    EXPECT_EQ(printed(stopped), 1);
    run("LIST TIMERS\n");
    const auto& lines = runtime.console.recentLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "(TIMERS)") << "no timer of LOOP is left";
    EXPECT_EQ(lines.back(), "(END)");
    runtime.timers.runTimers();
    EXPECT_EQ(printed(stopped), 1);
}

}  // namespace
}  // namespace ef2
