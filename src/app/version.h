#pragma once
// The program's name and versions, for the window caption, the welcome line,
// --version and the EFVERSION variable. The build's own version number comes
// from the project (CMakeLists.txt) as EF2_VERSION_TEXT.

#include <cstdint>
#include <string>

namespace ef2 {

constexpr const char* kProgramName = "Emberfall 2";
// The release the language and the start script belong to.
constexpr const char* kReleaseName = "Alpha11";
// What scripts read as EFVERSION.
constexpr int32_t kScriptVersion = 1901100;

inline std::string versionLine() {
    return std::string(kProgramName) + " " + EF2_VERSION_TEXT + " (" + kReleaseName + ", script version " +
           std::to_string(kScriptVersion) + ")";
}

inline std::string windowCaption() {
    return std::string(kProgramName) + " " + kReleaseName + " - a falling-sand toy driven by scripts";
}

inline std::string welcomeLine() {
    return std::string("Welcome to ") + kProgramName;
}

}  // namespace ef2
