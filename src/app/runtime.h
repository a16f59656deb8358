#pragma once
// The program's state in one place: every table, the world, the script engine
// and the console.
//
// A `Runtime` owns everything that lives for the whole run. The main program
// makes one; a test makes as many fresh ones as it likes. Nothing that belongs
// to a run is kept in hidden static state. It is the script engine's context:
// the engine's parts (variables, parameter frames, the message buffer, the
// interpreter, the parser, the timers) are the ScriptContext it derives from,
// built before everything else here.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_state.h"
#include "io/network.h"
#include "platform/desktop.h"
#include "platform/links.h"
#include "script/script_context.h"
#include "script/string_table.h"
#include "ui/console.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/key_names.h"
#include "ui/menus.h"
#include "ui/status_line.h"
#include "ui/ui_context.h"
#include "ui/view.h"
#include "world/element_table.h"
#include "world/physics.h"
#include "world/random.h"
#include "world/rebuild_request.h"
#include "world/stamp_table.h"
#include "world/world.h"

namespace ef2 {

class Runtime final : public ScriptContext,
                      private ElementNameContext,
                      private NetworkContext,
                      private LinkContext {
public:
    Runtime();
    ~Runtime() override;
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Declaration order is construction order: the world needs the tables.
    RebuildRequest rebuildRequest;
    Random random;
    ElementTable elements;
    World world;
    Console console;
    KeyNames keyNames;
    StampTable stamps;
    Fonts fonts;
    View view;
    Menus menus;
    Input input;
    StatusLine status;
    Network network;

    // The text of a numbered string slot, or nullptr when it is empty.
    const std::string* stringSlot(int32_t index) const;
    StringTable strings;
    FileState files;
    DesktopSettings desktop;  // set by the main program at start
    // How this run was started (window or not, folder, network), for RESTART
    // to start the next run the same way; set by the main program at start.
    std::vector<std::string> restartOptions;

    // The one way to report a line: to the console for origin 0, otherwise
    // back to the network connection the text came from.
    void printLine(std::string_view text, int32_t messageId) override;

    // What the input handlers, the menus, the icons and the view reach.
    UiContext& ui() { return ui_; }
    // What handleLink reports to, asks and shows progress on.
    LinkContext& links() { return *this; }
    // After a dialog, a message box, a download or an unpacking held the
    // program up: keys and buttons released meanwhile must not stay held.
    void releaseStuckInput() override;
    // Shows a line at once, in the status line of a window (set by the main
    // program; the frame loop is held up while a download runs).
    std::function<void(std::string_view)> showNow;

    // True when a statement of origin `messageId` acts for a network peer:
    // its output goes to a peer, or the program acts for one right now (a
    // peer's line, or a statement or timer a peer set, is running).
    bool actsForPeer(int32_t messageId) const { return messageId != 0 || actingForPeer(); }
    // Peers may address only themselves and the local console. False, with
    // a console line, when `origin` may not reach `target`.
    bool peerMayReach(int32_t origin, int32_t target);
    // For what a peer may never do (file dialogs, the clipboard): true, with
    // a console line naming `what`, when the statement acts for a peer.
    bool refusedForPeer(int32_t messageId, std::string_view what);

    // Runs one physics step with the interaction triggers wired to scripts.
    void physicsStep();
    // Sets INTERACTION1, INTERACTION2, X1, Y1, X2, Y2 and runs an interaction trigger.
    const InteractionTriggerRunner& interactionRunner() const { return interactionRunner_; }

private:
    void runInteractionTrigger(Trigger* trigger, uint16_t acting, uint16_t neighbour, int x1, int y1, int x2,
                               int y2);
    struct InteractionVariables {
        Variable *acting, *neighbour, *x1, *y1, *x2, *y2;
    } interactionVariables_{};
    InteractionTriggerRunner interactionRunner_;

    void runReceivedLine(std::string_view line, int lineNumber, int32_t connectionId) override;
    void reportLocally(std::string_view line) override;
    void connectionClosed(int32_t connectionId) override;
    bool allowAllAddresses() override;
    void reportLink(std::string_view line) override;
    bool askAboutLink(const std::string& text, const std::string& caption, int32_t origin) override;
    void showLinkProgress(std::string_view line) override;
    Variable* allowAllIps_ = nullptr;

    std::string messageText() override;
    std::optional<int32_t> evaluateNumber(std::string_view text) override;
    void report(std::string_view line) override;

    int32_t randomNumber() override { return random.next(); }
    int32_t worldCell(int32_t x, int32_t y) override { return world.interiorCell(x, y); }
    bool inGroup(int32_t elementId, int32_t group) override;
    bool isWorldName(std::string_view name) override;
    std::optional<LookupResult> readWorldName(std::string_view name) override;
    bool writeWorldName(std::string_view name, int32_t value, bool overwrite) override;

    // Last, after every part it names.
    UiContext ui_{*this, elements, world,  stamps, strings, network, console,
                  fonts, keyNames, status, view,   menus,   input};
};

}  // namespace ef2
