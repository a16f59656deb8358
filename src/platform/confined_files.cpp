#include "platform/confined_files.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace ef2 {

namespace {

std::atomic<FolderResolver> folderResolver{FolderResolver::Automatic};
// Set once openat2 turned out to be missing (old kernel, or filtered away).
std::atomic<bool> openat2Missing{false};

// A name split into the folders to walk and the last component. Empty and
// "." components are skipped; a name of only such components means the
// working folder itself (last component ".").
struct SplitName {
    std::vector<std::string> folders;
    std::string last;
};

bool splitName(std::string_view name, SplitName& split) {
    if (name.empty() || name.front() == '/') return false;
    std::vector<std::string> parts;
    while (!name.empty()) {
        const std::size_t slash = name.find('/');
        const std::string_view part = name.substr(0, slash);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.emplace_back(part);
        if (slash == std::string_view::npos) break;
        name.remove_prefix(slash + 1);
    }
    if (parts.empty()) parts.emplace_back(".");
    split.last = std::move(parts.back());
    parts.pop_back();
    split.folders = std::move(parts);
    return true;
}

FileError errorOf(int error) {
    switch (error) {
        case ELOOP:
        case EXDEV:
        case ENOTDIR: return FileError::Refused;  // a link, or a file where a folder should be
        case EISDIR:
        case ENXIO: return FileError::NotRegular;
        default: return FileError::NotFound;
    }
}

void note(FileError* error, FileError value) {
    if (error) *error = value;
}

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

FileHandle openFoldersWithOpenat2(const std::vector<std::string>& folders) {
    std::string path;
    for (const std::string& folder : folders) path += (path.empty() ? "" : "/") + folder;
    open_how how{};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return FileHandle(static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how)));
}

FileHandle openFoldersStepByStep(const std::vector<std::string>& folders) {
    FileHandle folder(openat(AT_FDCWD, ".", kFolderFlags));
    for (const std::string& name : folders) {
        if (!folder) break;
        folder = FileHandle(openat(folder.descriptor(), name.c_str(), kFolderFlags | O_NOFOLLOW));
    }
    return folder;
}

// The folder that holds the split name's last component.
FileHandle openParentFolder(const SplitName& split, FileError* error) {
    FileHandle folder;
    const bool tryOpenat2 = !split.folders.empty() && folderResolver.load() == FolderResolver::Automatic &&
                            !openat2Missing.load();
    if (tryOpenat2) {
        folder = openFoldersWithOpenat2(split.folders);
        if (!folder && (errno == ENOSYS || errno == EPERM)) openat2Missing = true;
    }
    if (!tryOpenat2 || openat2Missing.load()) folder = openFoldersStepByStep(split.folders);
    if (!folder) note(error, errorOf(errno));
    return folder;
}

bool isRegular(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens `name` below `folder` (or as given when `folder` is AT_FDCWD and the
// name is unconfined). A name that exists but is no regular file is refused
// before it is opened for real, so a device never sees an open.
FileHandle openRegular(int folder, const char* name, int flags, bool followLinks, FileError* error) {
    const int noFollow = followLinks ? 0 : O_NOFOLLOW;
    struct stat status {};
    if (fstatat(folder, name, &status, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(status.st_mode)) {
            note(error, FileError::Refused);
            return {};
        }
        if (!S_ISREG(status.st_mode)) {
            note(error, FileError::NotRegular);
            return {};
        }
    } else if ((flags & O_CREAT) == 0) {
        note(error, errorOf(errno));
        return {};
    }
    FileHandle file(openat(folder, name, flags | noFollow | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file) {
        note(error, errorOf(errno));
        return {};
    }
    // The name may have changed between the look and the open.
    if (!isRegular(file.descriptor())) {
        note(error, FileError::NotRegular);
        return {};
    }
    const int statusFlags = fcntl(file.descriptor(), F_GETFL);
    if (statusFlags >= 0) fcntl(file.descriptor(), F_SETFL, statusFlags & ~O_NONBLOCK);
    note(error, FileError::None);
    return file;
}

FileHandle openWith(std::string_view name, int flags, Confinement confinement, FileError* error) {
    if (confinement == Confinement::None) {
        if (name.empty()) {
            note(error, FileError::NotFound);
            return {};
        }
        return openRegular(AT_FDCWD, std::string(name).c_str(), flags, true, error);
    }
    SplitName split;
    if (!splitName(name, split)) {
        note(error, FileError::Refused);
        return {};
    }
    FileHandle folder = openParentFolder(split, error);
    if (!folder) return {};
    return openRegular(folder.descriptor(), split.last.c_str(), flags, false, error);
}

int writeFlags(WriteMode mode) {
    switch (mode) {
        case WriteMode::Replace: return O_WRONLY | O_CREAT;
        case WriteMode::Append: return O_WRONLY | O_CREAT | O_APPEND;
        case WriteMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_WRONLY | O_CREAT;
}

// Runs `operation(folder, lastComponent)` in the folder that holds `name`.
template <typename Operation>
bool inParentFolder(std::string_view name, Operation&& operation) {
    SplitName split;
    if (!splitName(name, split) || split.last == ".") return false;
    FileHandle folder = openParentFolder(split, nullptr);
    return folder && operation(folder.descriptor(), split.last.c_str());
}

}  // namespace

FileHandle::~FileHandle() {
    if (descriptor_ >= 0) close(descriptor_);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = other.release();
    }
    return *this;
}

int FileHandle::release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

StreamPtr FileHandle::intoStream(const char* mode) && {
    if (descriptor_ < 0) return nullptr;
    StreamPtr stream(fdopen(descriptor_, mode));
    if (stream) descriptor_ = -1;
    return stream;  // on failure the destructor closes the descriptor
}

bool closeStream(StreamPtr stream) {
    return stream && std::fclose(stream.release()) == 0;
}

FileHandle openForReading(std::string_view name, Confinement confinement, FileError* error) {
    return openWith(name, O_RDONLY, confinement, error);
}

FileHandle openForWriting(std::string_view name, WriteMode mode, Confinement confinement, FileError* error) {
    FileHandle file = openWith(name, writeFlags(mode), confinement, error);
    // Emptied only once it is known to be a regular file.
    if (file && mode == WriteMode::Replace && ftruncate(file.descriptor(), 0) != 0) {
        note(error, FileError::WriteFailed);
        return {};
    }
    return file;
}

FileError readAll(const FileHandle& file, std::string& contents, std::size_t limit) {
    contents.clear();
    struct stat status {};
    if (!file || fstat(file.descriptor(), &status) != 0) return FileError::ReadFailed;
    if (status.st_size > 0 && static_cast<std::size_t>(status.st_size) > limit) return FileError::TooLarge;
    // Files whose size is unknown in advance (and files that grow) are
    // read in pieces until the limit.
    contents.reserve(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 0));
    char buffer[65536];
    while (true) {
        const ssize_t got = read(file.descriptor(), buffer, sizeof buffer);
        if (got == 0) return FileError::None;
        if (got < 0) {
            if (errno == EINTR) continue;
            contents.clear();
            return FileError::ReadFailed;
        }
        if (contents.size() + static_cast<std::size_t>(got) > limit) {
            contents.clear();
            contents.shrink_to_fit();
            return FileError::TooLarge;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
}

FileError readWholeFile(std::string_view name, std::string& contents, Confinement confinement,
                        std::size_t limit) {
    contents.clear();
    FileError error = FileError::None;
    FileHandle file = openForReading(name, confinement, &error);
    if (!file) return error;
    return readAll(file, contents, limit);
}

bool regularFileExists(std::string_view name, Confinement confinement) {
    return static_cast<bool>(openForReading(name, confinement));
}

bool removeFile(std::string_view name) {
    return inParentFolder(name, [](int folder, const char* last) { return unlinkat(folder, last, 0) == 0; });
}

bool makeFolder(std::string_view name) {
    return inParentFolder(name, [](int folder, const char* last) {
        if (mkdirat(folder, last, 0777) == 0) return true;
        struct stat status {};
        return errno == EEXIST && fstatat(folder, last, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(status.st_mode);
    });
}

bool makeFolders(std::string_view name) {
    SplitName split;
    if (!splitName(name, split)) return false;
    std::string path;
    split.folders.push_back(split.last);
    for (const std::string& folder : split.folders) {
        path += (path.empty() ? "" : "/") + folder;
        if (!makeFolder(path)) return false;
    }
    return true;
}

bool renameFile(std::string_view from, std::string_view to) {
    SplitName source, target;
    if (!splitName(from, source) || !splitName(to, target) || source.last == "." || target.last == ".")
        return false;
    FileHandle sourceFolder = openParentFolder(source, nullptr);
    FileHandle targetFolder = openParentFolder(target, nullptr);
    return sourceFolder && targetFolder &&
           renameat(sourceFolder.descriptor(), source.last.c_str(), targetFolder.descriptor(),
                    target.last.c_str()) == 0;
}

void setFolderResolver(FolderResolver resolver) {
    folderResolver = resolver;
}

}  // namespace ef2
