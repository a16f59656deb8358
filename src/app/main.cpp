// Emberfall 2: a falling-sand toy whose particles, menus, keys, tools and
// reactions are all defined by scripts.

#include <cstdio>

#include "app/command_line.h"
#include "app/program.h"
#include "app/runtime.h"
#include "app/version.h"
#include "platform/link_schemes.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    if (ef2::screenSaverCheck(argc, argv)) return 0;
    ef2::CommandLineResult parsed = ef2::parseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "emberfall2: %s\n", parsed.error.c_str());
        return 2;
    }
    ef2::CommandLine& commandLine = parsed.commandLine;
    if (commandLine.showHelp) {
        std::fputs(ef2::usageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.showVersion) {
        std::puts(ef2::versionLine().c_str());
        return 0;
    }
    if (commandLine.registerLinks) return ef2::registerLinkSchemes(ef2::programPath());
    std::string startDirectory = ef2::currentDirectory();
    for (std::string& argument : commandLine.arguments) {
        argument = ef2::absoluteArgument(argument, startDirectory);
    }
    for (std::string* output : {&commandLine.savePath, &commandLine.screenshotPath}) {
        if (!output->empty()) *output = ef2::absoluteArgument(*output, startDirectory);
    }
    ef2::Runtime runtime;
    ef2::Program program(runtime, commandLine);
    return program.run();
}
