// World files, quick saves and stamps: round trips through every form, files
// from other programs, and truncated, corrupt and oversized files.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "app/file_loading.h"
#include "io/pictures.h"
#include "io/png_file.h"
#include "io/world_cells.h"
#include "io/world_files.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

namespace fs = std::filesystem;

// The working folder of a test: world files that statements name lie beneath it.
class TempFolder {
public:
    TempFolder() : previous_(fs::current_path()) {
        char pattern[] = "/tmp/ef2-world-files-XXXXXX";
        path_ = mkdtemp(pattern);
        fs::current_path(path_);
    }
    ~TempFolder() {
        fs::current_path(previous_);
        fs::remove_all(path_);
    }
    std::string file(const std::string& name) const { return name; }

private:
    fs::path previous_;
    std::string path_;
};

// The whole framed grid, for comparisons that name the size and every cell.
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> cells;
    bool operator==(const Grid&) const = default;
};

Grid gridOf(const World& world) {
    Grid grid{world.gridWidth(), world.gridHeight(), {}};
    for (int y = 0; y < grid.height; ++y) {
        const uint16_t* row = world.cells() + y * world.stride();
        grid.cells.insert(grid.cells.end(), row, row + grid.width);
    }
    return grid;
}

std::string describe(const Grid& grid) {
    return std::to_string(grid.width) + " x " + std::to_string(grid.height);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string commandOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

// 300 elements of distinct colours, so that ids above 255 exist.
void defineManyElements(Runtime& runtime) {
    for (int i = 2; i < 300; ++i) {
        uint16_t id = runtime.elements.idOfName("E" + std::to_string(i), true);
        runtime.elements.setColour(id, i % 256, (i * 7) % 256, i / 256 * 100 + 20);
    }
}

// Every interior cell gets an id from 0..299, so the picture holds ids above
// 255, element 1 inside the world and every element's colour.
void fillWithPattern(Runtime& runtime, int seed) {
    World& world = runtime.world;
    for (int y = 1; y <= world.height(); ++y) {
        for (int x = 1; x <= world.width(); ++x)
            test::put(runtime, x, y, static_cast<uint16_t>((x * 7 + y * 13 + seed) % 300));
    }
}

void fillRandomly(Runtime& runtime, unsigned seed) {
    std::mt19937 random(seed);
    World& world = runtime.world;
    for (int y = 1; y <= world.height(); ++y) {
        for (int x = 1; x <= world.width(); ++x)
            test::put(runtime, x, y, static_cast<uint16_t>(random() % 300));
    }
}

TEST(WorldFiles, PngRoundTripRestoresEveryCellAndAnyViewerSeesTheColours) {
    TempFolder folder;
    const std::string path = folder.file("world.png");
    Runtime runtime;
    test::createWorld(runtime, 40, 30);
    defineManyElements(runtime);
    fillWithPattern(runtime, 0);
    const Grid saved = gridOf(runtime.world);
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, path));

    runtime.world.resize(7, 9);
    fillWithPattern(runtime, 5);
    ASSERT_TRUE(loadWorldFile(runtime, path));
    const Grid loaded = gridOf(runtime.world);
    EXPECT_EQ(describe(loaded), describe(saved));
    EXPECT_TRUE(loaded == saved) << "cells differ after the PNG round trip";
    EXPECT_EQ(runtime.variables.find("WIDTH")->value, 40);

    EXPECT_EQ(commandOutput("identify -format '%w %h %z %[channels]' " + path), "42 32 16 srgb");
    // Read at 8 bits, a cell shows its element's colour (the id bytes shift
    // a channel by less than one step).
    const uint16_t id = runtime.world.interiorCell(9, 4);
    const Rgb colour = runtime.elements.get(id)->colour;
    std::string pixel = commandOutput(
        "convert '" + path +
        "[1x1+9+4]' -depth 8 -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]' info:");
    int r = -1, g = -1, b = -1;
    std::istringstream(pixel) >> r >> g >> b;
    EXPECT_NEAR(r, colour.r, 1) << pixel;
    EXPECT_NEAR(g, colour.g, 1) << pixel;
    EXPECT_NEAR(b, colour.b, 1) << pixel;
}

TEST(WorldFiles, InterlacedCopyMadeByAnotherProgramLoadsExactly) {
    TempFolder folder;
    Runtime runtime;
    test::createWorld(runtime, 33, 21);
    defineManyElements(runtime);
    fillWithPattern(runtime, 3);
    const Grid saved = gridOf(runtime.world);
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, folder.file("world.png")));
    ASSERT_EQ(std::system(("convert " + folder.file("world.png") +
                           " -interlace PNG -define png:color-type=2 -define png:bit-depth=16 " +
                           folder.file("interlaced.png"))
                              .c_str()),
              0);
    ASSERT_EQ(commandOutput("identify -format '%[interlace]' " + folder.file("interlaced.png")), "PNG");

    runtime.world.resize(5, 5);
    ASSERT_TRUE(loadWorldFile(runtime, folder.file("interlaced.png")));
    EXPECT_TRUE(gridOf(runtime.world) == saved);
}

TEST(WorldFiles, PngFromAnotherProgramSetsTheSizeAndLeavesMostCellsEmpty) {
    TempFolder folder;
    for (const char* options :
         {"-depth 8 ", "-depth 16 ", "-colorspace Gray -depth 8 ", "-colors 100 -type Palette "}) {
        const std::string path = folder.file("foreign.png");
        ASSERT_EQ(std::system(("convert -seed 3 -size 40x30 plasma: " + std::string(options) + path).c_str()),
                  0);
        Runtime runtime;
        test::createWorld(runtime, 20, 20);
        ASSERT_TRUE(loadWorldFile(runtime, path)) << options;
        EXPECT_EQ(runtime.world.width(), 38) << options;
        EXPECT_EQ(runtime.world.height(), 28) << options;
        EXPECT_GE(test::countCells(runtime, kClear), 38 * 28 * 9 / 10) << options;
    }
}

// An 8-bit RGB picture: a pixel's id is byte 3 (the next pixel's red) x 256 +
// byte 1 (its green). Ids below the defined count are taken, the first id
// beyond it is not, and the last pixel of a row, which has no byte 3, keeps
// what the resize left (under the sanitizers a read past the row fails).
TEST(WorldFiles, ForeignPngTakesTheLastDefinedIdAndNotTheFirstUndefinedOne) {
    TempFolder folder;
    Runtime runtime;
    test::createWorld(runtime, 20, 20);
    defineManyElements(runtime);
    const int defined = definedElementCount(runtime.elements);
    ASSERT_EQ(defined, 300);
    const std::string path = folder.file("foreign8.png");
    // Row 2 of a 6 x 5 picture: its pixels form the ids 0, defined - 1,
    // defined, 2 and 0, and the last one none. Every other row forms
    // 254 x 256 + 254, far beyond the defined ids.
    const int red[6] = {0, 0, (defined - 1) >> 8, defined >> 8, 0, 0};
    const int green[6] = {0, (defined - 1) & 0xFF, defined & 0xFF, 2, 0, 5};
    auto fillRow = [&](int y, uint8_t* bytes) {
        for (int x = 0; x < 6; ++x, bytes += 3) {
            bytes[0] = static_cast<uint8_t>(y == 2 ? red[x] : 254);
            bytes[1] = static_cast<uint8_t>(y == 2 ? green[x] : 254);
            bytes[2] = 7;
        }
    };
    ASSERT_TRUE(writePng(path, 6, 5, PngSamples::Rgb8, fillRow));

    fillWithPattern(runtime, 4);
    runtime.world.resize(4, 3);
    Grid expected = gridOf(runtime.world);
    const uint16_t kept22 = expected.cells[2 * 6 + 2], kept52 = expected.cells[2 * 6 + 5];
    ASSERT_NE(kept22, 0);
    const std::vector<uint16_t> row2{kClear, static_cast<uint16_t>(defined - 1), kept22, 2, kClear, kept52};
    std::copy(row2.begin(), row2.end(), expected.cells.begin() + 2 * 6);
    ASSERT_TRUE(loadWorldFile(runtime, path));
    EXPECT_EQ(describe(gridOf(runtime.world)), describe(expected));
    EXPECT_TRUE(gridOf(runtime.world) == expected) << test::picture(runtime);
}

TEST(WorldFiles, BmpRoundTripMapsTheFrameToEmptyAndEqualColoursToTheLowerId) {
    TempFolder folder;
    const std::string path = folder.file("world.bmp");
    Runtime runtime;
    test::createWorld(runtime, 20, 10);
    ElementTable& elements = runtime.elements;
    const uint16_t first = elements.idOfName("First", true), twin = elements.idOfName("Twin", true);
    const uint16_t red = elements.idOfName("Red", true);
    elements.setColour(first, 10, 20, 30);
    elements.setColour(twin, 10, 20, 30);
    elements.setColour(red, 200, 0, 0);
    for (int x = 1; x <= 20; ++x) test::put(runtime, x, 3, twin);
    for (int x = 1; x <= 20; ++x) test::put(runtime, x, 5, red);
    test::put(runtime, 7, 7, first);
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, path));

    Grid expected = gridOf(runtime.world);
    for (uint16_t& cell : expected.cells) {
        if (cell == kNothing) cell = kClear;
        if (cell == twin) cell = first;
    }
    runtime.world.resize(3, 3);
    ASSERT_TRUE(loadWorldFile(runtime, path));
    EXPECT_EQ(describe(gridOf(runtime.world)), describe(expected));
    EXPECT_TRUE(gridOf(runtime.world) == expected) << test::picture(runtime);
    EXPECT_EQ(test::countCells(runtime, first), 21);

    // The next step puts the walls back into the frame columns.
    runtime.physicsStep();
    EXPECT_EQ(runtime.world.cells()[runtime.world.stride()], kNothing);
}

TEST(WorldFiles, BmpColoursMapToTheNearestElementAndTiesToTheLowerId) {
    TempFolder folder;
    const std::string path = folder.file("painted.bmp");
    Runtime runtime;
    test::createWorld(runtime, 10, 10);
    ElementTable& elements = runtime.elements;
    const uint16_t dim = elements.idOfName("Dim", true), bright = elements.idOfName("Bright", true);
    const uint16_t red = elements.idOfName("Red", true);
    elements.setColour(kClear, 255, 255, 255);
    elements.setColour(dim, 0, 0, 100);
    elements.setColour(bright, 0, 0, 120);
    elements.setColour(red, 200, 0, 0);

    SurfacePtr picture(SDL_CreateRGBSurfaceWithFormat(0, 5, 3, 24, SDL_PIXELFORMAT_RGB24));
    ASSERT_TRUE(picture);
    const Rgb painted[5] = {{190, 10, 5}, {0, 0, 110}, {0, 0, 119}, {250, 250, 240}, {3, 2, 1}};
    for (int y = 0; y < 3; ++y) {
        auto* row = static_cast<uint8_t*>(picture->pixels) + y * picture->pitch;
        for (int x = 0; x < 5; ++x) {
            row[3 * x] = painted[x].r;
            row[3 * x + 1] = painted[x].g;
            row[3 * x + 2] = painted[x].b;
        }
    }
    ASSERT_EQ(SDL_SaveBMP(picture.get(), path.c_str()), 0);
    ASSERT_TRUE(loadWorldFile(runtime, path));
    ASSERT_EQ(runtime.world.gridWidth(), 5);
    const uint16_t* row = runtime.world.cells() + runtime.world.stride();
    // Black is nearest to the frame element, which loads as empty space.
    EXPECT_EQ((std::vector<uint16_t>(row, row + 5)),
              (std::vector<uint16_t>{red, dim, bright, kClear, kClear}));
}

TEST(WorldFiles, ScriptFormWritesTheHeaderAndOneLinePerElementAndLoadsBack) {
    TempFolder folder;
    const std::string path = folder.file("world.ef2");
    Runtime runtime;
    test::createWorld(runtime, 10, 5);
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, path));
    EXPECT_EQ(readFile(path), "RESIZE 10 5\nDRAW 0 FILLEDRECT 0 0 12 7\n");

    // Quotes and backslashes in names are written so that they read back.
    const uint16_t sand = test::defineElement(runtime, "Sand", 0);
    const uint16_t odd = test::defineElement(runtime, "Odd\"one\\", 0);
    test::put(runtime, 3, 1, odd);
    test::put(runtime, 1, 2, sand);
    test::put(runtime, 10, 5, sand);
    const std::string saved = test::picture(runtime);
    ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, path));
    EXPECT_EQ(readFile(path),
              "RESIZE 10 5\nDRAW 0 FILLEDRECT 0 0 12 7\n"
              "DRAW \"ELEMENT:Sand\" POINTS 0 0 1 2 10 5 \n"
              "DRAW \"ELEMENT:Odd\\\"one\\\\\" POINTS 0 0 3 1 \n");

    runtime.world.resize(30, 30);
    fillWithPattern(runtime, 1);
    ASSERT_TRUE(loadWorldFile(runtime, path));
    // The form redraws the interior only; the frame rows keep what the resize left.
    EXPECT_EQ(test::picture(runtime), saved);
}

// Every load of a broken file must leave the world exactly as it was.
class CorruptFiles : public ::testing::Test {
protected:
    void SetUp() override {
        test::createWorld(runtime, 25, 15);
        defineManyElements(runtime);
        fillRandomly(runtime, 2);
        ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, folder.file("intact.png")));
        ASSERT_TRUE(saveWorldFile(runtime.world, runtime.elements, folder.file("intact.bmp")));
        runtime.world.resize(30, 20);
        fillWithPattern(runtime, 9);
        before = gridOf(runtime.world);
    }

    // Loads `bytes` as a world file; true when the world stayed as it was.
    bool loadLeavesWorld(const std::string& bytes, const std::string& name) {
        writeFile(folder.file(name), bytes);
        loadWorldFile(runtime, folder.file(name));
        return gridOf(runtime.world) == before;
    }

    TempFolder folder;
    Runtime runtime;
    Grid before;
};

TEST_F(CorruptFiles, TruncatedFilesOfBothFormsLeaveTheWorldUnchanged) {
    for (const std::string name : {"broken.png", "broken.bmp"}) {
        const std::string intact = readFile(folder.file(name == "broken.png" ? "intact.png" : "intact.bmp"));
        ASSERT_GT(intact.size(), 1000u);
        // Every length in the headers, then a few hundred through the rest.
        const std::size_t stride = intact.size() / 300 + 1;
        for (std::size_t length = 0; length < intact.size(); length += length < 80 ? 1 : stride) {
            ASSERT_TRUE(loadLeavesWorld(intact.substr(0, length), name))
                << name << " cut to " << length << " bytes";
        }
    }
}

TEST_F(CorruptFiles, EveryFlippedBitInAPngIsNoticed) {
    const std::string intact = readFile(folder.file("intact.png"));
    std::mt19937 random(17);
    for (int trial = 0; trial < 300; ++trial) {
        std::string bytes = intact;
        // The first hundred bits cover the signature and the header; then anywhere.
        const std::size_t bit = trial < 100 ? trial * 8 + trial % 8 : random() % (bytes.size() * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        ASSERT_TRUE(loadLeavesWorld(bytes, "flipped.png")) << "bit " << bit << " flipped";
    }
}

// A BMP has no checksum: a flipped pixel byte is a different picture. What
// must hold is that every load either leaves the world alone or makes a world
// of allowed size holding defined elements only.
TEST_F(CorruptFiles, FlippedBitsInABmpNeverLeaveAnUnsoundWorld) {
    const std::string intact = readFile(folder.file("intact.bmp"));
    const int defined = definedElementCount(runtime.elements);
    std::mt19937 random(23);
    for (int trial = 0; trial < 300; ++trial) {
        std::string bytes = intact;
        const std::size_t bit = trial < 100 ? trial * 4 + trial % 8 : random() % (bytes.size() * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        if (loadLeavesWorld(bytes, "flipped.bmp")) continue;
        const Grid now = gridOf(runtime.world);
        ASSERT_TRUE(worldPictureSizeAllowed(now.width, now.height)) << "bit " << bit;
        for (uint16_t cell : now.cells) ASSERT_LT(cell, defined) << "bit " << bit;
        runtime.world.resize(30, 20);
        fillWithPattern(runtime, 9);
    }
}

std::string bigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

// A PNG signature and a valid header chunk, and nothing after them.
std::string pngHeaderOnly(uint32_t width, uint32_t height) {
    std::string chunk = "IHDR" + bigEndian(width) + bigEndian(height) + std::string{16, 2, 0, 0, 0};
    const auto crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size()));
    return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + chunk + bigEndian(crc);
}

std::string littleEndian(uint32_t value, int bytes) {
    std::string result;
    for (int i = 0; i < bytes; ++i) result += static_cast<char>(value >> (8 * i));
    return result;
}

// A 24-bit BMP header declaring a size, with `pixelBytes` zero bytes after it.
std::string bmpDeclaring(int32_t width, int32_t height, std::size_t pixelBytes) {
    std::string header = "BM" + littleEndian(54 + pixelBytes, 4) + littleEndian(0, 4) + littleEndian(54, 4);
    header += littleEndian(40, 4) + littleEndian(width, 4) + littleEndian(height, 4) + littleEndian(1, 2) +
              littleEndian(24, 2) + littleEndian(0, 4) + littleEndian(pixelBytes, 4) + std::string(16, '\0');
    return header + std::string(pixelBytes, '\0');
}

TEST_F(CorruptFiles, PicturesNoWorldMayHaveAreRefused) {
    // Beyond 16,384 cells a side or 64 M cells, or without one interior cell.
    EXPECT_TRUE(loadLeavesWorld(pngHeaderOnly(16387, 3), "wide.png"));
    EXPECT_TRUE(loadLeavesWorld(pngHeaderOnly(8194, 8194), "many.png"));
    EXPECT_TRUE(loadLeavesWorld(pngHeaderOnly(2, 50), "narrow.png"));
    EXPECT_TRUE(loadLeavesWorld(bmpDeclaring(16387, 3, 0), "wide.bmp"));
    EXPECT_TRUE(loadLeavesWorld(bmpDeclaring(8194, -8194, 0), "many.bmp"));
    EXPECT_TRUE(loadLeavesWorld(bmpDeclaring(2, 2, 16), "tiny.bmp"));
    EXPECT_TRUE(loadLeavesWorld(bmpDeclaring(-40, 40, 0), "negative.bmp"));

    // The largest width is accepted.
    auto blackRow = [](int, uint8_t* row) { std::fill(row, row + 16386 * 6, 0); };
    ASSERT_TRUE(writePng(folder.file("widest.png"), 16386, 3, PngSamples::Rgb16, blackRow));
    ASSERT_TRUE(loadWorldFile(runtime, folder.file("widest.png")));
    EXPECT_EQ(runtime.world.width(), 16384);
    EXPECT_EQ(runtime.world.height(), 1);
}

TEST(Stamps, SavedStampLoadsBackWithTheSameRawIds) {
    TempFolder folder;
    StampTable stamps;
    SurfacePtr stamp = makeSurface16(3, 2);
    const std::vector<uint16_t> ids = {0, 2, 300, 0xF81F, 0xFFFF, 1};
    for (int i = 0; i < 6; ++i) pixels16(stamp.get())[(i / 3) * stride16(stamp.get()) + i % 3] = ids[i];
    stamps.set(5, std::move(stamp));
    ASSERT_TRUE(saveStamp(stamps, folder.file("stamp.bmp"), 5));
    loadStamp(stamps, folder.file("stamp.bmp"), 99999);
    SDL_Surface* loaded = stamps.get(99999);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->format->format, SDL_PIXELFORMAT_RGB565);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pixels16(loaded)[(i / 3) * stride16(loaded) + i % 3], ids[i]) << i;

    // Slots outside 1..99,999 are not touched by files.
    EXPECT_FALSE(saveStamp(stamps, folder.file("zero.bmp"), 0));
    EXPECT_FALSE(fs::exists(folder.file("zero.bmp")));
    loadStamp(stamps, folder.file("stamp.bmp"), 100000);
    EXPECT_EQ(stamps.get(100000), nullptr);
    loadStamp(stamps, folder.file("missing.bmp"), 5);
    EXPECT_EQ(stamps.get(5), nullptr);
}

}  // namespace
}  // namespace ef2
