#include "ui/key_names.h"

namespace ef2 {

void KeyNames::defineKeyName(std::string_view name, int32_t code) {
    if (nameOf(code)) return;
    entries_.push_back(Entry{code, std::string(name)});
}

const std::string* KeyNames::nameOf(int32_t code) const {
    for (const Entry& entry : entries_) {
        if (entry.code == code) return &entry.name;
    }
    return nullptr;
}

}  // namespace ef2
