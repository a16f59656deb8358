// The desktop layer and the file-name rules, and what the message statements
// do with them when no window is there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/desktop.h"
#include "platform/links.h"
#include "platform/shell.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

namespace fs = std::filesystem;

// Runs a test inside an empty working directory of its own.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ef2-desktop-XXXXXX";
        folder_ = mkdtemp(pattern);
        previous_ = fs::current_path();
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    static std::string contents(const std::string& name) {
        std::ifstream file(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    fs::path folder_, previous_;
};

TEST(Links, StrictNamesStayInsideTheWorkingDirectory) {
    for (const char* name : {"world.png", "sub/dir/a.ef2", "a.b.c", "http://example.com/a.ef2", "x:y"}) {
        EXPECT_TRUE(fileNameAllowed(name, false)) << name;
    }
    for (const char* name : {"world.png", "sub/dir/a.ef2", "a.b.c", "http://example.com/a.ef2"}) {
        EXPECT_TRUE(fileNameAllowed(name, true)) << name;
    }
    for (const char* name : {"../a.ef2", "a/../../b", "/etc/passwd", "\\server\\share", "C:\\autoexec.bat", "x:y"}) {
        EXPECT_FALSE(fileNameAllowed(name, true)) << name;
    }
    for (const char* name : {"dl.dll", "get wget now", "notepad.ef2", "start", "start.bat"}) {
        EXPECT_FALSE(fileNameAllowed(name, false)) << name;
    }
    EXPECT_TRUE(fileNameAllowed("started.ef2", true));
}

TEST(Links, ARefusedNameIsReportedAndTheProgramGoesOn) {
    Runtime runtime;
    std::string name = "../up.png";
    EXPECT_FALSE(handleLink(runtime, name, true));
    EXPECT_EQ(runtime.console.recentLines().back(), "Refused file name \"../up.png\"");
    EXPECT_TRUE(handleLink(runtime, name, false));
    std::string empty;
    EXPECT_FALSE(handleLink(runtime, empty, false));
}

TEST(Desktop, WithoutAWindowQuestionsTakeTheAssumeYesAnswerAndDialogsGiveNothing) {
    const DesktopSettings headless{true, false}, headlessYes{true, true};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(askYesNo(headless, "Run it?", "Run Command?"));
    EXPECT_TRUE(askYesNo(headlessYes, "Really?", "Run Command?"));
    showMessage(headless, "Hello", "Message");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Run it?\nReally?\nHello\n");
    EXPECT_EQ(openFileDialog(headless, {{"PNG File", "*.png"}}), "");
    EXPECT_EQ(saveFileDialog(headless, {{"PNG File", "*.png"}}), "");
    // No video subsystem: no clipboard and no question asked.
    EXPECT_FALSE(clipboardGetText());
    EXPECT_FALSE(askYesNo(DesktopSettings{false, false}, "Run it?", "Run Command?"));
}

class Shell : public InTempFolder {};
class SystemStatement : public InTempFolder {};

TEST_F(Shell, CommandFileRunsWithTheShellAndIsRemoved) {
    EXPECT_EQ(runCommandFile("echo one > out.txt\necho two >> out.txt\nexit 3"), 3);
    EXPECT_EQ(contents("out.txt"), "one\ntwo\n");
    EXPECT_FALSE(fs::exists(kCommandFileName));
    std::string output;
    EXPECT_EQ(runProgramWithOutput({"printf", "%s", "a b"}, output), 0);
    EXPECT_EQ(output, "a b");
    EXPECT_EQ(runProgramWithOutput({"no-such-program-for-ef2"}, output), -1);
}

TEST_F(SystemStatement, RunsItsLinesOnlyWhenTheAnswerIsYes) {
    Runtime runtime;
    runtime.desktop = DesktopSettings{true, false};
    testing::internal::CaptureStdout();
    runtime.parser.parseText("SYSTEM \"echo one > ran.txt;echo two >> ran.txt\"", 0, std::nullopt);
    runtime.desktop.assumeYes = true;
    runtime.parser.parseText("SYSTEM \"echo one > ran.txt;echo two >> ran.txt\"", 0, std::nullopt);
    std::string asked = testing::internal::GetCapturedStdout();
    EXPECT_EQ(asked, "echo one > ran.txt\necho two >> ran.txt\necho one > ran.txt\necho two >> ran.txt\n");
    EXPECT_EQ(contents("ran.txt"), "one\ntwo\n");
    EXPECT_FALSE(fs::exists(kCommandFileName));
}

TEST(MessageBuffer, AppendingBeyondItsSizeKeepsTheFirst31999Bytes) {
    Runtime runtime;
    runtime.message.append(std::string(31990, 'a'));
    runtime.parser.parseText("MESSAGE ADDTEXT 0123456789ABCDEF\nMESSAGE ADDNUMBER 77", 0, std::nullopt);
    EXPECT_EQ(runtime.message.text().size(), 31999u);
    EXPECT_EQ(runtime.message.text().substr(31988), "aa012345678");
}

}  // namespace
}  // namespace ef2
