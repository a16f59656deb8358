// The world linked with the script engine alone: no window, files, statements
// or program. A context of the test's own puts the two lowest layers together
// the way the program's Runtime does.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "script/script_context.h"
#include "world/element_table.h"
#include "world/element_variables.h"
#include "world/physics.h"
#include "world/random.h"
#include "world/world.h"

namespace ef2 {
namespace {

class AssignStatement : public Action {
public:
    AssignStatement(std::string name, std::unique_ptr<Expression> value)
        : name_(std::move(name)), value_(std::move(value)) {}
    void execute(ScriptContext& context) override {
        getVariable(context, name_, value_->evaluate(context), true);
    }

private:
    std::string name_;
    std::unique_ptr<Expression> value_;
};

ActionPtr parseAssignment(StatementReader& reader) {
    std::unique_ptr<Expression> value = reader.expression(reader.next());
    if (!value || !reader.atEnd()) return nullptr;
    return std::make_shared<AssignStatement>(reader.firstWord, std::move(value));
}

const std::vector<Keyword>& assignmentsOnly() {
    static const std::vector<Keyword> table = {{"=", parseAssignment, KeywordForm::SecondWord}};
    return table;
}

class WorldContext final : public ScriptContext, private ElementNameContext {
public:
    WorldContext()
        : ScriptContext(assignmentsOnly()), elements(rebuild, *this), world(variables, elements, rebuild) {
        parameters.push(ParameterFrame{});
    }

    RebuildRequest rebuild;
    Random random;
    ElementTable elements;
    World world;
    std::vector<std::string> lines;

    void printLine(std::string_view text, int32_t) override { lines.emplace_back(text); }
    int32_t randomNumber() override { return random.next(); }
    int32_t worldCell(int32_t x, int32_t y) override { return world.interiorCell(x, y); }
    bool inGroup(int32_t, int32_t) override { return false; }
    bool isWorldName(std::string_view name) override { return isElementVariableName(name); }
    std::optional<LookupResult> readWorldName(std::string_view name) override {
        return readElementVariable(*this, elements, name);
    }
    bool writeWorldName(std::string_view name, int32_t value, bool overwrite) override {
        return writeElementVariable(*this, elements, name, value, overwrite);
    }

private:
    std::string messageText() override { return message.text(); }
    std::optional<int32_t> evaluateNumber(std::string_view text) override {
        LookupResult result = lookupValue(*this, text);
        if (result.kind != ValueKind::Number) return std::nullopt;
        return result.value;
    }
    void report(std::string_view line) override { lines.emplace_back(line); }
};

TEST(WorldAlone, ElementsDefinedThroughScriptNamesFallInTheWorld) {
    WorldContext context;
    context.world.create(3, 5);
    // A world option and two elements, set the way a script sets them.
    context.parser.parseText("BORDER = 1\nELEMENTWEIGHT:Stone = 2000\nELEMENTWEIGHT:Cloud = -2000\n", 0,
                             std::nullopt);
    const uint16_t stone = context.elements.idOfName("Stone", false);
    const uint16_t cloud = context.elements.idOfName("Cloud", false);
    ASSERT_NE(stone, 0) << "the script name made the element";
    EXPECT_EQ(lookupValue(context, "ELEMENTWEIGHT:Stone").value, 2000);
    EXPECT_EQ(lookupValue(context, "ELEMENT:Cloud").value, cloud);

    const auto step = [&context] {
        physicsStep(context.world, context.random, [](Trigger*, uint16_t, uint16_t, int, int, int, int) {});
    };
    step();  // the frame rows take the border's walls
    context.world.setCell(2, 1, stone);
    context.world.setCell(2, 5, cloud);
    for (int steps = 0; steps < 10; ++steps) step();
    EXPECT_EQ(context.world.interiorCell(2, 5), stone) << "the stone fell to the floor";
    EXPECT_EQ(context.world.interiorCell(2, 1), cloud) << "the cloud rose to the top";
    EXPECT_TRUE(context.lines.empty()) << context.lines.front();
}

}  // namespace
}  // namespace ef2
