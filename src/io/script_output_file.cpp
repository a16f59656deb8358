#include "io/script_output_file.h"

namespace ef2 {

bool ScriptOutputFile::open(const std::string& name, Confinement confinement) {
    if (file_) return false;
    file_ = openForWriting(name, WriteMode::Append, confinement).intoStream("ab");
    return file_ != nullptr;
}

void ScriptOutputFile::close() {
    file_.reset();
}

void ScriptOutputFile::write(std::string_view text) {
    if (!file_) return;
    std::fwrite(text.data(), 1, text.size(), file_.get());
    std::fflush(file_.get());
}

}  // namespace ef2
