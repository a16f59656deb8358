#include "platform/packages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "platform/beneath.h"
#include "platform/confined_files.h"

namespace ef2 {

namespace {

constexpr std::size_t kMaxNameLength = 1023;
constexpr std::size_t kMaxSegmentLength = 255;

struct Entry {
    zip_uint64_t index;
    std::string name;  // without a trailing '/'
    bool folder;
};

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Symbolic links, devices and pipes are refused; only files and folders pass.
bool plainFileOrFolder(zip_t* archive, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) return false;
    if (system != ZIP_OPSYS_UNIX) return true;
    const mode_t mode = attributes >> 16;
    return (mode & S_IFMT) == 0 || S_ISREG(mode) || S_ISDIR(mode);
}

// Checks every entry; fills `entries` or says what is wrong.
bool listEntries(zip_t* archive, const PackageLimits& limits, std::vector<Entry>& entries,
                 std::string& error) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || count > limits.maxEntries) {
        error = "more than " + std::to_string(limits.maxEntries) + " entries";
        return false;
    }
    int64_t declared = 0;
    int64_t folderSteps = 0;
    std::set<std::string> names;
    for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
            error = "an unreadable entry";
            return false;
        }
        std::string name = stat.name;
        if (!packageEntryNameAllowed(name)) {
            error = "the entry \"" + name + "\" would leave its folder";
            return false;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            error = "the entry \"" + name + "\" is encrypted";
            return false;
        }
        if (!plainFileOrFolder(archive, index)) {
            error = "the entry \"" + name + "\" is a link or a device";
            return false;
        }
        const bool folder = name.back() == '/';
        if (folder) name.pop_back();
        folderSteps += std::count(name.begin(), name.end(), '/') + 1;
        if (folderSteps > limits.maxFolderSteps) {
            error = "folders nested too deep (more than " + std::to_string(limits.maxFolderSteps) +
                    " on the ways of all entries)";
            return false;
        }
        if (!names.insert(name).second) {
            error = "the entry \"" + name + "\" is there twice";
            return false;
        }
        if (stat.valid & ZIP_STAT_SIZE)
            declared += static_cast<int64_t>(std::min<zip_uint64_t>(stat.size, INT64_MAX / 4));
        if (declared > limits.maxBytes) {
            error = "more than " + std::to_string(limits.maxBytes >> 20) + " MiB unpacked";
            return false;
        }
        entries.push_back(Entry{index, std::move(name), folder});
    }
    return true;
}

// The hidden folder a package is unpacked into before its files move.
class Staging {
public:
    explicit Staging(const FolderHandle& target) : target_(target) {
        std::random_device entropy;
        name_ = ".unpacking" + std::to_string(entropy() % 100000000);
        if (mkdirat(target.descriptor(), name_.c_str(), 0700) == 0) {
            folder_ = openFoldersBelow(target, name_, false);
        }
    }
    ~Staging() { removeAll(); }

    const FolderHandle& folder() const { return folder_; }
    void noteFile(const std::string& path) { files_.push_back(path); }
    void noteFolders(const std::vector<std::string>& folders) {
        folders_.insert(folders_.end(), folders.begin(), folders.end());
    }

private:
    // What is left of the staging tree: files not moved, then the folders,
    // innermost first.
    void removeAll() {
        if (!folder_.valid()) return;
        for (const std::string& file : files_) unlinkat(folder_.descriptor(), file.c_str(), 0);
        for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
            unlinkat(folder_.descriptor(), folder->c_str(), AT_REMOVEDIR);
        }
        folder_ = FolderHandle();
        unlinkat(target_.descriptor(), name_.c_str(), AT_REMOVEDIR);
    }

    const FolderHandle& target_;
    std::string name_;
    FolderHandle folder_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};

// Streams one entry into the staging folder, counting what arrives.
bool extractEntry(zip_t* archive, const Entry& entry, Staging& staging, int64_t& total,
                  const PackageLimits& limits, std::string& error) {
    std::string_view folderPart, namePart;
    splitPath(entry.name, folderPart, namePart);
    std::vector<std::string> created;
    FolderHandle folder =
        openFoldersBelow(staging.folder(), entry.folder ? entry.name : folderPart, true, &created);
    staging.noteFolders(created);
    if (!folder.valid()) {
        error = "cannot unpack \"" + entry.name + "\"";
        return false;
    }
    if (entry.folder) return true;
    std::unique_ptr<zip_file_t, EntryCloser> data(zip_fopen_index(archive, entry.index, 0));
    const std::string name(namePart);
    int output =
        openat(folder.descriptor(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (output < 0 || !data) {
        if (output >= 0) close(output);
        error = "cannot unpack \"" + entry.name + "\"";
        return false;
    }
    staging.noteFile(entry.name);
    char buffer[64 * 1024];
    bool good = true;
    zip_int64_t got;
    while (good && (got = zip_fread(data.get(), buffer, sizeof buffer)) > 0) {
        total += got;
        if (total > limits.maxBytes) {
            error = "more than " + std::to_string(limits.maxBytes >> 20) + " MiB unpacked";
            good = false;
        } else if (write(output, buffer, static_cast<std::size_t>(got)) != got) {
            error = "cannot write \"" + entry.name + "\"";
            good = false;
        }
    }
    if (good && got < 0) {
        error = "the entry \"" + entry.name + "\" is damaged";
        good = false;
    }
    return close(output) == 0 && good;
}

// A file may replace a file but not a folder, and no folder on its way may
// be a link or a file.
bool placeable(const FolderHandle& target, const Entry& entry) {
    std::string_view folderPart, namePart;
    splitPath(entry.name, folderPart, namePart);
    FolderHandle current(fcntl(target.descriptor(), F_DUPFD_CLOEXEC, 0));
    std::string_view rest = entry.folder ? std::string_view(entry.name) : folderPart;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string part(rest.substr(0, slash));
        rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
        struct stat status {};
        if (fstatat(current.descriptor(), part.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return true;
        if (!S_ISDIR(status.st_mode)) return false;
        current = openFoldersBelow(current, part, false);
        if (!current.valid()) return false;
    }
    if (entry.folder) return true;
    struct stat status {};
    const std::string name(namePart);
    return fstatat(current.descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
           S_ISREG(status.st_mode);
}

bool moveIntoPlace(const FolderHandle& target, Staging& staging, const Entry& entry) {
    std::string_view folderPart, namePart;
    splitPath(entry.name, folderPart, namePart);
    FolderHandle destination = openFoldersBelow(target, entry.folder ? entry.name : folderPart, true);
    if (entry.folder) return destination.valid();
    FolderHandle source = openFoldersBelow(staging.folder(), folderPart, false);
    const std::string name(namePart);
    return destination.valid() && source.valid() &&
           renameat(source.descriptor(), name.c_str(), destination.descriptor(), name.c_str()) == 0;
}

FolderHandle folderOf(const std::string& archive) {
    std::string_view folderPart, namePart;
    splitPath(archive, folderPart, namePart);
    if (!archive.empty() && archive[0] == '/')
        return openFolder(folderPart.empty() ? "/" : std::string(folderPart));
    return openFoldersBelow(openFolder("."), folderPart, false);
}

}  // namespace

bool packageEntryNameAllowed(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '/' ||
        (name.size() >= 2 && name[1] == ':')) {
        return false;
    }
    if (name.back() == '/') name.remove_suffix(1);
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '\\') return false;
    }
    while (true) {
        std::size_t slash = name.find('/');
        std::string_view segment = name.substr(0, slash);
        if (segment.empty() || segment == "." || segment == ".." || segment.size() > kMaxSegmentLength)
            return false;
        if (slash == std::string_view::npos) return true;
        name.remove_prefix(slash + 1);
    }
}

bool unpackPackage(const std::string& archivePath, std::string& error, const PackageLimits& limits) {
    FolderHandle target = folderOf(archivePath);
    std::string_view folderPart, namePart;
    splitPath(archivePath, folderPart, namePart);
    int descriptor = target.valid() ? openat(target.descriptor(), std::string(namePart).c_str(),
                                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                    : -1;
    struct stat status {};
    if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (descriptor >= 0) close(descriptor);
        error = "cannot open the package";
        return false;
    }
    zip_error_t zipError;
    zip_error_init(&zipError);
    StreamPtr file(fdopen(descriptor, "rb"));
    if (!file) close(descriptor);
    zip_source_t* source = file ? zip_source_filep_create(file.get(), 0, -1, &zipError) : nullptr;
    if (source) file.release();  // libzip's from here on, and closed with the source
    Archive archive(source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zipError) : nullptr);
    if (!archive) {
        if (source) zip_source_free(source);
        error = std::string("not a zip package (") + zip_error_strerror(&zipError) + ")";
        zip_error_fini(&zipError);
        return false;
    }
    zip_error_fini(&zipError);

    std::vector<Entry> entries;
    if (!listEntries(archive.get(), limits, entries, error)) return false;
    Staging staging(target);
    if (!staging.folder().valid()) {
        error = "cannot write in the package's folder";
        return false;
    }
    int64_t total = 0;
    for (const Entry& entry : entries) {
        if (!extractEntry(archive.get(), entry, staging, total, limits, error)) return false;
    }
    for (const Entry& entry : entries) {
        if (!placeable(target, entry)) {
            error = "\"" + entry.name + "\" cannot replace what is there";
            return false;
        }
    }
    for (const Entry& entry : entries) {
        if (!moveIntoPlace(target, staging, entry)) {
            error = "cannot move \"" + entry.name + "\" into place";
            return false;
        }
    }
    return true;
}

}  // namespace ef2
