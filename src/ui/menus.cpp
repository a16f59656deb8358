#include "ui/menus.h"

#include <algorithm>
#include <cstdlib>

#include "ui/icons.h"
#include "ui/ui_context.h"
#include "ui/view.h"
#include "world/primitives.h"

namespace ef2 {

void Menus::clearMenu(int panel) {
    if (panel >= 0 && panel < kPanelCount) lists_[panel].clear();
    requestRedraw(Redraw::Panels);
}

void Menus::addMenuButton(int panel, ButtonPtr button) {
    if (panel >= 0 && panel < kPanelCount) lists_[panel].push_back(std::move(button));
    requestRedraw(Redraw::Panels);
}

void Menus::requestSubmenu(bool stay, Orientation orientation) {
    submenuState_ = SubmenuState::RequestedAtButton;
    submenuStays_ = stay;
    submenuOrientation_ = orientation;
}

void Menus::openSubmenuAt(UiContext& ui, bool stay, Orientation orientation, int x, int y) {
    if (orientation == Orientation::FromPanel) orientation = Orientation::Vertical;
    submenuStays_ = stay;
    submenuOrientation_ = orientation;
    if (lists_[kSubmenu].empty()) {
        submenuState_ = SubmenuState::Closed;
        return;
    }
    int windowHeight = ui.view.v.windowHeight ? ui.view.v.windowHeight->value : 0;
    panels[kSubmenu].picture =
        buildPanel(ui, lists_[kSubmenu], orientation, 0, std::max(windowHeight, 1), true);
    submenuX_ = x;
    submenuY_ = y;
    submenuState_ = SubmenuState::RequestedFixed;
    requestRedraw(Redraw::Panels);
}

void Menus::closeSubmenu() {
    submenuState_ = SubmenuState::Closed;
    requestRedraw(Redraw::Panels);
}

void Menus::attachSubmenu(int panel) {
    submenuState_ = SubmenuState::OpenAtPanel;
    submenuPanel_ = panel;
}

void Menus::pressed() {
    if (submenuState_ == SubmenuState::RequestedFixed) {
        submenuState_ = SubmenuState::OpenFixed;
        requestRedraw(Redraw::Panels);
    } else if (submenuShown() && !submenuStays_) {
        closeSubmenu();
    }
}

namespace {

struct Line {
    int across = 0;  // thickness of the line
    int along = 0;   // its length
    int flexibleGaps = 0;
    int overlap = 0;  // pending overlap from negative separators
};

bool isSeparator(const std::string& type) {
    return type == "SEPARATOR" || type == "SEPERATOR";
}

// Panels are measured in saturating steps so that no script can overflow them,
// and a panel picture never grows beyond a sane size (what lies past it is cut).
constexpr int kMaxGap = 4096;
constexpr int kMaxPanelSide = 16384;
constexpr int64_t kMaxPanelPixels = int64_t{1} << 25;

// The number of a SEPARATOR or NEWLINE entry.
int gapOf(const std::string& argument) {
    long long number = std::strtoll(argument.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(number, -kMaxGap, kMaxGap));
}

int saturatingAdd(int total, int more) {
    return static_cast<int>(
        std::clamp<int64_t>(int64_t{total} + more, -kMaxPanelSide * 64, kMaxPanelSide * 64));
}

// Where each entry went when measured: its line, and whether it broke the line.
struct Placement {
    int line = 0;
    bool lineBreak = false;
    SurfacePtr picture;
};

// A list measured into lines, and where each line starts across the panel
// once the panel is sized.
struct PanelLines {
    std::vector<Line> lines = std::vector<Line>(1);
    std::vector<Placement> placements;
    std::vector<int> lineStart;
};

void drawFrame(SDL_Surface* picture, const MenuButton& button, int x, int y, int w, int h) {
    Layer layer = layerOf(picture);
    const uint16_t colour =
        rgb565(static_cast<uint8_t>(button.frameRed), static_cast<uint8_t>(button.frameGreen),
               static_cast<uint8_t>(button.frameBlue));
    forRectOutline(layer, x, y, w - 1, h - 1, [&](int64_t px, int64_t py) { layer.at(px, py) = colour; });
}

// A SEPARATOR adds fixed space for a positive number, a flexible gap for 0,
// and an overlap that the next icons use up for a negative number.
void measureSeparator(Line& line, int number) {
    if (number == 0) ++line.flexibleGaps;
    if (number < 0) line.overlap = saturatingAdd(line.overlap, -number);
    if (number > 0) line.along = saturatingAdd(line.along, number);
}

void measureIcon(Line& line, int along, int across) {
    line.across = std::max(line.across, across);
    if (line.overlap > along) {
        line.overlap -= along;
    } else {
        line.along = saturatingAdd(line.along, along - line.overlap);
        line.overlap = 0;
    }
}

void dropEmptyLastLines(std::vector<Line>& lines) {
    while (lines.size() > 1 && lines.back().along == 0) lines.pop_back();
}

// Measures every entry into lines and renders the icons. NEWLINE starts a
// line (its number, when not 0, sets the thickness of the line it ends).
PanelLines measureLines(UiContext& ui, const std::vector<ButtonPtr>& list, bool horizontal) {
    PanelLines measured;
    std::vector<Line>& lines = measured.lines;
    measured.placements.resize(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const MenuButton& button = *list[i];
        if (!button.icon) continue;
        const std::string& type = button.icon->type;
        const int number = gapOf(button.icon->argument);
        if (type == "NEWLINE" && lines.size() < kMaxPanelLines) {
            // Empty lines at the end collapse into the last one that holds something.
            dropEmptyLastLines(lines);
            if (number != 0) lines.back().across = number;
            lines.emplace_back();
            measured.placements[i] = Placement{static_cast<int>(lines.size()) - 1, true, nullptr};
            continue;
        }
        measured.placements[i].line = static_cast<int>(lines.size()) - 1;
        if (isSeparator(type)) {
            measureSeparator(lines.back(), number);
            continue;
        }
        SurfacePtr picture = renderIcon(ui, *button.icon);
        measureIcon(lines.back(), horizontal ? picture->w : picture->h, horizontal ? picture->h : picture->w);
        measured.placements[i].picture = std::move(picture);
    }
    dropEmptyLastLines(lines);
    return measured;
}

// The picture's size: the longest line by the lines' total thickness, at
// least the space given unless it should fit its buttons, and within the
// limits above. Notes where each line starts.
SDL_Point panelSize(PanelLines& measured, bool horizontal, int maxWidth, int maxHeight, bool fit) {
    int longest = 0, thickness = 0;
    for (const Line& line : measured.lines) {
        measured.lineStart.push_back(thickness);
        longest = std::max(longest, line.along);
        thickness = saturatingAdd(thickness, line.across);
    }
    int width = horizontal ? longest : thickness, height = horizontal ? thickness : longest;
    if (!fit) {
        width = std::max(width, maxWidth);
        height = std::max(height, maxHeight);
    }
    width = std::clamp(width, 1, kMaxPanelSide);
    height = std::clamp(height, 1, kMaxPanelSide);
    if (int64_t{width} * height > kMaxPanelPixels) {
        (horizontal ? height : width) = static_cast<int>(kMaxPanelPixels / (horizontal ? width : height));
    }
    return SDL_Point{width, height};
}

// Places the icons line by line into the panel picture and notes where each
// button went; flexible gaps share what is left of the panel's length.
void placeButtons(const std::vector<ButtonPtr>& list, const PanelLines& measured, bool horizontal,
                  SDL_Surface* panel) {
    const std::vector<Line>& lines = measured.lines;
    const int panelLength = horizontal ? panel->w : panel->h;
    int along = 0, currentLine = -1;
    for (std::size_t i = 0; i < list.size(); ++i) {
        MenuButton& button = *list[i];
        if (!button.icon) continue;
        const Placement& placement = measured.placements[i];
        if (placement.line >= static_cast<int>(lines.size())) break;
        if (placement.line != currentLine) {
            currentLine = placement.line;
            along = 0;
        }
        if (placement.lineBreak) continue;
        const Line& line = lines[currentLine];
        const int number = gapOf(button.icon->argument);
        if (isSeparator(button.icon->type)) {
            along = saturatingAdd(along, number != 0 ? number
                                                     : std::max(0, (panelLength - line.along) /
                                                                       std::max(line.flexibleGaps, 1)));
            continue;
        }
        SDL_Surface* picture = placement.picture.get();
        const int lineStart = measured.lineStart[currentLine];
        int x = horizontal ? along : lineStart + (line.across - picture->w) / 2;
        int y = horizontal ? lineStart : along;
        SDL_Rect target{x, y, 0, 0};
        SDL_BlitSurface(picture, nullptr, panel, &target);
        if (button.framed) drawFrame(panel, button, x, y, picture->w, picture->h);
        button.x = x;
        button.y = y;
        button.width = picture->w;
        button.height = picture->h;
        along = saturatingAdd(along, horizontal ? picture->w : picture->h);
    }
}

}  // namespace

// Measures the entries into lines, sizes the picture, then places the icons.
SurfacePtr buildPanel(UiContext& ui, const std::vector<ButtonPtr>& list, Orientation orientation,
                      int maxWidth, int maxHeight, bool fit) {
    const bool horizontal = orientation != Orientation::Vertical;
    PanelLines measured = measureLines(ui, list, horizontal);
    if (measured.lines.back().across == 0 || measured.lines.back().along == 0) return nullptr;
    const SDL_Point size = panelSize(measured, horizontal, maxWidth, maxHeight, fit);
    SurfacePtr panel = makeSurface16(size.x, size.y);
    if (!panel) return nullptr;
    SDL_FillRect(panel.get(), nullptr, ui.view.backgroundColour());
    placeButtons(list, measured, horizontal, panel.get());
    return panel;
}

}  // namespace ef2
