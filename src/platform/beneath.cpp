#include "platform/beneath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

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
        if (create && mkdirat(current.descriptor(), part.c_str(), 0755) == 0 && created) created->push_back(walked);
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

PendingFile::PendingFile(const FolderHandle& folder, std::string name) : folder_(folder.descriptor()), name_(std::move(name)) {
    if (!folder.valid()) return;
    std::random_device entropy;
    for (int attempt = 0; attempt < 16 && descriptor_ < 0; ++attempt) {
        temporaryName_ = "." + name_.substr(0, 200) + ".part" + std::to_string(entropy() % 1000000);
        descriptor_ = openat(folder_, temporaryName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (descriptor_ < 0 && errno != EEXIST) break;
    }
}

PendingFile::~PendingFile() {
    if (descriptor_ < 0) return;
    close(descriptor_);
    unlinkat(folder_, temporaryName_.c_str(), 0);
}

bool PendingFile::write(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(descriptor_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool PendingFile::commit() {
    if (descriptor_ < 0) return false;
    bool closed = close(descriptor_) == 0;
    descriptor_ = -1;
    if (closed && renameat(folder_, temporaryName_.c_str(), folder_, name_.c_str()) == 0) return true;
    unlinkat(folder_, temporaryName_.c_str(), 0);
    return false;
}

bool regularFileIn(const FolderHandle& folder, const std::string& name) {
    struct stat status {};
    return folder.valid() && fstatat(folder.descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(status.st_mode);
}

}  // namespace ef2
