#pragma once
// What the file and message statements keep between runs: quick saves, the
// picture layers, the fonts, the script output file, and how deeply texts run
// texts right now.

#include "io/pictures.h"
#include "io/script_output_file.h"
#include "io/world_files.h"

namespace ef2 {

struct FileState {
    QuickSaveSlots quickSaves;
    PictureLayers layers;
    FontChoice fonts;
    ScriptOutputFile output;
    int textNesting = 0;  // see TextNestingScope
};

}  // namespace ef2
