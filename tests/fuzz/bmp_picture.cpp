// A BMP file loaded as a world, a stamp and a picture layer.

#include "app/file_loading.h"
#include "fuzz_support.h"
#include "io/pictures.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(false);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ef2::fuzz::clearScratchFolder();
    ef2::fuzz::writeInput("input.bmp", data, size);
    auto runtime = ef2::fuzz::freshRuntime();
    ef2::loadWorldFile(*runtime, "input.bmp");
    ef2::loadStamp(runtime->stamps, "input.bmp", 5);
    ef2::loadLayer(runtime->view.backgroundLayer, "input.bmp");
    runtime->physicsStep();
    return 0;
}
