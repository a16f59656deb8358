#pragma once
// Integer formulas: every numeric argument of every statement.
//
// An expression is parsed once, when its statement is read, and evaluated each
// time the statement runs. All operators have the same precedence and group to
// the left (`2 + 3 * 4` is 20); parentheses group only as whole tokens. Plain
// variable names are bound when parsed, so evaluation never searches a name;
// element and group pseudo-variables and array elements are looked up at every
// evaluation.
//
// With one precedence grouping to the left, a formula is a left fold over its
// tokens: the text is read once, and every node's text is a view into the
// text of the formula it belongs to. A chain of operators is evaluated in a
// loop, so its length costs no stack.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/chance.h"
#include "script/trigger.h"
#include "script/variable_table.h"

namespace ef2 {

class ScriptContext;
class Tokenizer;
class Expression;

// Up to ten parameter expressions; absent slots are null.
using ParameterList = std::vector<std::unique_ptr<Expression>>;
constexpr int kMaxParameters = 10;

// Percentages are chances unless a statement gives them another base.
constexpr int32_t kDefaultPercentBase = kChanceScale;

class Expression {
public:
    // ORDER: the binary operators, Add to Power, stay together (isChainOperator).
    enum class Op : uint8_t {
        Invalid,
        Constant,
        Variable,
        Lookup,
        Parameter,
        Array,
        TriggerCall,
        Grouping,
        Add,
        Subtract,
        Multiply,
        Divide,
        Remainder,
        BitAnd,
        LogicalAnd,
        BitOr,
        LogicalOr,
        NotEqual,
        Equal,
        Less,
        LessEqual,
        Greater,
        GreaterEqual,
        Rand,
        Pixel,
        InGroup,
        Min,
        Max,
        Power,
        Sin,
        Cos,
        Tan,
        ArcSin,
        ArcCos,
        ArcTan,
        Sqrt,
    };

    Expression(ScriptContext& context, std::string_view text, int32_t percentBase = kDefaultPercentBase);
    ~Expression();
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;

    bool isValid() const { return op_ != Op::Invalid; }
    int32_t evaluate(ScriptContext& context) const;
    // The text the expression was parsed from, as statements print it.
    std::string text() const { return std::string(source_); }

private:
    class Parser;
    using SharedText = std::shared_ptr<const std::string>;

    Expression() = default;
    static bool isChainOperator(Op op) { return op >= Op::Add && op <= Op::Power; }
    int32_t compute(ScriptContext& context) const;
    int32_t evaluateChain(ScriptContext& context) const;
    // Counts the operators down the left side, this one included.
    void measureChain() { chainLength_ = isChainOperator(op_) ? 1 + (left_ ? left_->chainLength_ : 0) : 0; }
    int32_t applyOperator(ScriptContext& context, int32_t left, int32_t drawn) const;
    int32_t computeLeaf(ScriptContext& context) const;
    int32_t callTrigger(ScriptContext& context) const;

    Op op_ = Op::Invalid;
    int32_t constant_ = 0;
    Variable* variable_ = nullptr;
    TriggerRef trigger_;
    std::string token_;        // the name a lookup leaf reads
    SharedText owner_;         // the text that source_ views
    std::string_view source_;  // empty for the inner node of a function
    bool hasSource_ = false;
    std::unique_ptr<Expression> left_;
    std::unique_ptr<Expression> right_;
    std::unique_ptr<ParameterList> parameters_;
    uint32_t chainLength_ = 0;         // see measureChain
    mutable bool announcing_ = false;  // DEBUGVAR: being evaluated right now
};

// Reads the rest of the line as up to ten single-token expressions. Stops at
// the end, at a token that is not a valid expression (left unread) or after
// the tenth. Null when nothing was read.
std::unique_ptr<ParameterList> parseParameterList(ScriptContext& context, Tokenizer& tokens);

// As above; when the very first remaining token equals `terminator` it is
// consumed and `terminatorFound` is set instead.
std::unique_ptr<ParameterList> parseParameterList(ScriptContext& context, Tokenizer& tokens,
                                                  std::string_view terminator, bool& terminatorFound);

// The operator of a token, or nothing when the token is not an operator.
std::optional<Expression::Op> operatorOf(std::string_view token);

}  // namespace ef2
