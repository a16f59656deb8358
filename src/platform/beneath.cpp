#include "platform/beneath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ef2 {

FolderHandle::~FolderHandle() {
    if (descriptor_ >= 0) close(descriptor_);
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = other.release();
    }
    return *this;
}

FolderHandle openFolder(const std::string& path) {
    return FolderHandle(open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderHandle openFoldersBelow(const FolderHandle& base, std::string_view relativePath, bool create,
                              std::vector<std::string>* created) {
    if (!base.valid()) return {};
    FolderHandle current(fcntl(base.descriptor(), F_DUPFD_CLOEXEC, 0));
    std::string walked;
    while (!relativePath.empty() && current.valid()) {
        std::size_t slash = relativePath.find('/');
        std::string part(relativePath.substr(0, slash));
        relativePath.remove_prefix(slash == std::string_view::npos ? relativePath.size() : slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") return {};
        walked += (walked.empty() ? "" : "/") + part;
        if (create && mkdirat(current.descriptor(), part.c_str(), 0755) == 0 && created)
            created->push_back(walked);
        current = FolderHandle(
            openat(current.descriptor(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

void splitPath(std::string_view path, std::string_view& folder, std::string_view& name) {
    std::size_t slash = path.rfind('/');
    folder = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    name = slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace ef2
