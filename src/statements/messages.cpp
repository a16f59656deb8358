#include "statements/messages.h"

#include <algorithm>

#include "io/script_file.h"
#include "platform/desktop.h"
#include "platform/shell.h"
#include "script/tokenizer.h"
#include "statements/statement.h"

namespace ef2 {

namespace {

constexpr const char* kMessageCaption = "Message";
constexpr const char* kCommandCaption = "Run Command?";

// Asks first; on yes the text runs as a command file and the file is removed.
// A command on behalf of a network peer is always put to the person at the
// toy, whatever --assume-yes says. The time the question waits does not count
// against the script's pass.
void runAfterAsking(Runtime& runtime, const std::string& commands, int32_t messageId) {
    const Asker asker = runtime.actsForPeer(messageId) ? Asker::NetworkPeer : Asker::LocalScript;
    Interpreter::UntimedWait waiting(runtime.interpreter);
    DialogShown shown = true;
    if (askYesNo(runtime.desktop, commands, kCommandCaption, asker, &shown)) runCommandFile(commands);
    if (!shown)
        runtime.printLine(
            std::string("No box could be shown to ask \"") + kCommandCaption + "\": taken as no", 0);
}

void showMessageBox(Runtime& runtime, const std::string& text) {
    Interpreter::UntimedWait waiting(runtime.interpreter);
    // A box that cannot be shown leaves its text on the console, not nowhere.
    if (!showMessage(runtime.desktop, text, kMessageCaption)) runtime.printLine(text, 0);
}

// The kinds of MESSAGE; the numbers are the kind numbers of the language.
enum class MessageKind {
    Clear = 1,
    AddText,
    AddNumber,
    AddElement,
    AddGroup,
    Send,
    Save,
    Exec,
    SendText,
    MessageBox,
    MessageLine,
    AddLine,
    System,
    AddElementText,
    SaveString,
    AddString,
};

// What follows the sub-command word.
enum class MessageArgument { None, Text, Number, OptionalNumber, TextThenOptionalNumber };

struct MessageForm {
    std::string_view word;
    MessageKind kind;
    MessageArgument argument;
};

constexpr MessageForm kMessageForms[] = {
    {"CLEAR", MessageKind::Clear, MessageArgument::None},
    {"ADDTEXT", MessageKind::AddText, MessageArgument::Text},
    {"ADDNUMBER", MessageKind::AddNumber, MessageArgument::Number},
    {"ADDELEMENT", MessageKind::AddElement, MessageArgument::Number},
    {"ADDGROUP", MessageKind::AddGroup, MessageArgument::Number},
    {"SEND", MessageKind::Send, MessageArgument::OptionalNumber},
    {"SAVE", MessageKind::Save, MessageArgument::None},
    {"EXEC", MessageKind::Exec, MessageArgument::OptionalNumber},
    {"SENDTEXT", MessageKind::SendText, MessageArgument::TextThenOptionalNumber},
    {"MESSAGEBOX", MessageKind::MessageBox, MessageArgument::None},
    {"ADDLINE", MessageKind::AddLine, MessageArgument::None},
    {"SYSTEM", MessageKind::System, MessageArgument::None},
    {"ADDELEMENTTEXT", MessageKind::AddElementText, MessageArgument::Number},
    {"SAVESTRING", MessageKind::SaveString, MessageArgument::Number},
    {"ADDSTRING", MessageKind::AddString, MessageArgument::Number},
};
constexpr MessageForm kMessageLineForm = {"Message", MessageKind::MessageLine, MessageArgument::Text};

std::string elementName(Runtime& runtime, int32_t value) {
    const Element* element = runtime.elements.get(static_cast<uint16_t>(value));
    return element && element->name ? *element->name : std::string();
}

// The text of an element's icon when the icon is plain text.
std::string elementIconText(Runtime& runtime, int32_t value) {
    const Element* element = runtime.elements.get(static_cast<uint16_t>(value));
    return element && element->icon && element->icon->type == "TEXT" ? element->icon->argument
                                                                     : std::string();
}

std::string groupName(Runtime& runtime, int32_t value) {
    const ElementGroup* group = runtime.elements.group(value);
    return group ? group->name : std::string();
}

// MESSAGE sub-command [argument] [connection], and the Message line.
class ActionMessage : public Statement {
public:
    ActionMessage(const MessageForm& form, std::string text, std::unique_ptr<Expression> number)
        : form_(form), text_(std::move(text)), number_(std::move(number)) {}

    void run(Runtime& runtime) override {
        MessageBuffer& buffer = runtime.message;
        switch (form_.kind) {
            case MessageKind::Clear: buffer.clear(); break;
            case MessageKind::AddText: buffer.append(text_); break;
            case MessageKind::AddNumber: buffer.append(std::to_string(value(runtime))); break;
            case MessageKind::AddElement: buffer.append(elementName(runtime, value(runtime))); break;
            case MessageKind::AddElementText: buffer.append(elementIconText(runtime, value(runtime))); break;
            case MessageKind::AddGroup: buffer.append(groupName(runtime, value(runtime))); break;
            case MessageKind::AddLine: buffer.append("\n"); break;
            case MessageKind::SaveString: runtime.strings.set(value(runtime), buffer.text()); break;
            case MessageKind::AddString: buffer.append(runtime.strings.get(value(runtime))); break;
            case MessageKind::Send: send(runtime, buffer.text()); break;
            case MessageKind::SendText: send(runtime, text_); break;
            case MessageKind::Save: runtime.files.output.write(buffer.text() + "\n"); break;
            case MessageKind::Exec: runBuffer(runtime); break;
            case MessageKind::MessageBox: showMessageBox(runtime, buffer.text()); break;
            case MessageKind::MessageLine: showMessageBox(runtime, text_); break;
            case MessageKind::System: runAfterAsking(runtime, buffer.text(), messageId); break;
        }
    }

    std::string text() const override {
        if (form_.kind == MessageKind::MessageLine) return "Message " + quoted(text_);
        std::string result = "MESSAGE " + std::string(form_.word);
        if (form_.argument == MessageArgument::Text ||
            form_.argument == MessageArgument::TextThenOptionalNumber) {
            result += " " + quoted(text_);
        }
        if (number_) result += " " + number_->text();
        return result;
    }

private:
    int32_t value(Runtime& runtime) const { return number_->evaluate(runtime); }
    // The connection or origin a line goes to: the expression's value, else
    // where this statement came from.
    int32_t origin(Runtime& runtime) const { return number_ ? number_->evaluate(runtime) : messageId; }

    void send(Runtime& runtime, const std::string& text) {
        const int32_t target = origin(runtime);
        if (runtime.peerMayReach(messageId, target)) runtime.printLine(text, target);
    }

    // The buffer as one script line, whose output and errors go to the origin.
    void runBuffer(Runtime& runtime) {
        const std::string line = runtime.message.text();
        const int32_t target = origin(runtime);
        if (!runtime.peerMayReach(messageId, target)) return;
        Interpreter::TextNestingScope nesting(runtime.interpreter);
        runtime.parser.parseLine(line, 1, target, "MESSAGE");
    }

    const MessageForm& form_;
    std::string text_;
    std::unique_ptr<Expression> number_;
};

const MessageForm* messageForm(std::string_view word) {
    auto found = std::find_if(std::begin(kMessageForms), std::end(kMessageForms),
                              [&](const MessageForm& form) { return form.word == word; });
    return found == std::end(kMessageForms) ? nullptr : found;
}

// SYSTEM command
class ActionSystem : public Statement {
public:
    explicit ActionSystem(std::string command) : command_(std::move(command)) {}
    void run(Runtime& runtime) override { runAfterAsking(runtime, command_, messageId); }
    std::string text() const override { return "SYSTEM " + quoted(command_); }

private:
    std::string command_;  // each ';' of the line became a line feed
};

}  // namespace

// MESSAGE sub-command [argument] [connection]
// A sub-command without an argument ignores one word in its place.
ActionPtr parseMessage(StatementReader& reader) {
    std::optional<std::string> word = reader.next();
    const MessageForm* form = word ? messageForm(*word) : nullptr;
    if (!form) return nullptr;
    std::string text;
    std::unique_ptr<Expression> number;
    switch (form->argument) {
        case MessageArgument::None: reader.next(); break;
        case MessageArgument::Text:
        case MessageArgument::TextThenOptionalNumber: {
            std::optional<std::string> token = reader.next();
            if (!token) return nullptr;
            text = std::move(*token);
            // An invalid connection counts as none: the line goes to its origin.
            if (form->argument == MessageArgument::TextThenOptionalNumber)
                number = reader.expression(reader.next());
            break;
        }
        case MessageArgument::Number:
            number = reader.expression(reader.next());
            if (!number) return nullptr;
            break;
        case MessageArgument::OptionalNumber: number = reader.expression(reader.next()); break;
    }
    if (!reader.atEnd()) return nullptr;
    return std::make_shared<ActionMessage>(*form, std::move(text), std::move(number));
}

// Message rest of line
ActionPtr parseMessageLine(StatementReader& reader) {
    std::string text = reader.tokens.restOfLine().value_or("");
    return std::make_shared<ActionMessage>(kMessageLineForm, std::move(text), nullptr);
}

// SYSTEM command
ActionPtr parseSystem(StatementReader& reader) {
    std::optional<std::string> command = reader.next();
    if (!command || !reader.atEnd()) return nullptr;
    std::replace(command->begin(), command->end(), ';', '\n');
    return std::make_shared<ActionSystem>(std::move(*command));
}

}  // namespace ef2
