#include "platform/paths.h"

#include <unistd.h>

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

bool changeDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

bool fileReadable(const std::string& path) { return regularFileExists(path, Confinement::None); }

}  // namespace ef2
