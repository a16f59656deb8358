#pragma once
// A runtime with an off-screen screen, fonts and the presentation variables,
// as the program has them once it runs headless.

#include <gtest/gtest.h>

#include <string>

#include "app/runtime.h"
#include "ui/input.h"
#include "ui/view.h"

namespace ef2::test {

class ScreenFixture : public ::testing::Test {
protected:
    explicit ScreenFixture(int worldWidth = 420, int worldHeight = 420, int screenWidth = 486,
                           int screenHeight = 504) {
        runtime.fonts.open(std::string(EF2_BUILD_DIR) + "/font.ttf");
        runtime.console.setFont(runtime.fonts.console());
        runtime.interpreter.pushFrame(ParameterFrame{});
        setUpPresentation(ui, false);
        runtime.world.create(worldWidth, worldHeight);
        bindInputVariables(ui);
        screen = makeSurface16(screenWidth, screenHeight);
        runtime.view.screen = screen.get();
    }
    void run(std::string_view script) { runtime.parser.parseText(script, 0, std::nullopt); }
    // The first frame after a layout change shows only the background.
    void compose() {
        composeFrame(ui, screen.get());
        composeFrame(ui, screen.get());
    }
    uint16_t pixel(int x, int y) { return pixels16(screen.get())[y * stride16(screen.get()) + x]; }
    int32_t value(const char* name) { return runtime.variables.obtain(name, 0, false)->value; }

    Runtime runtime;
    UiContext& ui = runtime.ui();
    SurfacePtr screen;
};

}  // namespace ef2::test
