#include "io/bmp_file.h"

#include <SDL_rwops.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

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

// The declared size, read from the start of an open file.
std::optional<PictureSize> declaredSize(std::FILE* file) {
    unsigned char header[kHeaderBytes];
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    if (got < 22 || header[0] != 'B' || header[1] != 'M') return std::nullopt;
    const uint32_t infoSize = littleEndian(header + 14, 4);
    if (infoSize == kCoreHeaderSize)
        return PictureSize{littleEndian(header + 18, 2), littleEndian(header + 20, 2)};
    if (infoSize < 16 || got < kHeaderBytes) return std::nullopt;
    const auto width = static_cast<int32_t>(littleEndian(header + 18, 4));
    const auto height = static_cast<int32_t>(littleEndian(header + 22, 4));
    return PictureSize{width, std::llabs(height)};
}

}  // namespace

std::optional<PictureSize> bmpDeclaredSize(const std::string& path, Confinement confinement) {
    StreamPtr file = openForReading(path, confinement).intoStream("rb");
    if (!file) return std::nullopt;
    return declaredSize(file.get());
}

bool pictureSizeAllowed(int64_t width, int64_t height) {
    constexpr int64_t kMaxSide = kMaxWorldSide + 2;
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxWorldCells;
}

SurfacePtr loadBmp(const std::string& path, uint32_t pixelFormat, const PictureSizeCheck& sizeAllowed,
                   Confinement confinement) {
    StreamPtr file = openForReading(path, confinement).intoStream("rb");
    if (!file) return nullptr;
    std::optional<PictureSize> declared = declaredSize(file.get());
    if (!declared || !sizeAllowed(declared->width, declared->height) ||
        std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromFP(file.get(), SDL_TRUE);
    if (!stream) return nullptr;
    file.release();  // SDL's from here on, and closed with it
    SurfacePtr loaded(SDL_LoadBMP_RW(stream, 1));
    if (!loaded || !sizeAllowed(loaded->w, loaded->h)) return nullptr;
    return SurfacePtr(SDL_ConvertSurfaceFormat(loaded.get(), pixelFormat, 0));
}

bool saveBmp(SDL_Surface* surface, const std::string& path, Confinement confinement) {
    if (!surface) return false;
    StreamPtr file = openForWriting(path, WriteMode::Replace, confinement).intoStream("wb");
    if (!file) return false;
    SDL_RWops* stream = SDL_RWFromFP(file.get(), SDL_TRUE);
    if (!stream) return false;
    file.release();  // SDL's from here on, and closed with it
    return SDL_SaveBMP_RW(surface, stream, 1) == 0;
}

}  // namespace ef2
