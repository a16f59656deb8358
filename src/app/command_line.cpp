#include "app/command_line.h"

#include <charconv>

namespace ef2 {

namespace {

// More would make the start window larger than any screen.
constexpr int64_t kMaxScale = 8;

bool readCount(const std::string& text, int64_t& value) {
    const char* end = text.data() + text.size();
    auto [pointer, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && pointer == end && value >= 0;
}

}  // namespace

CommandLineResult parseCommandLine(int argc, const char* const* argv) {
    CommandLineResult result;
    CommandLine& line = result.commandLine;
    for (int index = 1; index < argc; ++index) {
        std::string argument = argv[index];
        auto needValue = [&](std::string& value) {
            if (index + 1 >= argc) {
                result.error = "option " + argument + " needs a value";
                return false;
            }
            value = argv[++index];
            return true;
        };
        std::string value;
        if (argument == "--headless") {
            line.headless = true;
        } else if (argument == "--bench") {
            line.bench = true;
        } else if (argument == "--version") {
            line.showVersion = true;
        } else if (argument == "--help" || argument == "-h") {
            line.showHelp = true;
        } else if (argument == "--steps") {
            if (!needValue(value)) return result;
            int64_t steps = 0;
            if (!readCount(value, steps)) {
                result.error = "--steps needs a whole number of steps, not \"" + value + "\"";
                return result;
            }
            line.steps = steps;
        } else if (argument == "--workdir") {
            if (!needValue(line.workdir)) return result;
        } else if (argument == "--save") {
            if (!needValue(line.savePath)) return result;
        } else if (argument == "--screenshot") {
            if (!needValue(line.screenshotPath)) return result;
        } else if (argument == "--assume-yes") {
            line.assumeYes = true;
        } else if (argument == "--port") {
            if (!needValue(value)) return result;
            int64_t port = 0;
            if (!readCount(value, port) || port > 65535) {
                result.error = "--port needs a port number from 0 to 65535, not \"" + value + "\"";
                return result;
            }
            line.port = static_cast<int>(port);
        } else if (argument == "--scale") {
            if (!needValue(value)) return result;
            int64_t scale = 0;
            if (!readCount(value, scale) || scale < 1 || scale > kMaxScale) {
                result.error = "--scale needs a whole number from 1 to " + std::to_string(kMaxScale) +
                               ", not \"" + value + "\"";
                return result;
            }
            line.scale = static_cast<int>(scale);
        } else if (argument == "--listen") {
            if (!needValue(line.listenAddress)) return result;
        } else if (argument == "--no-network") {
            line.network = false;
        } else if (argument == "--register-links") {
            line.registerLinks = true;
        } else if (argument == "--") {
            // Everything after "--" is a file or link, even when it starts with '-'.
            for (++index; index < argc; ++index) line.arguments.push_back(argv[index]);
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
            result.error = "unknown option " + argument + " (see --help)";
            return result;
        } else {
            line.arguments.push_back(argument);
        }
    }
    if (line.bench && !line.steps) result.error = "--bench needs --steps N";
    if (!line.savePath.empty() && !line.steps) result.error = "--save needs --steps N";
    if (!line.screenshotPath.empty() && !line.steps) result.error = "--screenshot needs --steps N";
    return result;
}

std::string absoluteArgument(const std::string& argument, const std::string& currentDirectory) {
    if (argument.empty() || argument[0] == '/' || argument.find("://") != std::string::npos) return argument;
    return currentDirectory + "/" + argument;
}

std::string usageText() {
    return "Usage: emberfall2 [options] [--] [script, picture or link ...]\n"
           "\n"
           "A falling-sand toy driven by scripts. Without file arguments the start\n"
           "script (myconfig.ef2 or config.ef2 in the program folder) is loaded.\n"
           "\n"
           "Options:\n"
           "  --headless        no window; console lines also go to standard output\n"
           "  --steps N         run exactly N simulation steps, then exit\n"
           "  --bench           with --steps: print the speed and a checksum of the world\n"
           "  --workdir DIR     use DIR as the working directory\n"
           "  --save FILE       with --steps: save the world at the exit (.png, .bmp or .ef2)\n"
           "  --screenshot FILE with --steps: write one frame as a PNG at the exit\n"
           "  --assume-yes      answer yes to every question of the local scripts\n"
           "  --scale N         show every screen pixel as N x N window pixels\n"
           "  --port N          remote-control port (default 7777; 0 picks a free one)\n"
           "  --listen ADDR     listen on this address instead of 127.0.0.1\n"
           "  --no-network      do not listen for remote control\n"
           "  --register-links  open ef2mod:// and ef2addon:// links with this program\n"
           "  --version         print the version\n"
           "  --help            print this text\n";
}

}  // namespace ef2
