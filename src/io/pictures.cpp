#include "io/pictures.h"

#include "io/bmp_file.h"
#include "world/stamp_table.h"

namespace ef2 {

namespace {

bool fileStamp(int64_t slot) {
    return slot >= kFirstFileStamp && slot <= kLastFileStamp;
}

}  // namespace

void loadStamp(StampTable& stamps, const std::string& name, int64_t slot, Confinement confinement) {
    if (!fileStamp(slot)) return;
    stamps.set(slot, loadBmp(name, SDL_PIXELFORMAT_RGB565, pictureSizeAllowed, confinement));
}

bool saveStamp(const StampTable& stamps, const std::string& name, int64_t slot, Confinement confinement) {
    if (!fileStamp(slot)) return false;
    return saveBmp(stamps.get(slot), name, confinement);
}

void loadLayer(SurfacePtr& layer, const std::string& name, Confinement confinement) {
    layer.reset();
    layer = loadBmp(name, SDL_PIXELFORMAT_RGB565, pictureSizeAllowed, confinement);
}

}  // namespace ef2
