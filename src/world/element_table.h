#pragma once
// The element table and the element groups.
//
// Every particle kind is an `Element`, identified by an unsigned 16-bit id that
// is also the value stored in each cell of the world grid. This file owns the
// one table of elements (with its growth rules), the lookup of elements by name
// including the special names of the script language, the property setters, the
// interaction and death rule stores attached to each element, and the ordered
// list of groups by which menus and scripts list elements.
//
// Physics never reads this table during a step: setters raise the rebuild
// request level and the world compiles the values into its caches.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/chance.h"
#include "world/icon_record.h"
#include "world/rebuild_request.h"

namespace ef2 {

struct Trigger;

constexpr uint16_t kClear = 0;    // empty space
constexpr uint16_t kNothing = 1;  // the frame's walls, and the wildcard partner of rules

// The table starts with this many records and grows by kElementGrowth at a time.
constexpr int kInitialElementRecords = 500;
constexpr int kElementGrowth = 1500;
// Growth stops once the first free id passes this value, so the table ends at
// 33,500 records and the highest element id is 33,498.
constexpr int kLastGrowableId = 32000;

constexpr int kMaxInteractionsPerElement = 32001;
constexpr int kMaxDeathRulesPerElement = 98;
constexpr int kMaxTotalDeathRate = kChanceScale;

// Group order keys: -1 means "at the end", stored as 65535.
constexpr int kDefaultGroupOrder = -1;
constexpr int kLastGroupOrder = 65535;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// A rule owned by the acting element: when a cell of the owner touches a cell of
// `partner`, with `chance` in kChanceScale the owner cell becomes `ownerResult` and the
// partner cell `partnerResult`, or `trigger` runs instead.
struct Interaction {
    uint16_t partner = 0;  // kNothing means any element
    uint16_t ownerResult = 0;
    uint16_t partnerResult = 0;
    uint32_t chance = 0;           // 0..kChanceScale
    uint16_t excepted = kNothing;  // wildcard rules: the neighbour must not hold this
    Trigger* trigger = nullptr;
    std::shared_ptr<Trigger> triggerOwner;  // set when the trigger is an anonymous inline one
};

struct DeathRule {
    uint16_t target = 0;
    uint16_t rate = 0;  // never 0
};

struct Element {
    std::vector<Interaction> interactions;
    std::vector<DeathRule> deathRules;
    std::optional<std::string> name;  // absent: the record is free
    int32_t weight = 0;
    int32_t spray = 1;  // never 0
    int32_t slide = 0;
    int32_t viscosity = 1;
    uint16_t totalDeathRate = 0;  // sum of the rates, capped at kMaxTotalDeathRate
    uint8_t noBias = 0;
    Rgb colour;
    std::array<Rgb, 3> customColours;
    IconPtr icon = defaultElementIcon();
};

struct ElementGroup {
    std::string name;
    IconPtr icon;                     // none until a GROUP statement gives one
    std::vector<uint16_t> members;    // sorted by ascending member key
    std::vector<int32_t> memberKeys;  // parallel to members
    int32_t orderKey = kLastGroupOrder;
};

// What name resolution needs from the script engine: the message buffer that
// the word "MESSAGE" stands for, and how a text is read as a number.
class ElementNameContext {
public:
    virtual ~ElementNameContext() = default;
    virtual std::string messageText() = 0;
    // The number a text stands for, or nothing when it is not a number.
    virtual std::optional<int32_t> evaluateNumber(std::string_view text) = 0;
    // One line for the console.
    virtual void report(std::string_view line) = 0;
};

class ElementTable {
public:
    ElementTable(RebuildRequest& rebuild, ElementNameContext& context);
    ElementTable(const ElementTable&) = delete;
    ElementTable& operator=(const ElementTable&) = delete;

    // Id 0 always yields element 0; other ids yield the record when it is in
    // the table and named, else nullptr.
    const Element* get(uint32_t id) const;
    Element* getMutable(uint32_t id);
    int recordCount() const { return static_cast<int>(records_.size()); }
    int definedCount() const;

    // The id of `name`, with the special names; with `create`, an unknown name
    // takes the first free record. Unknown names without `create` give 0.
    uint16_t idOfName(std::string_view name, bool create);
    const std::string& nameOf(uint16_t id) const;

    // Setters. All ignore element 1 and raise the rebuild request level to 3.
    void setWeight(uint16_t id, int32_t value);
    void setSpray(uint16_t id, int32_t value);
    void setSlide(uint16_t id, int32_t value);
    void setViscosity(uint16_t id, int32_t value);
    void setColour(uint16_t id, int32_t r, int32_t g, int32_t b);
    void setRed(uint16_t id, int32_t value);
    void setGreen(uint16_t id, int32_t value);
    void setBlue(uint16_t id, int32_t value);
    void setNoBias(uint16_t id, int32_t value);
    void setCustomColour(uint16_t id, int colourNumber, int component, int32_t value);
    void setIcon(uint16_t id, IconPtr icon);  // does not raise the rebuild level
    // Sets the rate of death rule `index` (the first rule when out of range).
    void setDeathRate(uint16_t id, int64_t index, int32_t rate);

    // Rules (the operations behind the rule statements).
    void addInteraction(uint16_t owner, const Interaction& rule, int position);
    void removeInteraction(uint16_t owner, int64_t index);
    void clearInteractions(uint16_t owner);
    void addDeathRule(uint16_t id, uint16_t target, uint32_t rate);
    void clearDeathRules(uint16_t id);

    void clearAllElements();

    // Triggers of removed rules stay alive until the caches that may still
    // point at them are rebuilt.
    void releaseRetiredTriggers() { retiredTriggers_.clear(); }

    // Groups. Indices are positions in the ordered list; group 0 is "None".
    int findGroup(std::string_view name, bool create, int32_t orderKey = kDefaultGroupOrder);
    int groupCount() const { return static_cast<int>(groups_.size()); }
    ElementGroup* group(int index);
    const ElementGroup* group(int index) const;
    void addToGroup(int groupIndex, uint16_t id, int32_t memberKey);
    // Clears the members of the group named or numbered by `nameOrNumber`.
    void clearGroup(std::string_view nameOrNumber);
    // 1-based member access; 0 when the group or member does not exist.
    uint16_t memberOfGroup(int groupIndex, int64_t n) const;
    int32_t memberKeyOfGroup(int groupIndex, int64_t n) const;
    void clearAllGroups();

private:
    void resetFixedElements();
    bool isEditable(uint16_t id) const { return id != kNothing && get(id) != nullptr; }
    Element* editable(uint16_t id);
    uint16_t findOrCreateByName(std::string_view name, bool create);
    void touch() { rebuild_.request(kRebuildElements); }

    RebuildRequest& rebuild_;
    ElementNameContext& context_;
    std::vector<Element> records_;
    std::vector<ElementGroup> groups_;
    std::vector<std::shared_ptr<Trigger>> retiredTriggers_;
    bool sprayMessageShown_ = false;
    void retireTriggers(const std::vector<Interaction>& rules);
};

}  // namespace ef2
