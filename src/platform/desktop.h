#pragma once
// The desktop around the window: message boxes, file dialogs and the
// clipboard.
//
// Every operation works without a window. Headless, message boxes print their
// text on standard output and a question is answered by the --assume-yes
// setting; dialogs and the clipboard then give nothing. This file does not
// start downloads or read links (see links.h).

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ef2 {

// How the desktop may reach the user; the main program fills it in at start.
struct DesktopSettings {
    bool headless = false;
    bool assumeYes = false;  // questions are answered yes without asking
    // Runs after every message box and dialog that was shown: keys and
    // buttons released while it had the focus must not stay held.
    std::function<void()> afterModal;
};

// A dialog filter: a description and a pattern ("EF2 File", "*.ef2").
struct FileFilter {
    std::string description;
    std::string pattern;
};

// On whose behalf a question is asked. A question for a network peer is
// always put to the person at the toy: --assume-yes does not answer it, and
// without a window to ask in it is answered no.
enum class Asker { LocalScript, NetworkPeer };

// Set, when asked for, to false when no box or dialog could be shown.
using DialogShown = bool;

// True for yes. Headless, the answer is --assume-yes. With a window but no box
// to ask in (see showMessage), the answer is no and `shown` says so.
bool askYesNo(const DesktopSettings& desktop, const std::string& text, const std::string& caption,
              Asker asker = Asker::LocalScript, DialogShown* shown = nullptr);
// False when no box could be shown: no window, or the window system could not
// draw one (on X11 it needs the core fonts, or else zenity). Headless, the text
// goes to standard output and counts as shown.
bool showMessage(const DesktopSettings& desktop, const std::string& text, const std::string& caption);

// The chosen path, through zenity or else kdialog. Empty when the dialog was
// cancelled, when neither program exists (then `shown` is false; they are
// optional) and when headless.
std::string openFileDialog(const DesktopSettings& desktop, const std::vector<FileFilter>& filters,
                           DialogShown* shown = nullptr);
std::string saveFileDialog(const DesktopSettings& desktop, const std::vector<FileFilter>& filters,
                           DialogShown* shown = nullptr);

// The window system's part of releasing stuck input: the keyboard state is
// reset and pending key and mouse events are dropped.
void releaseStuckDesktopInput();

// The clipboard's text; nothing when it is empty or there is no video
// subsystem to ask.
std::optional<std::string> clipboardGetText();

}  // namespace ef2
