// Replays inputs through a fuzz target's entry point without libFuzzer:
// every file named, and every file in every folder named, once each.
// Exits 0 when all ran, 77 (a skipped test) when the target may not run
// here, and dies like the fuzzer would when an input finds a fault.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<uint8_t> contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = std::filesystem::absolute(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
                if (entry.is_regular_file()) inputs.push_back(entry.path());
            }
        } else {
            inputs.push_back(path);
        }
    }
    if (LLVMFuzzerInitialize(&argc, &argv) != 0) return 77;
    for (const auto& input : inputs) {
        std::fprintf(stderr, "replay: %s\n", input.c_str());
        const std::vector<uint8_t> bytes = contents(input);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs ran\n", inputs.size());
    return 0;
}
