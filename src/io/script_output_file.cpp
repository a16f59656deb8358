#include "io/script_output_file.h"

namespace ef2 {

bool ScriptOutputFile::open(const std::string& name, Confinement confinement) {
    if (file_) return false;
    file_ = openForWriting(name, WriteMode::Append, confinement).intoStream("ab");
    return file_ != nullptr;
}

void ScriptOutputFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void ScriptOutputFile::write(std::string_view text) {
    if (!file_) return;
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace ef2
