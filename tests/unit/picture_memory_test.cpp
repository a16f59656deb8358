// No picture file makes the program grow by more than the world it describes
// plus 64 MiB: chunks that claim a gigabyte and interlaced pictures that
// would be assembled whole are measured in a child process.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>

#include "app/file_loading.h"
#include "app/runtime.h"
#include "support/scratch_folder.h"

namespace ef2 {
namespace {

constexpr int64_t kAllowanceKiB = 64 * 1024;
// A world keeps its grid and its colour layer: two bytes each per cell.
constexpr int64_t kWorldBytesPerCell = 4;

// The growth of the peak resident size while `load` runs, in KiB, measured
// in a child so that nothing the load keeps reaches the test process.
int64_t peakGrowthKiB(const std::function<void()>& load) {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        load();
        getrusage(RUSAGE_SELF, &after);
        int64_t growth = after.ru_maxrss - before.ru_maxrss;
        ssize_t written = write(ends[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(ends[1]);
    int64_t growth = -1;
    if (read(ends[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(ends[0]);
    waitpid(child, nullptr, 0);
    return growth;
}

std::string bigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string chunk(const std::string& type, const std::string& data) {
    std::string body = type + data;
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()));
    return bigEndian(static_cast<uint32_t>(data.size())) + body + bigEndian(crc);
}

// A 42 x 32 picture whose next chunk claims `declared` bytes and ends at once.
std::string pictureWithHugeChunk(const std::string& type, uint32_t declared) {
    std::string header = bigEndian(42) + bigEndian(32) + std::string("\x10\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + bigEndian(declared) + type + "ab";
}

class PictureMemory : public test::InScratchFolder {
protected:
    int64_t loadGrowthKiB(const std::string& name) {
        return peakGrowthKiB([&] {
            Runtime runtime;
            runtime.world.create(20, 20);
            loadWorldFile(runtime, name);
        });
    }
};

TEST_F(PictureMemory, ChunksThatClaimAGigabyteCostNothing) {
    for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "sPLT", "juNK"}) {
        write("huge.png", pictureWithHugeChunk(type, 0x3fffffff));
        EXPECT_LT(loadGrowthKiB("huge.png"), kAllowanceKiB) << type;
    }
}

TEST_F(PictureMemory, AnInterlacedPictureIsNotAssembledBeyondTheLimit) {
    ASSERT_EQ(std::system("convert -size 4000x4000 xc:'rgba(10,20,30,0.5)' -define png:bit-depth=16 "
                          "-define png:color-type=6 -interlace PNG -define png:compression-level=1 big.png"),
              0);
    const int64_t worldKiB = int64_t{4000} * 4000 * kWorldBytesPerCell / 1024;
    EXPECT_LT(loadGrowthKiB("big.png"), worldKiB + kAllowanceKiB);
}

}  // namespace
}  // namespace ef2
