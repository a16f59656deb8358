#pragma once
// Working below any folder without ever leaving it: every folder on the way
// is opened relative to the one before, never through a symbolic link.
//
// confined_files.h does this beneath the working folder for names that
// scripts give. A package is unpacked into the folder it lies in, which the
// user may have chosen anywhere: it is opened once, and everything the
// package holds is written below that handle.

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

}  // namespace ef2
