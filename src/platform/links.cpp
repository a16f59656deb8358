#include "platform/links.h"

#include "app/runtime.h"

namespace ef2 {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// "C:..." on the system the scripts were first written for.
bool isDrivePath(std::string_view name) { return name.find(':') == 1; }

}  // namespace

bool fileNameAllowed(std::string_view name, bool strict) {
    if (contains(name, "dl.dll") || contains(name, "wget") || contains(name, "notepad")) return false;
    if (name == "start" || name == "start.bat") return false;
    if (!strict) return true;
    if (contains(name, "..") || isDrivePath(name)) return false;
    return name.empty() || (name.front() != '/' && name.front() != '\\');
}

bool handleLink(Runtime& runtime, std::string& argument, bool strict) {
    if (argument.empty()) return false;
    if (!fileNameAllowed(argument, strict)) {
        runtime.printLine("Refused file name \"" + argument + "\"", 0);
        return false;
    }
    return true;
}

}  // namespace ef2
