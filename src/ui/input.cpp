#include "ui/input.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "io/network.h"
#include "platform/shell.h"
#include "script/script_context.h"
#include "ui/console.h"
#include "ui/icons.h"
#include "ui/key_names.h"
#include "ui/menus.h"
#include "ui/ui_context.h"
#include "ui/view.h"
#include "world/element_table.h"
#include "world/world.h"

namespace ef2 {

// The only way into the input state: the handlers below change it, the rest
// of the program goes through Input's public members.
struct InputAccess {
    static Input::State& of(UiContext& ui) { return ui.input.state_; }
};

bool Input::anythingHeld() const {
    return state_.previousButtons != 0 || state_.latch ||
           std::find(state_.held.begin(), state_.held.end(), true) != state_.held.end();
}

void Input::releaseAll() {
    state_.held.fill(false);
    state_.previousButtons = 0;
    state_.latch = false;
    state_.dragState = kNoDrag;
}

int32_t legacyKeyCode(SDL_Keycode key) {
    if (key >= 'A' && key <= 'Z') return key - 'A' + 'a';
    if (key == SDLK_BACKSPACE || key == SDLK_TAB || key == SDLK_RETURN || key == SDLK_ESCAPE) return key;
    if (key >= 32 && key <= 127) return key;
    switch (key) {
        case SDLK_CLEAR: return 12;
        case SDLK_PAUSE: return 19;
        case SDLK_KP_0: return 256;
        case SDLK_KP_1: return 257;
        case SDLK_KP_2: return 258;
        case SDLK_KP_3: return 259;
        case SDLK_KP_4: return 260;
        case SDLK_KP_5: return 261;
        case SDLK_KP_6: return 262;
        case SDLK_KP_7: return 263;
        case SDLK_KP_8: return 264;
        case SDLK_KP_9: return 265;
        case SDLK_KP_PERIOD: return 266;
        case SDLK_KP_DIVIDE: return 267;
        case SDLK_KP_MULTIPLY: return 268;
        case SDLK_KP_MINUS: return 269;
        case SDLK_KP_PLUS: return 270;
        case SDLK_KP_ENTER: return kKeyKeypadEnter;
        case SDLK_KP_EQUALS: return 272;
        case SDLK_UP: return kKeyUp;
        case SDLK_DOWN: return kKeyDown;
        case SDLK_RIGHT: return kKeyRight;
        case SDLK_LEFT: return kKeyLeft;
        case SDLK_INSERT: return 277;
        case SDLK_HOME: return kKeyHome;
        case SDLK_END: return kKeyEnd;
        case SDLK_PAGEUP: return kKeyPageUp;
        case SDLK_PAGEDOWN: return kKeyPageDown;
        case SDLK_NUMLOCKCLEAR: return 300;
        case SDLK_CAPSLOCK: return 301;
        case SDLK_SCROLLLOCK: return 302;
        case SDLK_RSHIFT: return kKeyRightShift;
        case SDLK_LSHIFT: return kKeyLeftShift;
        case SDLK_RCTRL: return kKeyRightCtrl;
        case SDLK_LCTRL: return kKeyLeftCtrl;
        case SDLK_RALT: return kKeyRightAlt;
        case SDLK_LALT: return kKeyLeftAlt;
        case SDLK_LGUI: return 311;
        case SDLK_RGUI: return 312;
        case SDLK_MODE: return 313;
        case SDLK_HELP: return 315;
        case SDLK_PRINTSCREEN: return 316;
        case SDLK_SYSREQ: return 317;
        case SDLK_MENU: return 319;
        case SDLK_POWER: return 320;
        case SDLK_UNDO: return 322;
        default: break;
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) return 282 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F15) return 294 + (key - SDLK_F13);
    return -1;
}

void bindInputVariables(UiContext& ui) {
    VariableTable& t = ui.script.variables;
    auto bind = [&t](const char* name) { return t.obtain(name, 0, false); };
    InputVariables& v = InputAccess::of(ui).v;
    // The rest (BUTTON, CLICKED, ABSX, ABSY, the modifiers, LASTACTIONMSEC,
    // LASTACTIONFRAME, MSEC) are created on first use, not before the start
    // file runs.
    v.x = bind("X");
    v.y = bind("Y");
    v.frame = bind("FRAME");
    v.showKeyCode = bind("SHOWKEYCODE");
    v.keyRepeatDelay = bind("KEYREPEATDELAY");
    v.keyRepeatRate = bind("KEYREPEATRATE");
    v.rightClick = bind("RCLICK");
    v.middleClick = bind("MCLICK");
}

namespace {

void noteAction(UiContext& ui) {
    InputVariables& v = InputAccess::of(ui).v;
    VariableTable& table = ui.script.variables;
    onFirstUse(table, v.lastActionMsec, "LASTACTIONMSEC")->value = onFirstUse(table, v.msec, "MSEC")->value;
    onFirstUse(table, v.lastActionFrame, "LASTACTIONFRAME")->value = v.frame->value;
}

void runNamed(UiContext& ui, const char* name) {
    ui.script.interpreter.runTrigger(ui.script.interpreter.triggers().obtain(name));
}

void setMouseVariables(UiContext& ui, int x, int y, int buttons, int clicked) {
    InputVariables& v = InputAccess::of(ui).v;
    v.x->value = x;
    v.y->value = y;
    onFirstUse(ui.script.variables, v.button, "BUTTON")->value = buttons;
    onFirstUse(ui.script.variables, v.clicked, "CLICKED")->value = clicked;
}

void bindModifiers(UiContext& ui) {
    InputVariables& v = InputAccess::of(ui).v;
    if (v.numLock) return;
    VariableTable& table = ui.script.variables;
    onFirstUse(table, v.ctrl, "CTRL");
    onFirstUse(table, v.shift, "SHIFT");
    onFirstUse(table, v.alt, "ALT");
    onFirstUse(table, v.leftCtrl, "LCTRL");
    onFirstUse(table, v.leftShift, "LSHIFT");
    onFirstUse(table, v.leftAlt, "LALT");
    onFirstUse(table, v.rightCtrl, "RCTRL");
    onFirstUse(table, v.rightShift, "RSHIFT");
    onFirstUse(table, v.rightAlt, "RALT");
    onFirstUse(table, v.capsLock, "CAPSLOCK");
    onFirstUse(table, v.numLock, "NUMLOCK");
}

void showCursor(UiContext& ui, int number) {
    Input::State& input = InputAccess::of(ui);
    if (number == input.cursorShown) return;
    input.cursorShown = number;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Cursor* cursor = number > 0 && number < kCursorCount ? ui.view.cursors[number] : nullptr;
    SDL_SetCursor(cursor ? cursor : SDL_GetDefaultCursor());
}

bool strictlyInside(int x, int y, const SDL_Rect& rect) {
    return x > rect.x && x < rect.x + rect.w && y > rect.y && y < rect.y + rect.h;
}

// The console corner at the top right: left click shows the console, middle
// starts a telnet client to this program, right opens the log in an editor.
bool consoleCorner(UiContext& ui, SDL_Surface* screen, int x, int y, int buttons, int clicked) {
    View& view = ui.view;
    const bool newPress = clicked && buttons != 0;
    const bool panelsShown = view.top() != 0 && view.right() != 0;
    auto act = [&] {
        if (buttons & kLeftButton) {
            view.v.console->value = view.v.console->value == 0 ? 1 : 0;
        } else if (buttons & kMiddleButton) {
            const std::string port = std::to_string(ui.network.port());
            runProgram({"x-terminal-emulator", "-e", "telnet", "localhost", port}, false);
        } else if (buttons & kRightButton) {
            runProgram({"xdg-open", "console.txt"}, false);
        }
    };
    if (view.v.console->value == 0) {
        if (newPress && panelsShown && x > screen->w - 14 && y <= 6) {
            act();
            return true;
        }
        return false;
    }
    // The open console's mark sits at its lower right; the console takes
    // every click over it.
    const SDL_Rect area = consoleRect(ui, screen);
    const int right = area.x + area.w, bottom = area.y + area.h;
    if (newPress && x > right - 15 && x <= right && y > bottom - 8 && y <= bottom) {
        act();
        return true;
    }
    return x >= area.x && x < right && y >= area.y && y <= bottom;
}

// Where a panel's picture is on the screen, as drawn in the last frame.
SDL_Rect buttonRect(const PanelState& panel, const MenuButton& button, bool alongY) {
    int x = panel.rect.x + button.x - (alongY ? 0 : panel.scroll);
    int y = panel.rect.y + button.y - (alongY ? panel.scroll : 0);
    return SDL_Rect{x, y, button.width, button.height};
}

void placeSubmenuNextTo(UiContext& ui, SDL_Surface* screen, int panelIndex, const SDL_Rect& button) {
    Menus& menus = ui.menus;
    View& view = ui.view;
    const bool sidePanel = panelIndex == kLeftPanel || panelIndex == kRightPanel;
    Orientation orientation = menus.submenuOrientation();
    if (orientation == Orientation::FromPanel)
        orientation = sidePanel ? Orientation::Horizontal : Orientation::Vertical;
    const int maxWidth = sidePanel ? screen->w - view.left() - view.right() : 0;
    const int maxHeight = sidePanel ? 0 : screen->h - view.top() - view.bottom();
    PanelState& sub = menus.panels[kSubmenu];
    sub.picture = buildPanel(ui, menus.list(kSubmenu), orientation, maxWidth, maxHeight, true);
    if (!sub.picture) {
        menus.dropSubmenu();
        return;
    }
    const int w = sub.picture->w, h = sub.picture->h;
    switch (panelIndex) {
        case kTopPanel: menus.placeSubmenu(button.x + button.w / 2 - w / 2, button.y + button.h); break;
        case kLeftPanel: menus.placeSubmenu(button.x + button.w, button.y); break;
        case kRightPanel: menus.placeSubmenu(button.x - w, button.y); break;
        default: menus.placeSubmenu(button.x + button.w / 2 - w / 2, button.y - h); break;
    }
}

// After a click on a button: open a requested submenu next to it, turn a
// requested fixed one open, or close an open one that does not stay.
void submenuAfterClick(UiContext& ui, SDL_Surface* screen, int panelIndex, const SDL_Rect& button) {
    Menus& menus = ui.menus;
    if (menus.submenuState() == SubmenuState::RequestedAtButton) {
        if (menus.list(kSubmenu).empty()) {
            menus.dropSubmenu();
            return;
        }
        const int attached = panelIndex == kSubmenu ? menus.submenuPanel() : panelIndex;
        menus.attachSubmenu(attached);
        placeSubmenuNextTo(ui, screen, attached, button);
        menus.requestRedraw(Redraw::Panels);
    } else {
        menus.pressed();
    }
}

// Finds the panel under the pointer (the open submenu first) and the button
// hit in it. Returns true when some panel contained the pointer.
bool handlePanels(UiContext& ui, SDL_Surface* screen, int x, int y, int buttons, int clicked,
                  bool& buttonHit) {
    Menus& menus = ui.menus;
    Input::State& input = InputAccess::of(ui);
    const int order[] = {kSubmenu, kBottomPanel, kRightPanel, kLeftPanel, kTopPanel};
    for (int panelIndex : order) {
        PanelState& panel = menus.panels[panelIndex];
        if (!panel.picture) continue;
        if (panelIndex == kSubmenu && !menus.submenuShown()) continue;
        if (!strictlyInside(x, y, panel.rect)) continue;
        const int attached = menus.submenuAttachedTo();
        const bool alongY = panelIndex == kSubmenu ? !(attached == kTopPanel || attached == kBottomPanel)
                                                   : (panelIndex == kLeftPanel || panelIndex == kRightPanel);
        panel.pointerAlong = alongY ? y - panel.rect.y : x - panel.rect.x;
        for (const ButtonPtr& buttonPointer : menus.list(panelIndex)) {
            MenuButton& button = *buttonPointer;
            if (!button.icon || button.icon->type == "SEPARATOR" || button.icon->type == "SEPERATOR" ||
                button.width == 0) {
                continue;
            }
            SDL_Rect rect = buttonRect(panel, button, alongY);
            if (!strictlyInside(x, y, rect)) continue;
            buttonHit = true;
            const bool otherDrag = input.dragState > kDragOverWorld && input.dragState != button.buttonId;
            if (!otherDrag) input.hoveredName = button.name;
            if ((clicked || buttons != 0) && button.trigger && !otherDrag) {
                if (button.draggable) {
                    input.dragState = button.buttonId;
                } else {
                    input.latch = true;
                }
                Interpreter& interpreter = ui.script.interpreter;
                bool pushed = button.parameters && interpreter.pushFrame(*button.parameters);
                setMouseVariables(ui, x - rect.x - 1, y - rect.y - 1, buttons, clicked);
                interpreter.runTrigger(button.trigger.trigger);
                if (pushed) interpreter.popFrame();
                submenuAfterClick(ui, screen, panelIndex, rect);
            }
            return true;
        }
        return true;
    }
    return false;
}

// A press over the world runs MOUSEDOWN, DRAG and DRAW; a drag runs DRAW at
// every cell of the straight line from the last one when SOLIDDRAW is set.
void worldActions(UiContext& ui, const Cell& cell, int buttons, int clicked) {
    Input::State& input = InputAccess::of(ui);
    setMouseVariables(ui, cell.x, cell.y, buttons, 0);
    runNamed(ui, "MOUSEMOVE");
    if (buttons == 0) return;
    if (clicked) {
        setMouseVariables(ui, cell.x, cell.y, buttons, 1);
        runNamed(ui, "MOUSEDOWN");
    }
    setMouseVariables(ui, cell.x, cell.y, buttons, clicked);
    runNamed(ui, "DRAG");
    if (!clicked && ui.view.v.solidDraw->value != 0) {
        const int dx = cell.x - input.lastCellX, dy = cell.y - input.lastCellY;
        const int steps =
            static_cast<int>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy)) + 1;
        for (int i = 0; i < steps; ++i) {
            const int x = input.lastCellX + i * dx / steps, y = input.lastCellY + i * dy / steps;
            setMouseVariables(ui, x, y, buttons, 0);
            runNamed(ui, "DRAW");
        }
    } else {
        setMouseVariables(ui, cell.x, cell.y, buttons, clicked);
        runNamed(ui, "DRAW");
    }
    input.dragState = kDragOverWorld;
}

}  // namespace

void fireKeyTrigger(UiContext& ui, const char* prefix, int32_t keyCode) {
    const std::string* name = ui.keyNames.nameOf(keyCode);
    if (!name) return;
    ui.script.interpreter.runTrigger(ui.script.interpreter.triggers().obtain(std::string(prefix) + *name));
}

void keyDown(UiContext& ui, int32_t keyCode) {
    Input::State& input = InputAccess::of(ui);
    if (input.v.showKeyCode->value == 1) ui.script.printLine("Pressed Key: " + std::to_string(keyCode), 0);
    if (keyCode < 0 || keyCode >= kKeyRepeatCounters) return;
    if (keyCode < kKeyCodes) input.held[keyCode] = true;
    uint32_t& counter = input.repeatCounters[keyCode];
    if (counter == 0) {
        counter = static_cast<uint32_t>(input.v.keyRepeatDelay->value);
        fireKeyTrigger(ui, "KEY_", keyCode);
    } else if (counter == 1) {
        counter = static_cast<uint32_t>(input.v.keyRepeatRate->value);
        fireKeyTrigger(ui, "KEYREPEAT_", keyCode);
    } else {
        --counter;
    }
}

void keyUp(UiContext& ui, int32_t keyCode) {
    Input::State& input = InputAccess::of(ui);
    if (keyCode < 0 || keyCode >= kKeyRepeatCounters) return;
    if (keyCode < kKeyCodes) input.held[keyCode] = false;
    fireKeyTrigger(ui, "KEYUP_", keyCode);
    input.repeatCounters[keyCode] = 0;
}

bool consoleOpen(const UiContext& ui) {
    return ui.view.v.console->value != 0;
}

// The open console's line takes every key; none reaches a key trigger.
void consoleKey(UiContext& ui, int32_t keyCode) {
    Console& console = ui.console;
    ConsoleLine& line = console.input();
    constexpr int kPageLines = kConsoleHeight / kConsoleLineHeight - 1;
    switch (keyCode) {
        case kKeyEscape: ui.view.v.console->value = 0; break;
        case kKeyReturn:
        case kKeyKeypadEnter: {
            const std::string typed = console.submitInput();
            ui.script.parser.parseLine(typed, 1, 0, "");
            break;
        }
        case kKeyBackspace: line.backspace(); break;
        case kKeyDelete: line.deleteForward(); break;
        case kKeyLeft: line.left(); break;
        case kKeyRight: line.right(); break;
        case kKeyHome: line.home(); break;
        case kKeyEnd: line.end(); break;
        case kKeyUp: line.historyBack(); break;
        case kKeyDown: line.historyForward(); break;
        case kKeyPageUp: console.scrollBy(kPageLines); break;
        case kKeyPageDown: console.scrollBy(-kPageLines); break;
        default: break;  // text arrives as text
    }
    console.inputChanged();
}

void consoleText(UiContext& ui, std::string_view utf8) {
    ui.console.input().insert(utf8);
    ui.console.inputChanged();
}

int effectiveButtons(UiContext& ui, int mask) {
    const InputVariables& v = InputAccess::of(ui).v;
    if (ui.input.keyHeld(v.rightClick->value)) return kRightButton;
    if (ui.input.keyHeld(v.middleClick->value)) return kMiddleButton;
    return mask & 0xFF;
}

void handleMouse(UiContext& ui, SDL_Surface* screen, int x, int y, int buttons, int clicked) {
    Input::State& input = InputAccess::of(ui);
    View& view = ui.view;
    Menus& menus = ui.menus;
    const Cell cell = cellAt(ui, x, y);

    if (input.latch) {
        if (buttons != 0) return;
        input.latch = false;
    }
    if (buttons == 0 && input.dragState != kNoDrag) {
        input.dragState = kNoDrag;
        setMouseVariables(ui, cell.x, cell.y, 0, clicked);
        runNamed(ui, "MOUSEUP");
    }
    // A pointer that stands still over a view that scrolled or zoomed is over
    // another cell: the cell, the name under it and the preview follow.
    const bool viewMoved = view.scrollX() != input.lastScrollX || view.scrollY() != input.lastScrollY ||
                           view.v.zoom->value != input.lastZoom;
    if (x == input.lastX && y == input.lastY && buttons == 0 && clicked == 0 && !viewMoved) return;
    input.lastX = x;
    input.lastY = y;
    input.lastScrollX = view.scrollX();
    input.lastScrollY = view.scrollY();
    input.lastZoom = view.v.zoom->value;

    const PanelState& sub = menus.panels[kSubmenu];
    const bool inSubmenu = menus.submenuShown() && sub.picture && x > sub.rect.x &&
                           x < sub.rect.x + sub.rect.w && y - 1 > sub.rect.y &&
                           y - 1 < sub.rect.y + sub.rect.h;
    const bool inWorldArea =
        x > view.left() && x < screen->w - view.right() && y > view.top() && y < screen->h - view.bottom();
    const bool dragging = input.dragState != kNoDrag;
    if (inWorldArea && !inSubmenu) {
        input.mouseInWorld = true;
        showCursor(ui, ((view.v.cursor->value % kCursorCount) + kCursorCount) % kCursorCount);
        if (!dragging) {
            uint16_t id = ui.world.interiorCell(cell.x, cell.y);
            const std::string& name = ui.elements.nameOf(id);
            input.hoveredName = name.empty() ? "Nothing" : name;
        }
        input.v.x->value = cell.x;
        input.v.y->value = cell.y;
    } else {
        input.mouseInWorld = false;
        showCursor(ui, 0);
        if (!dragging) input.hoveredName = "Nothing";
        input.v.x->value = 0;
        input.v.y->value = 0;
    }

    if (consoleCorner(ui, screen, x, y, buttons, clicked)) return;

    bool buttonHit = false;
    const bool inPanel = handlePanels(ui, screen, x, y, buttons, clicked, buttonHit);
    if (buttonHit) return;
    if (!inPanel && inWorldArea && input.dragState <= kDragOverWorld) {
        worldActions(ui, cell, buttons, clicked);
    }
    // A press that hits no button opens a submenu requested at a fixed place,
    // or closes an open one that does not stay.
    if (buttons != 0) menus.pressed();
    input.lastCellX = cell.x;
    input.lastCellY = cell.y;
}

void sampleInput(UiContext& ui, SDL_Surface* screen, int mouseX, int mouseY, int mouseButtons) {
    Input::State& input = InputAccess::of(ui);
    VariableTable& table = ui.script.variables;
    Variable* absX = onFirstUse(table, input.v.absX, "ABSX");
    Variable* absY = onFirstUse(table, input.v.absY, "ABSY");
    const int mask = mouseButtons & 0xFF;
    if (mask == 0) {
        handleMouse(ui, screen, mouseX, mouseY, 0, 0);
    } else {
        noteAction(ui);
        if (input.previousButtons != 0) {
            handleMouse(ui, screen, mouseX, mouseY, effectiveButtons(ui, mask), 0);
        }
    }
    input.previousButtons = static_cast<uint8_t>(mask);
    if (mouseX != absX->value || mouseY != absY->value) noteAction(ui);
    absX->value = mouseX;
    absY->value = mouseY;
    bindModifiers(ui);
    for (int code = 0; code < kKeyCodes && !consoleOpen(ui); ++code) {
        if (!input.held[code]) continue;
        fireKeyTrigger(ui, "HOLDKEY_", code);
        if (code < 255) noteAction(ui);
    }
    auto held = [&input](int code) { return input.held[code] ? 1 : 0; };
    input.v.leftCtrl->value = held(kKeyLeftCtrl);
    input.v.rightCtrl->value = held(kKeyRightCtrl);
    input.v.leftShift->value = held(kKeyLeftShift);
    input.v.rightShift->value = held(kKeyRightShift);
    input.v.leftAlt->value = held(kKeyLeftAlt);
    input.v.rightAlt->value = held(kKeyRightAlt);
    input.v.ctrl->value = input.v.leftCtrl->value | input.v.rightCtrl->value;
    input.v.shift->value = input.v.leftShift->value | input.v.rightShift->value;
    input.v.alt->value = input.v.leftAlt->value | input.v.rightAlt->value;
    const SDL_Keymod mods = SDL_GetModState();
    input.v.capsLock->value = (mods & KMOD_CAPS) ? 1 : 0;
    input.v.numLock->value = (mods & KMOD_NUM) ? 1 : 0;
}

}  // namespace ef2
