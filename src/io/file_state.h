#pragma once
// What the file and message statements keep between runs: quick saves, the
// script output file, and how deeply texts run texts right now.

#include "io/script_output_file.h"
#include "io/world_files.h"

namespace ef2 {

struct FileState {
    QuickSaveSlots quickSaves;
    ScriptOutputFile output;
    int textNesting = 0;  // see TextNestingScope
};

}  // namespace ef2
