// Files named by scripts stay inside the working folder: links, "..",
// absolute names and special files are refused, nothing blocks, and text
// read into memory is capped. Every case runs with openat2 and with the
// step-by-step walk.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/confined_files.h"
#include "support/scratch_folder.h"

namespace ef2 {
namespace {

namespace fs = std::filesystem;

// Opening a FIFO or a device must never wait: a test that would hang is
// killed by the alarm instead.
struct NoHang {
    NoHang() { alarm(20); }
    ~NoHang() { alarm(0); }
};

class ConfinedFiles : public test::InScratchFolder, public ::testing::WithParamInterface<FolderResolver> {
protected:
    void SetUp() override {
        InScratchFolder::SetUp();
        setFolderResolver(GetParam());
        fs::create_directory("sub");
        write("sub/inside.txt", "inside");
        write(outside("secret.txt"), "secret");
        fs::create_directory_symlink(outside(), "lnk");
        fs::create_directory_symlink("sub", "inner");
        fs::create_symlink(outside("secret.txt"), "secret.txt");
    }
    void TearDown() override {
        setFolderResolver(FolderResolver::Automatic);
        InScratchFolder::TearDown();
    }
    static std::string read(const std::string& name, Confinement confinement = Confinement::WorkingFolder) {
        std::string text;
        FileError error = readWholeFile(name, text, confinement);
        return error == FileError::None ? text : "<error " + std::to_string(static_cast<int>(error)) + ">";
    }
    static bool writeText(const std::string& name, const std::string& text,
                          WriteMode mode = WriteMode::Replace) {
        StreamPtr file = openForWriting(name, mode, Confinement::WorkingFolder).intoStream("wb");
        if (!file) return false;
        std::fwrite(text.data(), 1, text.size(), file.get());
        return closeStream(std::move(file));
    }
};

TEST_P(ConfinedFiles, NamesBeneathTheFolderReadAndWrite) {
    EXPECT_EQ(read("sub/inside.txt"), "inside");
    EXPECT_EQ(read("./sub//inside.txt"), "inside");
    ASSERT_TRUE(writeText("sub/new.txt", "one"));
    ASSERT_TRUE(writeText("sub/new.txt", "two", WriteMode::Append));
    EXPECT_EQ(read("sub/new.txt"), "onetwo");
    ASSERT_TRUE(writeText("sub/new.txt", "3"));
    EXPECT_EQ(read("sub/new.txt"), "3") << "replacing empties the old contents";
    EXPECT_FALSE(writeText("sub/new.txt", "4", WriteMode::CreateNew));
    EXPECT_FALSE(writeText("missing/new.txt", "x")) << "folders are not made by opening";
}

TEST_P(ConfinedFiles, LinksAbsoluteNamesAndParentsAreRefused) {
    FileError error = FileError::None;
    for (const char* name : {"lnk/secret.txt", "secret.txt", "inner/inside.txt", "../outside/secret.txt",
                             "sub/../sub/inside.txt", "", "/etc/hostname"}) {
        EXPECT_FALSE(openForReading(name, Confinement::WorkingFolder, &error)) << name;
        EXPECT_NE(error, FileError::None) << name;
    }
    EXPECT_FALSE(writeText("lnk/written.txt", "x"));
    EXPECT_FALSE(writeText("secret.txt", "overwritten"));
    EXPECT_FALSE(fs::exists(outside("written.txt")));
    EXPECT_EQ(contents(outside("secret.txt")), "secret");
    // A link that points nowhere is not a way to create a file elsewhere.
    fs::create_symlink(outside("dangling.txt"), "dangling.txt");
    EXPECT_FALSE(writeText("dangling.txt", "x"));
    EXPECT_FALSE(fs::exists(outside("dangling.txt")));

    // The user's own choices follow links and may be anywhere.
    EXPECT_EQ(read("lnk/secret.txt", Confinement::None), "secret");
    EXPECT_EQ(read(outside("secret.txt"), Confinement::None), "secret");
}

TEST_P(ConfinedFiles, OnlyRegularFilesOpenAndNothingBlocks) {
    NoHang guard;
    ASSERT_EQ(mkfifo("fifo.png", 0600), 0);
    fs::create_symlink("/dev/zero", "zero");
    FileError error = FileError::None;
    EXPECT_FALSE(openForReading("fifo.png", Confinement::WorkingFolder, &error));
    EXPECT_EQ(error, FileError::NotRegular);
    EXPECT_FALSE(openForWriting("fifo.png", WriteMode::Append, Confinement::WorkingFolder, &error));
    EXPECT_EQ(error, FileError::NotRegular);
    EXPECT_FALSE(openForReading(".", Confinement::WorkingFolder, &error));
    EXPECT_EQ(error, FileError::NotRegular);
    EXPECT_FALSE(openForReading("sub", Confinement::WorkingFolder, &error));
    EXPECT_FALSE(openForReading("zero", Confinement::WorkingFolder));
    // Unconfined names follow the link, and still refuse what is no file.
    EXPECT_FALSE(openForReading("zero", Confinement::None, &error));
    EXPECT_EQ(error, FileError::NotRegular);
    EXPECT_FALSE(openForReading("fifo.png", Confinement::None, &error));
    EXPECT_EQ(error, FileError::NotRegular);
    std::string text;
    EXPECT_EQ(readWholeFile("/proc/self/mem", text, Confinement::None), FileError::ReadFailed)
        << "a file whose read fails";
    EXPECT_FALSE(regularFileExists("sub", Confinement::None));
    EXPECT_TRUE(regularFileExists("sub/inside.txt", Confinement::None));
}

TEST_P(ConfinedFiles, TextIsCappedAtTheLimit) {
    write("big.txt", std::string(1000, 'x'));
    std::string text = "old";
    EXPECT_EQ(readWholeFile("big.txt", text, Confinement::WorkingFolder, 1000), FileError::None);
    EXPECT_EQ(text.size(), 1000u);
    EXPECT_EQ(readWholeFile("big.txt", text, Confinement::WorkingFolder, 999), FileError::TooLarge);
    EXPECT_TRUE(text.empty());
}

TEST_P(ConfinedFiles, FoldersAreMadeRemovedAndRenamedOnlyInside) {
    EXPECT_TRUE(makeFolders("webdls/example.com/a"));
    EXPECT_TRUE(fs::is_directory("webdls/example.com/a"));
    EXPECT_TRUE(makeFolders("webdls/example.com/a")) << "existing folders are fine";
    ASSERT_TRUE(writeText("webdls/example.com/a/part", "data"));
    EXPECT_TRUE(renameFile("webdls/example.com/a/part", "webdls/example.com/a/file.ef2"));
    EXPECT_EQ(read("webdls/example.com/a/file.ef2"), "data");

    EXPECT_FALSE(makeFolders("lnk/made")) << "a link on the way is refused";
    EXPECT_FALSE(fs::exists(outside("made")));
    EXPECT_FALSE(makeFolder("secret.txt"));
    EXPECT_FALSE(renameFile("sub/inside.txt", "lnk/moved.txt"));
    EXPECT_FALSE(renameFile("lnk/secret.txt", "stolen.txt"));
    EXPECT_FALSE(fs::exists(outside("moved.txt")));

    EXPECT_FALSE(removeFile("lnk/secret.txt"));
    EXPECT_TRUE(removeFile("secret.txt")) << "the link itself goes";
    EXPECT_EQ(contents(outside("secret.txt")), "secret");
    EXPECT_FALSE(removeFile("sub")) << "folders are not removed";
    EXPECT_FALSE(removeFile("../outside/secret.txt"));
    EXPECT_TRUE(fs::exists(outside("secret.txt")));
}

INSTANTIATE_TEST_SUITE_P(BothResolvers, ConfinedFiles,
                         ::testing::Values(FolderResolver::Automatic, FolderResolver::StepByStep),
                         [](const auto& info) {
                             return info.param == FolderResolver::Automatic ? "Automatic" : "StepByStep";
                         });

}  // namespace
}  // namespace ef2
