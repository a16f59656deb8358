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
bool fileReadable(const std::string& path);

// The folder a run works in when no --workdir is given: the program's own
// folder when it holds a start script (a build folder, an unpacked copy).
// An installed program ($prefix/bin, no start script beside it) works in
// $XDG_DATA_HOME/emberfall2, made on first start and seeded from
// $prefix/share/emberfall2 without replacing files the user already has.
std::string defaultWorkingFolder();

// A screen-saver switch ("/s", "/c", "/p:1234"): a slash, a letter, and
// nothing or a colon after it.
bool isScreenSaverSwitch(const std::string& argument);

}  // namespace ef2
