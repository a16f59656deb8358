#pragma once
// The script output file: the one file scripts write to (FILE OPEN, MESSAGE
// SAVE, SAVE VAR, SAVE TIMERS). It is opened for appending in binary mode, so
// existing contents are kept and nothing is translated. Writes while it is
// closed are lost.

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/confined_files.h"

namespace ef2 {

class ScriptOutputFile {
public:
    ScriptOutputFile() = default;
    ~ScriptOutputFile() { close(); }
    ScriptOutputFile(const ScriptOutputFile&) = delete;
    ScriptOutputFile& operator=(const ScriptOutputFile&) = delete;

    // False, and nothing changed, when a file is already open or the name
    // cannot be opened.
    bool open(const std::string& name, Confinement confinement = Confinement::WorkingFolder);
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // Each write reaches the disk at once, so a later GETFILE or INCLUDE of
    // the same file sees it.
    void write(std::string_view text);

private:
    StreamPtr file_;
};

}  // namespace ef2
