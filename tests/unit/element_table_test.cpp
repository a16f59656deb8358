#include <gtest/gtest.h>

#include <string>

#include "app/runtime.h"

namespace ef2 {
namespace {

Interaction ruleWithPartner(uint16_t partner) {
    Interaction rule;
    rule.partner = partner;
    rule.chance = 32768;
    return rule;
}

TEST(ElementTable, SpecialNamesAndCreation) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    EXPECT_EQ(elements.idOfName("Clear", true), kClear);
    EXPECT_EQ(elements.idOfName("CLEAR", true), kClear);
    EXPECT_EQ(elements.idOfName("DEFAULT", true), kNothing);
    EXPECT_EQ(elements.idOfName("All", true), kNothing);
    EXPECT_EQ(elements.idOfName("Sand", false), 0);  // unknown without create
    uint16_t sand = elements.idOfName("Sand", true);
    EXPECT_EQ(sand, 2);
    EXPECT_EQ(elements.idOfName("Sand", true), sand);
    EXPECT_EQ(elements.idOfName("clear", true), 3);  // an ordinary name
    EXPECT_EQ(elements.nameOf(kNothing), "Nothing");
    EXPECT_EQ(elements.get(kNothing)->weight, 9999999);
    EXPECT_EQ(elements.get(kClear)->weight, 1);
}

TEST(ElementTable, GrowsAtTheStatedIdsAndEndsAtElementOne) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    for (int id = 2; id < 499; ++id) elements.idOfName("E" + std::to_string(id), true);
    EXPECT_EQ(elements.recordCount(), 500);
    EXPECT_EQ(elements.idOfName("E499", true), 499);
    EXPECT_EQ(elements.recordCount(), 2000);
    EXPECT_GE(runtime.rebuildRequest.level(), kRebuildTableGrown);

    for (int id = 500; id < 31999; ++id) elements.idOfName("E" + std::to_string(id), true);
    EXPECT_EQ(elements.recordCount(), 32000);
    EXPECT_EQ(elements.idOfName("E31999", true), 31999);
    EXPECT_EQ(elements.recordCount(), 33500);
    for (int id = 32000; id < 33499; ++id) elements.idOfName("E" + std::to_string(id), true);
    EXPECT_EQ(elements.nameOf(33498), "E33498");
    EXPECT_EQ(elements.idOfName("OneTooMany", true), kNothing);
    EXPECT_EQ(elements.recordCount(), 33500);
}

TEST(ElementTable, GroupQualifiedNames) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    int group = elements.findGroup("G", true);
    for (const char* name : {"A", "B", "C", "D", "E"})
        elements.addToGroup(group, elements.idOfName(name, true), 0);
    EXPECT_EQ(elements.idOfName("G:2", true), elements.idOfName("B", false));
    uint16_t g0 = elements.idOfName("G:0", true);  // looks up an element named G
    EXPECT_EQ(elements.nameOf(g0), "G");
    EXPECT_EQ(elements.idOfName("G:99", true), g0);
    EXPECT_EQ(elements.idOfName("Unknown:1", false), 0);
}

TEST(ElementTable, SetterMessagesAndElementOneIsUntouchable) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    uint16_t sand = elements.idOfName("Sand", true);
    elements.setSpray(sand, 0);
    elements.setSpray(sand, 0);
    elements.setViscosity(sand, 0);
    elements.setViscosity(sand, 0);
    EXPECT_EQ(elements.get(sand)->spray, 1);
    EXPECT_EQ(elements.get(sand)->viscosity, 1);
    const auto& lines = runtime.console.recentLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Spray cannot be set to 0. Using 1. This will only be shown once.");
    EXPECT_EQ(lines[1], "Viscousity cannot be set to 0. Using 1.");
    EXPECT_EQ(lines[2], "Viscousity cannot be set to 0. Using 1.");

    elements.setWeight(kNothing, 5);
    elements.setColour(kNothing, 255, 0, 0);
    elements.addDeathRule(kNothing, sand, 10);
    elements.addInteraction(kNothing, ruleWithPartner(sand), -1);
    EXPECT_EQ(elements.get(kNothing)->weight, 9999999);
    EXPECT_EQ(elements.get(kNothing)->colour, Rgb{});
    EXPECT_TRUE(elements.get(kNothing)->deathRules.empty());
    EXPECT_TRUE(elements.get(kNothing)->interactions.empty());
    elements.setColour(sand, 300, -1, 128);  // components cut to 8 bits
    EXPECT_EQ(elements.get(sand)->colour, (Rgb{44, 255, 128}));
}

TEST(ElementTable, RuleStoresKeepTheirLimitsAndPositions) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    uint16_t fire = elements.idOfName("Fire", true);
    for (uint16_t partner : {10, 11, 12}) elements.addInteraction(fire, ruleWithPartner(partner), -1);
    elements.addInteraction(fire, ruleWithPartner(20), 0);
    elements.addInteraction(fire, ruleWithPartner(21), 99);  // past the end appends
    std::vector<uint16_t> partners;
    for (const Interaction& rule : elements.get(fire)->interactions) partners.push_back(rule.partner);
    EXPECT_EQ(partners, (std::vector<uint16_t>{20, 10, 11, 12, 21}));
    elements.removeInteraction(fire, 1);
    elements.removeInteraction(fire, 50);  // past the end: nothing
    EXPECT_EQ(elements.get(fire)->interactions.size(), 4u);

    for (int i = 0; i < 100; ++i) elements.addDeathRule(fire, 0, 1000);
    EXPECT_EQ(elements.get(fire)->deathRules.size(), 98u);
    EXPECT_EQ(elements.get(fire)->totalDeathRate, 32768);  // capped
    elements.addDeathRule(fire, kNothing, 5);
    elements.addDeathRule(fire, 0, 65536);  // a rate of 0 in 16 bits is refused
    EXPECT_EQ(elements.get(fire)->deathRules.size(), 98u);
    elements.clearDeathRules(fire);
    EXPECT_EQ(elements.get(fire)->totalDeathRate, 0);
}

TEST(ElementTable, GroupRuleStatementsStopAtFullOwners) {
    // 1500 partners with 1500 x 1500 result pairs are billions of combinations;
    // the owner takes only the first 32001 rules, in order, and the statement
    // stops looking once it is full (without that this test runs for minutes).
    Runtime runtime;
    std::string script;
    for (int i = 0; i < 1500; ++i) script += "GROUP G ADD E" + std::to_string(i) + " 0\n";
    script += "INTERACTION Owner GROUP:G GROUP:G GROUP:G 100\n";
    runtime.parser.parseText(script, 0, std::nullopt);
    const Element* owner = runtime.elements.get(runtime.elements.idOfName("Owner", false));
    ASSERT_EQ(owner->interactions.size(), std::size_t{kMaxInteractionsPerElement});
    // The first partner comes with every result pair in order.
    const Interaction& rule = owner->interactions[1];
    EXPECT_EQ(rule.partner, runtime.elements.idOfName("E0", false));
    EXPECT_EQ(rule.ownerResult, runtime.elements.idOfName("E0", false));
    EXPECT_EQ(rule.partnerResult, runtime.elements.idOfName("E1", false));

    // A group of 20,000 members as both results would be 400 million pairs
    // (gigabytes) if they were all listed before the owner fills up.
    Runtime large;
    std::string grouping;
    for (int i = 0; i < 20000; ++i) grouping += "GROUP H ADD L" + std::to_string(i) + " 0\n";
    grouping += "INTERACTION Big L0 GROUP:H GROUP:H 100\n";
    large.parser.parseText(grouping, 0, std::nullopt);
    const Element* big = large.elements.get(large.elements.idOfName("Big", false));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->interactions.size(), std::size_t{kMaxInteractionsPerElement});
    // The 32,001st pair: the second owner result with the 12,001st partner result.
    EXPECT_EQ(big->interactions.back().ownerResult, large.elements.idOfName("L1", false));
    EXPECT_EQ(big->interactions.back().partnerResult, large.elements.idOfName("L12000", false));
}

TEST(ElementTable, GroupsKeepOrderKeysAndCreationOrder) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    elements.findGroup("Late", true, 50);
    elements.findGroup("Early", true, 10);
    elements.findGroup("AlsoEarly", true, 10);  // equal keys keep creation order
    elements.findGroup("Last", true, -1);
    std::vector<std::string> names;
    for (int i = 0; i < elements.groupCount(); ++i) names.push_back(elements.group(i)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Early", "AlsoEarly", "Late", "None", "Last"}));

    int late = elements.findGroup("Late", false);
    uint16_t a = elements.idOfName("A", true), b = elements.idOfName("B", true);
    elements.addToGroup(late, a, 5);
    elements.addToGroup(late, b, 1);
    elements.addToGroup(late, a, 0);  // already a member: its key stays
    EXPECT_EQ(elements.memberOfGroup(late, 1), b);
    EXPECT_EQ(elements.memberKeyOfGroup(late, 2), 5);
    EXPECT_EQ(elements.memberOfGroup(late, 3), 0);

    elements.clearGroup("Late");
    EXPECT_TRUE(elements.group(late)->members.empty());
    elements.addToGroup(late, a, 0);
    elements.clearGroup(std::to_string(late));  // by number
    EXPECT_TRUE(elements.group(late)->members.empty());

    elements.clearAllGroups();
    ASSERT_EQ(elements.groupCount(), 1);
    EXPECT_EQ(elements.group(0)->name, "None");
}

TEST(ElementTable, ClearAllResetsRecordsButKeepsGroups) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    uint16_t sand = elements.idOfName("Sand", true);
    elements.setWeight(kClear, 50);
    int group = elements.findGroup("Powders", true);
    elements.addToGroup(group, sand, 0);
    elements.clearAllElements();
    EXPECT_EQ(elements.get(sand), nullptr);
    EXPECT_EQ(elements.get(kClear)->weight, 1);
    EXPECT_EQ(elements.definedCount(), 2);
    EXPECT_EQ(elements.findGroup("Powders", false), group);
    EXPECT_TRUE(elements.group(group)->members.empty());
    EXPECT_EQ(elements.idOfName("Water", true), 2);  // freed ids are used again
}

}  // namespace
}  // namespace ef2
