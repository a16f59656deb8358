#include "statements/interface.h"

#include "statements/icons.h"
#include "statements/statement.h"
#include "ui/icons.h"
#include "ui/text.h"
#include "ui/view.h"

namespace ef2 {

namespace {

constexpr const char* kPanelWords[] = {"TOP", "LEFT", "RIGHT", "BOTTOM", "SUB"};

int panelOf(const std::string& word) {
    for (int panel = 0; panel < kPanelCount; ++panel) {
        if (word == kPanelWords[panel]) return panel;
    }
    return -1;
}

// MENU REFRESH | MENU panel CLEAR
class ActionMenu : public Statement {
public:
    ActionMenu(int panel, bool clear, std::string panelText)
        : panel_(panel), clear_(clear), panelText_(std::move(panelText)) {}
    void run(Runtime& runtime) override {
        if (clear_) runtime.menus.clearMenu(panel_);
        runtime.menus.requestRedraw(Redraw::Panels);
    }
    std::string text() const override { return clear_ ? "MENU " + panelText_ + " CLEAR" : "MENU REFRESH"; }

private:
    int panel_;
    bool clear_;
    std::string panelText_;
};

enum class NameKind { Text = 0, Element = 1, Group = 2 };

// MENU panel ADD|ADDDRAG|ADDBORDER TEXT|ELEMENT|GROUP name icontype iconargument [r g b] action [parameters]
class ActionButton : public Statement {
public:
    struct Fields {
        int panel = -1;
        std::string panelText, modeWord, kindWord, name;
        NameKind kind = NameKind::Text;
        IconPtr icon;
        TriggerRef trigger;
        int32_t buttonId = 0;
        bool draggable = false;
        std::unique_ptr<Expression> red, green, blue;
        std::unique_ptr<ParameterList> parameters;
    };
    explicit ActionButton(Fields fields) : f_(std::move(fields)) {}

    void run(Runtime& runtime) override {
        auto button = std::make_shared<MenuButton>();
        button->icon = copyIcon(f_.icon);
        button->trigger = f_.trigger;
        button->buttonId = f_.buttonId;
        button->draggable = f_.draggable;
        button->name = nameNow(runtime);
        if ((button->icon->type == "TEXT" || button->icon->type == "Text") &&
            button->icon->argument == "MESSAGE") {
            button->icon->argument = runtime.message.text();
        }
        if (f_.red && f_.green && f_.blue) {
            button->framed = true;
            button->frameRed = f_.red->evaluate(runtime);
            button->frameGreen = f_.green->evaluate(runtime);
            button->frameBlue = f_.blue->evaluate(runtime);
        }
        if (f_.parameters) button->parameters = runtime.interpreter.buildFrame(*f_.parameters);
        prepareIcon(runtime.ui(), *button->icon);
        runtime.menus.addMenuButton(f_.panel, std::move(button));
        runtime.menus.requestRedraw(Redraw::Panels);
    }

    std::string text() const override {
        std::string name = f_.kind == NameKind::Text ? quoted(f_.name) : f_.name;
        return "MENU " + f_.panelText + " " + f_.modeWord + " " + f_.kindWord + " " + name + " " +
               f_.icon->text();
    }

private:
    std::string nameNow(Runtime& runtime) const {
        std::string name = f_.name;
        if (f_.kind == NameKind::Element) {
            name = runtime.elements.nameOf(
                static_cast<uint16_t>(Expression(runtime, f_.name).evaluate(runtime)));
        } else if (f_.kind == NameKind::Group) {
            const ElementGroup* group =
                runtime.elements.group(Expression(runtime, f_.name).evaluate(runtime));
            name = group ? group->name : std::string();
        }
        if (name == "MESSAGE") name = runtime.message.text();
        return name;
    }

    Fields f_;
};

// SUBMENU CLOSE | SUBMENU [HORIZONTAL|VERTICAL] [x y] [STAY]
class ActionSubMenu : public Statement {
public:
    ActionSubMenu(bool close, Orientation orientation, std::unique_ptr<Expression> x,
                  std::unique_ptr<Expression> y, bool stay)
        : close_(close), orientation_(orientation), x_(std::move(x)), y_(std::move(y)), stay_(stay) {}

    void run(Runtime& runtime) override {
        Menus& menus = runtime.menus;
        if (close_) {
            menus.closeSubmenu();
        } else if (x_ && y_) {
            int y = y_->evaluate(runtime);
            int x = x_->evaluate(runtime);
            menus.openSubmenuAt(runtime.ui(), stay_, orientation_, x, y);
        } else {
            menus.requestSubmenu(stay_, orientation_);
        }
    }

    std::string text() const override {
        if (close_) return "SUBMENU CLOSE";
        std::string result = "SUBMENU";
        if (x_ && y_) result += " " + x_->text() + " " + y_->text();
        if (stay_) result += " STAY";
        return result;
    }

private:
    bool close_;
    Orientation orientation_;
    std::unique_ptr<Expression> x_, y_;
    bool stay_;
};

enum class StatusKind { Clear = 1, Text, Number, Element, Group, Hovered };

// STATUS CLEAR | ADDTEXT text | ADDNUMBER e | ADDELEMENT e | ADDGROUP e | ADDMOUSEOVER
class ActionStatus : public Statement {
public:
    ActionStatus(StatusKind kind, std::string text, std::unique_ptr<Expression> value)
        : kind_(kind), text_(std::move(text)), value_(std::move(value)) {}

    void run(Runtime& runtime) override {
        StatusLine& status = runtime.status;
        switch (kind_) {
            case StatusKind::Clear: status.clear(); break;
            case StatusKind::Text: status.append(text_); break;
            case StatusKind::Number: status.append(std::to_string(value_->evaluate(runtime))); break;
            case StatusKind::Element: {
                const Element* element =
                    runtime.elements.get(static_cast<uint32_t>(value_->evaluate(runtime)));
                if (element) status.append(*element->name);
                break;
            }
            case StatusKind::Group: {
                const ElementGroup* group = runtime.elements.group(value_->evaluate(runtime));
                if (group) status.append(group->name);
                break;
            }
            case StatusKind::Hovered: status.append(runtime.input.hoveredName()); break;
        }
    }

    std::string text() const override {
        switch (kind_) {
            case StatusKind::Clear: return "STATUS CLEAR";
            case StatusKind::Text: return "STATUS ADDTEXT " + quoted(text_);
            case StatusKind::Number: return "STATUS ADDNUMBER " + value_->text();
            case StatusKind::Element: return "STATUS ADDELEMENT " + value_->text();
            case StatusKind::Group: return "STATUS ADDGROUP " + value_->text();
            case StatusKind::Hovered: return "STATUS ADDMOUSEOVER";
        }
        return {};
    }

private:
    StatusKind kind_;
    std::string text_;
    std::unique_ptr<Expression> value_;
};

enum class WriteKind { Text = 1, Number, Element, Group, Message, String };

// WRITE element x y size [CENTER] TEXT t | NUMBER e | ELEMENT e | GROUP e | STRING e | MESSAGE
class ActionWrite : public Statement {
public:
    struct Fields {
        WriteKind kind = WriteKind::Text;
        std::string text;
        std::unique_ptr<Expression> value, element, x, y, size;
        bool centred = false;
    };
    explicit ActionWrite(Fields fields) : f_(std::move(fields)) {}

    void run(Runtime& runtime) override {
        std::string text;
        switch (f_.kind) {
            case WriteKind::Text: text = f_.text; break;
            case WriteKind::Number: text = std::to_string(f_.value->evaluate(runtime)); break;
            case WriteKind::Element:
                text = runtime.elements.nameOf(static_cast<uint16_t>(f_.value->evaluate(runtime)));
                break;
            case WriteKind::Group: {
                const ElementGroup* group = runtime.elements.group(f_.value->evaluate(runtime));
                text = group ? group->name : std::string();
                break;
            }
            case WriteKind::Message: text = runtime.message.text(); break;
            case WriteKind::String: {
                const std::string* stored = runtime.stringSlot(f_.value->evaluate(runtime));
                if (!stored) return;
                text = *stored;
                break;
            }
        }
        int size = f_.size->evaluate(runtime);
        int y = f_.y->evaluate(runtime);
        int x = f_.x->evaluate(runtime);
        uint16_t element = static_cast<uint16_t>(f_.element->evaluate(runtime));
        writeText(runtime, element, x, y, size, text, f_.centred);
    }

    std::string text() const override {
        std::string head =
            "WRITE " + f_.element->text() + " " + f_.x->text() + " " + f_.y->text() + " " + f_.size->text();
        switch (f_.kind) {
            case WriteKind::Text: return head + " TEXT\t" + quoted(f_.text);
            case WriteKind::Number: return head + " NUMBER " + f_.value->text();
            case WriteKind::Element: return head + " ELEMENT " + f_.value->text();
            case WriteKind::Group: return head + " GROUP " + f_.value->text();
            case WriteKind::String: return head + " STRING " + f_.value->text();
            case WriteKind::Message: return head + " MESSAGE 0";
        }
        return head;
    }

private:
    Fields f_;
};

// SCROLL x y
class ActionScroll : public Statement {
public:
    ActionScroll(std::unique_ptr<Expression> x, std::unique_ptr<Expression> y)
        : x_(std::move(x)), y_(std::move(y)) {}
    void run(Runtime& runtime) override {
        int y = y_->evaluate(runtime);
        int x = x_->evaluate(runtime);
        setScroll(runtime.ui(), runtime.view.screen, x, y);
    }
    std::string text() const override { return "SCROLL " + x_->text() + " " + y_->text(); }

private:
    std::unique_ptr<Expression> x_, y_;
};

constexpr int32_t kColourBase = 255;
constexpr int32_t kWorldSizeBase = 420;

}  // namespace

void writeText(Runtime& runtime, uint16_t element, int x, int y, int size, const std::string& text,
               bool centred) {
    if (size <= 0) return;
    Variable* width = runtime.variables.obtain("WRITEWIDTH", 0, false);
    Variable* height = runtime.variables.obtain("WRITEHEIGHT", 0, false);
    TTF_Font* font = runtime.fonts.writeFont(size);
    if (!font || !runtime.world.exists()) return;
    TextSize written = drawText(runtime.world.gridSurface(), font, text, x, y, element, centred);
    width->value = written.width;
    height->value = written.height;
    runtime.world.markPresent(element);
    runtime.world.markColourLayerStale();
}

// MENU REFRESH | MENU panel CLEAR | MENU panel ADD... (see ActionButton)
ActionPtr parseMenu(StatementReader& reader) {
    std::optional<std::string> panelText = reader.next();
    if (!panelText) return nullptr;
    if (*panelText == "REFRESH") {
        if (!reader.atEnd()) return nullptr;
        return std::make_shared<ActionMenu>(-1, false, "");
    }
    const int panel = panelOf(*panelText);
    std::optional<std::string> mode = reader.next();
    if (!mode) return nullptr;
    if (*mode == "CLEAR") {
        if (!reader.atEnd()) return nullptr;
        return std::make_shared<ActionMenu>(panel, true, *panelText);
    }
    if (*mode != "ADD" && *mode != "ADDDRAG" && *mode != "ADDBORDER") return nullptr;
    ActionButton::Fields f;
    f.panel = panel;
    f.panelText = *panelText;
    f.modeWord = *mode;
    f.draggable = *mode == "ADDDRAG";
    std::optional<std::string> kind = reader.next(), name = reader.next();
    if (!kind || !name) return nullptr;
    f.kindWord = *kind;
    f.kind = *kind == "ELEMENT" ? NameKind::Element : *kind == "GROUP" ? NameKind::Group : NameKind::Text;
    f.name = *name;
    auto icon = std::make_shared<IconRecord>();
    icon->type = reader.next().value_or("");
    icon->argument = reader.next().value_or("");
    f.icon = icon;
    if (*mode == "ADDBORDER") {
        f.red = reader.expression(reader.next(), kColourBase);
        f.green = reader.expression(reader.next(), kColourBase);
        f.blue = reader.expression(reader.next(), kColourBase);
        if (!f.red || !f.green || !f.blue) return nullptr;
    }
    std::optional<std::string> action = reader.next();
    if (!action) return nullptr;
    f.trigger = reader.trigger(*action);
    f.parameters = reader.parameters();
    if (!reader.atEnd()) return nullptr;
    f.buttonId = runtimeOf(reader).menus.takeButtonId();
    return std::make_shared<ActionButton>(std::move(f));
}

// SUBMENU CLOSE | SUBMENU [HORIZONTAL|VERTICAL] [x y] [STAY]
ActionPtr parseSubmenu(StatementReader& reader) {
    std::optional<std::string> word = reader.next();
    if (word && *word == "CLOSE") {
        if (!reader.atEnd()) return nullptr;
        return std::make_shared<ActionSubMenu>(true, Orientation::FromPanel, nullptr, nullptr, false);
    }
    Orientation orientation = Orientation::FromPanel;
    if (word && (*word == "HORIZONTAL" || *word == "VERTICAL")) {
        orientation = *word == "HORIZONTAL" ? Orientation::Horizontal : Orientation::Vertical;
        word = reader.next();
    }
    std::unique_ptr<Expression> x, y;
    if (word && *word != "STAY") {
        x = reader.expression(word);
        y = reader.expression(reader.next());
        if (!x || !y) return nullptr;
        word = reader.next();
    }
    bool stay = false;
    if (word) {
        if (*word != "STAY") return nullptr;
        stay = true;
    }
    if (!reader.atEnd()) return nullptr;
    return std::make_shared<ActionSubMenu>(false, orientation, std::move(x), std::move(y), stay);
}

// STATUS CLEAR | ADDTEXT text | ADDNUMBER e | ADDELEMENT e | ADDGROUP e | ADDMOUSEOVER
ActionPtr parseStatus(StatementReader& reader) {
    std::optional<std::string> word = reader.next();
    if (!word) return nullptr;
    if (*word == "CLEAR" || *word == "ADDMOUSEOVER") {
        if (!reader.atEnd()) return nullptr;
        return std::make_shared<ActionStatus>(*word == "CLEAR" ? StatusKind::Clear : StatusKind::Hovered, "",
                                              nullptr);
    }
    std::optional<std::string> argument = reader.next();
    if (!argument || !reader.atEnd()) return nullptr;
    if (*word == "ADDTEXT") return std::make_shared<ActionStatus>(StatusKind::Text, *argument, nullptr);
    StatusKind kind;
    if (*word == "ADDNUMBER") {
        kind = StatusKind::Number;
    } else if (*word == "ADDELEMENT") {
        kind = StatusKind::Element;
    } else if (*word == "ADDGROUP") {
        kind = StatusKind::Group;
    } else {
        return nullptr;
    }
    std::unique_ptr<Expression> value = reader.expression(argument);
    if (!value) return nullptr;
    return std::make_shared<ActionStatus>(kind, "", std::move(value));
}

// WRITE element x y size [CENTER] TEXT t | NUMBER e | ELEMENT e | GROUP e | STRING e | MESSAGE
ActionPtr parseWrite(StatementReader& reader) {
    ActionWrite::Fields f;
    f.element = reader.expression(reader.next());
    f.x = reader.expression(reader.next());
    f.y = reader.expression(reader.next());
    f.size = reader.expression(reader.next());
    if (!f.element || !f.x || !f.y || !f.size) return nullptr;
    std::optional<std::string> word = reader.next();
    if (word && *word == "CENTER") {
        f.centred = true;
        word = reader.next();
    }
    if (!word) return nullptr;
    if (*word == "MESSAGE") {
        f.kind = WriteKind::Message;
    } else {
        std::optional<std::string> argument = reader.next();
        if (!argument) return nullptr;
        if (*word == "TEXT") {
            f.kind = WriteKind::Text;
            f.text = *argument;
        } else {
            f.kind = *word == "NUMBER"    ? WriteKind::Number
                     : *word == "ELEMENT" ? WriteKind::Element
                     : *word == "GROUP"   ? WriteKind::Group
                     : *word == "STRING"  ? WriteKind::String
                                          : WriteKind::Text;
            if (*word != "NUMBER" && *word != "ELEMENT" && *word != "GROUP" && *word != "STRING")
                return nullptr;
            f.value = reader.expression(argument);
            if (!f.value) return nullptr;
        }
    }
    if (!reader.atEnd()) return nullptr;
    return std::make_shared<ActionWrite>(std::move(f));
}

// SCROLL x y
ActionPtr parseScroll(StatementReader& reader) {
    std::unique_ptr<Expression> x = reader.expression(reader.next(), kWorldSizeBase);
    std::unique_ptr<Expression> y = reader.expression(reader.next(), kWorldSizeBase);
    if (!x || !y || !reader.atEnd()) return nullptr;
    return std::make_shared<ActionScroll>(std::move(x), std::move(y));
}

}  // namespace ef2
