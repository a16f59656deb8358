#pragma once
// Where frames go: a real window, or an off-screen surface when there is none.
//
// The program composes every frame into its own RGB565 `screen` surface the
// size of the window, kept between frames. Presenting it uploads the surface
// into one streaming texture and shows it. Headless, the surface is all there
// is and presenting does nothing.

#include <SDL_surface.h>

#include <memory>
#include <string>

namespace ef2 {

class Display {
public:
    virtual ~Display() = default;
    virtual SDL_Surface* screen() = 0;
    virtual void present() = 0;
    // Resizes the window (or the off-screen surface) and the screen with it.
    virtual bool setMode(int width, int height, bool fullscreen) = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setIcon(SDL_Surface* icon) = 0;
    virtual bool isHeadless() const = 0;
    // Size of the desktop, for full screen; the screen's size when unknown.
    virtual void desktopSize(int& width, int& height) = 0;
    // A point of the window (as the mouse state gives it) on the screen.
    virtual void windowToScreen(int& x, int& y) = 0;
    // Window pixels per screen pixel (1 headless).
    virtual int scale() const = 0;
};

// Opens a resizable window showing a `width` x `height` screen, every screen
// pixel as `scale` x `scale` window pixels (nearest-neighbour). On a hi-DPI
// desktop, whose drawable has more pixels than the window has points, the
// screen is shown at the largest whole multiple that fits, so it stays
// sharp. nullptr with `error` set when that fails.
std::unique_ptr<Display> openWindowDisplay(int width, int height, int scale, std::string& error);
std::unique_ptr<Display> openHeadlessDisplay(int width, int height);

}  // namespace ef2
