#include "world/element_table.h"

#include <algorithm>

#include "world/world.h"

namespace ef2 {

namespace {

const std::string kEmptyName;

uint8_t low8(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

ElementTable::ElementTable(RebuildRequest& rebuild, ElementNameContext& context)
    : rebuild_(rebuild), context_(context), records_(kInitialElementRecords) {
    resetFixedElements();
    findGroup("None", true, kDefaultGroupOrder);
}

void ElementTable::resetFixedElements() {
    Element clear;
    clear.name = "Clear";
    clear.weight = 1;
    records_[kClear] = std::move(clear);

    Element nothing;
    nothing.name = "Nothing";
    nothing.weight = kWallFallRate;  // the fall rate the walls keep at every gravity
    records_[kNothing] = std::move(nothing);
}

const Element* ElementTable::get(uint32_t id) const {
    if (id == kClear) return &records_[0];
    if (id >= records_.size() || !records_[id].name) return nullptr;
    return &records_[id];
}

Element* ElementTable::getMutable(uint32_t id) {
    return const_cast<Element*>(get(id));
}

int ElementTable::definedCount() const {
    return static_cast<int>(std::count_if(records_.begin(), records_.end(),
                                          [](const Element& element) { return element.name.has_value(); }));
}

const std::string& ElementTable::nameOf(uint16_t id) const {
    const Element* element = get(id);
    return element ? *element->name : kEmptyName;
}

uint16_t ElementTable::idOfName(std::string_view name, bool create) {
    std::string replaced;
    if (name == "MESSAGE") {
        replaced = context_.messageText();
        name = replaced;
    }
    if (name == "CLEAR" || name == "Clear") return kClear;
    if (name == "DEFAULT" || name == "All") return kNothing;

    std::size_t colon = name.find(':');
    if (colon != std::string_view::npos) {
        int groupIndex = findGroup(name.substr(0, colon), create);
        const ElementGroup* found = groupIndex >= 0 ? group(groupIndex) : nullptr;
        std::optional<int32_t> n = context_.evaluateNumber(name.substr(colon + 1));
        int32_t position = n.value_or(0);
        // Without create, an unknown group name yields group 0 ("None").
        if (found && found->name == name.substr(0, colon) && position >= 1 &&
            position <= static_cast<int32_t>(found->members.size())) {
            return found->members[position - 1];
        }
        name = name.substr(0, colon);
    }
    return findOrCreateByName(name, create);
}

uint16_t ElementTable::findOrCreateByName(std::string_view name, bool create) {
    std::size_t id = 0;
    for (; id < records_.size() && records_[id].name; ++id) {
        if (*records_[id].name == name) return static_cast<uint16_t>(id);
    }
    if (!create) return kClear;
    // The last record always stays free so that every search has an end.
    if (id > records_.size() - 2) {
        if (id > kLastGrowableId) return kNothing;
        records_.resize(records_.size() + kElementGrowth);
        rebuild_.request(kRebuildTableGrown);
    }
    records_[id] = Element{};
    records_[id].name = std::string(name);
    return static_cast<uint16_t>(id);
}

Element* ElementTable::editable(uint16_t id) {
    return isEditable(id) ? &records_[id] : nullptr;
}

void ElementTable::setWeight(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->weight = value;
        touch();
    }
}

void ElementTable::setSpray(uint16_t id, int32_t value) {
    Element* element = editable(id);
    if (!element) return;
    if (value == 0) {
        value = 1;
        if (!sprayMessageShown_) {
            context_.report("Spray cannot be set to 0. Using 1. This will only be shown once.");
            sprayMessageShown_ = true;
        }
    }
    element->spray = value;
    touch();
}

void ElementTable::setSlide(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->slide = value;
        touch();
    }
}

void ElementTable::setViscosity(uint16_t id, int32_t value) {
    Element* element = editable(id);
    if (!element) return;
    if (value == 0) {
        value = 1;
        context_.report("Viscousity cannot be set to 0. Using 1.");
    }
    element->viscosity = value;
    touch();
}

void ElementTable::setColour(uint16_t id, int32_t r, int32_t g, int32_t b) {
    if (Element* element = editable(id)) {
        element->colour = Rgb{low8(r), low8(g), low8(b)};
        touch();
    }
}

void ElementTable::setRed(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->colour.r = low8(value);
        touch();
    }
}

void ElementTable::setGreen(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->colour.g = low8(value);
        touch();
    }
}

void ElementTable::setBlue(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->colour.b = low8(value);
        touch();
    }
}

void ElementTable::setNoBias(uint16_t id, int32_t value) {
    if (Element* element = editable(id)) {
        element->noBias = static_cast<uint8_t>(value);
        touch();
    }
}

void ElementTable::setCustomColour(uint16_t id, int colourNumber, int component, int32_t value) {
    Element* element = editable(id);
    if (!element) return;
    if (colourNumber >= 1 && colourNumber <= 3 && component >= 1 && component <= 3) {
        Rgb& colour = element->customColours[colourNumber - 1];
        uint8_t* channel = component == 1 ? &colour.r : component == 2 ? &colour.g : &colour.b;
        *channel = low8(value);
    }
    touch();
}

void ElementTable::setIcon(uint16_t id, IconPtr icon) {
    if (Element* element = editable(id)) element->icon = std::move(icon);
}

void ElementTable::setDeathRate(uint16_t id, int64_t index, int32_t rate) {
    Element* element = editable(id);
    if (!element || element->deathRules.empty()) return;
    if (index < 0 || index >= static_cast<int64_t>(element->deathRules.size())) index = 0;
    element->deathRules[index].rate = static_cast<uint16_t>(rate);
    // Keep the total the sum of the rates, so that the compiled chances stay
    // within kChanceScale.
    uint32_t total = 0;
    for (const DeathRule& rule : element->deathRules) total += rule.rate;
    element->totalDeathRate = static_cast<uint16_t>(std::min<uint32_t>(total, kMaxTotalDeathRate));
    touch();
}

void ElementTable::addInteraction(uint16_t owner, const Interaction& rule, int position) {
    Element* element = editable(owner);
    if (!element || element->interactions.size() >= kMaxInteractionsPerElement) return;
    auto& rules = element->interactions;
    if (position < 0 || position >= static_cast<int>(rules.size())) {
        rules.push_back(rule);
    } else {
        rules.insert(rules.begin() + position, rule);
    }
    touch();
}

void ElementTable::retireTriggers(const std::vector<Interaction>& rules) {
    for (const Interaction& rule : rules) {
        if (rule.triggerOwner) retiredTriggers_.push_back(rule.triggerOwner);
    }
}

void ElementTable::removeInteraction(uint16_t owner, int64_t index) {
    Element* element = editable(owner);
    if (!element) return;
    auto& rules = element->interactions;
    if (index >= 0 && index < static_cast<int64_t>(rules.size())) {
        retireTriggers({rules[index]});
        rules.erase(rules.begin() + index);
    }
    touch();
}

void ElementTable::clearInteractions(uint16_t owner) {
    if (Element* element = editable(owner)) {
        retireTriggers(element->interactions);
        element->interactions.clear();
        touch();
    }
}

void ElementTable::addDeathRule(uint16_t id, uint16_t target, uint32_t rate) {
    Element* element = editable(id);
    uint16_t rate16 = static_cast<uint16_t>(rate);  // rates are stored in 16 bits
    if (!element || target == kNothing || rate16 == 0) return;
    if (element->deathRules.size() >= kMaxDeathRulesPerElement) return;
    element->deathRules.push_back(DeathRule{target, rate16});
    uint32_t total = element->totalDeathRate + rate16;
    element->totalDeathRate = static_cast<uint16_t>(std::min<uint32_t>(total, kMaxTotalDeathRate));
    touch();
}

void ElementTable::clearDeathRules(uint16_t id) {
    if (Element* element = editable(id)) {
        element->deathRules.clear();
        element->totalDeathRate = 0;
        touch();
    }
}

void ElementTable::clearAllElements() {
    for (std::size_t id = 2; id < records_.size(); ++id) {
        retireTriggers(records_[id].interactions);
        records_[id] = Element{};
    }
    resetFixedElements();
    for (ElementGroup& entry : groups_) {
        entry.members.clear();
        entry.memberKeys.clear();
    }
    touch();
}

int ElementTable::findGroup(std::string_view name, bool create, int32_t orderKey) {
    std::string replaced;
    if (name == "MESSAGE") {
        replaced = context_.messageText();
        name = replaced;
    }
    for (std::size_t index = 0; index < groups_.size(); ++index) {
        if (groups_[index].name == name) return static_cast<int>(index);
    }
    if (!create) return 0;
    if (orderKey == -1) orderKey = kLastGroupOrder;
    auto insertAt = std::find_if(groups_.begin(), groups_.end(),
                                 [orderKey](const ElementGroup& entry) { return entry.orderKey > orderKey; });
    ElementGroup created;
    created.name = std::string(name);
    created.orderKey = orderKey;
    auto inserted = groups_.insert(insertAt, std::move(created));
    return static_cast<int>(inserted - groups_.begin());
}

ElementGroup* ElementTable::group(int index) {
    return index >= 0 && index < groupCount() ? &groups_[index] : nullptr;
}

const ElementGroup* ElementTable::group(int index) const {
    return index >= 0 && index < groupCount() ? &groups_[index] : nullptr;
}

void ElementTable::addToGroup(int groupIndex, uint16_t id, int32_t memberKey) {
    ElementGroup* entry = group(groupIndex);
    if (!entry || id == kNothing) return;
    if (std::find(entry->members.begin(), entry->members.end(), id) != entry->members.end()) return;
    auto keyAt = std::find_if(entry->memberKeys.begin(), entry->memberKeys.end(),
                              [memberKey](int32_t key) { return key > memberKey; });
    std::size_t position = keyAt - entry->memberKeys.begin();
    entry->memberKeys.insert(keyAt, memberKey);
    entry->members.insert(entry->members.begin() + position, id);
}

void ElementTable::clearGroup(std::string_view nameOrNumber) {
    std::optional<int32_t> number = context_.evaluateNumber(nameOrNumber);
    int index = number ? *number : findGroup(nameOrNumber, false);
    if (ElementGroup* entry = group(index)) {
        entry->members.clear();
        entry->memberKeys.clear();
    }
}

uint16_t ElementTable::memberOfGroup(int groupIndex, int64_t n) const {
    const ElementGroup* entry = group(groupIndex);
    if (!entry || n < 1 || n > static_cast<int64_t>(entry->members.size())) return 0;
    return entry->members[n - 1];
}

int32_t ElementTable::memberKeyOfGroup(int groupIndex, int64_t n) const {
    const ElementGroup* entry = group(groupIndex);
    if (!entry || n < 1 || n > static_cast<int64_t>(entry->memberKeys.size())) return 0;
    return entry->memberKeys[n - 1];
}

void ElementTable::clearAllGroups() {
    groups_.clear();
    findGroup("None", true, 0);
}

}  // namespace ef2
