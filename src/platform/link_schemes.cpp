#include "platform/link_schemes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/paths.h"
#include "platform/shell.h"

namespace ef2 {

namespace {

constexpr const char* kEntryName = "emberfall2.desktop";
constexpr const char* kSchemes[] = {"x-scheme-handler/ef2mod", "x-scheme-handler/ef2addon"};

std::string applicationsFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/applications";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.local/share/applications";
}

}  // namespace

std::string desktopExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // The Exec value is a string value too: its backslashes are escaped again.
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

std::string linkHandlerEntry(const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Emberfall 2 link handler\n"
           "Comment=Opens ef2mod:// and ef2addon:// links in Emberfall 2\n"
           "Exec=" +
           desktopExecArgument(programPath) +
           " %u\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=x-scheme-handler/ef2mod;x-scheme-handler/ef2addon;\n";
}

int registerLinkSchemes(const std::string& programPath) {
    namespace fs = std::filesystem;
    for (unsigned char c : programPath) {
        if (c < 0x20 || c == 0x7F) {
            std::fprintf(stderr,
                         "emberfall2: the program's path holds a control character; not registered\n");
            return 1;
        }
    }
    const fs::path folder = applicationsFolder();
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path entry = folder / kEntryName;
    {
        std::ofstream file(entry, std::ios::binary | std::ios::trunc);
        file << linkHandlerEntry(programPath);
        if (!file.flush()) {
            std::fprintf(stderr, "emberfall2: cannot write \"%s\"\n", entry.c_str());
            return 1;
        }
    }
    for (const char* scheme : kSchemes) {
        int status = runProgram({"xdg-mime", "default", kEntryName, scheme}, true);
        if (status == -1) {
            std::fprintf(stderr,
                         "emberfall2: xdg-mime was not found; install xdg-utils to register the links\n");
            return 1;
        }
        if (status != 0) {
            std::fprintf(stderr, "emberfall2: xdg-mime could not register %s\n", scheme);
            return 1;
        }
    }
    // Desktops that cache the handlers learn of the new entry (optional).
    runProgram({"update-desktop-database", folder.string()}, true);
    std::printf("Registered ef2mod:// and ef2addon:// links with %s\n", entry.c_str());
    return 0;
}

bool screenSaverCheck(int argc, const char* const* argv) {
    if (argc < 1) return false;
    const std::string_view program = argv[0];
    if (!program.ends_with(".scr") && !program.ends_with(".SCR")) return false;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (!isScreenSaverSwitch(argument)) continue;
        const char mode = static_cast<char>(argument[1] | 0x20);
        if (mode == 'p') return true;
        if (mode == 'c') {
            runProgram({"xdg-open", programFolder() + "/config.ef2"}, false);
            return true;
        }
    }
    return false;
}

}  // namespace ef2
