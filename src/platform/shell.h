#pragma once
// Starting other programs. Never through a shell with text that came from a
// script: programs get an argument vector.

#include <string>
#include <vector>

namespace ef2 {

// Starts `arguments[0]` (searched on PATH when it has no slash) with the
// arguments. With `wait`, waits for it and returns its exit status; without,
// returns 0 once it started. -1 when it could not be started.
int runProgram(const std::vector<std::string>& arguments, bool wait);

// Splits a line at blanks into words.
std::vector<std::string> splitWords(const std::string& line);

}  // namespace ef2
