#pragma once
// A test that runs inside a working folder of its own, with a sibling folder
// "outside" that nothing a script names may reach.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ef2::test {

class InScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ef2-scratch-XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directory(root_ / "work");
        std::filesystem::create_directory(root_ / "outside");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_ / "work");
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_);
    }
    // A path in the sibling folder, absolute.
    std::string outside(const std::string& name = "") const { return (root_ / "outside" / name).string(); }

    static std::string contents(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::filesystem::path root_, previous_;
};

}  // namespace ef2::test
