// The statements that read and write named files stay inside the working
// folder, treat folders, devices and FIFOs as files that cannot be opened,
// and never hang or run out of memory on them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/file_loading.h"
#include "app/runtime.h"
#include "io/world_files.h"
#include "platform/confined_files.h"
#include "support/scratch_folder.h"

namespace ef2 {
namespace {

namespace fs = std::filesystem;

struct NoHang {
    NoHang() { alarm(20); }
    ~NoHang() { alarm(0); }
};

class FileStatements : public test::InScratchFolder {
protected:
    void SetUp() override {
        InScratchFolder::SetUp();
        runtime.world.create(6, 5);
        runtime.interpreter.pushFrame(ParameterFrame{});
        fs::create_directory_symlink(outside(), "lnk");
    }
    void run(std::string_view text) { runtime.parser.parseText(text, 0, std::nullopt); }
    int32_t value(const char* name) {
        Variable* variable = runtime.variables.find(name);
        return variable ? variable->value : -999999;
    }
    bool printed(const std::string& line) {
        const auto& lines = runtime.console.recentLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    Runtime runtime;
};

TEST_F(FileStatements, FoldersAndUnreadableFilesAreOpenErrors) {
    fs::create_directory("folder");
    run("GETFILE .\nGETFILE folder\nINCLUDE folder\n");
    EXPECT_TRUE(printed("Error opening file \".\""));
    EXPECT_TRUE(printed("Error opening file \"folder\""));
    EXPECT_EQ(std::count(runtime.console.recentLines().begin(), runtime.console.recentLines().end(),
                         "Error opening file \"folder\""),
              2);
    fs::create_symlink("/proc/self/mem", "mem");
    run("GETFILE mem\n");
    EXPECT_TRUE(printed("Error opening file \"mem\""));
}

TEST_F(FileStatements, LinksOutOfTheFolderReachNothing) {
    write(outside("x.ef2"), "SET LEAKED 1\n");
    write(outside("secret.txt"), "secret");
    write(outside("victim.txt"), "victim");
    runtime.stamps.set(7, makeSurface16(3, 3));
    run("GETFILE lnk/secret.txt\n"
        "INCLUDE lnk/x.ef2\n"
        "SAVE SAND lnk/w.png\n"
        "SAVE SAND lnk/w.ef2\n"
        "SAVE STAMP lnk/st.bmp 7\n"
        "FILE OPEN lnk/out.txt\n"
        "MESSAGE ADDTEXT leaked\n"
        "MESSAGE SAVE\n"
        "FILE CLOSE\n"
        "FILE DELETE lnk/victim.txt\n");
    EXPECT_TRUE(printed("Error opening file \"lnk/secret.txt\""));
    EXPECT_FALSE(printed("secret"));
    EXPECT_TRUE(printed("Error opening file \"lnk/x.ef2\""));
    EXPECT_EQ(value("LEAKED"), -999999);
    for (const char* name : {"w.png", "w.ef2", "st.bmp", "out.txt"})
        EXPECT_FALSE(fs::exists(outside(name))) << name;
    EXPECT_EQ(contents(outside("victim.txt")), "victim");

    // A world outside does not load either.
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, "w.png"));
    runtime.world.create(9, 9);
    fs::rename("w.png", outside("w.png"));
    run("LOAD SAND lnk/w.png\n");
    EXPECT_EQ(runtime.world.width(), 9);
}

TEST_F(FileStatements, DevicesAndFifosNeitherHangNorFillMemory) {
    NoHang guard;
    fs::create_symlink("/dev/zero", "zero");
    fs::create_symlink("/dev/zero", "zero.png");
    ASSERT_EQ(mkfifo("fifo.png", 0600), 0);
    ASSERT_EQ(mkfifo("fifo.ef2", 0600), 0);
    run("GETFILE zero\nINCLUDE zero\nLOAD SAND fifo.png\nLOAD SAND zero.png\nINCLUDE fifo.ef2\n"
        "LOAD STAMP fifo.png 3\nFILE OPEN fifo.ef2\nMESSAGE SAVE\n");
    EXPECT_TRUE(printed("Error opening file \"zero\""));
    EXPECT_TRUE(printed("Error opening file \"fifo.ef2\""));
    EXPECT_EQ(runtime.world.width(), 6);
    EXPECT_FALSE(runtime.files.output.isOpen());
}

TEST_F(FileStatements, ScriptTextIsCappedAt64MiB) {
    {
        StreamPtr file(std::fopen("huge.ef2", "wb"));
        ASSERT_TRUE(file);
        std::fputs("SET HUGE 1\n", file.get());
    }
    fs::resize_file("huge.ef2", (std::uintmax_t{64} << 20) + 1);
    run("INCLUDE huge.ef2\nGETFILE huge.ef2\n");
    EXPECT_EQ(value("HUGE"), -999999);
    EXPECT_TRUE(printed("Error opening file \"huge.ef2\""));
}

TEST_F(FileStatements, FilesTheUserChoseMayLieAnywhere) {
    write(outside("mine.ef2"), "SET MINE 1\n");
    loadScriptFile(runtime, outside("mine.ef2"), 0, Confinement::None);
    EXPECT_EQ(value("MINE"), 1);
    loadScriptFile(runtime, "lnk/mine.ef2", 0, Confinement::None);
    EXPECT_EQ(value("MINE"), 1);
    run("SET MINE 0\n");
    loadScriptFile(runtime, "lnk/mine.ef2", 0);
    EXPECT_EQ(value("MINE"), 0) << "a script's own names stay confined";
}

}  // namespace
}  // namespace ef2
