#pragma once
// Files named by scripts, kept inside the working folder.
//
// A name that a statement gives (GETFILE, INCLUDE, LOAD, SAVE, FILE, icons,
// fonts) is resolved beneath the current working directory, one component at
// a time, and never through a symbolic link: "lnk/notes.txt" fails when "lnk"
// is a link, wherever it points, and so does a name that is itself a link.
// Absolute names and ".." components are refused outright. Where the kernel
// has openat2 the folders are resolved in one call with RESOLVE_BENEATH and
// RESOLVE_NO_SYMLINKS; otherwise each folder is opened with openat and
// O_NOFOLLOW. Either way the last component is opened with O_NOFOLLOW.
//
// Only regular files are read or written. A directory, FIFO, device or
// socket fails like a missing file; opening never blocks (O_NONBLOCK, then
// fstat, and a device is looked at before it is opened). Text read into
// memory is capped (kMaxTextBytes).
//
// Files the user picked (command-line arguments, dropped files, dialogs) are
// opened with Confinement::None: any path, links followed, but the same rules
// for regular files, blocking and the cap.
//
// Nothing here prints or throws; failures come back as values. Everything
// works on the current working directory, so a caller that builds below it
// (downloads into "webdls/", unpacked archives) uses makeFolders and then
// openForWriting with the same relative names.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace ef2 {

enum class Confinement {
    WorkingFolder,  // names from scripts: beneath the working folder, no links
    None,           // names the user chose: any path, links followed
};

// Why an operation failed. Missing files, refused names and non-regular
// files all count as "cannot open" to the statements.
enum class FileError {
    None,
    NotFound,    // no such file or folder, or no permission
    Refused,     // absolute, "..", empty, or a link on the way
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // more than the caller's limit
    ReadFailed,
    WriteFailed,
};

// Script files and GETFILE text are read whole into memory up to this size.
constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;

// A stdio stream, closed when the pointer goes. A writer that must know
// whether its buffered data reached the file closes it with closeStream.
struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using StreamPtr = std::unique_ptr<std::FILE, StreamCloser>;

// Closes the stream; false when it was null or its buffered data could not
// be written.
bool closeStream(StreamPtr stream);

// An open file descriptor, closed when the handle goes.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int descriptor) : descriptor_(descriptor) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : descriptor_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    explicit operator bool() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }
    int release();

    // A stdio stream on the descriptor ("rb", "wb", "ab"), which then belongs
    // to the stream; null (and the descriptor closed) when that fails.
    StreamPtr intoStream(const char* mode) &&;

private:
    int descriptor_ = -1;
};

// Opens a regular file for reading.
FileHandle openForReading(std::string_view name, Confinement confinement, FileError* error = nullptr);

enum class WriteMode {
    Replace,    // create, or empty an existing file
    Append,     // create, or write after the existing contents
    CreateNew,  // create; fail when the name exists
};

// Opens a regular file for writing, creating it with mode 0666 (less the
// umask). The folder it lies in must exist.
FileHandle openForWriting(std::string_view name, WriteMode mode, Confinement confinement,
                          FileError* error = nullptr);

// Reads an open file to its end into `contents`; TooLarge, with `contents`
// left empty, when it holds more than `limit` bytes.
FileError readAll(const FileHandle& file, std::string& contents, std::size_t limit = kMaxTextBytes);

// openForReading and readAll in one.
FileError readWholeFile(std::string_view name, std::string& contents, Confinement confinement,
                        std::size_t limit = kMaxTextBytes);

// True when the name opens for reading as a regular file.
bool regularFileExists(std::string_view name, Confinement confinement);

// The operations below always stay beneath the working folder.

// Removes a file (a link is removed itself, never what it points to);
// folders are not removed.
bool removeFile(std::string_view name);
// Creates one folder; true also when it exists as a folder already.
bool makeFolder(std::string_view name);
// Creates every missing folder of the name ("webdls/a/b" makes three).
bool makeFolders(std::string_view name);
// Renames a file or folder within the working folder, replacing a file of
// the new name (so a finished download can appear at once).
bool renameFile(std::string_view from, std::string_view to);

// How folders are resolved. Automatic uses openat2 when the kernel has it;
// StepByStep always walks with openat. For tests of both roads.
enum class FolderResolver { Automatic, StepByStep };
void setFolderResolver(FolderResolver resolver);

}  // namespace ef2
