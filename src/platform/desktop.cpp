#include "platform/desktop.h"

#include <SDL.h>

#include <cstdio>

#include "platform/shell.h"

namespace ef2 {

namespace {

void printOnStandardOutput(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void afterModal(const DesktopSettings& desktop) {
    releaseStuckDesktopInput();
    if (desktop.afterModal) desktop.afterModal();
}

bool videoAvailable(const DesktopSettings& desktop) {
    return !desktop.headless && SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

enum class DialogKind { Open, Save };

// zenity exits with 1 when cancelled; only a program that could not be
// started at all (-1) sends us on to the next one.
std::string runDialog(DialogKind kind, const std::vector<FileFilter>& filters, DialogShown* shown) {
    std::vector<std::string> zenity{"zenity", "--file-selection"};
    if (kind == DialogKind::Save) zenity.push_back("--save");
    for (const FileFilter& filter : filters)
        zenity.push_back("--file-filter=" + filter.description + " | " + filter.pattern);
    std::string chosen;
    int status = runProgramWithOutput(zenity, chosen);
    if (status == -1) {
        std::string patterns;
        for (const FileFilter& filter : filters) {
            if (!patterns.empty()) patterns += '\n';
            patterns += filter.pattern + "|" + filter.description;
        }
        std::vector<std::string> kdialog{
            "kdialog", kind == DialogKind::Save ? "--getsavefilename" : "--getopenfilename", ".", patterns};
        status = runProgramWithOutput(kdialog, chosen);
    }
    if (shown) *shown = status != -1;
    if (status != 0) return {};
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    return chosen;
}

}  // namespace

bool askYesNo(const DesktopSettings& desktop, const std::string& text, const std::string& caption,
              Asker asker, DialogShown* shown) {
    if (shown) *shown = true;
    const bool mayAssume = asker == Asker::LocalScript && desktop.assumeYes;
    if (desktop.headless) {
        printOnStandardOutput(text);
        return mayAssume;
    }
    if (mayAssume) return true;
    if (!videoAvailable(desktop)) {
        if (shown) *shown = false;
        return false;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    const SDL_MessageBoxData box{
        SDL_MESSAGEBOX_INFORMATION, nullptr, caption.c_str(), text.c_str(), 2, buttons, nullptr};
    int pressed = 0;
    const bool boxShown = SDL_ShowMessageBox(&box, &pressed) == 0;
    afterModal(desktop);
    if (shown) *shown = boxShown;
    return boxShown && pressed == 1;
}

bool showMessage(const DesktopSettings& desktop, const std::string& text, const std::string& caption) {
    if (desktop.headless) {
        printOnStandardOutput(text);
        return true;
    }
    if (!videoAvailable(desktop)) return false;
    const bool shown =
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), nullptr) == 0;
    afterModal(desktop);
    return shown;
}

std::string openFileDialog(const DesktopSettings& desktop, const std::vector<FileFilter>& filters,
                           DialogShown* shown) {
    if (desktop.headless) return {};
    std::string chosen = runDialog(DialogKind::Open, filters, shown);
    afterModal(desktop);
    return chosen;
}

std::string saveFileDialog(const DesktopSettings& desktop, const std::vector<FileFilter>& filters,
                           DialogShown* shown) {
    if (desktop.headless) return {};
    std::string chosen = runDialog(DialogKind::Save, filters, shown);
    afterModal(desktop);
    return chosen;
}

void releaseStuckDesktopInput() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    SDL_ResetKeyboard();
    SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
}

std::optional<std::string> clipboardGetText() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text) return std::nullopt;
    std::string result(text);
    SDL_free(text);
    if (result.empty()) return std::nullopt;
    return result;
}

}  // namespace ef2
