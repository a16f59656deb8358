#pragma once
// The worlds on which the physics step is measured: one list shared by the
// step table (`make bench`, bench/RESULTS.md) and the Google Benchmark
// programs, so that every published figure names a scene built here.
//
// A scene builds its world in a fresh runtime. Scenes that settle restore their
// starting grid every `restoreEvery` steps, so that each timed stretch sees the
// same motion; the others run on from a warm-up.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/runtime.h"

namespace ef2::bench {

struct StepScene {
    std::string key;    // short name for the command line
    std::string title;  // the table's row label
    int size = 420;     // the world is size x size cells
    int restoreEvery = 0;
    int warmUp = 0;  // steps run once after building, before any timing
    std::function<void(Runtime&)> build;
};

const std::vector<StepScene>& stepScenes();
const StepScene* findStepScene(const std::string& key);

// A built scene: the runtime after the warm-up and the grid to restore.
class SceneRun {
public:
    explicit SceneRun(const StepScene& scene);
    SceneRun(const SceneRun&) = delete;
    SceneRun& operator=(const SceneRun&) = delete;

    // Restores the starting grid when the scene's stretch is over. Kept apart
    // from `run` so that a timer around `run` leaves the restore out.
    void restoreIfDue();
    // Runs up to `steps` steps, stopping early where the scene's stretch ends;
    // returns how many ran.
    int run(int steps);
    int64_t cellsPerStep() const { return int64_t{scene_.size} * scene_.size; }
    Runtime& runtime() { return *runtime_; }
    const StepScene& scene() const { return scene_; }

private:
    const StepScene& scene_;
    std::unique_ptr<Runtime> runtime_;
    std::vector<uint16_t> startGrid_;
    int sinceRestore_ = 0;
};

}  // namespace ef2::bench
