// The desktop layer and the file-name rules, and what the message statements
// do with them when no window is there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/program.h"
#include "platform/desktop.h"
#include "platform/link_schemes.h"
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
        EXPECT_TRUE(fileNameAllowed(name, LinkRules::Lenient)) << name;
    }
    for (const char* name : {"world.png", "sub/dir/a.ef2", "a.b.c", "http://example.com/a.ef2"}) {
        EXPECT_TRUE(fileNameAllowed(name, LinkRules::Strict)) << name;
    }
    for (const char* name :
         {"../a.ef2", "a/../../b", "/etc/passwd", "\\server\\share", "C:\\autoexec.bat", "x:y"}) {
        EXPECT_FALSE(fileNameAllowed(name, LinkRules::Strict)) << name;
    }
    for (const char* name : {"dl.dll", "get wget now", "notepad.ef2", "start", "start.bat"}) {
        EXPECT_FALSE(fileNameAllowed(name, LinkRules::Lenient)) << name;
    }
    EXPECT_TRUE(fileNameAllowed("started.ef2", LinkRules::Strict));
}

TEST(Links, ARefusedNameIsReportedAndTheProgramGoesOn) {
    Runtime runtime;
    std::string name = "../up.png";
    EXPECT_FALSE(handleLink(runtime.links(), name, LinkRules::Strict));
    EXPECT_EQ(runtime.console.recentLines().back(), "Refused file name \"../up.png\"");
    EXPECT_TRUE(handleLink(runtime.links(), name, LinkRules::Lenient));
    std::string empty;
    EXPECT_FALSE(handleLink(runtime.links(), empty, LinkRules::Lenient));
}

TEST(Desktop, WithoutAWindowQuestionsTakeTheAssumeYesAnswerAndDialogsGiveNothing) {
    const DesktopSettings headless{true, false, {}}, headlessYes{true, true, {}};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(askYesNo(headless, "Run it?", "Run Command?"));
    EXPECT_TRUE(askYesNo(headlessYes, "Really?", "Run Command?"));
    EXPECT_TRUE(showMessage(headless, "Hello", "Message"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Run it?\nReally?\nHello\n");
    EXPECT_EQ(openFileDialog(headless, {{"PNG File", "*.png"}}), "");
    EXPECT_EQ(saveFileDialog(headless, {{"PNG File", "*.png"}}), "");
    // No video subsystem: no clipboard and no question asked.
    EXPECT_FALSE(clipboardGetText());
    EXPECT_FALSE(askYesNo(DesktopSettings{false, false, {}}, "Run it?", "Run Command?"));
    EXPECT_FALSE(showMessage(DesktopSettings{false, false, {}}, "Hello", "Message"));
}

TEST(Desktop, AMessageBoxThatCannotBeShownLeavesItsTextOnTheConsole) {
    Runtime runtime;
    runtime.desktop = DesktopSettings{false, false, {}};
    runtime.parser.parseText(
        "Message Look here\nMESSAGE CLEAR\nMESSAGE ADDTEXT \"and here\"\nMESSAGE MESSAGEBOX\n", 0,
        std::nullopt);
    const auto& lines = runtime.console.recentLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Look here");
    EXPECT_EQ(lines.back(), "and here");
}

// World files picked in a dialog, with a stand-in for zenity first on the
// PATH that answers with a given path (or, given nothing, cancels).
class PickedWorldFiles : public InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        previousPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        fs::create_directory("bin");
        setenv("PATH", (fs::current_path() / "bin").string().append(":").append(previousPath_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", previousPath_.c_str(), 1);
        InTempFolder::TearDown();
    }
    static void answerDialogsWith(const std::string& path) {
        std::ofstream("bin/zenity") << (path.empty() ? "#!/bin/sh\nexit 1\n"
                                                     : "#!/bin/sh\nprintf '%s\\n' '" + path + "'\n");
        fs::permissions("bin/zenity", fs::perms::owner_all);
    }
    static std::string here(const std::string& name) { return (fs::current_path() / name).string(); }

private:
    std::string previousPath_;
};

TEST_F(PickedWorldFiles, ANameWithoutAnEndingSavesAPngAndAFailureIsSaid) {
    Runtime runtime;
    runtime.desktop = DesktopSettings{false, false, {}};
    test::createWorld(runtime, 20, 20);
    auto run = [&](const std::string& line) { runtime.parser.parseText(line, 0, std::nullopt); };
    auto lastLine = [&] { return runtime.console.recentLines().back(); };

    answerDialogsWith(here("picked"));
    run("SAVE SAND FILEDIALOG");
    EXPECT_EQ(contents("picked.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_FALSE(fs::exists("picked"));

    answerDialogsWith(here("gone/world.png"));
    run("SAVE SAND FILEDIALOG");
    EXPECT_EQ(lastLine(), "Could not save the world to \"" + here("gone/world.png") + "\"");

    std::ofstream("broken.png") << "not a picture";
    answerDialogsWith(here("broken.png"));
    run("LOAD SAND FILEDIALOG");
    EXPECT_EQ(lastLine(), "Could not load the world from \"" + here("broken.png") + "\"");

    // A cancelled dialog is no failure.
    answerDialogsWith("");
    const std::size_t lines = runtime.console.recentLines().size();
    run("LOAD SAND FILEDIALOG\nSAVE SAND FILEDIALOG");
    EXPECT_EQ(runtime.console.recentLines().size(), lines);
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
    runtime.desktop = DesktopSettings{true, false, {}};
    testing::internal::CaptureStdout();
    runtime.parser.parseText("SYSTEM \"echo one > ran.txt;echo two >> ran.txt\"", 0, std::nullopt);
    runtime.desktop.assumeYes = true;
    runtime.parser.parseText("SYSTEM \"echo one > ran.txt;echo two >> ran.txt\"", 0, std::nullopt);
    std::string asked = testing::internal::GetCapturedStdout();
    EXPECT_EQ(asked, "echo one > ran.txt\necho two >> ran.txt\necho one > ran.txt\necho two >> ran.txt\n");
    EXPECT_EQ(contents("ran.txt"), "one\ntwo\n");
    EXPECT_FALSE(fs::exists(kCommandFileName));
}

TEST_F(SystemStatement, WithNoBoxToAskInNothingRunsAndTheConsoleSaysWhy) {
    Runtime runtime;
    runtime.desktop = DesktopSettings{false, false, {}};
    runtime.parser.parseText("SYSTEM \"echo one > ran.txt\"", 0, std::nullopt);
    EXPECT_FALSE(fs::exists("ran.txt"));
    EXPECT_EQ(runtime.console.recentLines().back(),
              "No box could be shown to ask \"Run Command?\": taken as no");
}

class DroppedFiles : public InTempFolder {};

TEST_F(DroppedFiles, ScriptsWorldsAndPackagesLoad) {
    Runtime runtime;
    test::createWorld(runtime, 20, 20);
    const uint16_t sand = test::defineElement(runtime, "Sand", 0);
    const std::string folder = fs::current_path().string();
    std::ofstream(folder + "/drop me.ef2") << "SET DROPPED 1\n";
    loadDroppedFile(runtime, folder + "/drop me.ef2");
    EXPECT_EQ(runtime.variables.obtain("DROPPED", 0, false)->value, 1);

    test::put(runtime, 5, 5, sand);
    runtime.parser.parseText("SAVE SAND world.png\nDRAW ELEMENT:Clear FILLEDRECT 1 1 20 20\n", 0,
                             std::nullopt);
    EXPECT_EQ(test::countCells(runtime, sand), 0);
    loadDroppedFile(runtime, folder + "/world.png");
    EXPECT_EQ(test::countCells(runtime, sand), 1);

    fs::create_directory("pack");
    std::ofstream("pack/mod.ef2") << "SET PACKED 1\n";
    ASSERT_EQ(runProgram({"sh", "-c", "cd pack && zip -q ../mod.ef2.zip mod.ef2"}, true), 0);
    fs::remove_all("pack");
    loadDroppedFile(runtime, folder + "/mod.ef2.zip");
    EXPECT_EQ(runtime.variables.obtain("PACKED", 0, false)->value, 1);
}

TEST(LinkSchemes, ExecArgumentsAreQuotedForTheDesktopEntry) {
    EXPECT_EQ(desktopExecArgument("/opt/ef2/emberfall2"), "\"/opt/ef2/emberfall2\"");
    EXPECT_EQ(desktopExecArgument("/a b/\"q\"/$x/`y`/100%/c\\d"),
              "\"/a b/\\\\\"q\\\\\"/\\\\$x/\\\\`y\\\\`/100%%/c\\\\\\\\d\"");
    // The desktop's own checker agrees, for a path with every character that needs care.
    if (runProgram({"sh", "-c", "command -v desktop-file-validate > /dev/null"}, true) != 0) GTEST_SKIP();
    char pattern[] = "/tmp/ef2-entry-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string entry = folder + "/emberfall2.desktop";
    std::ofstream(entry) << linkHandlerEntry("/a b/\"q\"/$x/`y`/100%/c\\d");
    EXPECT_EQ(runProgram({"desktop-file-validate", entry}, true), 0);
    fs::remove_all(folder);
}

TEST(LinkSchemes, ScreenSaverSwitchesEndOnlyAScreenSaverStart) {
    const char* preview[] = {"/usr/lib/emberfall2.scr", "/p:1234"};
    EXPECT_TRUE(screenSaverCheck(2, preview));
    const char* upper[] = {"EMBERFALL2.SCR", "/P"};
    EXPECT_TRUE(screenSaverCheck(2, upper));
    const char* notSaver[] = {"/usr/bin/emberfall2", "/p"};
    EXPECT_FALSE(screenSaverCheck(2, notSaver));
    const char* run[] = {"/usr/lib/emberfall2.scr", "/s", "/proj/world.ef2"};
    EXPECT_FALSE(screenSaverCheck(3, run));
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
