// Frame composition: the view modes at two window sizes, and a panel rebuild.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "app/runtime.h"
#include "support/test_runtime.h"
#include "ui/input.h"
#include "ui/menus.h"
#include "ui/view.h"

namespace ef2 {
namespace {

struct Scene {
    Scene(int screenWidth, int screenHeight) {
        runtime.fonts.open(std::string(EF2_BUILD_DIR) + "/font.ttf");
        runtime.interpreter.pushFrame(ParameterFrame{});
        setUpPresentation(ui, false);
        runtime.world.create(420, 420);
        bindInputVariables(ui);
        screen = makeSurface16(screenWidth, screenHeight);
        runtime.view.screen = screen.get();
        uint16_t sand = test::defineElement(runtime, "Sand", 100);
        uint16_t water = test::defineElement(runtime, "Water", 50);
        for (int y = 1; y <= 420; ++y) {
            for (int x = 1; x <= 420; ++x) runtime.world.setCell(x, y, (x * 7 + y * 3) % 5 ? sand : water);
        }
        runtime.world.rebuildIfRequested();
        composeFrame(ui, screen.get());
    }
    void set(const char* name, int32_t value) { runtime.variables.obtain(name, 0, false)->value = value; }
    Runtime runtime;
    UiContext& ui = runtime.ui();
    SurfacePtr screen;
};

void composeLoop(benchmark::State& state, Scene& scene) {
    composeFrame(scene.ui, scene.screen.get());  // settle the layout after a change
    for (auto _ : state) composeFrame(scene.ui, scene.screen.get());
    // The world must really be on the screen: count the pixels that show it.
    const SDL_Rect& rect = scene.runtime.view.worldRect();
    int64_t shown = 0;
    for (int y = std::max(rect.y, 0); y < std::min(rect.y + rect.h, scene.screen->h); ++y) {
        for (int x = std::max(rect.x, 0); x < std::min(rect.x + rect.w, scene.screen->w); ++x) {
            shown += pixels16(scene.screen.get())[y * stride16(scene.screen.get()) + x] != 0;
        }
    }
    state.counters["world_pixels"] = static_cast<double>(shown);
    if (shown < int64_t{rect.w} * rect.h / 2) state.SkipWithError("the world picture is not on the screen");
}

void BM_ComposeView0Zoom1Default(benchmark::State& state) {
    Scene scene(486, 504);
    composeLoop(state, scene);
}

void BM_ComposeView0Zoom3Large(benchmark::State& state) {
    Scene scene(1600, 1000);
    scene.set("ZOOM", 3);
    composeLoop(state, scene);
}

void BM_ComposeView1Large(benchmark::State& state) {
    Scene scene(1600, 1000);
    scene.set("VIEW", 1);
    composeLoop(state, scene);
}

void BM_ComposeView10Large(benchmark::State& state) {
    Scene scene(1600, 1000);
    scene.set("VIEW", 10);
    composeLoop(state, scene);
}

void BM_ComposeView0Zoom1Large(benchmark::State& state) {
    Scene scene(1600, 1000);
    composeLoop(state, scene);
}

// A full rebuild of the panels with 60 buttons (labels and icons).
void BM_RebuildPanelsSixtyButtons(benchmark::State& state) {
    Scene scene(1600, 1000);
    std::string script;
    const std::string hex(256, 'A');
    for (int i = 0; i < 30; ++i) {
        script += "MENU TOP ADD TEXT B" + std::to_string(i) + " TEXT \"Tool " + std::to_string(i) +
                  "\" <SET T " + std::to_string(i) + ">\n";
        script += "MENU LEFT ADD TEXT E" + std::to_string(i) + " HEX " + hex + " <SET E " +
                  std::to_string(i) + ">\n";
    }
    scene.runtime.parser.parseText(script, 0, std::nullopt);
    composeFrame(scene.ui, scene.screen.get());
    for (auto _ : state) {
        scene.runtime.menus.requestRedraw(Redraw::Panels);
        composeFrame(scene.ui, scene.screen.get());
    }
}

BENCHMARK(BM_ComposeView0Zoom1Default)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeView0Zoom1Large)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeView0Zoom3Large)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeView1Large)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeView10Large)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RebuildPanelsSixtyButtons)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ef2
