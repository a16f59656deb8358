// The expression parser against the reference: random formulas, well formed
// and not, parsed by both in twin runtimes. Validity, the value, the DEBUGVAR
// trace and the variables the parse created must agree.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "script/expression.h"
#include "support/reference_expression.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

// Formulas from a small grammar with every rule and quirk in reach: groups
// balanced and not, functions with a rest, trigger calls, quotes and escapes,
// arrays, parameters, percentages, unknown operators, odd blanks.
class FormulaMaker {
public:
    explicit FormulaMaker(unsigned seed) : random_(seed) {}

    std::string formula(int depth = 0) {
        switch (pick(depth > 3 ? 2 : 7)) {
            case 0: return atom();
            case 1: return chain(depth);
            case 2: return group(depth);
            case 3:
                return pick(4) == 0
                           ? "SQRT " + operand(depth)
                           : pick(kFunctions) + " " + operand(depth) +
                                 (pick(2) ? blank() + pick(kOperators) + blank() + chain(depth) : "");
            case 4:
                return "*T" + std::string(pick(2) ? "" : "U") + (pick(2) ? blank() + atom() : "") +
                       (pick(2) ? blank() + operand(depth) : "");
            case 5: return "\"" + chain(depth) + "\"";
            default: return chain(depth);
        }
    }

private:
    static inline const std::vector<std::string> kAtoms = {
        "A",
        "B",
        "C",
        "I",
        "7",
        "-3",
        "0x10",
        "010",
        "50%",
        "12.5%",
        "$0",
        "$1",
        "$x",
        "A[I]",
        "A[]",
        "[2]",
        "ELEMENTWEIGHT:Sand",
        "GROUP:Stuff:0",
        "X1)",
        "(B",
        ")",
        "(",
        "2+3",
        "SIN",
        "\"A\"",
        "\"B\\\"C\"",
        "<A",
        "B>",
        "NEW1",
        "Q",
    };
    static inline const std::vector<std::string> kOperators = {
        "+", "-",  "*",    "/",     "%",       "&",   "&&",  "|", "||", "!=", "==", "<",   "<=",
        ">", ">=", "RAND", "PIXEL", "INGROUP", "MIN", "MAX", "^", "+",  "-",  "*",  "foo",
    };
    static inline const std::vector<std::string> kFunctions = {"SIN",   "COS",   "TAN", "SIN-1",
                                                               "COS-1", "TAN-1", "SQRT"};

    int pick(int count) { return static_cast<int>(random_() % static_cast<unsigned>(count)); }
    const std::string& pick(const std::vector<std::string>& from) {
        return from[pick(static_cast<int>(from.size()))];
    }
    std::string blank() {
        switch (pick(12)) {
            case 0: return "  ";
            case 1: return "\t";
            default: return " ";
        }
    }
    std::string atom() { return pick(kAtoms); }
    std::string operand(int depth) { return pick(3) == 0 ? group(depth) : atom(); }
    std::string group(int depth) {
        std::string inside = formula(depth + 1);
        switch (pick(6)) {
            case 0: return "(" + inside;
            case 1: return inside + ")";
            case 2: return "((" + inside + "))";
            case 3: return "( " + inside + " )";
            default: return "(" + inside + ")";
        }
    }
    std::string chain(int depth) {
        std::string text = operand(depth);
        const int length = pick(6);
        for (int i = 0; i < length; ++i) {
            if (pick(20) == 0) {
                text += blank() + operand(depth);  // a missing operator
            } else {
                text += blank() + pick(kOperators) + blank() + operand(depth);
            }
        }
        if (pick(15) == 0) text += blank();
        return text;
    }

    std::mt19937 random_;
};

// Twin runtimes with the same variables, elements, group and triggers.
void prepare(Runtime& runtime) {
    runtime.world.create(10, 10);
    runtime.interpreter.pushFrame(ParameterFrame{4, 9});
    test::defineElement(runtime, "Sand", 300);
    runtime.parser.parseText(
        "A = 5\nB = -3\nC = 7\nI = 2\nA2 = 11\nA0 = 13\nGROUP Stuff ADD Sand 0\n"
        "TRIGGER T {\nRETURN ($0 + $1)\n}\nTRIGGER TU {\nINC SIDE\nRETURN -1\n}\n",
        0, std::nullopt);
}

std::vector<std::string> variableNames(const Runtime& runtime) {
    std::vector<std::string> names;
    for (const Variable& variable : runtime.variables.all()) names.push_back(variable.name);
    return names;
}

// Parses and evaluates `text` in both twins; a description of the first
// difference, or nothing when they agree.
class Twins {
public:
    Twins() {
        for (Runtime* runtime : {&current_, &reference_}) {
            prepare(*runtime);
            runtime->variables.obtain("DEBUGVAR", 1, true);
            runtime->interpreter.bindDebugVariables();
        }
    }

    std::string difference(const std::string& text, uint32_t seed, bool& valid) {
        current_.random.seed(seed);
        reference_.random.seed(seed);
        testing::internal::CaptureStdout();
        Expression parsed(current_, text);
        const int32_t value = parsed.evaluate(current_);
        const std::string trace = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        reference::ReferenceExpression expected(reference_, text);
        const int32_t expectedValue = expected.evaluate(reference_);
        const std::string expectedTrace = testing::internal::GetCapturedStdout();
        valid = parsed.isValid();
        if (parsed.isValid() != expected.isValid()) return "validity " + std::to_string(parsed.isValid());
        if (value != expectedValue)
            return "value " + std::to_string(value) + " not " + std::to_string(expectedValue);
        if (trace != expectedTrace) return "trace\n" + trace + "not\n" + expectedTrace;
        if (variableNames(current_) != variableNames(reference_)) return "variables";
        if (parsed.text() != expected.text()) return "text";
        return {};
    }

private:
    Runtime current_, reference_;
};

// The shortest text found by dropping characters that still shows a difference.
std::string shrink(const std::string& text, uint32_t seed) {
    std::string smallest = text;
    bool progress = true;
    bool ignored = false;
    while (progress) {
        progress = false;
        for (std::size_t width : {16u, 4u, 1u}) {
            for (std::size_t at = 0; at + width <= smallest.size(); ++at) {
                std::string shorter = smallest.substr(0, at) + smallest.substr(at + width);
                if (!Twins().difference(shorter, seed, ignored).empty()) {
                    smallest = shorter;
                    progress = true;
                }
            }
        }
    }
    return smallest;
}

TEST(ExpressionReference, RandomFormulasAgreeWithTheReference) {
    // EF2_FORMULA_SEED and EF2_FORMULA_COUNT explore further than the suite does.
    const char* seedText = std::getenv("EF2_FORMULA_SEED");
    const char* countText = std::getenv("EF2_FORMULA_COUNT");
    FormulaMaker maker(seedText ? static_cast<unsigned>(std::atoi(seedText)) : 20261207u);
    const int rounds = countText ? std::atoi(countText) : 3000;
    Twins twins;
    int validCount = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string text = maker.formula();
        const uint32_t seed = static_cast<uint32_t>(round);
        bool valid = false;
        const std::string difference = twins.difference(text, seed, valid);
        if (!difference.empty()) {
            const std::string smallest = shrink(text, seed);
            FAIL() << "formula: " << text << "\nshortest that differs: " << smallest << "\n"
                   << Twins().difference(smallest, seed, valid);
        }
        validCount += valid ? 1 : 0;
    }
    // The grammar reaches both outcomes plenty of times.
    EXPECT_GT(validCount, rounds / 4);
    EXPECT_LT(validCount, rounds * 9 / 10);
}

}  // namespace
}  // namespace ef2
