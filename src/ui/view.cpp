#include "ui/view.h"

#include <algorithm>
#include <vector>

#include "script/script_context.h"
#include "ui/console.h"
#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui/input.h"
#include "ui/menus.h"
#include "ui/text.h"
#include "ui/ui_context.h"
#include "world/element_table.h"
#include "world/primitives.h"
#include "world/world.h"

namespace ef2 {

namespace {

uint8_t byte(const Variable* variable) {
    return static_cast<uint8_t>(variable->value);
}

int floorDivide(int64_t numerator, int64_t denominator) {
    int64_t quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
    return static_cast<int>(quotient);
}

int zoomOf(UiContext& ui) {
    return std::max(ui.view.v.zoom->value, 1);
}

// A panel extent from its menu variable. Extents far beyond any window look
// the same as the window's size; the bound keeps every sum of extents and
// window sizes within 32 bits.
constexpr int64_t kMaxPanelExtent = 1 << 20;
int panelExtent(int32_t value, int adjust) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{value} + adjust, -kMaxPanelExtent, kMaxPanelExtent));
}

// The cursors over the world: 16 x 16 pictures ("X" black, "." white, blank
// transparent) with their hot spots. Cursor 1 is invisible.
struct CursorShape {
    const char* rows[16];
    int hotX, hotY;
};
constexpr CursorShape kCursorShapes[10] = {
    {{""}, 7, 8},
    {{"       X        ", "       X        ", "       X        ", "     XXXXX      ", "       X        ",
      "   X   X   X    ", "   X       X    ", "XXXXX  .  XXXXX ", "   X       X    ", "   X   X   X    ",
      "       X        ", "     XXXXX      ", "       X        ", "       X        ", "       X        ", ""},
     7,
     8},
    {{"", "", "", "", "  XXXXXXXXXXX   ", "  X.........X   ", "  X.       .X   ", "  X.       .X   ",
      "  X.       .X   ", "  X.       .X   ", "  X.........X   ", "  XXXXXXXXXXX   ", "", "", "", ""},
     7,
     8},
    {{"", "", "     XXXXX      ", "   XX.....XX    ", "  X.       .X   ", "  X.       .X   ",
      " X.         .X  ", " X.         .X  ", " X.         .X  ", "  X.       .X   ", "  X.       .X   ",
      "   XX.....XX    ", "     XXXXX      ", "", "", ""},
     7,
     8},
    {{"", " X           X  ", "  X         X   ", "   X       X    ", "    X     X     ", "     X   X      ",
      "      X X       ", "       X        ", "      X X       ", "     X   X      ", "    X     X     ",
      "   X       X    ", "  X         X   ", " X           X  ", "", ""},
     7,
     8},
    {{"", " XXXX     XXXX  ", " X           X  ", " X           X  ", " X           X  ", "", "", "", "", "",
      " X           X  ", " X           X  ", " X           X  ", " XXXX     XXXX  ", "", ""},
     7,
     8},
    {{"       X        ", "      XXX       ", "     X X X      ", "       X        ", "       X        ",
      "  X    X    X   ", " X     X     X  ", "XXXXXXXXXXXXXXX ", " X     X     X  ", "  X    X    X   ",
      "       X        ", "       X        ", "     X X X      ", "      XXX       ", "       X        ", ""},
     7,
     8},
    {{"", "", "", "", "", "", " XXXXXXXXXXXXX  ", " X...........X  ", " XXXXXXXXXXXXX  ", "", "", "", "", "",
      "", ""},
     7,
     8},
    {{"      XXX       ", "      X.X       ", "      X.X       ", "      X.X       ", "      X.X       ",
      "      X.X       ", "      X.X       ", "      X.X       ", "      X.X       ", "      X.X       ",
      "      X.X       ", "      X.X       ", "      X.X       ", "      X.X       ", "      XXX       ", ""},
     7,
     8},
    {{"", "   XXX XXX      ", "      X         ", "      X         ", "      X         ", "      X         ",
      "      X         ", "      X         ", "      X         ", "      X         ", "      X         ",
      "      X         ", "      X         ", "   XXX XXX      ", "", ""},
     7,
     12},
};

SDL_Cursor* makeCursor(const CursorShape& shape) {
    uint8_t data[32] = {}, mask[32] = {};
    for (int row = 0; row < 16; ++row) {
        const char* text = shape.rows[row] ? shape.rows[row] : "";
        for (int column = 0; column < 16 && text[column]; ++column) {
            const int bit = row * 16 + column;
            const uint8_t flag = static_cast<uint8_t>(0x80 >> (bit % 8));
            if (text[column] == 'X') {
                data[bit / 8] |= flag;
                mask[bit / 8] |= flag;
            } else if (text[column] == '.') {
                mask[bit / 8] |= flag;
            }
        }
    }
    return SDL_CreateCursor(data, mask, 16, 16, shape.hotX, shape.hotY);
}

}  // namespace

// The only way into a frame's state: composition below changes it, the rest
// of the program reads it through View's public members.
struct ViewAccess {
    static View::Frame& of(View& view) { return view.frame_; }
    static const View::Frame& of(const View& view) { return view.frame_; }
};

View::~View() {
    for (SDL_Cursor* cursor : cursors) {
        if (cursor) SDL_FreeCursor(cursor);
    }
}

// SCROLLX and SCROLLY mirror the scroll position after each clamp; they are
// created the first time the view scrolls.
static void showScroll(UiContext& ui) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    onFirstUse(ui.script.variables, view.v.scrollX, "SCROLLX")->value = frame.scrollX;
    onFirstUse(ui.script.variables, view.v.scrollY, "SCROLLY")->value = frame.scrollY;
}

// The size of the view inside the panels; created by the first layout.
static void showWindowSize(UiContext& ui, const SDL_Surface* screen) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    onFirstUse(ui.script.variables, view.v.windowHeight, "WINDOWHEIGHT")->value =
        screen->h - frame.top - frame.bottom - 1;
    onFirstUse(ui.script.variables, view.v.windowWidth, "WINDOWWIDTH")->value =
        screen->w - frame.left - frame.right - 1;
}

void setUpPresentation(UiContext& ui, bool withCursors) {
    VariableTable& t = ui.script.variables;
    auto set = [&t](const char* name, int32_t value) { return t.obtain(name, value, true); };
    ViewVariables& v = ui.view.v;
    // SPEED is made here only for its place in LIST VARS; the program sets its
    // value and runs by it.
    t.obtain("SPEED", 0, false);
    v.zoom = set("ZOOM", 1);
    v.menuTop = set("MENUTOP", 33);
    v.menuBottom = set("MENUBOTTOM", 33);
    v.menuLeft = set("MENULEFT", 33);
    v.menuRight = set("MENURIGHT", 32);
    v.status = set("STATUS", 1);
    v.console = set("CONSOLE", 0);
    v.view = set("VIEW", 0);
    v.viewMaxPos = set("VIEWMAXPOS", 1200);
    v.viewMaxNeg = set("VIEWMAXNEG", 350);
    v.viewNegR = set("VIEWNEGR", 0);
    v.viewNegG = set("VIEWNEGG", 255);
    v.viewNegB = set("VIEWNEGB", 0);
    v.viewPosR = set("VIEWPOSR", 0);
    v.viewPosG = set("VIEWPOSG", 0);
    v.viewPosB = set("VIEWPOSB", 255);
    v.viewR = set("VIEWR", 255);
    v.viewG = set("VIEWG", 0);
    v.viewB = set("VIEWB", 0);
    v.showPreview = set("SHOWPREVIEW", 0);
    v.alpha1 = set("ALPHA1", 255);
    v.alpha2 = set("ALPHA2", 255);
    v.cursor = set("CURSOR", 1);
    v.x = set("X", 0);
    v.y = set("Y", 0);
    v.borderR = set("BORDERR", 255);
    v.borderG = set("BORDERG", 255);
    v.borderB = set("BORDERB", 255);
    v.backgroundR = set("BACKGROUNDR", 0);
    v.backgroundG = set("BACKGROUNDG", 0);
    v.backgroundB = set("BACKGROUNDB", 0);
    v.menuFontR = set("MENUFONTCOLORR", 255);
    v.menuFontG = set("MENUFONTCOLORG", 255);
    v.menuFontB = set("MENUFONTCOLORB", 255);
    v.fgTransparentR = set("FGLAYERTRANSPARENTR", 0);
    v.fgTransparentG = set("FGLAYERTRANSPARENTG", 0);
    v.fgTransparentB = set("FGLAYERTRANSPARENTB", 0);
    v.fgTransparent = set("FGLAYERTRANSPARENT", 0);
    v.fgAlpha = set("FGLAYERALPHA", 255);
    v.solidDraw = set("SOLIDDRAW", 1);
    // SCROLLX, SCROLLY, PREVIEW, WINDOWHEIGHT, WINDOWWIDTH, BUTTON and CLICKED
    // are created on first use.
    ui.menus.closeSubmenu();
    // Slot 0 stays empty: it stands for the system cursor.
    if (withCursors) {
        for (int i = 0; i < 10; ++i) ui.view.cursors[i + 1] = makeCursor(kCursorShapes[i]);
    }
}

// With the colour layer WW cells wide (the frame columns included) and HEIGHT
// rows high, the scroll position stays where the view still shows the world.
void clampScroll(UiContext& ui, const SDL_Surface* screen) {
    View::Frame& frame = ViewAccess::of(ui.view);
    const int64_t z = zoomOf(ui);
    const int64_t worldWidth = ui.world.gridWidth(), worldHeight = ui.world.height();
    int64_t sx = frame.scrollX, sy = frame.scrollY;
    sy = std::min<int64_t>(sy, worldHeight * z - screen->h + frame.top + frame.bottom - z + 3);
    sx = std::min<int64_t>(sx, worldWidth * z - screen->w + frame.left + frame.right - 2 * z + 1);
    if (sx < 0) sx = 0;
    if (sy < 1 - z) sy = 1 - z;
    frame.scrollX = static_cast<int>(sx);
    frame.scrollY = static_cast<int>(sy);
    showScroll(ui);
}

void setScroll(UiContext& ui, const SDL_Surface* screen, int x, int y) {
    View::Frame& frame = ViewAccess::of(ui.view);
    frame.scrollX = x;
    frame.scrollY = y;
    if (screen) clampScroll(ui, screen);
}

Cell cellAt(UiContext& ui, int x, int y) {
    const View::Frame& frame = ViewAccess::of(ui.view);
    const int z = zoomOf(ui);
    return Cell{floorDivide(int64_t{x} - frame.left + frame.scrollX - 1, z) + 1,
                floorDivide(int64_t{y} - frame.top + frame.scrollY - 2, z) + 2};
}

void layoutWindow(UiContext& ui, const SDL_Surface* screen) {
    ui.menus.requestRedraw(Redraw::View);
    showWindowSize(ui, screen);
    ui.script.interpreter.runTrigger(ui.script.interpreter.triggers().obtain("WINDOWRESIZED"));
}

namespace {

void fillRect(SDL_Surface* screen, int x, int y, int w, int h, uint16_t colour) {
    if (w <= 0 || h <= 0) return;
    SDL_Rect rect{x, y, w, h};
    SDL_FillRect(screen, &rect, colour);
}

void horizontalLine(SDL_Surface* screen, int x0, int x1, int y, uint16_t colour) {
    if (x1 < x0) std::swap(x0, x1);
    fillRect(screen, x0, y, x1 - x0 + 1, 1, colour);
}

void verticalLine(SDL_Surface* screen, int x, int y0, int y1, uint16_t colour) {
    if (y1 < y0) std::swap(y0, y1);
    fillRect(screen, x, y0, 1, y1 - y0 + 1, colour);
}

void rectOutline(SDL_Surface* screen, int x, int y, int w, int h, uint16_t colour) {
    horizontalLine(screen, x, x + w - 1, y, colour);
    horizontalLine(screen, x, x + w - 1, y + h - 1, colour);
    verticalLine(screen, x, y, y + h - 1, colour);
    verticalLine(screen, x + w - 1, y, y + h - 1, colour);
}

// The panel rectangles and their pictures, rebuilt at the Panels redraw level.
void rebuildPanels(UiContext& ui, const SDL_Surface* screen) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    Menus& menus = ui.menus;
    const int sw = screen->w, sh = screen->h;
    const int bottomHeight = view.v.status->value != 0 ? frame.bottom - kStatusLineHeight : frame.bottom;
    struct Layout {
        int panel;
        Orientation orientation;
        int extent, width, height, x, y;
    } layouts[4] = {
        {kTopPanel, Orientation::Horizontal, frame.top, sw - frame.left - frame.right, frame.top, frame.left,
         0},
        {kLeftPanel, Orientation::Vertical, frame.left, frame.left, sh - frame.top - frame.bottom, 0,
         frame.top},
        {kRightPanel, Orientation::Vertical, frame.right, frame.right, sh - frame.top - frame.bottom,
         sw - frame.right + 1, frame.top},
        {kBottomPanel, Orientation::Horizontal, frame.bottom, sw - frame.left - frame.right, bottomHeight,
         frame.left, sh - frame.bottom + 1},
    };
    for (const Layout& layout : layouts) {
        PanelState& panel = menus.panels[layout.panel];
        panel.picture.reset();
        if (layout.extent == -1) continue;
        // What lies beyond the screen is never seen: a panel thicker or longer
        // than the screen gets a picture of the screen's size at most.
        panel.picture = buildPanel(ui, menus.list(layout.panel), layout.orientation,
                                   std::clamp(layout.width, 1, std::max(sw, 1)),
                                   std::clamp(layout.height, 1, std::max(sh, 1)), false);
        panel.rect = SDL_Rect{layout.x, layout.y, 0, 0};
    }
}

bool panelShown(UiContext& ui, int panel) {
    const ViewVariables& v = ui.view.v;
    switch (panel) {
        case kTopPanel: return v.menuTop->value != 0;
        case kLeftPanel: return v.menuLeft->value != 0;
        case kRightPanel: return v.menuRight->value != 0;
        case kBottomPanel: return v.menuBottom->value != 0;
        default: return true;
    }
}

// A picture longer than its space scrolls with the pointer's position along it.
int scrollOffset(int pictureLength, int visible, int pointerAlong) {
    if (pictureLength <= visible || visible <= 0) return 0;
    int64_t offset = ((int64_t{pointerAlong} * 1000 + 1000) * (pictureLength - visible + 1) / visible) / 1000;
    return static_cast<int>(std::clamp<int64_t>(offset, 0, pictureLength - visible));
}

void blitPanels(UiContext& ui, SDL_Surface* screen) {
    View::Frame& frame = ViewAccess::of(ui.view);
    const int sw = screen->w, sh = screen->h;
    for (int index = kTopPanel; index <= kBottomPanel; ++index) {
        PanelState& panel = ui.menus.panels[index];
        if (!panel.picture || !panelShown(ui, index)) continue;
        const bool horizontal = index == kTopPanel || index == kBottomPanel;
        const int visible = horizontal ? sw - frame.left - frame.right : sh - frame.top - frame.bottom;
        const int length = horizontal ? panel.picture->w : panel.picture->h;
        panel.scroll = scrollOffset(length, visible, panel.pointerAlong);
        SDL_Rect source = horizontal ? SDL_Rect{panel.scroll, 0, std::min(length, visible), panel.picture->h}
                                     : SDL_Rect{0, panel.scroll, panel.picture->w, std::min(length, visible)};
        SDL_Rect target{panel.rect.x, panel.rect.y, 0, 0};
        SDL_BlitSurface(panel.picture.get(), &source, screen, &target);
        panel.rect.w = target.w;
        panel.rect.h = target.h;
    }
}

// The submenu stays inside the window and is outlined on every side but the
// one facing the panel it belongs to.
void drawSubmenu(UiContext& ui, SDL_Surface* screen) {
    Menus& menus = ui.menus;
    PanelState& panel = menus.panels[kSubmenu];
    if (!menus.submenuShown() || !panel.picture) return;
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    const int w = panel.picture->w, h = panel.picture->h;
    const int bottomLimit = screen->h - h - (view.v.status->value != 0 ? kStatusLineHeight : 0);
    menus.placeSubmenu(std::max(0, std::min(menus.submenuX(), screen->w - w)),
                       std::max(0, std::min(menus.submenuY(), bottomLimit)));
    const int attached = menus.submenuAttachedTo();
    const bool alongY = attached == kTopPanel || attached == kBottomPanel;
    const int visible = alongY ? screen->h - menus.submenuY() : screen->w - menus.submenuX();
    const int length = alongY ? h : w;
    panel.scroll = scrollOffset(length, visible, panel.pointerAlong);
    SDL_Rect source = alongY ? SDL_Rect{0, panel.scroll, w, std::min(h, visible)}
                             : SDL_Rect{panel.scroll, 0, std::min(w, visible), h};
    SDL_Rect target{menus.submenuX(), menus.submenuY(), 0, 0};
    SDL_BlitSurface(panel.picture.get(), &source, screen, &target);
    panel.rect = target;
    const int x0 = target.x - 1, y0 = target.y - 1, x1 = target.x + target.w, y1 = target.y + target.h;
    const uint16_t colour = frame.borderColour;
    if (attached != kBottomPanel) horizontalLine(screen, x0, x1, y1, colour);
    if (attached != kTopPanel) horizontalLine(screen, x0, x1, y0, colour);
    if (attached != kRightPanel) verticalLine(screen, x1, y0, y1, colour);
    if (attached != kLeftPanel) verticalLine(screen, x0, y0, y1, colour);
}

// The element property a heat map shows.
int64_t propertyValue(const Element& element, ViewMode mode) {
    switch (mode) {
        case ViewMode::Weight: return element.weight;
        case ViewMode::Spray: return element.spray;
        case ViewMode::Slide: return element.slide;
        case ViewMode::Viscosity: return element.viscosity;
        case ViewMode::DeathRate: return element.totalDeathRate;
        case ViewMode::Red: return element.colour.r;
        case ViewMode::Green: return element.colour.g;
        default: return element.colour.b;
    }
}

// Per-element colours of the heat maps and the custom colour views.
std::vector<uint16_t> propertyColours(UiContext& ui, ViewMode mode) {
    const ViewVariables& v = ui.view.v;
    const int count = ui.world.cacheSize();
    std::vector<uint16_t> colours(static_cast<std::size_t>(count), 0);
    const int64_t maxPos = std::max(v.viewMaxPos->value, 1), maxNeg = std::max(v.viewMaxNeg->value, 1);
    auto gradient = [](int64_t i, int64_t max, const Variable* r, const Variable* g, const Variable* b) {
        return rgb565(static_cast<uint8_t>(r->value * i / max), static_cast<uint8_t>(g->value * i / max),
                      static_cast<uint8_t>(b->value * i / max));
    };
    for (int id = 0; id < count; ++id) {
        const Element* element = ui.elements.get(static_cast<uint32_t>(id));
        if (!element) continue;
        if (isCustomColours(mode)) {
            const Rgb& custom = element->customColours[-static_cast<int>(mode) - 1];
            colours[id] = rgb565(custom.r, custom.g, custom.b);
            continue;
        }
        const int64_t value = propertyValue(*element, mode);
        if (value == 0) {
            colours[id] = rgb565(byte(v.viewR), byte(v.viewG), byte(v.viewB));
        } else if (value > 0) {
            colours[id] = gradient(std::min(value, maxPos - 1 > 0 ? maxPos - 1 : 1), maxPos, v.viewPosR,
                                   v.viewPosG, v.viewPosB);
        } else {
            colours[id] = gradient(std::min(-value, maxNeg - 1 > 0 ? maxNeg - 1 : 1), maxNeg, v.viewNegR,
                                   v.viewNegG, v.viewNegB);
        }
    }
    return colours;
}

// Blending a new world colour q into the previous screen pixel p: each
// channel moves toward q's by at most `up` upward, then by at most `down`
// downward (with negative limits the two overlap).
uint16_t fade(uint16_t p, uint16_t q, int up, int down) {
    // A channel's step lies within -63..63, so limits beyond it compare like
    // 64 or -64, and what a limit adds only counts modulo 64 (every channel's
    // range divides it): the sums stay in int and need no branch.
    const int64_t lower = -int64_t{down};
    const int upTest = static_cast<int>(std::clamp<int64_t>(up, -64, 64));
    const int downTest = static_cast<int>(std::clamp<int64_t>(lower, -64, 64));
    const int upAdd = up & 63, downAdd = static_cast<int>(lower & 63);
    auto channel = [=](int shift, int mask) {
        const int from = (p >> shift) & mask, to = (q >> shift) & mask;
        const int step = to - from;
        const int limited = step > upTest ? upAdd : step < downTest ? downAdd : step;
        return ((from + limited) & mask) << shift;
    };
    return static_cast<uint16_t>(channel(11, 0x1F) | channel(5, 0x3F) | channel(0, 0x1F));
}

// The world colour q plus half of three times the previous pixel p less q,
// channel by channel and held within each channel's range, so that a bright
// channel never carries into its neighbour.
uint16_t glow(uint16_t p, uint16_t q) {
    uint16_t result = 0;
    struct Channel {
        int shift, max;
    } channels[3] = {{11, 0x1F}, {5, 0x3F}, {0, 0x1F}};
    for (const Channel& channel : channels) {
        const int previous = (p >> channel.shift) & channel.max, wanted = (q >> channel.shift) & channel.max;
        const int mixed = std::clamp(wanted + (3 * previous - wanted) / 2, 0, channel.max);
        result |= static_cast<uint16_t>(mixed << channel.shift);
    }
    return result;
}

struct Picture {
    int screenX, screenY, width, height;  // where the world picture lands
};

// Pixel by pixel: every screen pixel shows the cell the mouse handler reports
// for it, in the colour the mode gives.
template <typename ColourOf>
void paintPixels(UiContext& ui, SDL_Surface* screen, const Picture& picture, ColourOf&& colourOf) {
    World& world = ui.world;
    const int sw = screen->w, sh = screen->h;
    const int x0 = std::max(picture.screenX, 0), x1 = std::min(picture.screenX + picture.width, sw);
    const int y0 = std::max(picture.screenY, 0), y1 = std::min(picture.screenY + picture.height, sh);
    if (x0 >= x1 || y0 >= y1) return;
    std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        int cx = cellAt(ui, x, picture.screenY).x;
        columns[x - x0] = cx >= 0 && cx < world.gridWidth() ? cx : -1;
    }
    uint16_t* pixels = pixels16(screen);
    const int stride = stride16(screen);
    for (int y = y0; y < y1; ++y) {
        const int cy = cellAt(ui, picture.screenX, y).y;
        uint16_t* row = pixels + y * stride;
        if (cy < 0 || cy >= world.gridHeight()) continue;
        const int offset = cy * world.stride();
        for (int x = x0; x < x1; ++x) {
            const int cx = columns[x - x0];
            if (cx >= 0) row[x] = colourOf(offset + cx, row[x]);
        }
    }
}

void blitLayer(SDL_Surface* layer, const SDL_Rect& source, SDL_Surface* screen, const Picture& picture) {
    SDL_Rect from = source, to{picture.screenX, picture.screenY, 0, 0};
    SDL_BlitSurface(layer, &from, screen, &to);
}

// The heat maps and the custom colour views: every cell in its element's colour.
void paintElementColours(UiContext& ui, SDL_Surface* screen, const Picture& picture, ViewMode mode) {
    const uint16_t* cells = ui.world.cells();
    std::vector<uint16_t> table = propertyColours(ui, mode);
    paintPixels(ui, screen, picture, [&](int i, uint16_t) {
        uint16_t id = cells[i];
        return id < table.size() ? table[id] : uint16_t{0};
    });
}

// The blended views mix the world colours into the previous frame.
void paintBlend(UiContext& ui, SDL_Surface* screen, const Picture& picture, ViewMode mode) {
    const uint16_t* colours = ui.world.colours();
    if (mode == ViewMode::Fade) {
        const int up = ui.view.v.alpha1->value, down = ui.view.v.alpha2->value;
        paintPixels(ui, screen, picture, [&](int i, uint16_t p) { return fade(p, colours[i], up, down); });
    } else if (mode == ViewMode::Average) {
        paintPixels(ui, screen, picture,
                    [&](int i, uint16_t p) { return static_cast<uint16_t>((uint32_t{p} + colours[i]) / 2); });
    } else {
        paintPixels(ui, screen, picture, [&](int i, uint16_t p) { return glow(p, colours[i]); });
    }
}

void blitForeground(const View& view, const SDL_Rect& source, SDL_Surface* screen, const Picture& picture) {
    SDL_Surface* foreground = view.foregroundLayer.get();
    const ViewVariables& v = view.v;
    SDL_SetSurfaceBlendMode(foreground, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(foreground, static_cast<uint8_t>(std::clamp(v.fgAlpha->value, 0, 255)));
    SDL_SetColorKey(foreground, v.fgTransparent->value != 0 ? SDL_TRUE : SDL_FALSE,
                    rgb565(byte(v.fgTransparentR), byte(v.fgTransparentG), byte(v.fgTransparentB)));
    blitLayer(foreground, source, screen, picture);
}

// At zoom 1 the world is blitted: the background layer, a translucent pass
// of the colour layer when ALPHA1 asks for trails, the colour layer keyed on
// empty cells when something lies below it, and the foreground layer.
void blitLayers(UiContext& ui, SDL_Surface* screen, const Picture& picture) {
    const View& view = ui.view;
    World& world = ui.world;
    const Cell origin = cellAt(ui, picture.screenX, picture.screenY);
    const SDL_Rect source{origin.x, origin.y, picture.width, picture.height};
    SDL_Surface* layer = world.colourSurface();
    bool keyed = false;
    if (view.backgroundLayer) {
        blitLayer(view.backgroundLayer.get(), source, screen, picture);
        keyed = true;
    }
    if (view.v.alpha1->value < 255) {
        SDL_SetColorKey(layer, SDL_FALSE, 0);
        SDL_SetSurfaceBlendMode(layer, SDL_BLENDMODE_BLEND);
        SDL_SetSurfaceAlphaMod(layer, static_cast<uint8_t>(std::max(view.v.alpha1->value, 0)));
        blitLayer(layer, source, screen, picture);
        SDL_SetSurfaceBlendMode(layer, SDL_BLENDMODE_NONE);
        SDL_SetSurfaceAlphaMod(layer, 255);
        keyed = true;
    }
    SDL_SetColorKey(layer, keyed ? SDL_TRUE : SDL_FALSE, world.displayColour(kClear));
    blitLayer(layer, source, screen, picture);
    SDL_SetColorKey(layer, SDL_FALSE, 0);
    if (view.foregroundLayer) blitForeground(view, source, screen, picture);
}

void worldPicture(UiContext& ui, SDL_Surface* screen, const Picture& picture) {
    const ViewMode mode = ViewMode{ui.view.v.view->value};
    if (isHeatMap(mode) || isCustomColours(mode)) {
        paintElementColours(ui, screen, picture, mode);
    } else if (mode == ViewMode::Fade || mode == ViewMode::Average || mode == ViewMode::Glow) {
        paintBlend(ui, screen, picture, mode);
    } else if (zoomOf(ui) > 1) {
        const uint16_t* colours = ui.world.colours();
        paintPixels(ui, screen, picture, [&](int i, uint16_t) { return colours[i]; });
    } else {
        blitLayers(ui, screen, picture);
    }
}

// The world picture's place: centred when the world is smaller than the view.
// The scroll position is then set so that the mouse handler reports the cells
// that are shown.
Picture placeWorld(UiContext& ui, const SDL_Surface* screen) {
    View::Frame& frame = ViewAccess::of(ui.view);
    const int64_t z = zoomOf(ui);
    const int viewWidth = screen->w - frame.left - frame.right - 1,
              viewHeight = screen->h - frame.top - frame.bottom - 1;
    const int64_t worldWidth = ui.world.gridWidth(), worldHeight = ui.world.height();
    Picture picture{frame.left + 1, frame.top + 1, viewWidth, viewHeight};
    if (viewWidth + 2 * z > worldWidth * z) {
        picture.screenX = static_cast<int>(viewWidth / 2 + frame.left - (worldWidth / 2) * z + z + 1);
        picture.width = static_cast<int>((worldWidth - 2) * z);
        frame.scrollX = frame.left + 1 - picture.screenX;
    }
    if (viewHeight + 2 * z - 1 > worldHeight * z) {
        picture.screenY = static_cast<int>(viewHeight / 2 - (worldHeight / 2) * z + z + frame.top);
        picture.height = static_cast<int>(worldHeight * z);
        frame.scrollY = frame.top + 2 - z - picture.screenY;
    }
    showScroll(ui);
    return picture;
}

void drawConsole(UiContext& ui, SDL_Surface* screen, bool fullRedraw) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    Console& console = ui.console;
    const int sw = screen->w;
    if (view.v.console->value == 0) {
        if (!fullRedraw && !console.changed()) return;
        const uint16_t colour = frame.borderColour;
        if (!console.changed()) {
            Layer layer = layerOf(screen);
            auto plot = [&](int64_t x, int64_t y) { layer.at(x, y) = colour; };
            forLine(layer, sw - 11, 0, 5, 5, plot);
            forLine(layer, sw - 1, 0, -5, 5, plot);
        } else {
            Layer layer = layerOf(screen);
            auto plot = [&](int64_t x, int64_t y) { layer.at(x, y) = colour; };
            for (int length = 1; length <= 6; ++length) {
                forLine(layer, sw - 1 - 2 * length, 0, length, length, plot);
                forLine(layer, sw - 1, 2 * length - 2, -length, -length + 1, plot);
            }
        }
        return;
    }
    console.clearChanged();
    const SDL_Rect area = consoleRect(ui, screen);
    if (area.w <= 0 || area.h <= 0) return;
    // The picture's bottom lines (the newest, and the input line) are shown.
    SDL_Rect source{0, kConsoleHeight - area.h, area.w, area.h};
    SDL_Rect target{area.x, area.y, 0, 0};
    SDL_BlitSurface(console.picture(true), &source, screen, &target);
    const int right = area.x + area.w - 1, bottom = area.y + area.h;
    Layer layer = layerOf(screen);
    auto plot = [&](int64_t x, int64_t y) { layer.at(x, y) = frame.borderColour; };
    forLine(layer, right - 14, bottom - 8, 7, 7, plot);
    forLine(layer, right, bottom - 8, -7, 7, plot);
    horizontalLine(screen, area.x, right, bottom, frame.borderColour);
}

void drawStatusLine(UiContext& ui, SDL_Surface* screen, bool fullRedraw) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    if (view.v.status->value == 0) return;
    const std::string& text = ui.status.text();
    if (!fullRedraw && text == frame.lastStatusText) return;
    frame.lastStatusText = text;
    const int sw = screen->w, sh = screen->h;
    horizontalLine(screen, 0, sw - 1, sh - kStatusLineHeight, frame.borderColour);
    fillRect(screen, 0, sh - 17, sw, 17, frame.backgroundColour);
    drawText(screen, ui.fonts.status(), text, 2, sh - 2, frame.borderColour, false);
}

// The preview runs DRAW with PREVIEW set, so that drawing statements paint
// the colour layer only; the next full repaint removes it.
void runPreview(UiContext& ui) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    World& world = ui.world;
    if (ui.input.mouseInWorld() && view.v.showPreview->value != 0) {
        VariableTable& table = ui.script.variables;
        Variable* preview = onFirstUse(table, view.v.preview, "PREVIEW");
        preview->value = 1;
        world.markColourLayerStale();
        world.repaintColourLayer();
        view.v.x->value = ui.input.lastCellX();
        view.v.y->value = ui.input.lastCellY();
        onFirstUse(table, view.v.button, "BUTTON")->value = 1;
        onFirstUse(table, view.v.clicked, "CLICKED")->value = 1;
        ui.script.interpreter.runTrigger(ui.script.interpreter.triggers().obtain("DRAW"));
        frame.previewDirty = true;
        preview->value = 0;
    } else if (frame.previewDirty) {
        world.markColourLayerStale();
        world.repaintColourLayer();
        frame.previewDirty = false;
    }
}

}  // namespace

SDL_Rect consoleRect(const UiContext& ui, const SDL_Surface* screen) {
    const View::Frame& frame = ViewAccess::of(ui.view);
    const int x = std::clamp(frame.left + 1, 0, screen->w), y = std::clamp(frame.top + 1, 0, screen->h);
    const int right = std::clamp(screen->w - frame.right, x, screen->w);
    const int bottom = std::clamp(screen->h - frame.bottom - 1, y, screen->h);
    return SDL_Rect{x, y, std::min(right - x, kConsoleWidth), std::min(bottom - y, kConsoleHeight)};
}

namespace {

// This frame's colours, from the border, background and menu font variables.
void takeColours(View& view) {
    View::Frame& frame = ViewAccess::of(view);
    const ViewVariables& v = view.v;
    frame.borderColour = rgb565(byte(v.borderR), byte(v.borderG), byte(v.borderB));
    frame.backgroundColour = rgb565(byte(v.backgroundR), byte(v.backgroundG), byte(v.backgroundB));
    frame.labelForeground = SDL_Color{byte(v.menuFontR), byte(v.menuFontG), byte(v.menuFontB), 255};
    frame.labelBackground = SDL_Color{byte(v.backgroundR), byte(v.backgroundG), byte(v.backgroundB), 255};
}

// The panel extents, measured anew when STATUS or a MENU extent changed.
// The frame of a new layout shows only the background; the next one rebuilds
// everything.
bool layoutChanged(UiContext& ui, SDL_Surface* screen) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    const ViewVariables& v = view.v;
    if (v.status->value == frame.lastStatus && v.menuTop->value == frame.lastMenuTop &&
        v.menuLeft->value == frame.lastMenuLeft && v.menuRight->value == frame.lastMenuRight &&
        v.menuBottom->value == frame.lastMenuBottom) {
        return false;
    }
    frame.lastStatus = v.status->value;
    frame.lastMenuTop = v.menuTop->value;
    frame.lastMenuLeft = v.menuLeft->value;
    frame.lastMenuRight = v.menuRight->value;
    frame.lastMenuBottom = v.menuBottom->value;
    frame.top = panelExtent(v.menuTop->value, -1);
    frame.left = panelExtent(v.menuLeft->value, -1);
    frame.right = panelExtent(v.menuRight->value, 0);
    frame.bottom = panelExtent(v.menuBottom->value, v.status->value != 0 ? kStatusLineHeight : 0);
    SDL_FillRect(screen, nullptr, frame.backgroundColour);
    ui.menus.requestRedraw(Redraw::Panels);
    layoutWindow(ui, screen);
    return true;
}

// A full redraw paints the background and the frame. The translucent and
// blended views build on the previous frame, so their picture is kept.
void paintBackground(const View& view, SDL_Surface* screen, const Picture& picture) {
    const View::Frame& frame = ViewAccess::of(view);
    const int sw = screen->w, sh = screen->h;
    const ViewMode mode = ViewMode{view.v.view->value};
    const bool keepsPicture =
        mode == ViewMode::Fade || (mode == ViewMode::Normal && view.v.alpha1->value <= 255);
    if (keepsPicture) {
        fillRect(screen, 0, 0, picture.screenX, sh, frame.backgroundColour);
        fillRect(screen, picture.screenX + picture.width, 0, sw - picture.screenX - picture.width, sh,
                 frame.backgroundColour);
    } else {
        SDL_FillRect(screen, nullptr, frame.backgroundColour);
    }
    rectOutline(screen, frame.left, frame.top, sw - frame.right - frame.left, sh - frame.bottom - frame.top,
                frame.borderColour);
}

// Four lines join the world picture to the frame around the view.
void joinPictureToFrame(const View& view, SDL_Surface* screen, const Picture& picture) {
    const View::Frame& frame = ViewAccess::of(view);
    const int sw = screen->w, sh = screen->h;
    const int px0 = picture.screenX, py0 = picture.screenY;
    const int px1 = picture.screenX + picture.width, py1 = picture.screenY + picture.height;
    verticalLine(screen, px0 - 1, frame.top, py1, frame.borderColour);
    verticalLine(screen, px1, py0, sh - frame.bottom, frame.borderColour);
    horizontalLine(screen, px0, sw - frame.right, py0 - 1, frame.borderColour);
    horizontalLine(screen, frame.left, px1, py1, frame.borderColour);
}

}  // namespace

// Measures the layout, sizes the panels and places the world picture, then
// draws the frame's parts from the bottom up.
void composeFrame(UiContext& ui, SDL_Surface* screen) {
    View& view = ui.view;
    View::Frame& frame = ViewAccess::of(view);
    Menus& menus = ui.menus;
    const ViewVariables& v = view.v;
    LockGuard guard(ui.world.resizeLock());
    if (v.console->value != frame.lastConsole) {
        frame.lastConsole = v.console->value;
        menus.requestRedraw(Redraw::Panels);
    }
    takeColours(view);
    if (layoutChanged(ui, screen)) return;
    if (v.zoom->value != frame.lastZoom) {
        frame.lastZoom = v.zoom->value;
        menus.requestRedraw(Redraw::View);
    }
    if (menus.redrawLevel() >= Redraw::Panels) rebuildPanels(ui, screen);
    clampScroll(ui, screen);
    const Picture picture = placeWorld(ui, screen);
    frame.worldRect = SDL_Rect{picture.screenX, picture.screenY, picture.width, picture.height};

    const bool fullRedraw = menus.redrawLevel() >= Redraw::View;
    if (fullRedraw) paintBackground(view, screen, picture);
    joinPictureToFrame(view, screen, picture);
    blitPanels(ui, screen);
    runPreview(ui);
    worldPicture(ui, screen, picture);
    drawSubmenu(ui, screen);
    drawConsole(ui, screen, fullRedraw);
    drawStatusLine(ui, screen, fullRedraw);
    menus.frameComposed();
}

}  // namespace ef2
