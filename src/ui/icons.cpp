#include "ui/icons.h"

#include <cstdlib>

#include "io/bmp_file.h"
#include "platform/links.h"
#include "script/expression.h"
#include "script/script_context.h"
#include "script/string_table.h"
#include "ui/fonts.h"
#include "ui/text.h"
#include "ui/ui_context.h"
#include "ui/view.h"
#include "world/element_table.h"
#include "world/stamp_table.h"

namespace ef2 {

namespace {

SurfacePtr emptyPicture() {
    return makeSurface16(kEmptyIconWidth, kEmptyIconHeight);
}

SurfacePtr copyOf(SDL_Surface* picture) {
    if (!picture) return emptyPicture();
    SurfacePtr copy(SDL_ConvertSurface(picture, picture->format, 0));
    return copy ? std::move(copy) : emptyPicture();
}

int numberIn(const std::string& text) {
    return std::atoi(text.c_str());
}

SurfacePtr label(UiContext& ui, const std::string& text) {
    SurfacePtr picture =
        renderLabel(ui.fonts.menu(), text, ui.view.labelForeground(), ui.view.labelBackground());
    return picture ? std::move(picture) : emptyPicture();
}

// A picture file beside the program, by default in "img/". Loaded once; a file
// that cannot be read is reported once and shows the empty picture.
SurfacePtr filePicture(UiContext& ui, IconRecord& icon) {
    if (!icon.cachedPicture) {
        // Icon files come from scripts: names that climb out of the working
        // folder or are absolute are refused (and reported) like any other.
        std::string path = icon.argument;
        if (!fileNameAllowed(path, LinkRules::Strict)) {
            ui.script.printLine("Refused file name \"" + path + "\"", 0);
            icon.cachedPicture = std::shared_ptr<SDL_Surface>(emptyPicture().release(), SurfaceDeleter{});
            return copyOf(icon.cachedPicture.get());
        }
        if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos) path = "img/" + path;
        SurfacePtr loaded = loadBmp(path, SDL_PIXELFORMAT_RGB565, pictureSizeAllowed);
        if (!loaded) {
            ui.script.printLine("Couldn't load bitmap \"" + path + "\". Using empty bitmap.", 0);
            loaded = emptyPicture();
        }
        icon.cachedPicture = std::shared_ptr<SDL_Surface>(loaded.release(), SurfaceDeleter{});
    }
    return copyOf(icon.cachedPicture.get());
}

// 256 hexadecimal digits, each four pixels from its bits 8, 4, 2, 1: a set
// bit in the icon's colour, a clear one black.
SurfacePtr hexPicture(UiContext& ui, const IconRecord& icon) {
    SurfacePtr picture = makeSurface16(kHexIconSize, kHexIconSize);
    if (!picture) return emptyPicture();
    auto channel = [&](int index) {
        const auto& expression = icon.colours[index];
        return static_cast<uint8_t>(expression ? expression->evaluate(ui.script) : 0);
    };
    const uint16_t colour = rgb565(channel(0), channel(1), channel(2));
    uint16_t* pixels = pixels16(picture.get());
    const int stride = stride16(picture.get());
    for (int digit = 0; digit < kHexIconSize * kHexIconSize / 4; ++digit) {
        char c = digit < static_cast<int>(icon.argument.size()) ? icon.argument[digit] : '0';
        int value = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
        for (int bit = 0; bit < 4; ++bit) {
            int index = digit * 4 + bit;
            pixels[(index / kHexIconSize) * stride + index % kHexIconSize] =
                (value & (8 >> bit)) ? colour : 0;
        }
    }
    return picture;
}

}  // namespace

void prepareIcon(UiContext& ui, IconRecord& icon) {
    const std::string& type = icon.type;
    if (type == "ELEMENT" || type == "ELEMENTNAME" || type == "GROUP" || type == "GROUPNAME" ||
        type == "STATICNUMBER") {
        icon.argument = std::to_string(Expression(ui.script, icon.argument).evaluate(ui.script));
    } else if (type == "STAMP" || type == "STRING") {
        icon.slot = Expression(ui.script, icon.argument).evaluate(ui.script);
    } else if (type == "NUMBER") {
        icon.number = std::make_shared<Expression>(ui.script, icon.argument);
    }
}

SurfacePtr renderIcon(UiContext& ui, IconRecord& icon, int depth) {
    if (depth > kMaxIconDepth) return emptyPicture();
    const std::string& type = icon.type;
    ElementTable& elements = ui.elements;
    if (type == "File" || type == "FILE") return filePicture(ui, icon);
    if (type == "ELEMENT") {
        const Element* element = elements.get(static_cast<uint32_t>(numberIn(icon.argument)));
        return element && element->icon ? renderIcon(ui, *element->icon, depth + 1) : emptyPicture();
    }
    if (type == "ELEMENTNAME") {
        const Element* element = elements.get(static_cast<uint32_t>(numberIn(icon.argument)));
        return element ? label(ui, *element->name) : emptyPicture();
    }
    if (type == "GROUP" || type == "GROUPNAME") {
        const ElementGroup* group = elements.group(numberIn(icon.argument));
        if (!group) return emptyPicture();
        // A group without an icon of its own shows its name.
        if (type == "GROUP" && group->icon) return renderIcon(ui, *group->icon, depth + 1);
        return label(ui, group->name);
    }
    if (type == "HEX") return hexPicture(ui, icon);
    if (type == "TEXT" || type == "Text") {
        if (icon.argument.empty()) return emptyPicture();
        if (!icon.cachedPicture) {
            SurfacePtr picture = label(ui, icon.argument);
            icon.cachedPicture = std::shared_ptr<SDL_Surface>(picture.release(), SurfaceDeleter{});
        }
        return copyOf(icon.cachedPicture.get());
    }
    if (type == "NUMBER") {
        return label(ui, std::to_string(icon.number ? icon.number->evaluate(ui.script) : 0));
    }
    if (type == "STAMP") return copyOf(ui.stamps.get(int64_t{icon.slot} + kColourStampOffset));
    if (type == "STRING") {
        // An empty slot shows nothing, not an empty label.
        const std::string& text = ui.strings.get(icon.slot);
        return text.empty() ? emptyPicture() : label(ui, text);
    }
    return emptyPicture();
}

}  // namespace ef2
