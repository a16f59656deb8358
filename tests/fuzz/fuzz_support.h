#pragma once
// What every fuzz target shares: a scratch working folder of its own, a
// fresh runtime with low runaway limits, no network and no programs.
//
// A target is one file, tests/fuzz/<name>.cpp, defining
// LLVMFuzzerTestOneInput. Built with clang and -fsanitize=fuzzer it is a
// libFuzzer binary; built with the ordinary compiler it is linked with
// replay_main.cpp and replays the files it is given (the test suite replays
// tests/fuzz/<name>/ that way).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/runtime.h"

namespace ef2::fuzz {

// Statement and time limits of one pass while fuzzing: a runaway loop ends
// long before libFuzzer would call it a hang.
constexpr int64_t kFuzzStatements = 20000;
constexpr int64_t kFuzzMilliseconds = 5000;

// Called once per process: enters an empty scratch folder, refuses to start
// programs and, when `runsStatements`, leaves the network (a private network
// namespace) so that no statement reaches another machine. False when the
// network cannot be left; the target must then not run.
bool prepareProcess(bool runsStatements);

// LLVMFuzzerInitialize of a target: prepareProcess, and when that fails, an
// exit under libFuzzer or a non-zero result for the replay (a skipped test).
int initialize(bool runsStatements);

// Empties the scratch folder, so that each input starts from nothing.
void clearScratchFolder();

// Writes the input to a file of the scratch folder.
void writeInput(const std::string& name, const uint8_t* data, std::size_t size);

// A runtime as the program has it after start-up, headless, with a small
// world, a few elements and the fuzzing limits.
std::unique_ptr<Runtime> freshRuntime();

}  // namespace ef2::fuzz
