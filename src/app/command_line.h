#pragma once
// The command line: options, and the files and links that start-up loads.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ef2 {

struct CommandLine {
    bool headless = false;
    std::optional<int64_t> steps;  // run exactly this many steps, then exit
    bool bench = false;
    std::string workdir;         // empty: the program's folder
    std::string savePath;        // with --steps: the world is saved here at the exit
    std::string screenshotPath;  // with --steps: one frame is written here as a PNG at the exit
    bool assumeYes = false;      // questions are answered yes without asking
    int scale = 1;               // window pixels per screen pixel
    int port = 7777;             // remote control: listening, add-on hand-over, telnet
    std::string listenAddress = "127.0.0.1";
    bool network = true;                 // false: do not listen
    bool registerLinks = false;          // register the link schemes, then exit
    std::vector<std::string> arguments;  // files and links, in order
    bool showVersion = false;
    bool showHelp = false;
};

struct CommandLineResult {
    CommandLine commandLine;
    std::string error;  // not empty when the command line could not be read
};

CommandLineResult parseCommandLine(int argc, const char* const* argv);

// Relative file paths become absolute (against the current directory), so that
// they survive the change to the program's folder. Links and paths that are
// already absolute stay as they are.
std::string absoluteArgument(const std::string& argument, const std::string& currentDirectory);

std::string usageText();

}  // namespace ef2
