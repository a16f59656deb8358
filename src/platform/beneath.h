#pragma once
// Writing files below a folder without ever leaving it: every folder on the
// way is opened relative to the one before, never through a symbolic link,
// and a file appears under its name only when it is complete.
//
// Downloads and unpacked packages are written this way, so that a link
// planted in the working folder or a package entry cannot redirect them.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace ef2 {

// An open folder; closed when the handle goes. `valid()` is false when the
// folder could not be opened.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(int descriptor) : descriptor_(descriptor) {}
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept : descriptor_(other.release()) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool valid() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }
    int release() {
        int descriptor = descriptor_;
        descriptor_ = -1;
        return descriptor;
    }

private:
    int descriptor_ = -1;
};

// Opens `path` (a folder, as the user named it) for use as a base.
FolderHandle openFolder(const std::string& path);

// Opens the folders of `relativePath` one by one below `base`, creating the
// missing ones when `create` is set (their names go to `created`, outermost
// first, when it is given). Invalid when a part is a symbolic link, not a
// folder, or "..".
FolderHandle openFoldersBelow(const FolderHandle& base, std::string_view relativePath, bool create,
                              std::vector<std::string>* created = nullptr);

// Splits "a/b/c.txt" into its folder part "a/b" and its name "c.txt".
void splitPath(std::string_view path, std::string_view& folder, std::string_view& name);

// A file being written under a temporary name in `folder`; `commit` gives it
// its real name (replacing a file of that name), and a file never committed
// is removed when the handle goes.
class PendingFile {
public:
    PendingFile(const FolderHandle& folder, std::string name);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool valid() const { return descriptor_ >= 0; }
    bool write(const void* data, std::size_t size);
    // Closes the file and renames it; false (and the file removed) on failure.
    bool commit();

private:
    int folder_;
    std::string name_;
    std::string temporaryName_;
    int descriptor_ = -1;
};

// True when `name` in `folder` is a regular file (not following a link).
bool regularFileIn(const FolderHandle& folder, const std::string& name);

}  // namespace ef2
