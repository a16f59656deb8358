// Saving and loading the default 420 x 420 world in each file form.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/file_loading.h"
#include "io/world_files.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

constexpr int kSize = 420;
constexpr int kElements = 20;

// Twenty elements of distinct colours; `share` of the interior holds
// particles scattered at random, the worst case for PNG compression.
void makeWorld(Runtime& runtime, int share) {
    runtime.world.create(kSize, kSize);
    for (int i = 0; i < kElements; ++i) {
        uint16_t id = runtime.elements.idOfName("E" + std::to_string(i), true);
        runtime.elements.setColour(id, 12 * i, 255 - 11 * i, (37 * i) % 256);
    }
    uint32_t random = 7;
    for (int y = 1; y <= kSize; ++y) {
        for (int x = 1; x <= kSize; ++x) {
            random = random * 1103515245u + 12345u;
            const bool filled = static_cast<int>((random >> 16) % 100) < share;
            runtime.world.setCell(x, y,
                                  filled ? static_cast<uint16_t>(2 + (random >> 8) % kElements) : kClear);
        }
    }
}

class BenchFile {
public:
    explicit BenchFile(const std::string& ending)
        : path_(std::filesystem::temp_directory_path() / ("ef2-bench-" + std::to_string(getpid()) + ending)) {
    }
    ~BenchFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

bool sameCells(const World& a, const std::vector<uint16_t>& cells) {
    for (int y = 0; y < a.gridHeight(); ++y) {
        for (int x = 0; x < a.gridWidth(); ++x) {
            if (a.cells()[y * a.stride() + x] != cells[static_cast<std::size_t>(y) * a.gridWidth() + x])
                return false;
        }
    }
    return true;
}

std::vector<uint16_t> cellsOf(const World& world) {
    std::vector<uint16_t> cells;
    for (int y = 0; y < world.gridHeight(); ++y) {
        const uint16_t* row = world.cells() + y * world.stride();
        cells.insert(cells.end(), row, row + world.gridWidth());
    }
    return cells;
}

void BM_PngSaveAndLoad(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, static_cast<int>(state.range(0)));
    const std::vector<uint16_t> original = cellsOf(runtime.world);
    BenchFile file(".png");
    for (auto _ : state) {
        saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
        loadWorldFile(runtime, file.path(), Confinement::None);
    }
    if (!sameCells(runtime.world, original)) state.SkipWithError("the loaded world differs");
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file.path()));
}

void BM_PngSave(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, static_cast<int>(state.range(0)));
    BenchFile file(".png");
    for (auto _ : state) saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
}

void BM_PngLoad(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, static_cast<int>(state.range(0)));
    BenchFile file(".png");
    saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
    for (auto _ : state) loadWorldFile(runtime, file.path(), Confinement::None);
}

void BM_BmpSave(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, 40);
    BenchFile file(".bmp");
    for (auto _ : state) saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
}

// Every colour of a BMP the program saved is an element's colour exactly, so
// the loaded world equals the saved one with the frame turned empty.
void BM_BmpLoad(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, 40);
    std::vector<uint16_t> expected = cellsOf(runtime.world);
    for (uint16_t& cell : expected) cell = cell == kNothing ? kClear : cell;
    BenchFile file(".bmp");
    saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
    for (auto _ : state) loadWorldFile(runtime, file.path(), Confinement::None);
    if (!sameCells(runtime.world, expected)) state.SkipWithError("a cell did not find its exact colour");
}

// A full world: every interior cell holds one of the twenty elements.
void BM_ScriptSaveOfAFullWorld(benchmark::State& state) {
    Runtime runtime;
    makeWorld(runtime, 100);
    BenchFile file(".ef2");
    for (auto _ : state) saveWorldFile(runtime.world, runtime.elements, file.path(), Confinement::None);
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file.path()));
}

BENCHMARK(BM_PngSaveAndLoad)->Arg(5)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngSave)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLoad)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptSaveOfAFullWorld)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ef2
