#pragma once
// The program's own folder and the working directory.

#include <string>

namespace ef2 {

// The folder holding the running executable (from /proc/self/exe).
std::string programFolder();
std::string programPath();
std::string currentDirectory();
// False when the directory cannot be entered.
bool changeDirectory(const std::string& path);
// True for a regular file that opens for reading (links followed).
bool fileReadable(const std::string& path);

}  // namespace ef2
