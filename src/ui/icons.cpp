#include "ui/icons.h"

#include <cstdlib>

#include "app/runtime.h"
#include "io/bmp_file.h"
#include "platform/links.h"
#include "script/expression.h"
#include "ui/text.h"

namespace ef2 {

namespace {

SurfacePtr emptyPicture() { return makeSurface16(kEmptyIconWidth, kEmptyIconHeight); }

SurfacePtr copyOf(SDL_Surface* picture) {
    if (!picture) return emptyPicture();
    SurfacePtr copy(SDL_ConvertSurface(picture, picture->format, 0));
    return copy ? std::move(copy) : emptyPicture();
}

int numberIn(const std::string& text) { return std::atoi(text.c_str()); }

SurfacePtr label(Runtime& runtime, const std::string& text) {
    SurfacePtr picture =
        renderLabel(runtime.fonts.menu(), text, runtime.view.labelForeground(), runtime.view.labelBackground());
    return picture ? std::move(picture) : emptyPicture();
}

// A picture file beside the program, by default in "img/". Loaded once; a file
// that cannot be read is reported once and shows the empty picture.
SurfacePtr filePicture(Runtime& runtime, IconRecord& icon) {
    if (!icon.cachedPicture) {
        // Icon files come from scripts: names that climb out of the working
        // folder or are absolute are refused (and reported) like any other.
        std::string path = icon.argument;
        if (!fileNameAllowed(path, LinkRules::Strict)) {
            runtime.printLine("Refused file name \"" + path + "\"", 0);
            icon.cachedPicture = std::shared_ptr<SDL_Surface>(emptyPicture().release(), SurfaceDeleter{});
            return copyOf(icon.cachedPicture.get());
        }
        if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos) path = "img/" + path;
        SurfacePtr loaded = loadBmp(path, SDL_PIXELFORMAT_RGB565, pictureSizeAllowed);
        if (!loaded) {
            runtime.printLine("Couldn't load bitmap \"" + path + "\". Using empty bitmap.", 0);
            loaded = emptyPicture();
        }
        icon.cachedPicture = std::shared_ptr<SDL_Surface>(loaded.release(), SurfaceDeleter{});
    }
    return copyOf(icon.cachedPicture.get());
}

// 256 hexadecimal digits, each four pixels from its bits 8, 4, 2, 1: a set
// bit in the icon's colour, a clear one black.
SurfacePtr hexPicture(Runtime& runtime, const IconRecord& icon) {
    SurfacePtr picture = makeSurface16(kHexIconSize, kHexIconSize);
    if (!picture) return emptyPicture();
    auto channel = [&](int index) {
        const auto& expression = icon.colours[index];
        return static_cast<uint8_t>(expression ? expression->evaluate(runtime) : 0);
    };
    const uint16_t colour = rgb565(channel(0), channel(1), channel(2));
    uint16_t* pixels = pixels16(picture.get());
    const int stride = stride16(picture.get());
    for (int digit = 0; digit < kHexIconSize * kHexIconSize / 4; ++digit) {
        char c = digit < static_cast<int>(icon.argument.size()) ? icon.argument[digit] : '0';
        int value = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
        for (int bit = 0; bit < 4; ++bit) {
            int index = digit * 4 + bit;
            pixels[(index / kHexIconSize) * stride + index % kHexIconSize] = (value & (8 >> bit)) ? colour : 0;
        }
    }
    return picture;
}

}  // namespace

void prepareIcon(Runtime& runtime, IconRecord& icon) {
    const std::string& type = icon.type;
    if (type == "ELEMENT" || type == "ELEMENTNAME" || type == "GROUP" || type == "GROUPNAME" ||
        type == "STATICNUMBER") {
        icon.argument = std::to_string(Expression(runtime, icon.argument).evaluate(runtime));
    } else if (type == "STAMP" || type == "STRING") {
        icon.slot = Expression(runtime, icon.argument).evaluate(runtime);
    } else if (type == "NUMBER") {
        icon.number = std::make_shared<Expression>(runtime, icon.argument);
    }
}

SurfacePtr renderIcon(Runtime& runtime, IconRecord& icon, int depth) {
    if (depth > kMaxIconDepth) return emptyPicture();
    const std::string& type = icon.type;
    ElementTable& elements = runtime.elements;
    if (type == "File" || type == "FILE") return filePicture(runtime, icon);
    if (type == "ELEMENT") {
        const Element* element = elements.get(static_cast<uint32_t>(numberIn(icon.argument)));
        return element && element->icon ? renderIcon(runtime, *element->icon, depth + 1) : emptyPicture();
    }
    if (type == "ELEMENTNAME") {
        const Element* element = elements.get(static_cast<uint32_t>(numberIn(icon.argument)));
        return element ? label(runtime, *element->name) : emptyPicture();
    }
    if (type == "GROUP" || type == "GROUPNAME") {
        const ElementGroup* group = elements.group(numberIn(icon.argument));
        if (!group) return emptyPicture();
        // A group without an icon of its own shows its name.
        if (type == "GROUP" && group->icon) return renderIcon(runtime, *group->icon, depth + 1);
        return label(runtime, group->name);
    }
    if (type == "HEX") return hexPicture(runtime, icon);
    if (type == "TEXT" || type == "Text") {
        if (icon.argument.empty()) return emptyPicture();
        if (!icon.cachedPicture) {
            SurfacePtr picture = label(runtime, icon.argument);
            icon.cachedPicture =
                std::shared_ptr<SDL_Surface>(picture.release(), SurfaceDeleter{});
        }
        return copyOf(icon.cachedPicture.get());
    }
    if (type == "NUMBER") return label(runtime, std::to_string(icon.number ? icon.number->evaluate(runtime) : 0));
    if (type == "STAMP") return copyOf(runtime.stamps.get(int64_t{icon.slot} + kColourStampOffset));
    if (type == "STRING") {
        const std::string* text = runtime.stringSlot(icon.slot);
        return text ? label(runtime, *text) : emptyPicture();
    }
    return emptyPicture();
}

}  // namespace ef2
