#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/confined_files.h"

namespace ef2 {

std::string programPath() {
    std::vector<char> buffer(4096);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string programFolder() {
    std::string path = programPath();
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size())) return ".";
    return buffer.data();
}

bool changeDirectory(const std::string& path) {
    return chdir(path.c_str()) == 0;
}

bool fileReadable(const std::string& path) {
    return regularFileExists(path, Confinement::None);
}

namespace {

std::string userDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.local/share";
}

// Copies what the user's folder lacks; never replaces a file, never follows
// a link out of either folder.
void seedFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(from, error); !error && entry != fs::end(entry);
         entry.increment(error)) {
        const fs::path target = to / fs::relative(entry->path(), from, error);
        if (entry->is_symlink(error)) continue;
        if (entry->is_directory(error)) {
            fs::create_directories(target, error);
        } else if (entry->is_regular_file(error) && !fs::exists(fs::symlink_status(target, error))) {
            fs::copy_file(entry->path(), target, fs::copy_options::skip_existing, error);
        }
    }
}

}  // namespace

std::string defaultWorkingFolder() {
    namespace fs = std::filesystem;
    const std::string own = programFolder();
    if (fileReadable(own + "/config.ef2") || fileReadable(own + "/myconfig.ef2")) return own;
    const fs::path shared = fs::path(own).parent_path() / "share" / "emberfall2";
    std::error_code error;
    if (!fs::is_directory(shared, error)) return own;
    const fs::path user = fs::path(userDataFolder()) / "emberfall2";
    fs::create_directories(user, error);
    seedFolder(shared, user);
    return user.string();
}

bool isScreenSaverSwitch(const std::string& argument) {
    return argument.size() >= 2 && argument[0] == '/' &&
           std::isalpha(static_cast<unsigned char>(argument[1])) &&
           (argument.size() == 2 || argument[2] == ':');
}

}  // namespace ef2
