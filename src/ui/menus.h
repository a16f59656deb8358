#pragma once
// The four menu panels around the world view and the floating submenu.
//
// Scripts add buttons with MENU; the panels are laid out into one picture
// each at the Panels redraw level, blitted every frame, scrolled with the
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

struct UiContext;

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

// How much the next frame repaints. Requests only ever raise the level;
// composition resets it to Nothing. The order matters: each level includes the
// work of the ones below it.
enum class Redraw : int {
    Nothing = 0,
    View = 2,    // repaint the background, the frame and the world view
    Panels = 3,  // also rebuild the panel pictures
};

// The floating submenu: closed; requested by a button's trigger (to open next
// to that button once the click is done) or at a fixed position (to open at
// the next press); open next to a panel's button; or open at a fixed position.
enum class SubmenuState { Closed, RequestedAtButton, RequestedFixed, OpenAtPanel, OpenFixed };

// Statements change the menus through the members below (buttons, redraw
// requests, the submenu's requests). The panel pictures and where they were
// drawn are the ui's working state: composition writes them and the mouse
// handler reads them and notes the pointer's place along them.
class Menus {
public:
    std::array<PanelState, kPanelCount> panels;

    const std::vector<ButtonPtr>& list(int panel) const { return lists_[panel]; }
    void clearMenu(int panel);
    void addMenuButton(int panel, ButtonPtr button);
    // Every button statement takes the next id when it is parsed.
    int32_t takeButtonId() { return nextButtonId_++; }

    Redraw redrawLevel() const { return redrawLevel_; }
    void requestRedraw(Redraw level) {
        if (redrawLevel_ < level) redrawLevel_ = level;
    }
    void frameComposed() { redrawLevel_ = Redraw::Nothing; }

    void requestSubmenu(bool stay, Orientation orientation);
    void openSubmenuAt(UiContext& ui, bool stay, Orientation orientation, int x, int y);
    void closeSubmenu();
    // A requested submenu that cannot open is forgotten.
    void dropSubmenu() { submenuState_ = SubmenuState::Closed; }
    // Opens the requested submenu next to a button of `panel`.
    void attachSubmenu(int panel);
    // A press that asked for no submenu: one requested at a fixed position
    // opens, an open one that does not stay closes.
    void pressed();
    void placeSubmenu(int x, int y) {
        submenuX_ = x;
        submenuY_ = y;
    }

    SubmenuState submenuState() const { return submenuState_; }
    Orientation submenuOrientation() const { return submenuOrientation_; }
    int submenuX() const { return submenuX_; }
    int submenuY() const { return submenuY_; }
    // The panel the submenu is or was last attached to.
    int submenuPanel() const { return submenuPanel_; }
    bool submenuShown() const {
        return submenuState_ == SubmenuState::OpenAtPanel || submenuState_ == SubmenuState::OpenFixed;
    }
    bool submenuOpen() const { return submenuShown() && panels[kSubmenu].picture != nullptr; }
    // The panel the open submenu belongs to, or kSubmenu when it is open at a
    // fixed position.
    int submenuAttachedTo() const {
        return submenuState_ == SubmenuState::OpenAtPanel ? submenuPanel_ : int{kSubmenu};
    }

private:
    std::array<std::vector<ButtonPtr>, kPanelCount> lists_;
    Redraw redrawLevel_ = Redraw::Panels;
    int32_t nextButtonId_ = 1000;
    SubmenuState submenuState_ = SubmenuState::Closed;
    bool submenuStays_ = false;
    Orientation submenuOrientation_ = Orientation::FromPanel;
    int submenuX_ = 0, submenuY_ = 0;
    int submenuPanel_ = kTopPanel;
};

// Lays out a list of buttons into one picture (see the algorithm in menus.cpp).
// Horizontal panels run along x; `fit` makes the picture exactly as big as the
// buttons need, otherwise it is at least maxWidth x maxHeight. Null when the
// list shows nothing.
SurfacePtr buildPanel(UiContext& ui, const std::vector<ButtonPtr>& list, Orientation orientation,
                      int maxWidth, int maxHeight, bool fit);

}  // namespace ef2
