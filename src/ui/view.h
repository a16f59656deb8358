#pragma once
// The window's picture: the world view framed by the menu panels, the
// submenu, the console and the status line, composed into the program's own
// RGB565 screen once per redraw.

#include <SDL_mouse.h>

#include <array>
#include <cstdint>
#include <string>

#include "script/variable_table.h"
#include "world/surface.h"

namespace ef2 {

struct UiContext;

// The status line takes this many pixels at the bottom of the window.
constexpr int kStatusLineHeight = 18;
constexpr int kCursorCount = 11;  // the system cursor and ten of our own

// What the world view shows, from the VIEW variable. Values without a name
// show the world's own colours, as Normal does.
enum class ViewMode : int32_t {
    CustomColour3 = -3,  // each element's third custom colour
    CustomColour2 = -2,
    CustomColour1 = -1,
    Normal = 0,
    // Heat maps of an element property, 1..8.
    Weight = 1,
    Spray = 2,
    Slide = 3,
    Viscosity = 4,
    DeathRate = 5,
    Red = 6,
    Green = 7,
    Blue = 8,
    // Blends of the world colours into the previous frame.
    Fade = 10,
    Average = 11,
    Glow = 12,
};

constexpr bool isHeatMap(ViewMode mode) {
    return mode >= ViewMode::Weight && mode <= ViewMode::Blue;
}
constexpr bool isCustomColours(ViewMode mode) {
    return mode >= ViewMode::CustomColour3 && mode <= ViewMode::CustomColour1;
}

struct ViewVariables {
    Variable *zoom, *menuTop, *menuBottom, *menuLeft, *menuRight, *status, *console, *view;
    Variable *viewMaxPos, *viewMaxNeg, *viewNegR, *viewNegG, *viewNegB, *viewPosR, *viewPosG, *viewPosB;
    Variable *viewR, *viewG, *viewB, *showPreview, *alpha1, *alpha2, *cursor, *x, *y;
    Variable *borderR, *borderG, *borderB, *backgroundR, *backgroundG, *backgroundB;
    Variable *menuFontR, *menuFontG, *menuFontB;
    Variable *fgTransparentR, *fgTransparentG, *fgTransparentB, *fgTransparent, *fgAlpha, *solidDraw;
    Variable *scrollX, *scrollY, *preview, *windowWidth, *windowHeight, *button, *clicked;
};

// Others set the screen, the picture layers and the values of the
// presentation variables. The layout, the colours and the scroll position of
// a frame belong to composition (view.cpp): others read them here.
class View {
public:
    ViewVariables v{};
    SDL_Surface* screen = nullptr;  // the program's screen, set by the main program
    SurfacePtr backgroundLayer;
    SurfacePtr foregroundLayer;
    std::array<SDL_Cursor*, kCursorCount> cursors{};
    ~View();

    // Panel extents: top, left, right, bottom (the bottom one includes the
    // status line when it is shown).
    int top() const { return frame_.top; }
    int left() const { return frame_.left; }
    int right() const { return frame_.right; }
    int bottom() const { return frame_.bottom; }
    int scrollX() const { return frame_.scrollX; }
    int scrollY() const { return frame_.scrollY; }
    // Where the world picture was drawn in the last frame.
    const SDL_Rect& worldRect() const { return frame_.worldRect; }
    uint16_t backgroundColour() const { return frame_.backgroundColour; }
    SDL_Color labelForeground() const { return frame_.labelForeground; }
    SDL_Color labelBackground() const { return frame_.labelBackground; }

    struct Frame {
        int top = 32, left = 32, right = 32, bottom = 52;
        int scrollX = 0, scrollY = 0;
        SDL_Rect worldRect{0, 0, 0, 0};
        // Colours of this frame.
        uint16_t borderColour = 0xFFFF, backgroundColour = 0;
        SDL_Color labelForeground{255, 255, 255, 255}, labelBackground{0, 0, 0, 255};
        // Last-seen values that trigger a new layout or redraw.
        int32_t lastConsole = 0, lastStatus = -1, lastMenuTop = -1, lastMenuLeft = -1, lastMenuRight = -1,
                lastMenuBottom = -1, lastZoom = -1;
        bool previewDirty = false;
        std::string lastStatusText;
    };

private:
    friend struct ViewAccess;  // composition in view.cpp
    Frame frame_;
};

// Creates the presentation variables with their defaults, the cursors (when
// there is a window) and requests a full redraw.
void setUpPresentation(UiContext& ui, bool withCursors);

// Keeps the scroll position within what the world and the window allow.
void clampScroll(UiContext& ui, const SDL_Surface* screen);
void setScroll(UiContext& ui, const SDL_Surface* screen, int x, int y);

// Sets WINDOWHEIGHT and WINDOWWIDTH from the screen and the panels and runs
// WINDOWRESIZED.
void layoutWindow(UiContext& ui, const SDL_Surface* screen);

void composeFrame(UiContext& ui, SDL_Surface* screen);

// Where the open console is drawn: over the top of the world view, below the
// top panel and between the side panels, so that no menu is hidden.
SDL_Rect consoleRect(const UiContext& ui, const SDL_Surface* screen);

// The cell under a window pixel, as the mouse handler reports it.
struct Cell {
    int x, y;
};
Cell cellAt(UiContext& ui, int x, int y);

}  // namespace ef2
