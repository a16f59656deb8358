#include "app/program.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/exit_request.h"
#include "app/file_loading.h"
#include "app/version.h"
#include "io/bmp_file.h"
#include "io/network.h"
#include "io/png_file.h"
#include "io/world_files.h"
#include "platform/paths.h"
#include "script/variables.h"
#include "ui/input.h"
#include "ui/view.h"
#include "world/physics.h"

namespace ef2 {

namespace {

// The window's size at the start and when it leaves a full screen.
constexpr int kStartWindowWidth = 486;
constexpr int kStartWindowHeight = 504;
constexpr int kDefaultWorldSize = 420;
constexpr const char* kAddonScheme = "ef2addon://";
// Console lines a wheel notch scrolls.
constexpr int kWheelLines = 3;
// An idle loop still looks around this often (a changed variable, a redraw).
constexpr int64_t kMaxIdleWaitMs = 50;
// How long the end of the program waits for peers to take their last replies.
constexpr int kExitFlushMs = 1000;

}  // namespace

Program::Program(Runtime& runtime, CommandLine commandLine)
    : runtime_(runtime), commandLine_(std::move(commandLine)) {}

// The window goes before SDL does: destroying it after SDL_Quit talks to a
// display connection that is already closed.
Program::~Program() {
    display_.reset();
    SDL_Quit();
}

int Program::run() {
    int status = 0;
    try {
        if (!startUp()) return 1;
        if (commandLine_.steps) {
            status = runFixedSteps(*commandLine_.steps);
        } else {
            frameLoop();
        }
    } catch (const ExitRequest& exit) {
        status = exit.status;
    }
    // Replies queued just before the end (a peer's EXIT) still reach the peer.
    runtime_.network.flush(kExitFlushMs);
    return status;
}

static bool isAddonLink(const std::string& argument) {
    return argument.starts_with(kAddonScheme);
}

// Listening comes before the window: an instance started with an add-on link
// while another one holds the port only hands the link over and ends, without
// ever opening a window.
void Program::startNetwork() {
    runtime_.network.setPort(commandLine_.port);
    if (commandLine_.network) runtime_.network.listen({commandLine_.port, commandLine_.listenAddress});
    for (std::string& argument : commandLine_.arguments) {
        if (!isAddonLink(argument)) continue;
        argument = "http://" + argument.substr(std::string_view(kAddonScheme).size());
        addonLinks_.insert(argument);
        if (!commandLine_.network || runtime_.network.listening()) continue;
        std::string error;
        if (handOverLink(argument, commandLine_.port, error)) throw ExitRequest{0};
        std::fprintf(stderr, "emberfall2: cannot hand \"%s\" to the running instance: %s\n", argument.c_str(),
                     error.c_str());
        throw ExitRequest{1};
    }
}

bool Program::startUp() {
    startNetwork();
    bool headless = commandLine_.headless;
    runtime_.desktop =
        DesktopSettings{headless, commandLine_.assumeYes, [this] { runtime_.releaseStuckInput(); }};
    if (SDL_Init(headless ? SDL_INIT_TIMER : SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        std::fprintf(stderr, "emberfall2: cannot start SDL: %s\n", SDL_GetError());
        return false;
    }
    if (headless) {
        display_ = openHeadlessDisplay(kStartWindowWidth, kStartWindowHeight);
    } else {
        std::string error;
        display_ = openWindowDisplay(kStartWindowWidth, kStartWindowHeight, commandLine_.scale, error);
        if (!display_) {
            std::fprintf(stderr, "emberfall2: cannot open a window: %s (try --headless)\n", error.c_str());
            return false;
        }
    }

    std::string folder = commandLine_.workdir.empty() ? defaultWorkingFolder() : commandLine_.workdir;
    if (!changeDirectory(folder)) {
        std::fprintf(stderr, "emberfall2: cannot enter the folder \"%s\"\n", folder.c_str());
        return false;
    }
    rememberRestartOptions();
    runtime_.console.openLog("console.txt");
    runtime_.console.setEchoToStdout(headless);
    // A download holds the frame loop up; its progress is drawn at once.
    runtime_.showNow = [this](std::string_view line) {
        if (display_->isHeadless()) return;
        runtime_.status.clear();
        runtime_.status.append(line);
        composeFrame();
        display_->present();
    };
    // The font sits next to the program; a working directory of its own may lack it.
    std::string font = fileReadable(kFontFile) ? std::string(kFontFile) : programFolder() + "/" + kFontFile;
    if (!runtime_.fonts.open(font))
        std::fprintf(stderr, "emberfall2: cannot open \"%s\"; text will not show\n", font.c_str());
    runtime_.console.setFont(runtime_.fonts.console());
    runtime_.view.screen = display_->screen();

    VariableTable& variables = runtime_.variables;
    // Peers from other hosts stay out until a script says otherwise.
    variables.obtain("ALLOWALLIPS", 0, true);
    variables.obtain("DEBUGPARAMETER", 0, true);
    variables.obtain("DEBUGVAR", 0, true);
    variables.obtain("DEBUGFRAME", 0, true);
    runtime_.interpreter.bindDebugVariables();
    clockStart_ = SDL_GetTicks();
    runtime_.timers.runTimers();
    runtime_.interpreter.pushFrame(ParameterFrame{});

    std::string startFile = fileReadable("myconfig.ef2") ? "myconfig.ef2" : "config.ef2";
    setUpPresentation(runtime_.ui(), !headless);
    display_->setCaption(windowCaption());
    setWindowIcon();
    createBuiltInVariables();
    bindInputVariables(runtime_.ui());
    bindPhaseTriggers();
    layoutWindow(runtime_.ui(), display_->screen());
    for (const char* line : {"ON KEY_ESC EXIT\n", "ON KEY_SPACE EXIT\n", "ON QUIT EXIT\n", "KEYCODE 27 ESC\n",
                             "KEYCODE 32 SPACE\n"}) {
        runtime_.parser.parseText(line, 0, std::nullopt);
    }

    runtime_.printLine(welcomeLine(), 0);
    runtime_.console.clearChanged();
    loadStartFiles(startFile);

    secondStamp_ = SDL_GetTicks() / 1000;
    budget_ = 0.0f;
    stepsThisSecond_ = 0;
    lastTick_ = SDL_GetTicks();
    uint32_t changed = lastTick_;
    while ((changed = SDL_GetTicks()) == lastTick_) {
    }
    timerResolution_ = changed - lastTick_;
    lastScreenUpdate_ = 0;

    for (const char* name : {"LASTACTIONMSEC", "LASTACTIONFRAME", "FRAME"}) variables.obtain(name, 0, true);
    msec_ = variables.obtain("MSEC", 0, true);
    fullscreen_ = variables.obtain("FULLSCREEN", 0, true);
    fullscreenX_ = variables.obtain("FULLSCREENX", 0, true);
    fullscreenY_ = variables.obtain("FULLSCREENY", 0, true);
    redrawsPerSecond_ = variables.obtain("REDRAWSPERSECOND", 0, true);
    phases_.second = runtime_.interpreter.triggers().obtain("SECOND");
    return true;
}

void Program::rememberRestartOptions() {
    std::vector<std::string>& options = runtime_.restartOptions;
    options.clear();
    if (commandLine_.headless) options.push_back("--headless");
    if (!commandLine_.workdir.empty()) options.insert(options.end(), {"--workdir", currentDirectory()});
    if (!commandLine_.network) options.push_back("--no-network");
    options.insert(options.end(), {"--port", std::to_string(commandLine_.port)});
    options.insert(options.end(), {"--listen", commandLine_.listenAddress});
}

void Program::bindPhaseTriggers() {
    TriggerRegistry& triggers = runtime_.interpreter.triggers();
    phases_ = PhaseTriggers{triggers.obtain("PREPHYSICS"),
                            triggers.obtain("POSTPHYSICS"),
                            triggers.obtain("PRETIMER"),
                            triggers.obtain("POSTTIMER"),
                            triggers.obtain("PREUPDATESCREEN"),
                            triggers.obtain("POSTUPDATESCREEN"),
                            nullptr};
}

// The command line's files and links, in order. A plain file replaces the
// start script; links are loaded on top of it.
void Program::loadStartFiles(const std::string& startFile) {
    bool startLoaded = false;
    bool anyLoaded = false;
    auto loadStart = [&] {
        if (startLoaded) return;
        startLoaded = true;
        loadScriptFile(runtime_, startFile, 0, Confinement::None);
    };
    for (std::string argument : commandLine_.arguments) {
        // Screen-saver switches ("/s", "/c", "/p:1234") are not files; other
        // arguments that start with '/' are absolute paths.
        if (isScreenSaverSwitch(argument)) continue;
        // The user's own command line names no downloader or editor: such a
        // name ends the run before anything of it is used.
        if (!fileNameAllowed(argument, LinkRules::Lenient)) {
            std::fprintf(stderr, "emberfall2: refused file name \"%s\"\n", argument.c_str());
            throw ExitRequest{1};
        }
        // Add-on links arrive here already rewritten to web addresses.
        if (argument.starts_with("ef2mod://") || addonLinks_.count(argument)) loadStart();
        // Files named on the command line are the user's choice and may lie
        // anywhere; what a link downloads stays in the working folder.
        const Confinement confinement =
            argument.find("://") == std::string::npos ? Confinement::None : Confinement::WorkingFolder;
        if (handleLink(runtime_.links(), argument, LinkRules::Lenient)) {
            loadScriptFile(runtime_, argument, 0, confinement);
        }
        anyLoaded = true;
    }
    if (!anyLoaded) loadStart();
}

void Program::createBuiltInVariables() {
    VariableTable& variables = runtime_.variables;
    variables.obtain("EFVERSION", kScriptVersion, true);
    variables.obtain("DEFAULTWIDTH", kDefaultWorldSize, true);
    variables.obtain("DEFAULTHEIGHT", kDefaultWorldSize, true);
    variables.obtain("DEFAULTMENUWIDTH", 33, true);
    runtime_.world.create(kDefaultWorldSize, kDefaultWorldSize);
    variables.obtain("ZOOM", 1, true);
    updateView_ = variables.obtain("UPDATEVIEW", 20, true);
    speed_ = variables.obtain("SPEED", 0, true);
    fps_ = variables.obtain("FPS", 0, true);
    variables.obtain("WINDOWS", 1, true);
    variables.obtain("SHOWKEYCODE", 0, true);
    variables.obtain("KEYREPEATDELAY", 50, true);
    variables.obtain("KEYREPEATRATE", 3, true);
    physics_ = variables.obtain("PHYSICS", 1, true);
    clock_ = ClockVariables{variables.obtain("YEAR", 0, true),   variables.obtain("MONTH", 0, true),
                            variables.obtain("DAY", 0, true),    variables.obtain("WEEKDAY", 0, true),
                            variables.obtain("HOUR", 0, true),   variables.obtain("MINUTE", 0, true),
                            variables.obtain("SECOND", 0, true), variables.obtain("UNIXTIME", 0, true)};
    variables.obtain("RCLICK", 0, true);
    variables.obtain("MCLICK", 0, true);
    // The window's size in pixels; a script that sets them asks for another size.
    windowSizeX_ = variables.obtain("WINDOWSIZEX", display_->screen()->w, true);
    windowSizeY_ = variables.obtain("WINDOWSIZEY", display_->screen()->h, true);
}

void Program::frameLoop() {
    while (true) loopPass();
}

void Program::loopPass() {
    refreshClockVariables();

    uint32_t now = SDL_GetTicks();
    uint32_t elapsed = now - lastTick_;
    lastTick_ = SDL_GetTicks();
    if (elapsed != 0) budget_ += static_cast<float>(speed_->value) * static_cast<float>(elapsed) / 1000.0f;
    if (budget_ < 0.0f && static_cast<int64_t>(1000 / timerResolution_) > speed_->value) waitForWork();

    applyVideoMode();
    applyWindowSize();

    bool screenCheck = true;
    if (budget_ > 0.0f && speed_->value != 0) {
        budget_ -= 1.0f;
        simulationStep();
        ++stepsThisSecond_;
    } else if (speed_->value != 0) {
        screenCheck = false;
    }
    bool redrawn = false;
    if (screenCheck && static_cast<int32_t>(SDL_GetTicks() - lastScreenUpdate_) > updateView_->value) {
        runtime_.interpreter.runTrigger(phases_.preUpdateScreen);
        updateScreen();
        runtime_.interpreter.runTrigger(phases_.postUpdateScreen);
        redrawn = true;
    }
    // A stopped simulation has nothing to do between redraws; do not spin.
    if (speed_->value == 0 && !redrawn) waitForWork();

    float limit = static_cast<float>(speed_->value) * static_cast<float>(timerResolution_) / 1000.0f;
    if (budget_ > limit) budget_ = limit;

    if (SDL_GetTicks() / 1000 != secondStamp_) {
        fps_->value = stepsThisSecond_;
        stepsThisSecond_ = 0;
        redrawsPerSecond_->value = redrawsThisSecond_;
        redrawsThisSecond_ = 0;
        secondStamp_ = SDL_GetTicks() / 1000;
        runtime_.interpreter.runTrigger(phases_.second);
    }
    drainEvents();
    runtime_.console.flush();
}

// Until the next step, redraw or second is due there is nothing to do: the
// loop waits for an event instead of spinning. A held key or button keeps the
// passes a millisecond apart, because HOLDKEY_, DRAG and the key repeats count
// passes.
void Program::waitForWork() {
    if (runtime_.input.anythingHeld()) {
        SDL_Delay(1);
        return;
    }
    const uint32_t now = SDL_GetTicks();
    int64_t wait = kMaxIdleWaitMs;
    const int32_t speed = speed_->value;
    if (speed == 0) wait = std::min<int64_t>(wait, int64_t{lastScreenUpdate_} + updateView_->value + 1 - now);
    if (speed > 0 && budget_ < 0.0f)
        wait = std::min<int64_t>(wait, static_cast<int64_t>(-budget_ * 1000.0f / speed));
    wait = std::min<int64_t>(wait, (int64_t{secondStamp_} + 1) * 1000 - now);
    if (wait < 1) return;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_WaitEventTimeout(nullptr, static_cast<int>(wait));
    } else {
        SDL_Delay(static_cast<uint32_t>(wait));
    }
}

void Program::simulationStep() {
    Interpreter& interpreter = runtime_.interpreter;
    interpreter.runTrigger(phases_.prePhysics);
    if (physics_->value != 0) runtime_.physicsStep();
    interpreter.runTrigger(phases_.postPhysics);
    interpreter.runTrigger(phases_.preTimer);
    runtime_.timers.runTimers();
    interpreter.runTrigger(phases_.postTimer);
}

int Program::runFixedSteps(int64_t steps) {
    applyWindowSize();
    auto started = std::chrono::steady_clock::now();
    // Each step is a pass without the step budget: the clock still moves,
    // and peers are served as often as a window would redraw.
    for (int64_t step = 0; step < steps; ++step) {
        refreshClockVariables();
        simulationStep();
        runtime_.console.flush();
        if (static_cast<int32_t>(SDL_GetTicks() - lastScreenUpdate_) > updateView_->value) {
            lastScreenUpdate_ = SDL_GetTicks();
            runtime_.network.poll();
        }
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (commandLine_.bench) {
        const World& world = runtime_.world;
        double cellSteps = static_cast<double>(steps) * world.width() * world.height();
        std::printf("steps %lld seconds %.6f steps/s %.1f ns/cell %.3f checksum %016llx\n",
                    static_cast<long long>(steps), seconds, seconds > 0 ? steps / seconds : 0.0,
                    cellSteps > 0 ? seconds * 1e9 / cellSteps : 0.0,
                    static_cast<unsigned long long>(worldChecksum(world)));
        std::fflush(stdout);
    }
    return writeExitFiles();
}

// --save and --screenshot; a file that cannot be written is an error.
int Program::writeExitFiles() {
    int status = 0;
    const std::string& save = commandLine_.savePath;
    if (!save.empty() && !saveWorldFile(runtime_.world, runtime_.elements, save, Confinement::None)) {
        std::fprintf(stderr, "emberfall2: cannot save the world to \"%s\"\n", save.c_str());
        status = 1;
    }
    const std::string& screenshot = commandLine_.screenshotPath;
    if (!screenshot.empty()) {
        runtime_.world.repaintColourLayer();
        // A frame that notices a new layout draws only the background; the
        // second one shows the world.
        composeFrame();
        composeFrame();
        if (!savePng(display_->screen(), screenshot, Confinement::None)) {
            std::fprintf(stderr, "emberfall2: cannot write the screenshot \"%s\"\n", screenshot.c_str());
            status = 1;
        }
    }
    return status;
}

void Program::updateScreen() {
    msec_->value = static_cast<int32_t>(SDL_GetTicks() - clockStart_);
    runtime_.network.poll();
    runtime_.interpreter.runTrigger(runtime_.interpreter.triggers().obtain("STATUS"));
    lastScreenUpdate_ = SDL_GetTicks();
    runtime_.world.repaintColourLayer();
    composeFrame();
    ++redrawsThisSecond_;
    presentIfChanged();
}

// Handing a frame to the window system costs far more than composing it, so
// a frame that looks like the last one shown is not handed over again
// (unless the window lost its picture).
void Program::presentIfChanged() {
    const SDL_Surface* screen = display_->screen();
    const std::size_t pixels =
        static_cast<std::size_t>(screen->pitch / 2) * static_cast<std::size_t>(screen->h);
    const auto* first = static_cast<const uint16_t*>(screen->pixels);
    if (!mustPresent_ && shownFrame_.size() == pixels &&
        std::equal(first, first + pixels, shownFrame_.begin())) {
        return;
    }
    shownFrame_.assign(first, first + pixels);
    mustPresent_ = false;
    display_->present();
}

// Read like any file a script names: a FIFO named so must not hold up the
// start, nor a link lead out of the folder.
void Program::setWindowIcon() {
    if (SurfacePtr icon = loadBmp("icon.bmp", SDL_PIXELFORMAT_ARGB8888, pictureSizeAllowed))
        display_->setIcon(icon.get());
}

// A new video mode: the screen, the layout and every panel are made anew.
void Program::screenChanged() {
    runtime_.view.screen = display_->screen();
    windowSizeX_->value = display_->screen()->w;
    windowSizeY_->value = display_->screen()->h;
    layoutWindow(runtime_.ui(), display_->screen());
    runtime_.menus.closeSubmenu();
    runtime_.menus.requestRedraw(Redraw::Panels);
}

void Program::composeFrame() {
    ef2::composeFrame(runtime_.ui(), display_->screen());
}

void Program::refreshClockVariables() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    clock_.unixTime->value = static_cast<int32_t>(now);
    clock_.year->value = local.tm_year + 1900;
    clock_.month->value = local.tm_mon;
    clock_.day->value = local.tm_mday;
    clock_.weekday->value = local.tm_wday;
    clock_.hour->value = local.tm_hour;
    clock_.minute->value = local.tm_min;
    clock_.second->value = local.tm_sec;
}

void Program::applyVideoMode() {
    int32_t wanted[3] = {fullscreen_->value, fullscreenX_->value, fullscreenY_->value};
    if (wanted[0] == previousFullscreen_[0] && wanted[1] == previousFullscreen_[1] &&
        wanted[2] == previousFullscreen_[2]) {
        return;
    }
    int desktopWidth = 0, desktopHeight = 0;
    display_->desktopSize(desktopWidth, desktopHeight);
    if (fullscreenX_->value == 0) fullscreenX_->value = desktopWidth;
    if (fullscreenY_->value == 0) fullscreenY_->value = desktopHeight;
    previousFullscreen_[0] = fullscreen_->value;
    previousFullscreen_[1] = fullscreenX_->value;
    previousFullscreen_[2] = fullscreenY_->value;
    if (fullscreen_->value == 0) {
        display_->setMode(kStartWindowWidth, kStartWindowHeight, false);
    } else {
        display_->setMode(fullscreenX_->value, fullscreenY_->value, true);
    }
    screenChanged();
}

// A window (not a full screen) takes the size a script wrote into WINDOWSIZEX
// and WINDOWSIZEY, within the limits a drag of its edge has.
void Program::applyWindowSize() {
    const SDL_Surface* screen = display_->screen();
    if (fullscreen_->value != 0) return;
    if (windowSizeX_->value == screen->w && windowSizeY_->value == screen->h) return;
    resizeWindow(windowSizeX_->value, windowSizeY_->value);
}

void Program::drainEvents() {
    UiContext& ui = runtime_.ui();
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEvent(event);
    // Held keys repeat by themselves: one key-down per poll, at most one a
    // millisecond, so that KEYREPEATDELAY and KEYREPEATRATE count polls.
    const uint32_t now = SDL_GetTicks();
    if (now != lastRepeatTick_) {
        lastRepeatTick_ = now;
        for (int code = 0; code < kKeyCodes && !consoleOpen(ui); ++code) {
            if (runtime_.input.keyHeld(code) && !pressedThisPoll_[code]) keyDown(ui, code);
        }
    }
    pressedThisPoll_.fill(false);
    int x = 0, y = 0;
    uint32_t mask = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetMouseState(&x, &y) : 0;
    display_->windowToScreen(x, y);
    // A resize event above may have replaced the screen surface.
    sampleInput(ui, display_->screen(), x, y, static_cast<int>(mask));
}

void Program::handleEvent(const SDL_Event& event) {
    SDL_Surface* screen = display_->screen();
    Interpreter& interpreter = runtime_.interpreter;
    UiContext& ui = runtime_.ui();
    switch (event.type) {
        case SDL_KEYDOWN: {
            int32_t code = legacyKeyCode(event.key.keysym.sym);
            if (consoleOpen(ui)) {
                consoleKey(ui, code);  // editing keys repeat as the system repeats them
                break;
            }
            if (event.key.repeat) break;  // repeats are made above
            if (code >= 0 && code < kKeyCodes) pressedThisPoll_[code] = true;
            keyDown(ui, code);
            break;
        }
        case SDL_KEYUP: {
            // Only a key pressed before the console opened is released to the game.
            const int32_t code = legacyKeyCode(event.key.keysym.sym);
            if (!consoleOpen(ui) || runtime_.input.keyHeld(code)) {
                keyUp(ui, code);
            }
            break;
        }
        case SDL_TEXTINPUT:
            if (consoleOpen(ui)) consoleText(ui, event.text.text);
            break;
        case SDL_MOUSEBUTTONDOWN: {
            // The press carries its own button: a quick click's release may
            // already be in the mouse state when the press is handled. The
            // release is seen by the sampling after the events, so it runs
            // after the press's triggers.
            int mask = static_cast<int>(SDL_GetMouseState(nullptr, nullptr));
            if (event.button.button >= SDL_BUTTON_LEFT && event.button.button <= SDL_BUTTON_RIGHT) {
                mask |= SDL_BUTTON(event.button.button);
            }
            handleMouse(ui, screen, event.button.x, event.button.y, effectiveButtons(ui, mask), 1);
            break;
        }
        case SDL_MOUSEWHEEL: {
            // A wheel notch is a press of button 4 (up) or 5 (down).
            int x = 0, y = 0;
            int mask = static_cast<int>(SDL_GetMouseState(&x, &y));
            display_->windowToScreen(x, y);
            if (consoleOpen(ui)) {
                const SDL_Rect area = consoleRect(ui, screen);
                if (x >= area.x && x < area.x + area.w && y >= area.y && y <= area.y + area.h) {
                    runtime_.console.scrollBy(event.wheel.y > 0 ? kWheelLines : -kWheelLines);
                    break;
                }
            }
            handleMouse(ui, screen, x, y, effectiveButtons(ui, mask), 1);
            interpreter.runTrigger(
                interpreter.triggers().obtain(event.wheel.y > 0 ? "MOUSEWHEELUP" : "MOUSEWHEELDOWN"));
            break;
        }
        case SDL_QUIT: interpreter.runTrigger(interpreter.triggers().obtain("QUIT")); break;
        case SDL_DROPFILE: {
            std::string file = event.drop.file ? event.drop.file : "";
            SDL_free(event.drop.file);
            loadDroppedFile(runtime_, file);
            break;
        }
        case SDL_WINDOWEVENT:
            // The window's size in points; the screen has a scale'th of it.
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                event.window.event == SDL_WINDOWEVENT_RESTORED) {
                mustPresent_ = true;
            }
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                resizeWindow(event.window.data1 / display_->scale(), event.window.data2 / display_->scale());
            }
            break;
        default: break;
    }
}

// The window keeps between 199 and 1999 pixels each way.
void Program::resizeWindow(int width, int height) {
    int newWidth = std::clamp(width + 1, 200, 2000), newHeight = std::clamp(height + 1, 200, 2000);
    display_->setMode(newWidth - 1, newHeight - 1, false);
    screenChanged();
}

void loadDroppedFile(Runtime& runtime, std::string file) {
    if (handleLink(runtime.links(), file, LinkRules::Lenient))
        loadScriptFile(runtime, file, 0, Confinement::None);
}

uint64_t worldChecksum(const World& world) {
    uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < world.gridHeight(); ++y) {
        const uint16_t* row = world.cells() + y * world.stride();
        for (int x = 0; x < world.gridWidth(); ++x) {
            for (int shift : {0, 8}) {
                hash ^= (row[x] >> shift) & 0xFF;
                hash *= 1099511628211ull;
            }
        }
    }
    return hash;
}

}  // namespace ef2
