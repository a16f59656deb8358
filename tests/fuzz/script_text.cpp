// Script text run in a fresh runtime, then two steps with their timers, as a
// start file and the first frames would run it.

#include "app/exit_request.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(true);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ef2::fuzz::clearScratchFolder();
    auto runtime = ef2::fuzz::freshRuntime();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        runtime->parser.parseText(text, 0, "fuzz.ef2");
        for (int step = 0; step < 2; ++step) {
            runtime->physicsStep();
            runtime->timers.runTimers();
        }
    } catch (const ef2::ExitRequest&) {
        // EXIT and RESTART end the run.
    }
    return 0;
}
