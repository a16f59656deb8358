#include "io/bmp_file.h"

#include <cstdio>
#include <cstdlib>

#include "world/world.h"

namespace ef2 {

namespace {

// The file header (14 bytes), the info header's size and the two size fields
// of the longest of them.
constexpr std::size_t kHeaderBytes = 26;
// The old OS/2 header holds 16-bit sizes; every later one 32-bit sizes.
constexpr uint32_t kCoreHeaderSize = 12;

uint32_t littleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::optional<PictureSize> bmpDeclaredSize(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    unsigned char header[kHeaderBytes];
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    if (got < 22 || header[0] != 'B' || header[1] != 'M') return std::nullopt;
    const uint32_t infoSize = littleEndian(header + 14, 4);
    if (infoSize == kCoreHeaderSize) return PictureSize{littleEndian(header + 18, 2), littleEndian(header + 20, 2)};
    if (infoSize < 16 || got < kHeaderBytes) return std::nullopt;
    const auto width = static_cast<int32_t>(littleEndian(header + 18, 4));
    const auto height = static_cast<int32_t>(littleEndian(header + 22, 4));
    return PictureSize{width, std::llabs(height)};
}

bool pictureSizeAllowed(int64_t width, int64_t height) {
    constexpr int64_t kMaxSide = kMaxWorldSide + 2;
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxWorldCells;
}

SurfacePtr loadBmp(const std::string& path, uint32_t pixelFormat, const PictureSizeCheck& sizeAllowed) {
    std::optional<PictureSize> declared = bmpDeclaredSize(path);
    if (!declared || !sizeAllowed(declared->width, declared->height)) return nullptr;
    SurfacePtr loaded(SDL_LoadBMP(path.c_str()));
    // The file may have changed since its header was read.
    if (!loaded || !sizeAllowed(loaded->w, loaded->h)) return nullptr;
    return SurfacePtr(SDL_ConvertSurfaceFormat(loaded.get(), pixelFormat, 0));
}

bool saveBmp(SDL_Surface* surface, const std::string& path) { return surface && SDL_SaveBMP(surface, path.c_str()) == 0; }

}  // namespace ef2
