#include "io/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace ef2 {

namespace {

// No picture the program reads or writes is wider or higher than this: the
// largest world side plus its frame.
constexpr uint32_t kMaxPngSide = 16386;

// Pictures are untrusted. Reading a world needs only the header, the palette
// and the image data; every other chunk is skipped unread, and no chunk may
// make libpng allocate more than this (a palette needs 768 bytes, and the
// image data streams through small buffers).
constexpr png_alloc_size_t kMaxChunkBytes = 1 << 20;
constexpr png_uint_32 kMaxStoredChunks = 16;
constexpr png_byte kSkippedChunks[] = {
    'b', 'K', 'G', 'D', '\0', 'c', 'H', 'R', 'M', '\0', 'e', 'X', 'I', 'f', '\0', 'g', 'A', 'M', 'A', '\0',
    'h', 'I', 'S', 'T', '\0', 'i', 'C', 'C', 'P', '\0', 'i', 'T', 'X', 't', '\0', 'o', 'F', 'F', 's', '\0',
    'p', 'C', 'A', 'L', '\0', 'p', 'H', 'Y', 's', '\0', 's', 'B', 'I', 'T', '\0', 's', 'C', 'A', 'L', '\0',
    's', 'P', 'L', 'T', '\0', 's', 'R', 'G', 'B', '\0', 't', 'E', 'X', 't', '\0', 't', 'I', 'M', 'E', '\0',
    't', 'R', 'N', 'S', '\0', 'z', 'T', 'X', 't', '\0',
};
// An interlaced picture is assembled whole before its rows are used; a
// larger one is refused rather than held in memory beside the world.
constexpr std::size_t kMaxInterlacedImageBytes = std::size_t{64} << 20;

// libpng must not print, and must not return from an error: jump back.
[[noreturn]] void quietError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void quietWarning(png_structp, png_const_charp) {}

struct Encoding {
    int width, height;
    PngSamples samples;
    PngEffort effort;
};

// The compression level of PngEffort::Fast.
constexpr int kFastCompressionLevel = 3;

// Between setjmp and the return only libpng and the caller's callbacks run,
// on buffers the caller owns, so a jump back skips no destructor. The same
// holds for decodeRows.
bool encodeRows(png_structp png, png_infop info, std::FILE* file, const Encoding& encoding,
                const PngRowFiller& fillRow, std::vector<uint8_t>& row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    const int depth = encoding.samples == PngSamples::Rgb16 ? 16 : 8;
    png_set_IHDR(png, info, static_cast<png_uint_32>(encoding.width),
                 static_cast<png_uint_32>(encoding.height), depth, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (encoding.effort == PngEffort::Fast) {
        png_set_compression_level(png, kFastCompressionLevel);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_write_info(png, info);
    for (int y = 0; y < encoding.height; ++y) {
        fillRow(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

// The row buffers are the caller's; `image` holds a whole interlaced picture.
struct DecodeBuffers {
    std::vector<uint8_t> row;
    std::vector<uint8_t> image;
    std::vector<png_bytep> rowPointers;
};

bool decodeRows(png_structp png, png_infop info, std::FILE* file, const PngSizeCheck& checkSize,
                const PngRowTaker& takeRow, DecodeBuffers& buffers) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxStoredChunks);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, sizeof kSkippedChunks / 5);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (!checkSize(width, height)) return false;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const std::size_t bytesPerPixel = png_get_channels(png, info) * png_get_bit_depth(png, info) / 8u;
    if (passes == 1) {
        buffers.row.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, buffers.row.data(), nullptr);
            takeRow(y, buffers.row.data(), rowBytes, bytesPerPixel);
        }
    } else {
        if (rowBytes * height > kMaxInterlacedImageBytes) return false;
        buffers.image.resize(rowBytes * height);
        buffers.rowPointers.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) buffers.rowPointers[y] = buffers.image.data() + rowBytes * y;
        png_read_image(png, buffers.rowPointers.data());
        for (png_uint_32 y = 0; y < height; ++y) takeRow(y, buffers.rowPointers[y], rowBytes, bytesPerPixel);
    }
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, PngSamples samples, const PngRowFiller& fillRow,
              PngEffort effort, Confinement confinement) {
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > kMaxPngSide ||
        static_cast<uint32_t>(height) > kMaxPngSide) {
        return false;
    }
    StreamPtr file = openForWriting(path, WriteMode::Replace, confinement).intoStream("wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(static_cast<std::size_t>(width) * (samples == PngSamples::Rgb16 ? 6 : 3));
    bool written =
        info && encodeRows(png, info, file.get(), Encoding{width, height, samples, effort}, fillRow, row);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    written = closeStream(std::move(file)) && written;
    return written;
}

bool readPngRows(const std::string& path, const PngSizeCheck& checkSize, const PngRowTaker& takeRow,
                 Confinement confinement) {
    StreamPtr file = openForReading(path, confinement).intoStream("rb");
    if (!file) return false;
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    DecodeBuffers buffers;
    bool decoded = false;
    try {
        decoded = info && decodeRows(png, info, file.get(), checkSize, takeRow, buffers);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return decoded;
}

bool savePng(SDL_Surface* surface, const std::string& path, Confinement confinement) {
    if (!surface || surface->format->BytesPerPixel != 2) return false;
    SDL_PixelFormat* format = surface->format;
    auto fillRow = [&](int y, uint8_t* row) {
        const auto* pixels = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(surface->pixels) +
                                                               static_cast<std::size_t>(y) * surface->pitch);
        for (int x = 0; x < surface->w; ++x) {
            SDL_GetRGB(pixels[x], format, &row[3 * x], &row[3 * x + 1], &row[3 * x + 2]);
        }
    };
    return writePng(path, surface->w, surface->h, PngSamples::Rgb8, fillRow, PngEffort::Default, confinement);
}

}  // namespace ef2
