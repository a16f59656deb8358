#include "statements/files.h"

#include <vector>

#include "app/file_loading.h"
#include "io/pictures.h"
#include "io/world_files.h"
#include "platform/confined_files.h"
#include "platform/desktop.h"
#include "platform/links.h"
#include "statements/statement.h"

namespace ef2 {

namespace {

// The argument that asks the user for a file instead of naming one. A file
// the user picks may lie anywhere; every name a script gives stays inside
// the working folder.
constexpr std::string_view kDialogWord = "FILEDIALOG";

const std::vector<FileFilter> kWorldFilters = {
    {"PNG File", "*.png"}, {"BMP File", "*.bmp"}, {"EF2 Config", "*.ef2"}};
const std::vector<FileFilter> kLayerFilters = {{"BMP File", "*.bmp"}};
const std::vector<FileFilter> kAnyFileFilters = {{"*.*", "*.*"}};
const std::vector<FileFilter> kScriptFilters = {
    {"EF2 File", "*.ef2"}, {"EF1 File", "*.cfg"}, {"TXT File", "*.txt"}, {"All", "*.*"}};

enum class Dialog { Open, Save };

// What the person at the window must see: it goes to the console and comes
// up in a box, since they are looking at the window, not at the console. The
// time the box stays open does not count against the script's pass.
void tellPersonAtWindow(Runtime& runtime, const std::string& line, const std::string& caption) {
    runtime.printLine(line, 0);
    Interpreter::UntimedWait waiting(runtime.interpreter);
    showMessage(runtime.desktop, line, caption);
}

// File dialogs and the clipboard belong to the person at the toy: a
// statement acting for a network peer never opens them, and gets no name.
// The time a dialog stays open does not count against the script's pass.
std::string pickFile(Runtime& runtime, int32_t messageId, Dialog dialog,
                     const std::vector<FileFilter>& filters) {
    if (runtime.refusedForPeer(messageId, "a file dialog")) return {};
    DialogShown shown = true;
    std::string chosen;
    {
        Interpreter::UntimedWait waiting(runtime.interpreter);
        chosen = dialog == Dialog::Open ? openFileDialog(runtime.desktop, filters, &shown)
                                        : saveFileDialog(runtime.desktop, filters, &shown);
    }
    if (!shown) {
        tellPersonAtWindow(runtime, "No file dialog could be shown: install zenity or kdialog",
                           "File dialog");
    }
    return chosen;
}

// The link check for a name that may be empty: an empty name passes, and the
// file operation it reaches then fails on its own. `messageId` is where the
// name came from (a peer's links are asked about).
bool linkAllows(Runtime& runtime, std::string& name, LinkRules rules, int32_t messageId) {
    return name.empty() || handleLink(runtime.links(), name, rules, messageId);
}

// The name a run uses: the message text for "MESSAGE", else the statement's
// own argument, which the link check may rewrite in place. False when the name
// is refused.
bool resolveName(Runtime& runtime, std::string& argument, std::string& name, int32_t messageId) {
    if (argument == "MESSAGE") {
        name = runtime.message.text();
        return linkAllows(runtime, name, LinkRules::Strict, messageId);
    }
    const bool allowed = linkAllows(runtime, argument, LinkRules::Strict, messageId);
    name = argument;
    return allowed;
}

// The kinds of LOAD and SAVE; the numbers are the kind numbers of the language.
enum class Transfer {
    All = 1,
    Sand,
    Stamp,
    QuickSand,
    Var,
    ForegroundLayer,
    BackgroundLayer,
    Font,
    MenuFont,
    Timers
};

struct TransferForm {
    std::string_view word;
    Transfer kind;
    bool loads, saves;  // which of LOAD and SAVE accept it
    bool needsNumber;   // the third word (STAMP's index, MENUFONT's size, VAR's value) is required
    bool fileArgument;  // the argument is a file name, checked while the line is parsed
};

constexpr TransferForm kTransferForms[] = {
    {"ALL", Transfer::All, true, true, false, false},
    {"SAND", Transfer::Sand, true, true, false, true},
    {"STAMP", Transfer::Stamp, true, true, true, true},
    {"QUICKSAND", Transfer::QuickSand, true, true, false, false},
    {"VAR", Transfer::Var, false, true, true, false},
    {"FGLAYER", Transfer::ForegroundLayer, true, true, false, true},
    {"BGLAYER", Transfer::BackgroundLayer, true, true, false, true},
    {"FONT", Transfer::Font, true, true, false, true},
    {"MENUFONT", Transfer::MenuFont, true, false, true, true},
    {"TIMERS", Transfer::Timers, false, true, false, false},
};

enum class Direction { Load, Save };

// What LOAD and SAVE lines hold: the kind, the argument (QUICKSAND's slot
// is an expression) and the optional third word.
struct TransferParts {
    const TransferForm* form = nullptr;
    std::string argument;
    std::unique_ptr<Expression> slot;
    std::unique_ptr<Expression> number;
};

const TransferForm* transferForm(std::string_view word, Direction direction) {
    for (const TransferForm& form : kTransferForms) {
        if (form.word == word && (direction == Direction::Load ? form.loads : form.saves)) return &form;
    }
    return nullptr;
}

// LOAD kind argument [number] | SAVE kind [argument [number]]
std::optional<TransferParts> parseTransfer(StatementReader& reader, Direction direction) {
    TransferParts parts;
    std::optional<std::string> kind = reader.next();
    parts.form = kind ? transferForm(*kind, direction) : nullptr;
    std::optional<std::string> argument = reader.next();
    std::optional<std::string> third = reader.next();
    if (!parts.form || (!argument && direction == Direction::Load) || !reader.atEnd()) return std::nullopt;
    parts.argument = argument.value_or("");
    if (third) {
        parts.number = reader.expression(third);
        if (!parts.number) return std::nullopt;
    } else if (parts.form->needsNumber) {
        return std::nullopt;
    }
    if (parts.form->kind == Transfer::QuickSand) {
        parts.slot = reader.expression(parts.argument);
        if (!parts.slot) return std::nullopt;
    }
    if (parts.form->fileArgument &&
        !linkAllows(runtimeOf(reader), parts.argument, LinkRules::Strict, reader.messageId)) {
        return std::nullopt;
    }
    return parts;
}

std::string transferText(std::string_view keyword, const TransferParts& parts) {
    std::string result = std::string(keyword) + " " + std::string(parts.form->word);
    if (parts.form->kind == Transfer::Timers) return result;
    result += " " + quoted(parts.argument);
    if (parts.form->needsNumber) result += " " + parts.number->text();
    return result;
}

// LOAD kind argument [number]
class ActionLoad : public Statement {
public:
    explicit ActionLoad(TransferParts parts) : parts_(std::move(parts)) {}

    void run(Runtime& runtime) override {
        FileState& files = runtime.files;
        switch (parts_.form->kind) {
            case Transfer::Sand: loadSand(runtime); break;
            case Transfer::Stamp: loadStampFile(runtime); break;
            case Transfer::QuickSand:
                files.quickSaves.load(runtime.world, parts_.slot->evaluate(runtime));
                break;
            case Transfer::ForegroundLayer: loadLayerFile(runtime, runtime.view.foregroundLayer); break;
            case Transfer::BackgroundLayer: loadLayerFile(runtime, runtime.view.backgroundLayer); break;
            case Transfer::Font: runtime.fonts.setTextFontFile(parts_.argument); break;
            case Transfer::MenuFont:
                if (runtime.fonts.setMenuFont(parts_.argument, parts_.number->evaluate(runtime)))
                    runtime.menus.requestRedraw(Redraw::Panels);
                break;
            default: break;  // LOAD ALL is accepted and does nothing
        }
    }

    std::string text() const override { return transferText("LOAD", parts_); }

private:
    void loadSand(Runtime& runtime) {
        std::string name;
        Confinement confinement = Confinement::WorkingFolder;
        const bool picked = parts_.argument == kDialogWord;
        if (picked) {
            name = pickFile(runtime, messageId, Dialog::Open, kWorldFilters);
            if (!linkAllows(runtime, name, LinkRules::Lenient, messageId)) return;
            confinement = Confinement::None;
        } else if (!resolveName(runtime, parts_.argument, name, messageId)) {
            return;
        }
        if (name.empty()) return;  // a cancelled dialog
        // Only a picked file's failure is told: scripts and peers count on the
        // lines they get back, and a name a script gives fails silently.
        const bool loaded = loadWorldFile(runtime, name, confinement);
        if (!loaded && picked) {
            tellPersonAtWindow(runtime, "Could not load the world from " + quoted(name), "Emberfall 2");
        }
    }

    void loadStampFile(Runtime& runtime) {
        std::string name;
        if (!resolveName(runtime, parts_.argument, name, messageId)) return;
        loadStamp(runtime.stamps, name, parts_.number->evaluate(runtime));
    }

    // "MESSAGE" is not resolved here. A cancelled dialog leaves the layer empty.
    void loadLayerFile(Runtime& runtime, SurfacePtr& layer) {
        std::string name;
        Confinement confinement = Confinement::WorkingFolder;
        if (parts_.argument == kDialogWord) {
            name = pickFile(runtime, messageId, Dialog::Open, kLayerFilters);
            if (!linkAllows(runtime, name, LinkRules::Lenient, messageId)) return;
            confinement = Confinement::None;
        } else {
            if (!linkAllows(runtime, parts_.argument, LinkRules::Strict, messageId)) return;
            name = parts_.argument;
        }
        loadLayer(layer, name, confinement);
    }

    TransferParts parts_;
};

// SAVE kind [argument [number]]
class ActionSave : public Statement {
public:
    explicit ActionSave(TransferParts parts) : parts_(std::move(parts)) {}

    void run(Runtime& runtime) override {
        switch (parts_.form->kind) {
            case Transfer::Sand: saveSand(runtime); break;
            case Transfer::Stamp: saveStampFile(runtime); break;
            case Transfer::QuickSand:
                runtime.files.quickSaves.save(runtime.world, parts_.slot->evaluate(runtime));
                break;
            case Transfer::Var: saveVariable(runtime); break;
            case Transfer::Timers: saveTimers(runtime); break;
            default: break;  // ALL, layers and fonts are accepted and save nothing
        }
    }

    std::string text() const override { return transferText("SAVE", parts_); }

private:
    // A path picked in the save dialog is used as it is.
    void saveSand(Runtime& runtime) {
        std::string name;
        Confinement confinement = Confinement::WorkingFolder;
        const bool picked = parts_.argument == kDialogWord;
        if (picked) {
            name = pickFile(runtime, messageId, Dialog::Save, kWorldFilters);
            if (name.empty()) return;
            // A name typed without one of the forms' endings would save
            // nothing at all: it gets the dialog's first form.
            if (worldFileForm(name) == WorldFileForm::None) name += ".png";
            confinement = Confinement::None;
        } else if (!resolveName(runtime, parts_.argument, name, messageId)) {
            return;
        }
        // As in loadSand, only a picked file's failure is told.
        const bool saved = saveWorldFile(runtime.world, runtime.elements, name, confinement);
        if (!saved && picked) {
            tellPersonAtWindow(runtime, "Could not save the world to " + quoted(name), "Emberfall 2");
        }
    }

    void saveStampFile(Runtime& runtime) {
        std::string name;
        if (!resolveName(runtime, parts_.argument, name, messageId)) return;
        saveStamp(runtime.stamps, name, parts_.number->evaluate(runtime));
    }

    // A line that restores the variable when the file is loaded as a script.
    void saveVariable(Runtime& runtime) {
        const int32_t value = parts_.number->evaluate(runtime);
        runtime.files.output.write("SET " + quoted(parts_.argument) + " " + std::to_string(value) + "\n");
    }

    // One line per pending timer, earliest first; the queue is left as it was.
    static void saveTimers(Runtime& runtime) {
        std::string lines;
        runtime.timers.forEach([&](const TimerRecord& record) {
            if (!record.trigger || record.trigger->name.empty()) return;
            lines += "TIMER " + quoted(record.trigger->name);
            if (record.frame) {
                for (int32_t value : *record.frame) lines += " " + std::to_string(value);
            }
            lines += "\n";
        });
        runtime.files.output.write(lines);
    }

    TransferParts parts_;
};

enum class FileKind { Open = 1, Close, Delete };

// FILE OPEN name | FILE CLOSE | FILE DELETE name
class ActionFile : public Statement {
public:
    ActionFile(FileKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

    void run(Runtime& runtime) override {
        switch (kind_) {
            case FileKind::Open: open(runtime); break;
            case FileKind::Close: runtime.files.output.close(); break;
            case FileKind::Delete: remove(runtime); break;
        }
    }

    std::string text() const override {
        switch (kind_) {
            case FileKind::Open: return "FILE OPEN " + quoted(name_);
            case FileKind::Close: return "FILE CLOSE";
            case FileKind::Delete: return "FILE DELETE " + quoted(name_);
        }
        return {};
    }

private:
    // Opening while the file is open keeps the file that is open.
    void open(Runtime& runtime) {
        std::string name;
        Confinement confinement = Confinement::WorkingFolder;
        if (name_ == kDialogWord) {
            name = pickFile(runtime, messageId, Dialog::Save, kAnyFileFilters);
            if (name.empty() || !handleLink(runtime.links(), name, LinkRules::Lenient, messageId)) return;
            confinement = Confinement::None;
        } else if (!resolveName(runtime, name_, name, messageId)) {
            return;
        }
        runtime.files.output.open(name, confinement);
    }

    void remove(Runtime& runtime) {
        std::string name;
        if (resolveName(runtime, name_, name, messageId) && !name.empty()) removeFile(name);
    }

    FileKind kind_;
    std::string name_;
};

// GETFILE name. The name is used as written (no "MESSAGE"), but it must pass
// the strict name rules like every other file a statement touches: the file's
// bytes may go back to a network peer.
class ActionGetFile : public Statement {
public:
    explicit ActionGetFile(std::string name) : name_(std::move(name)) {}

    void run(Runtime& runtime) override {
        if (!fileNameAllowed(name_, LinkRules::Strict)) {
            runtime.printLine("Refused file name " + quoted(name_), messageId);
            return;
        }
        // Folders, devices, unreadable and oversized files cannot be opened.
        std::string contents;
        if (readWholeFile(name_, contents, Confinement::WorkingFolder) != FileError::None) {
            runtime.printLine("Error opening file " + quoted(name_), messageId);
            return;
        }
        runtime.printLine("{" + name_ + "} " + std::to_string(contents.size()), messageId);
        runtime.printLine(contents, messageId);
    }

    std::string text() const override { return "GETFILE " + quoted(name_); }

private:
    std::string name_;
};

// INCLUDE argument: a script file, the clipboard's text, a file picked in a
// dialog, or the file the message buffer names.
class ActionInclude : public Statement {
public:
    explicit ActionInclude(std::string argument) : argument_(std::move(argument)) {}

    void run(Runtime& runtime) override {
        if (argument_ == "CLIPBOARD") {
            includeClipboard(runtime);
            return;
        }
        std::string name;
        Confinement confinement = Confinement::WorkingFolder;
        if (argument_ == kDialogWord) {
            name = pickFile(runtime, messageId, Dialog::Open, kScriptFilters);
            if (!linkAllows(runtime, name, LinkRules::Lenient, messageId)) return;
            confinement = Confinement::None;
        } else if (!resolveName(runtime, argument_, name, messageId)) {
            return;
        }
        // An empty name (a cancelled dialog, an empty buffer) ends in the open error.
        loadScriptFile(runtime, name, messageId, confinement);
    }

    std::string text() const override { return "INCLUDE " + quoted(argument_); }

private:
    // A web address on the clipboard is loaded as a file; other text is script.
    void includeClipboard(Runtime& runtime) {
        if (runtime.refusedForPeer(messageId, "the clipboard")) return;
        std::optional<std::string> text = clipboardGetText();
        if (!text) return;
        if (text->starts_with("http://")) {
            if (handleLink(runtime.links(), *text, LinkRules::Lenient, messageId))
                loadScriptFile(runtime, *text, messageId);
            return;
        }
        Interpreter::TextNestingScope nesting(runtime.interpreter);
        runtime.parser.parseText(*text, messageId, "CLIPBOARD");
    }

    std::string argument_;
};

}  // namespace

// LOAD kind argument [number]
ActionPtr parseLoad(StatementReader& reader) {
    std::optional<TransferParts> parts = parseTransfer(reader, Direction::Load);
    if (!parts) return nullptr;
    return std::make_shared<ActionLoad>(std::move(*parts));
}

// SAVE kind [argument [number]]
ActionPtr parseSave(StatementReader& reader) {
    std::optional<TransferParts> parts = parseTransfer(reader, Direction::Save);
    if (!parts) return nullptr;
    return std::make_shared<ActionSave>(std::move(*parts));
}

// FILE OPEN name | FILE CLOSE | FILE DELETE name
ActionPtr parseFile(StatementReader& reader) {
    std::optional<std::string> word = reader.next();
    if (!word) return nullptr;
    if (*word == "CLOSE") return reader.atEnd() ? std::make_shared<ActionFile>(FileKind::Close, "") : nullptr;
    if (*word != "OPEN" && *word != "DELETE") return nullptr;
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd() ||
        !linkAllows(runtimeOf(reader), *name, LinkRules::Strict, reader.messageId))
        return nullptr;
    return std::make_shared<ActionFile>(*word == "OPEN" ? FileKind::Open : FileKind::Delete,
                                        std::move(*name));
}

// GETFILE name
ActionPtr parseGetFile(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return std::make_shared<ActionGetFile>(std::move(*name));
}

// INCLUDE argument [ignored words]
ActionPtr parseInclude(StatementReader& reader) {
    std::optional<std::string> argument = reader.next();
    if (!argument) return nullptr;
    return std::make_shared<ActionInclude>(std::move(*argument));
}

// http://address
ActionPtr parseWebAddressLine(StatementReader& reader) {
    return make<ActionInclude>(reader.firstWord);
}

}  // namespace ef2
