#include "io/world_files.h"

#include <new>

#include "io/world_bmp.h"
#include "io/world_png.h"
#include "io/world_script.h"
#include "world/world.h"

namespace ef2 {

WorldFileForm worldFileForm(std::string_view name) {
    if (name.size() <= 4) return WorldFileForm::None;
    if (name.ends_with(".ef2") || name.ends_with(".EF2")) return WorldFileForm::Script;
    if (name.ends_with(".bmp") || name.ends_with(".BMP")) return WorldFileForm::Bmp;
    if (name.ends_with(".png") || name.ends_with(".PNG")) return WorldFileForm::Png;
    return WorldFileForm::None;
}

bool saveWorldFile(const World& world, const ElementTable& elements, const std::string& name,
                   Confinement confinement) {
    if (!world.exists()) return false;
    try {
        switch (worldFileForm(name)) {
            case WorldFileForm::Script: return saveWorldScript(world, elements, name, confinement);
            case WorldFileForm::Bmp: return saveWorldBmp(world, elements, name, confinement);
            case WorldFileForm::Png: return saveWorldPng(world, elements, name, confinement);
            case WorldFileForm::None: return false;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool loadWorldPicture(World& world, const ElementTable& elements, const std::string& name,
                      Confinement confinement) {
    try {
        switch (worldFileForm(name)) {
            case WorldFileForm::Bmp: return loadWorldBmp(world, elements, name, confinement);
            case WorldFileForm::Png: return loadWorldPng(world, elements, name, confinement);
            case WorldFileForm::Script:
            case WorldFileForm::None: return false;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

}  // namespace ef2
