// A PNG file loaded as a world, as LOAD SAND and the command line load it.

#include "app/file_loading.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(false);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ef2::fuzz::clearScratchFolder();
    ef2::fuzz::writeInput("input.png", data, size);
    auto runtime = ef2::fuzz::freshRuntime();
    ef2::loadWorldFile(*runtime, "input.png");
    runtime->physicsStep();
    return 0;
}
