#pragma once
// The main program: start-up, the frame loop and the screen update.
//
// Each pass of the loop refreshes the clock variables, credits a step budget
// with SPEED x elapsed time, runs at most one simulation step between its phase
// triggers, redraws the window when UPDATEVIEW milliseconds have passed, raises
// SECOND once a second and drains the input events.

#include <SDL_events.h>

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/runtime.h"
#include "platform/display.h"

namespace ef2 {

class Program {
public:
    Program(Runtime& runtime, CommandLine commandLine);
    ~Program();

    // Start-up, then the loop (or the requested number of steps). Returns the
    // exit status.
    int run();

private:
    void startNetwork();
    void rememberRestartOptions();
    bool startUp();
    void createBuiltInVariables();
    void bindPhaseTriggers();
    void loadStartFiles(const std::string& startFile);
    void frameLoop();
    int runFixedSteps(int64_t steps);
    int writeExitFiles();
    void loopPass();
    void simulationStep();
    void waitForWork();
    void presentIfChanged();
    void updateScreen();
    void composeFrame();
    void refreshClockVariables();
    void applyVideoMode();
    void applyWindowSize();
    void drainEvents();
    void handleEvent(const SDL_Event& event);
    void resizeWindow(int width, int height);
    void screenChanged();
    void setWindowIcon();

    Runtime& runtime_;
    CommandLine commandLine_;
    std::unique_ptr<Display> display_;

    // Variables the loop reads every pass, bound once.
    Variable* speed_ = nullptr;
    Variable* physics_ = nullptr;
    Variable* updateView_ = nullptr;
    Variable* fps_ = nullptr;               // simulation steps in the last whole second
    Variable* redrawsPerSecond_ = nullptr;  // screen updates in the last whole second
    Variable* msec_ = nullptr;
    Variable* fullscreen_ = nullptr;
    Variable* fullscreenX_ = nullptr;
    Variable* fullscreenY_ = nullptr;
    Variable* windowSizeX_ = nullptr;
    Variable* windowSizeY_ = nullptr;
    struct ClockVariables {
        Variable *year, *month, *day, *weekday, *hour, *minute, *second, *unixTime;
    } clock_{};

    struct PhaseTriggers {
        Trigger *prePhysics, *postPhysics, *preTimer, *postTimer, *preUpdateScreen, *postUpdateScreen,
            *second;
    } phases_{};

    float budget_ = 0.0f;
    uint32_t timerResolution_ = 1;
    uint32_t lastTick_ = 0;
    uint32_t lastScreenUpdate_ = 0;
    uint32_t clockStart_ = 0;
    uint32_t secondStamp_ = 0;
    int32_t stepsThisSecond_ = 0;
    int32_t redrawsThisSecond_ = 0;
    int32_t previousFullscreen_[3] = {0, 0, 0};
    uint32_t lastRepeatTick_ = 0;
    std::array<bool, 323> pressedThisPoll_{};
    std::set<std::string> addonLinks_;
    std::vector<uint16_t> shownFrame_;  // the pixels last handed to the window
    bool mustPresent_ = true;           // add-on links of the command line, rewritten
};

// A file dropped on the window: a script, a world picture, or a zip package
// that is unpacked and run. Dropped files are the user's choice: the names
// are not confined to the working folder.
void loadDroppedFile(Runtime& runtime, std::string file);

// FNV-1a over every cell of the framed grid, so that a change of behaviour shows.
uint64_t worldChecksum(const World& world);

}  // namespace ef2
