#include "platform/display.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "world/surface.h"

namespace ef2 {

namespace {

class HeadlessDisplay : public Display {
public:
    HeadlessDisplay(int width, int height) : screen_(makeSurface16(width, height)) {}
    SDL_Surface* screen() override { return screen_.get(); }
    void present() override {}
    bool setMode(int width, int height, bool) override {
        SurfacePtr resized = makeSurface16(width, height);
        if (!resized) return false;
        screen_ = std::move(resized);
        return true;
    }
    void setCaption(const std::string&) override {}
    void setIcon(SDL_Surface*) override {}
    bool isHeadless() const override { return true; }
    void desktopSize(int& width, int& height) override {
        width = screen_->w;
        height = screen_->h;
    }
    void windowToScreen(int&, int&) override {}
    int scale() const override { return 1; }

private:
    SurfacePtr screen_;
};

class WindowDisplay : public Display {
public:
    ~WindowDisplay() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
    }

    bool open(int width, int height, int scale, std::string& error) {
        scale_ = std::max(scale, 1);
        // Screen pixels stay square blocks when the picture is enlarged.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        window_ =
            SDL_CreateWindow("Emberfall 2", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width * scale_,
                             height * scale_, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!window_) return fail(error);
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) return fail(error);
        if (!makeScreen(width, height)) return fail(error);
        return true;
    }

    SDL_Surface* screen() override { return screen_.get(); }

    void present() override {
        SDL_UpdateTexture(texture_, nullptr, screen_->pixels, screen_->pitch);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    bool setMode(int width, int height, bool fullscreen) override {
        SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
        SDL_SetWindowSize(window_, width * scale_, height * scale_);
        if (!fullscreen) keepOnScreen(width * scale_, height * scale_);
        return makeScreen(width, height);
    }

    void windowToScreen(int& x, int& y) override {
        float screenX = 0, screenY = 0;
        SDL_RenderWindowToLogical(renderer_, x, y, &screenX, &screenY);
        x = static_cast<int>(std::floor(screenX));
        y = static_cast<int>(std::floor(screenY));
    }
    int scale() const override { return scale_; }

    void setCaption(const std::string& caption) override { SDL_SetWindowTitle(window_, caption.c_str()); }
    void setIcon(SDL_Surface* icon) override {
        if (icon) SDL_SetWindowIcon(window_, icon);
    }
    bool isHeadless() const override { return false; }

    void desktopSize(int& width, int& height) override {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            width = mode.w;
            height = mode.h;
        } else {
            width = screen_->w;
            height = screen_->h;
        }
    }

private:
    // A window that grew past the screen's usable area (it grows from its
    // top-left corner) is centred again.
    void keepOnScreen(int width, int height) {
        const int display = SDL_GetWindowDisplayIndex(window_);
        SDL_Rect usable;
        if (display < 0 || SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
        int x = 0, y = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        if (x + width <= usable.x + usable.w && y + height <= usable.y + usable.h) return;
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    }

    bool fail(std::string& error) {
        error = SDL_GetError();
        return false;
    }

    bool makeScreen(int width, int height) {
        SurfacePtr screen = makeSurface16(width, height);
        SDL_Texture* texture =
            SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!screen || !texture) {
            if (texture) SDL_DestroyTexture(texture);
            return false;
        }
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = texture;
        screen_ = std::move(screen);
        SDL_RenderSetLogicalSize(renderer_, width, height);
        SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
        return true;
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SurfacePtr screen_;
    int scale_ = 1;
};

}  // namespace

std::unique_ptr<Display> openWindowDisplay(int width, int height, int scale, std::string& error) {
    auto display = std::make_unique<WindowDisplay>();
    if (!display->open(width, height, scale, error)) return nullptr;
    return display;
}

std::unique_ptr<Display> openHeadlessDisplay(int width, int height) {
    return std::make_unique<HeadlessDisplay>(width, height);
}

}  // namespace ef2
