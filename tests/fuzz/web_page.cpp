// A file loaded as script text: a web page's code blocks when it begins
// with '<', plain lines otherwise.

#include "app/exit_request.h"
#include "app/file_loading.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(true);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ef2::fuzz::clearScratchFolder();
    ef2::fuzz::writeInput("page.html", data, size);
    auto runtime = ef2::fuzz::freshRuntime();
    try {
        runtime->interpreter.guarded([&] { ef2::loadScriptFile(*runtime, "page.html", 0); });
    } catch (const ef2::ExitRequest&) {
    }
    return 0;
}
