#pragma once
// Starting other programs. Never through a shell with text that came from a
// script: programs get an argument vector. The one exception is a command file
// that the user agreed to run (SYSTEM), which /bin/sh reads from a file.

#include <string>
#include <vector>

namespace ef2 {

// Starts `arguments[0]` (searched on PATH when it has no slash) with the
// arguments. With `wait`, waits for it and returns its exit status; without,
// returns 0 once it started. -1 when it could not be started.
int runProgram(const std::vector<std::string>& arguments, bool wait);

// As runProgram with waiting, collecting what the program writes on its
// standard output into `output`.
int runProgramWithOutput(const std::vector<std::string>& arguments, std::string& output);

// The temporary command file of SYSTEM, in the working directory.
constexpr const char* kCommandFileName = "tmp.cmd";

// Writes `commands` to the command file, runs it with /bin/sh, waits, and
// deletes the file. The exit status, or -1 when nothing ran.
int runCommandFile(const std::string& commands);

// Fuzzing runs statements from random text: there RESTART, SYSTEM and the
// converters must start nothing. While programs are not allowed, every
// function above returns -1 at once.
void setProgramsAllowed(bool allowed);

// Splits a line at blanks into words.
std::vector<std::string> splitWords(const std::string& line);

}  // namespace ef2
