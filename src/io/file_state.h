#pragma once
// What the file and message statements keep between runs: quick saves and
// the script output file.

#include "io/quick_saves.h"
#include "io/script_output_file.h"

namespace ef2 {

struct FileState {
    QuickSaveSlots quickSaves;
    ScriptOutputFile output;
};

}  // namespace ef2
