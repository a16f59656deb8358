#pragma once
// Making the desktop open "ef2mod://" and "ef2addon://" links with this
// program, and the screen-saver start.
//
// Nothing is registered at a normal start: `--register-links` writes a hidden
// desktop entry for the link handler below $XDG_DATA_HOME/applications and
// makes it the default handler of both schemes with xdg-mime.

#include <string>

namespace ef2 {

// The desktop entry of the link handler for the program at `programPath`.
std::string linkHandlerEntry(const std::string& programPath);

// Quotes one argument of a desktop entry's Exec key: double quotes around it,
// a backslash before ", `, $ and \, "%" doubled, then escaped once more as
// the value of a string key.
std::string desktopExecArgument(const std::string& argument);

// Writes the entry and registers both schemes. The exit status: 0, or 1 with
// a message on standard error (xdg-utils missing, a file not written).
int registerLinkSchemes(const std::string& programPath);

// Started as a screen saver (a program name ending in ".scr"): "/p" (the
// preview) ends at once, "/c" (configure) opens the start script in the
// desktop's editor and ends. True when the program should end now.
bool screenSaverCheck(int argc, const char* const* argv);

}  // namespace ef2
