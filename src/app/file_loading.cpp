#include "app/file_loading.h"

#include <new>

#include "app/runtime.h"
#include "io/script_file.h"
#include "io/world_files.h"

namespace ef2 {

void loadScriptFile(Runtime& runtime, const std::string& fileName, int32_t messageId,
                    Confinement confinement) {
    switch (worldFileForm(fileName)) {
        case WorldFileForm::Bmp:
        case WorldFileForm::Png:
            loadWorldPicture(runtime.world, runtime.elements, fileName, confinement);
            break;
        case WorldFileForm::Script:
        case WorldFileForm::None: loadScriptText(runtime, fileName, messageId, confinement); break;
    }
}

bool loadWorldFile(Runtime& runtime, const std::string& name, Confinement confinement) {
    switch (worldFileForm(name)) {
        case WorldFileForm::Script: {
            try {
                loadScriptText(runtime, name, 0, confinement);
            } catch (const std::bad_alloc&) {
                return false;  // as a picture too large for memory is
            }
            return true;
        }
        case WorldFileForm::Bmp:
        case WorldFileForm::Png: return loadWorldPicture(runtime.world, runtime.elements, name, confinement);
        case WorldFileForm::None: return false;
    }
    return false;
}

}  // namespace ef2
