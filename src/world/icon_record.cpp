#include "world/icon_record.h"

namespace ef2 {

std::string IconRecord::text() const {
    std::string result = type + " \"" + argument + "\"";
    if (type == "HEX") {
        for (const std::string& colour : colourTexts) result += " " + colour;
    }
    return result;
}

IconPtr defaultElementIcon() {
    static const IconPtr shared = std::make_shared<IconRecord>(IconRecord{"Clear", "0", {}, {}, {}, 0, {}});
    return shared;
}

}  // namespace ef2
