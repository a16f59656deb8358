#include "statements/world_editing.h"

#include <cmath>

#include "script/variables.h"
#include "statements/icons.h"
#include "statements/statement.h"

namespace ef2 {

namespace {

// Percentages in ELEMENT lines refer to these bases.
constexpr int32_t kColourBase = 255;
constexpr int32_t kWeightBase = 1000;
constexpr int32_t kPropertyBase = 100;
// RESIZE sizes refer to the default world size.
constexpr int32_t kWorldSizeBase = 420;

// An optional argument: its expression when the token is there and not
// empty, otherwise the default. Nothing when the token is there but invalid.
std::optional<std::unique_ptr<Expression>> optionalExpression(StatementReader& reader,
                                                              const std::optional<std::string>& token,
                                                              int32_t percentBase, const char* fallback) {
    if (!token || token->empty()) return std::make_unique<Expression>(reader.context, fallback, percentBase);
    std::unique_ptr<Expression> parsed = reader.expression(token, percentBase);
    if (!parsed) return std::nullopt;
    return parsed;
}

// ELEMENT group name R G B weight spray slide viscosity deathrate deathtarget grouporder [icon]
class ActionElementEF1 : public Statement {
public:
    struct Fields {
        std::string group, name, deathTarget;
        std::unique_ptr<Expression> red, green, blue, weight, spray, slide, viscosity, deathRate, groupOrder;
        IconPtr icon;
    };
    explicit ActionElementEF1(Fields fields) : f_(std::move(fields)) {}

    void run(Runtime& runtime) override {
        ElementTable& elements = runtime.elements;
        uint16_t id = elements.idOfName(f_.name, true);
        if (id == kNothing) return;
        elements.setWeight(id, f_.weight->evaluate(runtime));
        elements.setSpray(id, f_.spray->evaluate(runtime));
        elements.setSlide(id, f_.slide->evaluate(runtime));
        elements.setViscosity(id, f_.viscosity->evaluate(runtime));
        elements.setColour(id, f_.red->evaluate(runtime), f_.green->evaluate(runtime),
                           f_.blue->evaluate(runtime));
        elements.setIcon(id, copyIcon(f_.icon));
        int32_t rate = f_.deathRate->evaluate(runtime);
        if (!f_.deathTarget.empty()) {
            elements.addDeathRule(id, elements.idOfName(f_.deathTarget, true), static_cast<uint32_t>(rate));
        }
        int group = elements.findGroup(f_.group, true);
        elements.addToGroup(group, id, f_.groupOrder->evaluate(runtime));
    }

    std::string text() const override {
        return "ELEMENT " + quoted(f_.group) + " " + quoted(f_.name) + " " + f_.red->text() + " " +
               f_.green->text() + " " + f_.blue->text() + " " + f_.weight->text() + " " + f_.spray->text() +
               " " + f_.slide->text() + " " + f_.viscosity->text() + " " + f_.deathRate->text() + " " +
               quoted(f_.deathTarget) + " " + f_.groupOrder->text() + " " + f_.icon->text();
    }

private:
    Fields f_;
};

// ELEMENT name DIE target rate
class ActionElementDie : public Statement {
public:
    ActionElementDie(std::string name, std::string target, std::unique_ptr<Expression> rate)
        : name_(std::move(name)), target_(std::move(target)), rate_(std::move(rate)) {}
    void run(Runtime& runtime) override {
        ElementTable& elements = runtime.elements;
        uint16_t id = elements.idOfName(name_, true);
        uint16_t target = elements.idOfName(target_, true);
        elements.addDeathRule(id, target, static_cast<uint32_t>(rate_->evaluate(runtime)));
    }
    std::string text() const override {
        return "ELEMENT " + quoted(name_) + " DIE " + quoted(target_) + " " + rate_->text();
    }

private:
    std::string name_, target_;
    std::unique_ptr<Expression> rate_;
};

// The elements a rule token stands for: every member of a group for
// "GROUP:name" (group 0 for an unknown name), else the named element.
std::vector<uint16_t> elementsOf(ElementTable& elements, const std::string& token, bool create) {
    constexpr std::string_view kGroupPrefix = "GROUP:";
    if (token.starts_with(kGroupPrefix)) {
        const ElementGroup* group =
            elements.group(elements.findGroup(token.substr(kGroupPrefix.size()), false));
        return group ? group->members : std::vector<uint16_t>{};
    }
    return {elements.idOfName(token, create)};
}

bool isGroupToken(const std::string& token) {
    return token.starts_with("GROUP:");
}

// INTERACTION[AT] and INTERACTIONTRIGGER[AT]
class ActionInteraction : public Statement {
public:
    struct ResultGroup {
        std::string ownerResult, partnerResult;
        std::unique_ptr<Expression> chance;
    };
    struct TriggerGroup {
        TriggerRef trigger;
        std::unique_ptr<Expression> chance;
    };
    struct Fields {
        std::unique_ptr<Expression> position;  // absent: append
        std::string owner, partner;
        std::vector<ResultGroup> results;
        std::vector<TriggerGroup> triggers;
        std::optional<std::string> excepted;
        bool triggerForm = false;
    };
    explicit ActionInteraction(Fields fields) : f_(std::move(fields)) {}

    void run(Runtime& runtime) override {
        ElementTable& elements = runtime.elements;
        std::vector<uint16_t> owners = elementsOf(elements, f_.owner, true);
        std::vector<uint16_t> partners = elementsOf(elements, f_.partner, true);
        std::vector<uint32_t> chances = normalisedChances(runtime);
        uint16_t excepted = f_.excepted ? elements.idOfName(*f_.excepted, true) : kNothing;
        int position = f_.position ? f_.position->evaluate(runtime) : -1;

        // No owner can take more result pairs than it holds rules, so the list
        // stops there: two large groups would otherwise make billions of pairs.
        std::vector<std::pair<std::pair<uint16_t, uint16_t>, uint32_t>> pairs;
        for (std::size_t group = 0; group < f_.results.size(); ++group) {
            for (auto pair :
                 resultPairs(elements, f_.results[group], kMaxInteractionsPerElement - pairs.size())) {
                pairs.push_back({pair, chances[group]});
            }
        }
        // An owner that holds the most rules refuses every further one: the
        // loops leave it alone then, which keeps group-by-group statements
        // from running through billions of refusals.
        auto full = [&elements](uint16_t owner) {
            const Element* element = elements.get(owner);
            return !element || element->interactions.size() >= kMaxInteractionsPerElement;
        };
        for (uint16_t owner : owners) {
            for (uint16_t partner : partners) {
                if (full(owner)) break;
                for (const auto& [results, chance] : pairs) {
                    if (full(owner)) break;
                    elements.addInteraction(owner,
                                            Interaction{partner, results.first, results.second, chance,
                                                        excepted, nullptr, nullptr},
                                            position);
                }
                for (std::size_t t = 0; t < f_.triggers.size(); ++t) {
                    uint32_t chance = chances[f_.results.size() + t];
                    const TriggerRef& trigger = f_.triggers[t].trigger;
                    elements.addInteraction(
                        owner, Interaction{partner, 0, 0, chance, excepted, trigger.trigger, trigger.owned},
                        position);
                }
            }
        }
    }

    std::string text() const override {
        std::string result = f_.triggerForm ? "INTERACTIONTRIGGER" : "INTERACTION";
        if (f_.position) result += "AT " + f_.position->text();
        result += " " + quoted(f_.owner) + " " + quoted(f_.partner);
        for (const ResultGroup& group : f_.results) {
            result += " " + quoted(group.ownerResult) + " " + quoted(group.partnerResult) + " " +
                      group.chance->text();
        }
        for (const TriggerGroup& group : f_.triggers) {
            result += " " + quoted(group.trigger.name()) + " " + group.chance->text();
        }
        if (f_.excepted) result += " " + quoted(*f_.excepted);
        return result;
    }

private:
    // Chances written as shares of kChanceScale become the conditional chances
    // that the step tries in turn: 16384 and 16384 are stored as 16384 and
    // 32768.
    std::vector<uint32_t> normalisedChances(Runtime& runtime) const {
        std::vector<uint32_t> stored;
        int64_t remaining = kChanceScale;
        auto add = [&](const std::unique_ptr<Expression>& expression) {
            int64_t share = expression->evaluate(runtime);
            int64_t chance = remaining > 0 ? share * kChanceScale / remaining : 0;
            stored.push_back(static_cast<uint32_t>(std::clamp<int64_t>(chance, 0, kChanceScale)));
            remaining -= share;
        };
        for (const ResultGroup& group : f_.results) add(group.chance);
        for (const TriggerGroup& group : f_.triggers) add(group.chance);
        return stored;
    }

    // The first `limit` result pairs of a group, owner result major.
    static std::vector<std::pair<uint16_t, uint16_t>> resultPairs(ElementTable& elements,
                                                                  const ResultGroup& group,
                                                                  std::size_t limit) {
        std::vector<std::pair<uint16_t, uint16_t>> pairs;
        bool ownerGroup = isGroupToken(group.ownerResult), partnerGroup = isGroupToken(group.partnerResult);
        if (ownerGroup && partnerGroup) {
            std::vector<uint16_t> partnerResults = elementsOf(elements, group.partnerResult, false);
            for (uint16_t a : elementsOf(elements, group.ownerResult, false)) {
                for (uint16_t b : partnerResults) {
                    if (pairs.size() >= limit) return pairs;
                    pairs.push_back({a, b});
                }
            }
        } else if (ownerGroup) {
            uint16_t partner = elements.idOfName(group.partnerResult, true);
            for (uint16_t a : elementsOf(elements, group.ownerResult, false)) pairs.push_back({a, partner});
        } else if (partnerGroup) {
            uint16_t owner = elements.idOfName(group.ownerResult, false);
            for (uint16_t b : elementsOf(elements, group.partnerResult, false)) pairs.push_back({owner, b});
        } else {
            pairs.push_back(
                {elements.idOfName(group.ownerResult, true), elements.idOfName(group.partnerResult, true)});
        }
        if (pairs.size() > limit) pairs.resize(limit);
        return pairs;
    }

    Fields f_;
};

// INTERACTIONREMOVE name index | INTERACTIONCLEAR name
class ActionRemoveInteraction : public Statement {
public:
    ActionRemoveInteraction(std::string name, std::unique_ptr<Expression> index)
        : name_(std::move(name)), index_(std::move(index)) {}
    void run(Runtime& runtime) override {
        uint16_t id = runtime.elements.idOfName(name_, true);
        if (index_) {
            runtime.elements.removeInteraction(id, index_->evaluate(runtime));
        } else {
            runtime.elements.clearInteractions(id);
        }
    }
    std::string text() const override {
        if (index_) return "INTERACTIONREMOVE " + quoted(name_) + " " + index_->text();
        return "INTERACTIONCLEAR " + quoted(name_);
    }

private:
    std::string name_;
    std::unique_ptr<Expression> index_;
};

// DIECLEAR name
class ActionClearDie : public Statement {
public:
    explicit ActionClearDie(std::string name) : name_(std::move(name)) {}
    void run(Runtime& runtime) override {
        runtime.elements.clearDeathRules(runtime.elements.idOfName(name_, true));
    }
    std::string text() const override { return "DIECLEAR " + quoted(name_); }

private:
    std::string name_;
};

// ELEMENTSCLEAR
class ActionClearElements : public Statement {
public:
    void run(Runtime& runtime) override { runtime.elements.clearAllElements(); }
    std::string text() const override { return "ELEMENTSCLEAR"; }
};

// GROUP name ADD element order | GROUP name order icon | GROUP name CLEAR | GROUP CLEARALL
class ActionGroup : public Statement {
public:
    enum class Mode { Add = 1, Define = 2, Clear = 3, ClearAll = 4 };
    ActionGroup(Mode mode, std::string name, std::string element, std::unique_ptr<Expression> order,
                IconPtr icon)
        : mode_(mode),
          name_(std::move(name)),
          element_(std::move(element)),
          order_(std::move(order)),
          icon_(std::move(icon)) {}

    void run(Runtime& runtime) override {
        ElementTable& elements = runtime.elements;
        switch (mode_) {
            case Mode::Add: {
                int group = elements.findGroup(name_, true);
                elements.addToGroup(group, elements.idOfName(element_, true), order_->evaluate(runtime));
                break;
            }
            case Mode::Define: {
                int group = elements.findGroup(name_, true, order_->evaluate(runtime));
                if (ElementGroup* entry = elements.group(group)) entry->icon = copyIcon(icon_);
                break;
            }
            case Mode::Clear: elements.clearGroup(name_); break;
            case Mode::ClearAll: elements.clearAllGroups(); break;
        }
    }

    std::string text() const override {
        switch (mode_) {
            case Mode::Add:
                return "GROUP " + quoted(name_) + " ADD " + quoted(element_) + " " + order_->text();
            case Mode::Define: return "GROUP " + quoted(name_) + " " + order_->text() + " " + icon_->text();
            case Mode::Clear: return "GROUP " + quoted(name_) + " CLEAR";
            case Mode::ClearAll: return "GROUP CLEARALL";
        }
        return {};
    }

private:
    Mode mode_;
    std::string name_, element_;
    std::unique_ptr<Expression> order_;
    IconPtr icon_;
};

// NOBIAS element
class ActionNoBias : public Statement {
public:
    explicit ActionNoBias(std::unique_ptr<Expression> element) : element_(std::move(element)) {}
    void run(Runtime& runtime) override {
        runtime.elements.setNoBias(static_cast<uint16_t>(element_->evaluate(runtime)), 1);
    }
    std::string text() const override { return "NOBIAS " + element_->text(); }

private:
    std::unique_ptr<Expression> element_;
};

// WIND e1 e2 e3: accepted for old scripts; the WIND variable is what blows.
class ActionWind : public Statement {
public:
    explicit ActionWind(std::vector<std::unique_ptr<Expression>> values) : values_(std::move(values)) {}
    void run(Runtime&) override {}
    std::string text() const override { return ""; }

private:
    std::vector<std::unique_ptr<Expression>> values_;
};

// RESIZE width height
class ActionResize : public Statement {
public:
    ActionResize(std::unique_ptr<Expression> width, std::unique_ptr<Expression> height)
        : width_(std::move(width)), height_(std::move(height)) {}
    void run(Runtime& runtime) override {
        runtime.world.resize(width_->evaluate(runtime), height_->evaluate(runtime));
    }
    std::string text() const override { return "RESIZE " + width_->text() + " " + height_->text(); }

private:
    std::unique_ptr<Expression> width_, height_;
};

// COUNT variable element [IN RECT x y w h]
class ActionCount : public Statement {
public:
    ActionCount(std::string variable, std::unique_ptr<Expression> element,
                std::vector<std::unique_ptr<Expression>> rect)
        : variable_(std::move(variable)), element_(std::move(element)), rect_(std::move(rect)) {}

    void run(Runtime& runtime) override {
        const World& world = runtime.world;
        int64_t left = 0, top = 0, right = world.gridWidth(), bottom = world.gridHeight();
        if (!rect_.empty()) {
            int64_t x = rect_[0]->evaluate(runtime), y = rect_[1]->evaluate(runtime);
            int64_t w = rect_[2]->evaluate(runtime), h = rect_[3]->evaluate(runtime);
            left = std::max<int64_t>(x, 0);
            top = std::max<int64_t>(y, 0);
            right = std::min<int64_t>(x + w, world.gridWidth());
            bottom = std::min<int64_t>(y + h, world.gridHeight());
        }
        const int32_t element = element_->evaluate(runtime);
        int32_t count = 0;
        for (int64_t row = top; row < bottom; ++row) {
            const uint16_t* cells = world.cells() + row * world.stride();
            for (int64_t column = left; column < right; ++column) count += cells[column] == element;
        }
        getVariable(runtime, variable_, count, true);
    }
    std::string text() const override { return "COUNT " + quoted(variable_) + " " + element_->text(); }

private:
    std::string variable_;
    std::unique_ptr<Expression> element_;
    std::vector<std::unique_ptr<Expression>> rect_;
};

// CLOSEST element x y distance
class ActionClosest : public Statement {
public:
    ActionClosest(std::vector<std::unique_ptr<Expression>> arguments) : arguments_(std::move(arguments)) {}

    void run(Runtime& runtime) override {
        const int32_t element = arguments_[0]->evaluate(runtime);
        const int64_t x0 = arguments_[1]->evaluate(runtime), y0 = arguments_[2]->evaluate(runtime);
        const int64_t limit = arguments_[3]->evaluate(runtime);
        const World& world = runtime.world;
        constexpr int64_t kNotFound = 1000000000, kEverything = 999999999;
        int64_t best = kNotFound, bestX = -1, bestY = -1;
        // Squares of growing size around the point, until the limit or until
        // one square covered the whole world.
        for (int64_t r = std::min<int64_t>(32, limit);; r = std::min(r * 2, limit)) {
            if (best == kEverything) break;
            if (x0 - r <= 1 && y0 - r <= 1 && x0 + r >= world.width() && y0 + r >= world.height())
                best = kEverything;
            for (int64_t y = std::max<int64_t>(y0 - r, 1); y <= std::min<int64_t>(y0 + r, world.height());
                 ++y) {
                for (int64_t x = std::max<int64_t>(x0 - r, 1); x <= std::min<int64_t>(x0 + r, world.width());
                     ++x) {
                    if (world.interiorCell(static_cast<int>(x), static_cast<int>(y)) != element) continue;
                    int64_t distance = (x - x0) * (x - x0) + (y - y0) * (y - y0);
                    if (distance < best) {
                        best = distance;
                        bestX = x;
                        bestY = y;
                    }
                }
            }
            if (r == limit) break;
        }
        VariableTable& variables = runtime.variables;
        variables.obtain("CLOSESTX", 0, false)->value = static_cast<int32_t>(bestX);
        variables.obtain("CLOSESTY", 0, false)->value = static_cast<int32_t>(bestY);
        variables.obtain("CLOSESTD", 0, false)->value =
            static_cast<int32_t>(std::llround(std::sqrt(static_cast<double>(best))));
    }
    std::string text() const override {
        return "CLOSEST " + arguments_[0]->text() + " " + arguments_[1]->text() + " " + arguments_[2]->text();
    }

private:
    std::vector<std::unique_ptr<Expression>> arguments_;
};

// Reads `count` expressions; an empty list when one is missing or invalid.
std::vector<std::unique_ptr<Expression>> expressions(StatementReader& reader, int count,
                                                     int32_t percentBase) {
    std::vector<std::unique_ptr<Expression>> result;
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<Expression> expression = reader.expression(reader.next(), percentBase);
        if (!expression) return {};
        result.push_back(std::move(expression));
    }
    return result;
}

// ELEMENT name DIE target rate
ActionPtr parseElementDie(StatementReader& reader, const std::string& name) {
    std::optional<std::string> target = reader.next();
    std::unique_ptr<Expression> rate = reader.expression(reader.next());
    if (!target || !rate || !reader.atEnd()) return nullptr;
    return make<ActionElementDie>(name, *target, std::move(rate));
}

ActionPtr parseInteractionForm(StatementReader& reader, bool at, bool triggerForm) {
    ActionInteraction::Fields fields;
    fields.triggerForm = triggerForm;
    if (at) {
        fields.position = reader.expression(reader.next());
        if (!fields.position) return nullptr;
    }
    std::optional<std::string> owner = reader.next(), partner = reader.next();
    if (!owner || !partner) return nullptr;
    fields.owner = *owner;
    fields.partner = *partner;
    std::vector<std::string> rest;
    while (std::optional<std::string> token = reader.next()) rest.push_back(*token);
    const std::size_t groupSize = triggerForm ? 2 : 3;
    std::size_t at_ = 0;
    for (; rest.size() - at_ >= groupSize; at_ += groupSize) {
        if (triggerForm) {
            ActionInteraction::TriggerGroup group{reader.trigger(rest[at_]),
                                                  reader.expression(rest[at_ + 1])};
            if (!group.chance) return nullptr;
            fields.triggers.push_back(std::move(group));
        } else {
            ActionInteraction::ResultGroup group{rest[at_], rest[at_ + 1], reader.expression(rest[at_ + 2])};
            if (!group.chance) return nullptr;
            fields.results.push_back(std::move(group));
        }
    }
    if (rest.size() - at_ == 1) {
        fields.excepted = rest[at_];
    } else if (rest.size() != at_) {
        return nullptr;
    }
    return make<ActionInteraction>(std::move(fields));
}

}  // namespace

// ELEMENT group name R G B [weight spray slide viscosity deathrate deathtarget grouporder [icontype icontext
// [r g b]]] ELEMENT name DIE target rate
ActionPtr parseElement(StatementReader& reader) {
    std::optional<std::string> first = reader.next(), second = reader.next();
    if (!first || !second) return nullptr;
    if (*second == "DIE") return parseElementDie(reader, *first);

    ActionElementEF1::Fields f;
    f.group = *first;
    f.name = *second;
    f.red = reader.expression(reader.next(), kColourBase);
    f.green = reader.expression(reader.next(), kColourBase);
    f.blue = reader.expression(reader.next(), kColourBase);
    if (!f.red || !f.green || !f.blue) return nullptr;
    struct Optional {
        std::unique_ptr<Expression>* target;
        int32_t base;
        const char* fallback;
    };
    for (Optional optional :
         {Optional{&f.weight, kWeightBase, "0"}, Optional{&f.spray, kPropertyBase, "1"},
          Optional{&f.slide, kPropertyBase, "1"}, Optional{&f.viscosity, kPropertyBase, "1"},
          Optional{&f.deathRate, kDefaultPercentBase, "0"}}) {
        std::optional<std::unique_ptr<Expression>> parsed =
            optionalExpression(reader, reader.next(), optional.base, optional.fallback);
        if (!parsed) return nullptr;
        *optional.target = std::move(*parsed);
    }
    f.deathTarget = reader.next().value_or("");
    std::optional<std::unique_ptr<Expression>> order =
        optionalExpression(reader, reader.next(), kDefaultPercentBase, "0");
    if (!order) return nullptr;
    f.groupOrder = std::move(*order);
    std::optional<IconPtr> icon = readIcon(reader, "TEXT", f.name);
    if (!icon || !reader.atEnd()) return nullptr;
    f.icon = *icon;
    return make<ActionElementEF1>(std::move(f));
}

// INTERACTION owner partner (ownerresult partnerresult chance)... [except]
ActionPtr parseInteraction(StatementReader& reader) {
    return parseInteractionForm(reader, false, false);
}
// INTERACTIONAT position owner partner (ownerresult partnerresult chance)... [except]
ActionPtr parseInteractionAt(StatementReader& reader) {
    return parseInteractionForm(reader, true, false);
}
// INTERACTIONTRIGGER owner partner (trigger chance)... [except]
ActionPtr parseInteractionTrigger(StatementReader& reader) {
    return parseInteractionForm(reader, false, true);
}
// INTERACTIONTRIGGERAT position owner partner (trigger chance)... [except]
ActionPtr parseInteractionTriggerAt(StatementReader& reader) {
    return parseInteractionForm(reader, true, true);
}

// INTERACTIONREMOVE name index
ActionPtr parseInteractionRemove(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    std::unique_ptr<Expression> index = reader.expression(reader.next());
    if (!name || !index || !reader.atEnd()) return nullptr;
    return make<ActionRemoveInteraction>(*name, std::move(index));
}

// INTERACTIONCLEAR name
ActionPtr parseInteractionClear(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return make<ActionRemoveInteraction>(*name, nullptr);
}

// DIECLEAR name
ActionPtr parseDieClear(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name || !reader.atEnd()) return nullptr;
    return make<ActionClearDie>(*name);
}

// ELEMENTSCLEAR
ActionPtr parseElementsClear(StatementReader& reader) {
    if (!reader.atEnd()) return nullptr;
    return make<ActionClearElements>();
}

// GROUP CLEARALL | GROUP name CLEAR | GROUP name ADD element order | GROUP name order icontype icontext [r g
// b]
ActionPtr parseGroup(StatementReader& reader) {
    std::optional<std::string> name = reader.next();
    if (!name) return nullptr;
    using Mode = ActionGroup::Mode;
    if (*name == "CLEARALL") {
        if (!reader.atEnd()) return nullptr;
        return make<ActionGroup>(Mode::ClearAll, "", "", nullptr, nullptr);
    }
    std::optional<std::string> word = reader.next();
    if (!word) return nullptr;
    if (*word == "CLEAR") {
        if (!reader.atEnd()) return nullptr;
        return make<ActionGroup>(Mode::Clear, *name, "", nullptr, nullptr);
    }
    if (*word == "ADD") {
        std::optional<std::string> element = reader.next();
        std::unique_ptr<Expression> order = reader.expression(reader.next());
        if (!element || !order || !reader.atEnd()) return nullptr;
        return make<ActionGroup>(Mode::Add, *name, *element, std::move(order), nullptr);
    }
    std::unique_ptr<Expression> order = reader.expression(word);
    if (!order || reader.atEnd()) return nullptr;
    std::optional<IconPtr> icon = readIcon(reader, "", "");
    if (!icon || !reader.atEnd()) return nullptr;
    return make<ActionGroup>(Mode::Define, *name, "", std::move(order), *icon);
}

// NOBIAS element
ActionPtr parseNoBias(StatementReader& reader) {
    std::unique_ptr<Expression> element = reader.expression(reader.next());
    if (!element || !reader.atEnd()) return nullptr;
    return make<ActionNoBias>(std::move(element));
}

// WIND e1 e2 e3
ActionPtr parseWind(StatementReader& reader) {
    std::vector<std::unique_ptr<Expression>> values = expressions(reader, 3, kDefaultPercentBase);
    if (values.empty() || !reader.atEnd()) return nullptr;
    return make<ActionWind>(std::move(values));
}

// RESIZE width height
ActionPtr parseResize(StatementReader& reader) {
    std::vector<std::unique_ptr<Expression>> size = expressions(reader, 2, kWorldSizeBase);
    if (size.empty() || !reader.atEnd()) return nullptr;
    return make<ActionResize>(std::move(size[0]), std::move(size[1]));
}

// COUNT variable element [IN RECT x y w h]
ActionPtr parseCount(StatementReader& reader) {
    std::optional<std::string> variable = reader.next();
    std::unique_ptr<Expression> element = reader.expression(reader.next());
    if (!variable || !element) return nullptr;
    std::vector<std::unique_ptr<Expression>> rect;
    if (std::optional<std::string> in = reader.next()) {
        std::optional<std::string> rectWord = reader.next();
        if (*in != "IN" || !rectWord || *rectWord != "RECT") return nullptr;
        rect = expressions(reader, 4, kDefaultPercentBase);
        if (rect.empty()) return nullptr;
    }
    if (!reader.atEnd()) return nullptr;
    return make<ActionCount>(*variable, std::move(element), std::move(rect));
}

// CLOSEST element x y distance
ActionPtr parseClosest(StatementReader& reader) {
    std::vector<std::unique_ptr<Expression>> arguments = expressions(reader, 4, kDefaultPercentBase);
    if (arguments.empty() || !reader.atEnd()) return nullptr;
    return make<ActionClosest>(std::move(arguments));
}

}  // namespace ef2
