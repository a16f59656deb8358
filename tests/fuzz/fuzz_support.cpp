#include "fuzz_support.h"

#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/shell.h"

namespace ef2::fuzz {

namespace {

bool leaveNetwork() {
    if (unshare(CLONE_NEWNET) == 0) return true;
    // Without privileges a user namespace may still give a network of one's own.
    return unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0;
}

}  // namespace

bool prepareProcess(bool runsStatements) {
    setProgramsAllowed(false);
    char pattern[] = "/tmp/ef2-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) {
        std::fprintf(stderr, "fuzz: cannot make a scratch folder\n");
        return false;
    }
    if (runsStatements && !leaveNetwork()) {
        std::fprintf(stderr, "fuzz: cannot leave the network (no network namespace); scripts are not run\n");
        return false;
    }
    return true;
}

int initialize(bool runsStatements) {
    if (prepareProcess(runsStatements)) return 0;
#ifdef EF2_LIBFUZZER
    std::exit(1);
#else
    return 1;
#endif
}

void clearScratchFolder() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
        std::filesystem::remove_all(entry.path(), error);
    }
}

void writeInput(const std::string& name, const uint8_t* data, std::size_t size) {
    // An input that never reached the disk would let the target pass on
    // nothing, so a short write stops the run.
    std::FILE* file = std::fopen(name.c_str(), "wb");
    const bool written = file && (size == 0 || std::fwrite(data, 1, size, file) == size);
    if (!file || std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "fuzz: cannot write the input file %s\n", name.c_str());
        std::abort();
    }
}

std::unique_ptr<Runtime> freshRuntime() {
    auto runtime = std::make_unique<Runtime>();
    runtime->desktop = DesktopSettings{true, false, {}};
    runtime->interpreter.setRunawayLimits({kFuzzStatements, kFuzzMilliseconds});
    runtime->interpreter.pushFrame(ParameterFrame{});
    runtime->world.create(24, 16);
    ElementTable& elements = runtime->elements;
    const char* names[] = {"Sand", "Water", "Wall", "Fire"};
    for (int i = 0; i < 4; ++i) {
        uint16_t id = elements.idOfName(names[i], true);
        elements.setColour(id, 60 * i, 255 - 50 * i, 30 * i);
        elements.setWeight(id, i == 2 ? 0 : 100 * (i + 1));
    }
    return runtime;
}

}  // namespace ef2::fuzz
