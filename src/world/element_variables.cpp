#include "world/element_variables.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "script/number_text.h"
#include "world/element_table.h"

namespace ef2 {

namespace {

// What every name here is read against.
struct Names {
    ScriptContext& context;
    ElementTable& elements;
};

constexpr std::string_view kElementPrefix = "ELEMENT";

// The element a property name's tail refers to: a number or variable first,
// otherwise an element name (created when unknown).
uint16_t resolveElement(const Names& names, std::string_view text) {
    LookupResult looked = lookupValue(names.context, text);
    if (looked.kind == ValueKind::Number) return static_cast<uint16_t>(looked.value);
    return names.elements.idOfName(text, true);
}

using Setter = std::function<void(ElementTable&, uint16_t, int32_t)>;
using Reader = std::function<int32_t(const Element&)>;

struct ElementProperty {
    std::string_view prefix;  // the name after "ELEMENT", up to and including ':'
    Setter set;
    Reader read;
};

ElementProperty customColour(std::string_view prefix, int colourNumber, int component) {
    return ElementProperty{prefix,
                           [colourNumber, component](ElementTable& table, uint16_t id, int32_t value) {
                               table.setCustomColour(id, colourNumber, component, value);
                           },
                           [colourNumber, component](const Element& element) -> int32_t {
                               const Rgb& colour = element.customColours[colourNumber - 1];
                               return component == 1 ? colour.r : component == 2 ? colour.g : colour.b;
                           }};
}

// The writable and readable element properties. DEATHRATE, ICONTYPE,
// ICONTEXT, COUNT and the bare id have forms of their own.
const std::vector<ElementProperty>& elementProperties() {
    static const std::vector<ElementProperty> properties = {
        {"WEIGHT:", [](ElementTable& t, uint16_t id, int32_t v) { t.setWeight(id, v); },
         [](const Element& e) { return e.weight; }},
        {"SPRAY:", [](ElementTable& t, uint16_t id, int32_t v) { t.setSpray(id, v); },
         [](const Element& e) { return e.spray; }},
        {"SLIDE:", [](ElementTable& t, uint16_t id, int32_t v) { t.setSlide(id, v); },
         [](const Element& e) { return e.slide; }},
        {"VISCOUSITY:", [](ElementTable& t, uint16_t id, int32_t v) { t.setViscosity(id, v); },
         [](const Element& e) { return e.viscosity; }},
        {"R:", [](ElementTable& t, uint16_t id, int32_t v) { t.setRed(id, v); },
         [](const Element& e) -> int32_t { return e.colour.r; }},
        {"G:", [](ElementTable& t, uint16_t id, int32_t v) { t.setGreen(id, v); },
         [](const Element& e) -> int32_t { return e.colour.g; }},
        {"B:", [](ElementTable& t, uint16_t id, int32_t v) { t.setBlue(id, v); },
         [](const Element& e) -> int32_t { return e.colour.b; }},
        customColour("CUSTOMR1:", 1, 1),
        customColour("CUSTOMG1:", 1, 2),
        customColour("CUSTOMB1:", 1, 3),
        customColour("CUSTOMR2:", 2, 1),
        customColour("CUSTOMG2:", 2, 2),
        customColour("CUSTOMB2:", 2, 3),
        customColour("CUSTOMR3:", 3, 1),
        customColour("CUSTOMG3:", 3, 2),
        customColour("CUSTOMB3:", 3, 3),
    };
    return properties;
}

// "DEATHRATE:i:name": the rule index and the element text, when the tail reads so.
struct DeathRateName {
    int32_t index;
    std::string_view element;
};
std::optional<DeathRateName> parseDeathRate(std::string_view rest) {
    constexpr std::string_view kPrefix = "DEATHRATE:";
    if (!rest.starts_with(kPrefix)) return std::nullopt;
    std::string_view tail = rest.substr(kPrefix.size());
    std::optional<ScannedInteger> index = scanIntegerPrefix(tail);
    if (!index || index->length >= tail.size() || tail[index->length] != ':') return std::nullopt;
    std::string_view element = tail.substr(index->length + 1);
    if (element.empty()) return std::nullopt;
    return DeathRateName{index->value, element};
}

// Writes an element property; false when the name matches no setter.
bool writeElementProperty(const Names& names, std::string_view rest, int32_t value) {
    if (std::optional<DeathRateName> deathRate = parseDeathRate(rest)) {
        uint16_t id = resolveElement(names, deathRate->element);
        names.elements.setDeathRate(id, deathRate->index, value);
        return true;
    }
    for (const ElementProperty& property : elementProperties()) {
        if (rest.starts_with(property.prefix) && rest.size() > property.prefix.size()) {
            uint16_t id = resolveElement(names, rest.substr(property.prefix.size()));
            property.set(names.elements, id, value);
            return true;
        }
    }
    return false;
}

LookupResult number(int32_t value) {
    return LookupResult{ValueKind::Number, value, {}};
}

// Reads an element property; nothing when the name matches no reader.
std::optional<LookupResult> readElementProperty(const Names& names, std::string_view rest) {
    ElementTable& elements = names.elements;
    if (rest == ":COUNT") return number(elements.definedCount());
    if (std::optional<DeathRateName> deathRate = parseDeathRate(rest)) {
        const Element* element = elements.get(resolveElement(names, deathRate->element));
        if (!element || element->deathRules.empty()) return LookupResult{};
        std::size_t index = static_cast<std::size_t>(static_cast<uint32_t>(deathRate->index));
        if (index >= element->deathRules.size()) index = 0;
        return number(element->deathRules[index].rate);
    }
    for (std::string_view iconPrefix : {std::string_view("ICONTYPE:"), std::string_view("ICONTEXT:")}) {
        if (rest.starts_with(iconPrefix) && rest.size() > iconPrefix.size()) {
            const Element* element = elements.get(resolveElement(names, rest.substr(iconPrefix.size())));
            if (!element || !element->icon) return LookupResult{};
            const IconRecord& icon = *element->icon;
            return LookupResult{ValueKind::Text, 0, iconPrefix == "ICONTYPE:" ? icon.type : icon.argument};
        }
    }
    for (const ElementProperty& property : elementProperties()) {
        if (rest.starts_with(property.prefix) && rest.size() > property.prefix.size()) {
            const Element* element = elements.get(resolveElement(names, rest.substr(property.prefix.size())));
            if (!element) return LookupResult{};
            return number(property.read(*element));
        }
    }
    if (rest.size() > 1 && rest[0] == ':') return number(resolveElement(names, rest.substr(1)));
    return std::nullopt;
}

int32_t valueOrZero(const Names& names, std::string_view text) {
    LookupResult looked = lookupValue(names.context, text);
    return looked.kind == ValueKind::Number ? looked.value : 0;
}

int groupNamed(const ElementTable& elements, std::string_view name) {
    for (int index = 0; index < elements.groupCount(); ++index) {
        if (elements.group(index)->name == name) return index;
    }
    return -1;
}

// A group given as a number or variable, else by name; -1 when there is none.
int groupOf(const Names& names, std::string_view text) {
    LookupResult looked = lookupValue(names.context, text);
    if (looked.kind == ValueKind::Number) return looked.value;
    return groupNamed(names.elements, text);
}

// "GROUP:g:k" (member) and "GROUPORDER:g:k" (member key).
LookupResult readGroupMember(const Names& names, std::string_view rest, bool orderKey) {
    std::size_t colon = rest.find(':');
    int groupIndex = groupOf(names, rest.substr(0, colon));
    int32_t position = valueOrZero(names, rest.substr(colon + 1));
    if (position == 0) position = 1;
    const ElementTable& elements = names.elements;
    return number(orderKey ? elements.memberKeyOfGroup(groupIndex, position)
                           : elements.memberOfGroup(groupIndex, position));
}

int32_t groupSize(const Names& names, int groupIndex) {
    const ElementGroup* group = names.elements.group(groupIndex);
    return group ? static_cast<int32_t>(group->members.size()) : 0;
}

std::optional<LookupResult> readGroupName(const Names& names, std::string_view name) {
    if (name == "COUNT:GROUPS") return number(names.elements.groupCount());
    if (name.starts_with("COUNT:GROUP:")) {
        LookupResult looked = lookupValue(names.context, name.substr(12));
        if (looked.kind != ValueKind::Number) looked = lookupValue(names.context, name.substr(6));
        return number(groupSize(names, looked.value));
    }
    if (name.starts_with("GROUPORDER:")) {
        std::string_view rest = name.substr(11);
        if (rest.find(':') == std::string_view::npos) return LookupResult{};
        return readGroupMember(names, rest, true);
    }
    if (name.starts_with("GROUP:")) {
        std::string_view rest = name.substr(6);
        if (rest.find(':') != std::string_view::npos) return readGroupMember(names, rest, false);
        return number(std::max(groupNamed(names.elements, rest), 0));
    }
    return std::nullopt;
}

}  // namespace

bool isElementVariableName(std::string_view name) {
    return name.starts_with(kElementPrefix) || name.starts_with("GROUP:") ||
           name.starts_with("COUNT:GROUP:") || name.starts_with("COUNT:GROUPS");
}

std::optional<LookupResult> readElementVariable(ScriptContext& context, ElementTable& elements,
                                                std::string_view name) {
    const Names names{context, elements};
    if (name.starts_with(kElementPrefix))
        return readElementProperty(names, name.substr(kElementPrefix.size()));
    return readGroupName(names, name);
}

bool writeElementVariable(ScriptContext& context, ElementTable& elements, std::string_view name,
                          int32_t value, bool overwrite) {
    if (!name.starts_with(kElementPrefix)) return false;
    if (!overwrite) return true;
    return writeElementProperty(Names{context, elements}, name.substr(kElementPrefix.size()), value);
}

}  // namespace ef2
