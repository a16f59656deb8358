#pragma once
// The four menu panels around the world view and the floating submenu.
//
// Scripts add buttons with MENU; the panels are laid out into one picture
// each when the redraw level reaches 3, blitted every frame, scrolled with the
// pointer when they are longer than their space, and hit-tested by the mouse
// handler, which runs a clicked button's trigger with its parameter frame.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script/parameter_stack.h"
#include "script/trigger.h"
#include "world/icon_record.h"
#include "world/surface.h"

namespace ef2 {

class Runtime;

enum PanelIndex : int { kTopPanel = 0, kLeftPanel = 1, kRightPanel = 2, kBottomPanel = 3, kSubmenu = 4 };
constexpr int kPanelCount = 5;
// A panel has at most this many lines (rows of a horizontal panel, columns of
// a vertical one); later NEWLINE entries are laid out like ordinary ones.
constexpr int kMaxPanelLines = 32;

enum class Orientation : int { FromPanel = 0, Horizontal = 1, Vertical = 2 };

struct MenuButton {
    std::string name;
    IconPtr icon;
    TriggerRef trigger;
    std::optional<ParameterFrame> parameters;
    int32_t x = 0, y = 0;           // icon position inside the panel picture
    int32_t width = 0, height = 0;  // icon size, as laid out
    int32_t buttonId = 0;
    bool draggable = false;
    bool framed = false;
    int32_t frameRed = 0, frameGreen = 0, frameBlue = 0;
};
using ButtonPtr = std::shared_ptr<MenuButton>;

struct PanelState {
    SurfacePtr picture;
    SDL_Rect rect{0, 0, 0, 0};  // where it was drawn on the screen, as big as drawn
    int scroll = 0;
    int pointerAlong = 0;  // the pointer's last position along the panel
};

// Submenu states: closed, requested (next to the clicked button or at a fixed
// position), open and attached to a panel (0..3), or open at a fixed position.
constexpr int kSubmenuClosed = -1;
constexpr int kSubmenuRequestedAtButton = -2;
constexpr int kSubmenuRequestedFixed = -4;
constexpr int kSubmenuOpenFixed = 4;

class Menus {
public:
    std::array<std::vector<ButtonPtr>, kPanelCount> lists;
    std::array<PanelState, kPanelCount> panels;

    // 0 nothing extra, 2 repaint background, frame and view, 3 also rebuild
    // the panel pictures. Composition resets it.
    int redrawLevel = 3;
    void requestRedraw(int level) {
        if (redrawLevel < level) redrawLevel = level;
    }

    // Every button statement takes the next id when it is parsed.
    int32_t nextButtonId = 1000;

    void clearMenu(int panel);
    void addMenuButton(int panel, ButtonPtr button);

    int submenuState = kSubmenuClosed;
    bool submenuStays = false;
    Orientation submenuOrientation = Orientation::FromPanel;
    int submenuX = 0, submenuY = 0;
    int submenuPanel = kTopPanel;  // the panel it was last attached to

    void requestSubmenu(bool stay, Orientation orientation);
    void openSubmenuAt(Runtime& runtime, bool stay, Orientation orientation, int x, int y);
    void closeSubmenu();
    bool submenuOpen() const { return submenuState >= 0 && panels[kSubmenu].picture != nullptr; }
};

// Lays out a list of buttons into one picture (see the algorithm in menus.cpp).
// Horizontal panels run along x; `fit` makes the picture exactly as big as the
// buttons need, otherwise it is at least maxWidth x maxHeight. Null when the
// list shows nothing.
SurfacePtr buildPanel(Runtime& runtime, std::vector<ButtonPtr>& list, Orientation orientation, int maxWidth,
                      int maxHeight, bool fit);

}  // namespace ef2
