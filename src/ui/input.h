#pragma once
// Input turned into script triggers: keys run KEY_<name>, KEYREPEAT_<name>,
// KEYUP_<name> and HOLDKEY_<name>; the mouse runs a menu button's trigger or
// MOUSEDOWN, DRAG, DRAW, MOUSEMOVE and MOUSEUP over the world with the cell in
// X and Y.

#include <SDL_events.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/variable_table.h"

namespace ef2 {

struct UiContext;

// Key codes as scripts know them (the classic key numbers): 0..322.
constexpr int kKeyCodes = 323;
constexpr int kKeyRepeatCounters = 1024;

// The classic key number of an SDL key, or -1 when it has none.
int32_t legacyKeyCode(SDL_Keycode key);

// Classic key numbers the program itself acts on.
constexpr int32_t kKeyBackspace = 8, kKeyReturn = 13, kKeyEscape = 27, kKeyDelete = 127,
                  kKeyKeypadEnter = 271, kKeyUp = 273, kKeyDown = 274, kKeyRight = 275, kKeyLeft = 276,
                  kKeyHome = 278, kKeyEnd = 279, kKeyPageUp = 280, kKeyPageDown = 281, kKeyRightShift = 303,
                  kKeyLeftShift = 304, kKeyRightCtrl = 305, kKeyLeftCtrl = 306, kKeyRightAlt = 307,
                  kKeyLeftAlt = 308;

// The mouse button mask the handler takes and BUTTON reports.
constexpr int kLeftButton = 1, kMiddleButton = 2, kRightButton = 4;

// What the pointer drags: nothing, a stroke over the world, or else the
// draggable button with that id (button ids start far above these two).
constexpr int kNoDrag = 0, kDragOverWorld = 1;

struct InputVariables {
    Variable *x, *y, *button, *clicked, *absX, *absY;
    Variable *ctrl, *shift, *alt, *leftCtrl, *leftShift, *leftAlt, *rightCtrl, *rightShift, *rightAlt;
    Variable *capsLock, *numLock, *lastActionMsec, *lastActionFrame, *msec, *frame;
    Variable *showKeyCode, *keyRepeatDelay, *keyRepeatRate, *rightClick, *middleClick;
};

// The input state belongs to the handlers in input.cpp; the rest of the
// program asks about it and may release everything at once.
class Input {
public:
    bool keyHeld(int32_t code) const { return code >= 0 && code < kKeyCodes && state_.held[code]; }
    // A key, a mouse button or a press on a button is held down.
    bool anythingHeld() const;
    // Forgets held keys and buttons, as when the window loses the keyboard.
    void releaseAll();

    bool mouseInWorld() const { return state_.mouseInWorld; }
    // The element name under the pointer, or "Nothing".
    const std::string& hoveredName() const { return state_.hoveredName; }
    // The last world cell the pointer was over, where strokes continue.
    int lastCellX() const { return state_.lastCellX; }
    int lastCellY() const { return state_.lastCellY; }
    int dragState() const { return state_.dragState; }

    struct State {
        InputVariables v{};
        std::array<uint32_t, kKeyRepeatCounters> repeatCounters{};
        std::array<bool, kKeyCodes> held{};
        uint8_t previousButtons = 0;
        int lastX = -1, lastY = -1;                          // the last pointer position given to the handler
        int lastScrollX = 0, lastScrollY = 0, lastZoom = 0;  // the view at that time
        int lastCellX = 0, lastCellY = 0;                    // the last world cell, for strokes
        int dragState = kNoDrag;                             // kNoDrag, kDragOverWorld or a button id
        bool latch = false;                                  // a press on a button is held
        bool mouseInWorld = false;
        std::string hoveredName = "Nothing";
        int cursorShown = 0;
    };

private:
    friend struct InputAccess;  // the handlers in input.cpp
    State state_;
};

void bindInputVariables(UiContext& ui);

// Runs `prefix` + the key's name for every name the key code has.
void fireKeyTrigger(UiContext& ui, const char* prefix, int32_t keyCode);
void keyDown(UiContext& ui, int32_t keyCode);
void keyUp(UiContext& ui, int32_t keyCode);

// The mouse handler: `buttons` is a mask (1 left, 2 middle, 4 right, 8 and 16
// for wheel notches), `clicked` 1 for a press event and 0 for the per-pass calls.
void handleMouse(UiContext& ui, SDL_Surface* screen, int x, int y, int buttons, int clicked);

// While the console is open (CONSOLE set) it has the keyboard: keys edit
// and run its line, scroll its log, and Escape closes it. No key trigger runs.
bool consoleOpen(const UiContext& ui);
void consoleKey(UiContext& ui, int32_t keyCode);
void consoleText(UiContext& ui, std::string_view utf8);

// The per-pass sampling after the events: mouse state, held keys, modifiers.
void sampleInput(UiContext& ui, SDL_Surface* screen, int mouseX, int mouseY, int mouseButtons);

// The buttons a press or a drag reports: RCLICK and MCLICK keys turn a left
// click into a right or middle one.
int effectiveButtons(UiContext& ui, int mask);

}  // namespace ef2
