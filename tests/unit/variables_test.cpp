#include <gtest/gtest.h>

#include "app/runtime.h"
#include "script/number_text.h"
#include "script/variables.h"

namespace ef2 {
namespace {

TEST(NumberText, ReadsDecimalHexOctalAndIgnoresTrailingText) {
    EXPECT_EQ(scanInteger("0x10"), 16);
    EXPECT_EQ(scanInteger("010"), 8);
    EXPECT_EQ(scanInteger("12abc"), 12);
    EXPECT_EQ(scanInteger("  -42"), -42);
    EXPECT_EQ(scanInteger("+7"), 7);
    EXPECT_EQ(scanInteger("0"), 0);
    EXPECT_EQ(scanInteger("089"), 0);  // octal stops at the 8
    EXPECT_EQ(scanInteger("abc"), std::nullopt);
    EXPECT_EQ(scanInteger(""), std::nullopt);
    EXPECT_EQ(scanInteger("-"), std::nullopt);
    // Beyond 32 bits the value is cut, never undefined.
    EXPECT_EQ(scanInteger("4294967297"), 1);
    EXPECT_EQ(scanInteger("99999999999999999999999"), -1);
}

TEST(Variables, GetVariableCreatesOnceAndOverwritesOnlyWhenAsked) {
    Runtime runtime;
    Variable* speed = getVariable(runtime, "SPEED", 60, false);
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->value, 60);  // created with the value either way
    EXPECT_EQ(getVariable(runtime, "SPEED", 5, false), speed);
    EXPECT_EQ(speed->value, 60);
    getVariable(runtime, "SPEED", 5, true);
    EXPECT_EQ(speed->value, 5);
    EXPECT_EQ(runtime.variables.size(), 1u);
}

TEST(Variables, ArrayNamesFormTheIndexedName) {
    Runtime runtime;
    getVariable(runtime, "I", 2, true);
    Variable* a2 = getVariable(runtime, "A[I]", 7, true);
    ASSERT_NE(a2, nullptr);
    EXPECT_EQ(a2->name, "A2");
    EXPECT_EQ(getVariable(runtime, "A[I]B", 0, false), a2);  // everything after ']' is dropped
    EXPECT_EQ(getVariable(runtime, "A[-1]", 3, true)->name, "A-1");
    EXPECT_EQ(getVariable(runtime, "A[MISSING]", 3, true)->name, "A0");
    EXPECT_EQ(getVariable(runtime, "A]x[", 3, true)->name, "A]x[");  // ']' before '[' is no array
}

TEST(Variables, LongNamesAreStoredInFullAndNeverMeet) {
    Runtime runtime;
    std::string base(300, 'N');
    Variable* first = getVariable(runtime, base + "1", 1, true);
    Variable* second = getVariable(runtime, base + "2", 2, true);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->name.size(), 301u);
    EXPECT_EQ(lookupValue(runtime, base + "1").value, 1);
    EXPECT_EQ(lookupValue(runtime, base + "2").value, 2);
}

TEST(Variables, ElementNamesWriteAndReadProperties) {
    Runtime runtime;
    uint16_t sand = runtime.elements.idOfName("SAND", true);
    EXPECT_EQ(getVariable(runtime, "ELEMENTWEIGHT:SAND", 7, false), nullptr);
    EXPECT_EQ(runtime.elements.get(sand)->weight, 0);  // without overwrite nothing happens
    EXPECT_EQ(getVariable(runtime, "ELEMENTWEIGHT:SAND", 7, true), nullptr);
    EXPECT_EQ(runtime.elements.get(sand)->weight, 7);
    getVariable(runtime, "ELEMENTR:SAND", 511, true);  // low 8 bits
    getVariable(runtime, "ELEMENTCUSTOMG2:SAND", 9, true);
    getVariable(runtime, "ELEMENTVISCOUSITY:" + std::to_string(sand), 4, true);  // by number

    LookupResult red = lookupValue(runtime, "ELEMENTR:SAND");
    EXPECT_EQ(red.kind, ValueKind::Number);
    EXPECT_EQ(red.value, 255);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTCUSTOMG2:SAND").value, 9);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTCUSTOMR1:SAND").kind, ValueKind::Number);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTVISCOUSITY:SAND").value, 4);
    EXPECT_EQ(lookupValue(runtime, "ELEMENT:SAND").value, sand);
    EXPECT_EQ(lookupValue(runtime, "ELEMENT:COUNT").value, 3);  // Clear, Nothing, SAND

    LookupResult iconType = lookupValue(runtime, "ELEMENTICONTYPE:SAND");
    EXPECT_EQ(iconType.kind, ValueKind::Text);
    EXPECT_EQ(iconType.text, "Clear");

    // Reading an unknown element creates it (the element lookup creates names).
    EXPECT_EQ(lookupValue(runtime, "ELEMENT:WATER").value, sand + 1);
    // A name that matches no property is an ordinary variable.
    EXPECT_NE(getVariable(runtime, "ELEMENTFOO", 5, true), nullptr);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTFOO").value, 5);
}

TEST(Variables, DeathRateNamesAddressRulesByIndex) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    uint16_t fire = elements.idOfName("FIRE", true);
    uint16_t smoke = elements.idOfName("SMOKE", true);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTDEATHRATE:0:FIRE").kind, ValueKind::Nothing);
    getVariable(runtime, "ELEMENTDEATHRATE:0:FIRE", 50, true);  // no rules: left alone
    EXPECT_TRUE(elements.get(fire)->deathRules.empty());

    elements.addDeathRule(fire, smoke, 100);
    elements.addDeathRule(fire, 0, 200);
    getVariable(runtime, "ELEMENTDEATHRATE:1:FIRE", 50, true);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTDEATHRATE:1:FIRE").value, 50);
    EXPECT_EQ(elements.get(fire)->totalDeathRate, 150);         // the total follows the rates
    getVariable(runtime, "ELEMENTDEATHRATE:9:FIRE", 70, true);  // out of range writes the first rule
    EXPECT_EQ(lookupValue(runtime, "ELEMENTDEATHRATE:0:FIRE").value, 70);
    EXPECT_EQ(lookupValue(runtime, "ELEMENTDEATHRATE:5:FIRE").value, 70);
}

TEST(Variables, GroupPseudoVariables) {
    Runtime runtime;
    ElementTable& elements = runtime.elements;
    int powders = elements.findGroup("Powders", true);
    uint16_t sand = elements.idOfName("Sand", true);
    uint16_t salt = elements.idOfName("Salt", true);
    elements.addToGroup(powders, salt, 20);
    elements.addToGroup(powders, sand, 10);

    EXPECT_EQ(lookupValue(runtime, "GROUP:Powders").value, powders);
    EXPECT_EQ(lookupValue(runtime, "GROUP:Nope").value, 0);
    EXPECT_EQ(lookupValue(runtime, "GROUP:Powders:1").value, sand);  // sorted by member key
    EXPECT_EQ(lookupValue(runtime, "GROUP:Powders:0").value, sand);  // 0 reads like 1
    EXPECT_EQ(lookupValue(runtime, "GROUP:Powders:2").value, salt);
    EXPECT_EQ(lookupValue(runtime, "GROUP:Powders:3").value, 0);
    EXPECT_EQ(lookupValue(runtime, "GROUP:" + std::to_string(powders) + ":2").value, salt);
    EXPECT_EQ(lookupValue(runtime, "GROUPORDER:Powders:2").value, 20);
    EXPECT_EQ(lookupValue(runtime, "GROUPORDER:Powders").kind, ValueKind::Nothing);
    EXPECT_EQ(lookupValue(runtime, "COUNT:GROUP:Powders").value, 2);
    EXPECT_EQ(lookupValue(runtime, "COUNT:GROUP:" + std::to_string(powders)).value, 2);
    EXPECT_EQ(lookupValue(runtime, "COUNT:GROUPS").value, 2);
}

TEST(Variables, LookupReadsParametersLiteralsAndVariables) {
    Runtime runtime;
    EXPECT_EQ(lookupValue(runtime, "$3").kind, ValueKind::Nothing);  // no frame yet
    runtime.parameters.push(ParameterFrame{0, 0, 0, 33});
    EXPECT_EQ(lookupValue(runtime, "$3").value, 33);
    EXPECT_EQ(lookupValue(runtime, "$x").kind, ValueKind::Nothing);
    EXPECT_EQ(lookupValue(runtime, "$33").kind, ValueKind::Nothing);
    EXPECT_EQ(lookupValue(runtime, "0x1F").value, 31);
    EXPECT_EQ(lookupValue(runtime, "UNKNOWN").kind, ValueKind::Nothing);
    EXPECT_EQ(runtime.variables.find("UNKNOWN"), nullptr);  // reading never creates
    getVariable(runtime, "KNOWN", -4, true);
    EXPECT_EQ(lookupValue(runtime, "KNOWN").value, -4);
}

}  // namespace
}  // namespace ef2
