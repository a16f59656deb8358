// The first expression parser, kept as the reference (see reference_expression.h).

#include "support/reference_expression.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "app/runtime.h"
#include "script/number_text.h"
#include "script/tokenizer.h"
#include "script/variables.h"

namespace ef2::reference {

std::unique_ptr<ReferenceParameterList> referenceParameterList(Runtime& runtime, Tokenizer& tokens);
std::unique_ptr<ReferenceParameterList> referenceParameterList(Runtime& runtime, Tokenizer& tokens,
                                                               std::string_view terminator,
                                                               bool& terminatorFound);

namespace {

// Sub-expressions nest by recursion; these bounds keep a hostile line from
// exhausting the stack or taking quadratic time. No sensible formula comes
// near them.
constexpr int kMaxExpressionTokens = 2000;
constexpr int kMaxExpressionDepth = kMaxExpressionTokens / 2 + 100;
// Every node keeps its source text, so the text's length bounds the memory
// a formula may take.
constexpr std::size_t kMaxExpressionLength = 16384;

constexpr double kPi = 3.141592654;

struct NamedOp {
    std::string_view token;
    Expression::Op op;
};

constexpr NamedOp kOperators[] = {
    {"+", Expression::Op::Add},           {"-", Expression::Op::Subtract},
    {"*", Expression::Op::Multiply},      {"/", Expression::Op::Divide},
    {"%", Expression::Op::Remainder},     {"&", Expression::Op::BitAnd},
    {"&&", Expression::Op::LogicalAnd},   {"|", Expression::Op::BitOr},
    {"||", Expression::Op::LogicalOr},    {"!=", Expression::Op::NotEqual},
    {"==", Expression::Op::Equal},        {"<", Expression::Op::Less},
    {"<=", Expression::Op::LessEqual},    {">", Expression::Op::Greater},
    {">=", Expression::Op::GreaterEqual}, {"RAND", Expression::Op::Rand},
    {"PIXEL", Expression::Op::Pixel},     {"INGROUP", Expression::Op::InGroup},
    {"MIN", Expression::Op::Min},         {"MAX", Expression::Op::Max},
    {"^", Expression::Op::Power},
};

constexpr NamedOp kFunctions[] = {
    {"SIN", Expression::Op::Sin},      {"COS", Expression::Op::Cos},      {"SQRT", Expression::Op::Sqrt},
    {"TAN", Expression::Op::Tan},      {"SIN-1", Expression::Op::ArcSin}, {"COS-1", Expression::Op::ArcCos},
    {"TAN-1", Expression::Op::ArcTan},
};

std::optional<Expression::Op> functionOf(std::string_view token) {
    for (const NamedOp& entry : kFunctions) {
        if (entry.token == token) return entry.op;
    }
    return std::nullopt;
}

int countTokens(std::string_view text) {
    Tokenizer tokens(text);
    int count = 0;
    while (count <= kMaxExpressionTokens && tokens.nextToken(false)) ++count;
    return count;
}

// The whole token reads as one integer (sign, 0x hexadecimal, leading-zero octal).
std::optional<int32_t> wholeInteger(std::string_view token) {
    std::optional<ScannedInteger> scanned = scanIntegerPrefix(token);
    if (!scanned || scanned->length != token.size()) return std::nullopt;
    return scanned->value;
}

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapSubtract(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t wrapMultiply(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Repeated 32-bit multiplication, by squaring so that huge exponents stay quick.
int32_t wrapPower(int32_t base, int32_t exponent) {
    if (exponent <= 0) return 1;
    uint32_t result = 1, factor = static_cast<uint32_t>(base);
    for (uint32_t e = static_cast<uint32_t>(exponent); e != 0; e >>= 1) {
        if (e & 1) result *= factor;
        factor *= factor;
    }
    return static_cast<int32_t>(result);
}

// A floating-point result truncated toward zero; not-a-number and values
// outside 32 bits become the lowest integer, as the hardware conversion does.
int32_t truncated(double value) {
    if (std::isnan(value) || value >= 2147483648.0 || value <= -2147483649.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t applyFunction(Expression::Op op, int32_t x) {
    switch (op) {
        case Expression::Op::Sin: return truncated(1000.0 * std::sin(x * kPi / 180000.0));
        case Expression::Op::Cos: return truncated(1000.0 * std::cos(x * kPi / 180000.0));
        case Expression::Op::Tan: return truncated(1000.0 * std::tan(x * kPi / 180000.0));
        case Expression::Op::ArcSin: return truncated(std::asin(x / 1000.0) * 180000.0 / kPi);
        case Expression::Op::ArcCos: return truncated(std::acos(x / 1000.0) * 180000.0 / kPi);
        case Expression::Op::ArcTan: return truncated(std::atan(x / 1000.0) * 180000.0 / kPi);
        case Expression::Op::Sqrt: return truncated(std::sqrt(static_cast<double>(x)));
        default: return 0;
    }
}

// Reads all remaining tokens; with at least three, leaves the cursor after
// the third-last and returns the text from the line's start up to there.
std::optional<std::string> prefixBeforeLastTwo(Tokenizer& tokens) {
    std::vector<std::size_t> ends;
    while (tokens.nextToken(false)) ends.push_back(tokens.cursor());
    if (ends.size() < 3) return std::nullopt;
    tokens.setCursor(ends[ends.size() - 3]);
    return std::string(tokens.text().substr(0, tokens.cursor()));
}

}  // namespace

std::optional<Expression::Op> referenceOperatorOf(std::string_view token) {
    for (const NamedOp& entry : kOperators) {
        if (entry.token == token) return entry.op;
    }
    return std::nullopt;
}

ReferenceExpression::ReferenceExpression(Runtime& runtime, std::string_view text, int32_t percentBase)
    : ReferenceExpression(runtime, text, percentBase, 0) {}

ReferenceExpression::ReferenceExpression(Runtime& runtime, std::string_view text, int32_t percentBase,
                                         int depth) {
    if (text.size() > kMaxExpressionLength) return;
    source_ = std::string(text);
    hasSource_ = true;
    parse(runtime, text, percentBase, depth);
}

ReferenceExpression::~ReferenceExpression() = default;

void ReferenceExpression::parse(Runtime& runtime, std::string_view text, int32_t percentBase, int depth) {
    op_ = Op::Invalid;
    if (depth > kMaxExpressionDepth) return;
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return;
    text.remove_prefix(text.find_first_not_of(' '));
    // One leading '(' and one trailing ')' go, independently of each other.
    const bool opened = !text.empty() && text.front() == '(';
    if (opened) text.remove_prefix(1);
    if (!text.empty() && text.back() == ')') text.remove_suffix(1);

    std::string stripped(text);
    // Opening a parenthesised token may reveal a whole formula: count again.
    if ((depth == 0 || opened) && countTokens(stripped) > kMaxExpressionTokens) return;
    Tokenizer tokens(stripped);
    std::optional<std::string> firstToken = tokens.nextToken(true);
    if (!firstToken) return;  // "()" holds nothing
    if (parseFunction(runtime, tokens, *firstToken, depth)) return;
    if (firstToken->size() >= 2 && (*firstToken)[0] == '*') {
        parseTriggerCall(runtime, tokens, *firstToken, depth);
        return;
    }
    tokens.rewind();
    parseBinary(runtime, tokens, percentBase, depth);
}

// SIN x [op rest]: the function of one token, then optionally an operator and
// the rest of the line as its right operand.
bool ReferenceExpression::parseFunction(Runtime& runtime, Tokenizer& tokens, const std::string& first,
                                        int depth) {
    std::optional<Op> function = functionOf(first);
    if (!function) return false;
    std::optional<std::string> argument = tokens.nextToken(true);
    auto inner = std::unique_ptr<ReferenceExpression>(new ReferenceExpression());
    inner->op_ = *function;
    inner->left_.reset(
        new ReferenceExpression(runtime, argument.value_or(""), kDefaultPercentBase, depth + 1));
    if (!inner->left_->isValid()) return true;  // this node stays invalid

    std::optional<std::string> operatorToken = tokens.nextToken(true);
    std::optional<std::string> rest = tokens.restOfLine();
    if (!operatorToken || !rest) {
        op_ = Op::Grouping;
        left_ = std::move(inner);
        return true;
    }
    std::optional<Op> binary = referenceOperatorOf(*operatorToken);
    if (!binary) return true;
    auto grouping = std::unique_ptr<ReferenceExpression>(new ReferenceExpression());
    grouping->op_ = Op::Grouping;
    grouping->left_ = std::move(inner);
    left_ = std::move(grouping);
    right_.reset(new ReferenceExpression(runtime, *rest, kDefaultPercentBase, depth + 1));
    op_ = right_->isValid() ? *binary : Op::Invalid;
    return true;
}

// *NAME p1 p2 ...: run trigger NAME with the parameters; its RETURN is the value.
void ReferenceExpression::parseTriggerCall(Runtime& runtime, Tokenizer& tokens, const std::string& first,
                                           int) {
    trigger_ = runtime.interpreter.findTrigger(std::string_view(first).substr(1), 0);
    parameters_ = referenceParameterList(runtime, tokens);
    op_ = Op::TriggerCall;
}

// left op right: everything before the last two tokens, the second-last
// token, and the last token.
void ReferenceExpression::parseBinary(Runtime& runtime, Tokenizer& tokens, int32_t percentBase, int depth) {
    std::optional<std::string> prefix = prefixBeforeLastTwo(tokens);
    if (!prefix) {
        tokens.rewind();
        std::optional<std::string> only = tokens.nextToken(true);
        std::optional<std::string> second = tokens.nextToken(true);
        std::optional<std::string> rest = tokens.restOfLine();
        if (!only) return;
        if (!second || !rest) {
            parseLeaf(runtime, *only, percentBase, depth);
            return;
        }
        prefix = only;
        std::optional<Op> binary = referenceOperatorOf(*second);
        if (!binary) return;
        left_.reset(new ReferenceExpression(runtime, *prefix, kDefaultPercentBase, depth + 1));
        right_.reset(new ReferenceExpression(runtime, *rest, kDefaultPercentBase, depth + 1));
        setBinary(*binary);
        return;
    }
    std::optional<std::string> operatorToken = tokens.nextToken(false);
    std::optional<std::string> last = tokens.nextToken(false);
    std::optional<Op> binary = referenceOperatorOf(operatorToken.value_or(""));
    if (!binary) return;
    left_.reset(new ReferenceExpression(runtime, *prefix, kDefaultPercentBase, depth + 1));
    right_.reset(new ReferenceExpression(runtime, last.value_or(""), kDefaultPercentBase, depth + 1));
    setBinary(*binary);
}

// A formula with an operand that cannot be parsed cannot be parsed either.
void ReferenceExpression::setBinary(Op op) {
    op_ = left_->isValid() && right_->isValid() ? op : Op::Invalid;
}

void ReferenceExpression::parseLeaf(Runtime& runtime, const std::string& token, int32_t percentBase,
                                    int depth) {
    if (token.size() >= 1 && token[0] == '$') {
        if (token.size() >= 2 && token[1] >= '0' && token[1] <= '9') {
            op_ = Op::Parameter;
            constant_ = token[1] - '0';
        } else {
            op_ = Op::Constant;  // a name that always reads 0
            constant_ = 0;
        }
        return;
    }
    if (!token.empty() && token.back() == '%') {
        std::optional<double> share = scanDecimal(std::string_view(token).substr(0, token.size() - 1));
        op_ = Op::Constant;
        constant_ = share ? truncated(static_cast<double>(percentBase) * *share / 100.0) : 0;
        return;
    }
    if (std::optional<int32_t> value = wholeInteger(token)) {
        op_ = Op::Constant;
        constant_ = *value;
        return;
    }
    if (token.starts_with("ELEMENT") || token.starts_with("GROUP:") || token.starts_with("COUNT:GROUP:") ||
        token.starts_with("COUNT:GROUPS")) {
        op_ = Op::Lookup;
        token_ = token;
        return;
    }
    std::size_t open = token.find('[');
    std::size_t close = token.find(']');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        op_ = Op::Array;
        left_.reset(new ReferenceExpression(runtime, token.substr(0, open), kDefaultPercentBase, depth + 1));
        right_.reset(new ReferenceExpression(runtime, token.substr(open + 1, close - open - 1),
                                             kDefaultPercentBase, depth + 1));
        // "A[]" reads A0, and "[I]" reads the number alone: no part needs a text.
        return;
    }
    op_ = Op::Variable;
    variable_ = runtime.variables.obtain(token, 0, false);
}

int32_t ReferenceExpression::evaluate(Runtime& runtime) const {
    const Variable* debug = runtime.interpreter.debugVar();
    if (debug && debug->value != 0 && hasSource_ && !announcing_) {
        std::printf("calculating var: %s\n", source_.c_str());
        announcing_ = true;
        int32_t value = compute(runtime);
        announcing_ = false;
        std::printf("calculated  var: %s = %i\n", source_.c_str(), value);
        return value;
    }
    return compute(runtime);
}

int32_t ReferenceExpression::compute(Runtime& runtime) const {
    switch (op_) {
        case Op::Invalid: return 0;
        case Op::Constant: return constant_;
        case Op::Variable: return variable_->value;
        case Op::Lookup: {
            LookupResult result = lookupValue(runtime, token_);
            return result.kind == ValueKind::Number ? result.value : 0;
        }
        case Op::Parameter: {
            const ParameterFrame* frame = runtime.parameters.top();
            return frame ? (*frame)[constant_] : 0;
        }
        case Op::Array: {
            std::string name = left_->source_ + std::to_string(right_->evaluate(runtime));
            LookupResult result = lookupValue(runtime, name);
            return result.kind == ValueKind::Number ? result.value : 0;
        }
        case Op::TriggerCall: return callTrigger(runtime);
        case Op::Grouping: return left_->evaluate(runtime);
        case Op::Sin:
        case Op::Cos:
        case Op::Tan:
        case Op::ArcSin:
        case Op::ArcCos:
        case Op::ArcTan:
        case Op::Sqrt: return applyFunction(op_, left_->evaluate(runtime));
        case Op::LogicalAnd:
            if (left_->evaluate(runtime) == 0) return 0;
            return right_->evaluate(runtime) != 0 ? 1 : 0;
        case Op::LogicalOr:
            if (left_->evaluate(runtime) != 0) return 1;
            return right_->evaluate(runtime) != 0 ? 1 : 0;
        case Op::Rand: {
            int32_t r = runtime.random.next();  // drawn before the operands
            int32_t low = left_->evaluate(runtime);
            int32_t high = right_->evaluate(runtime);
            return wrapAdd(low, wrapMultiply(r, wrapSubtract(high, low)) / 32768);
        }
        default: break;
    }
    const int32_t a = left_->evaluate(runtime);
    const int32_t b = right_->evaluate(runtime);
    switch (op_) {
        case Op::Add: return wrapAdd(a, b);
        case Op::Subtract: return wrapSubtract(a, b);
        case Op::Multiply: return wrapMultiply(a, b);
        case Op::Divide:
            if (b == 0) return 0;
            if (b == -1) return wrapSubtract(0, a);  // the lowest integer divided by -1 stays itself
            return a / b;
        case Op::Remainder: return (b == 0 || b == -1) ? 0 : a % b;
        case Op::BitAnd: return a & b;
        case Op::BitOr: return a | b;
        case Op::NotEqual: return a != b;
        case Op::Equal: return a == b;
        case Op::Less: return a < b;
        case Op::LessEqual: return a <= b;
        case Op::Greater: return a > b;
        case Op::GreaterEqual: return a >= b;
        case Op::Pixel: return runtime.world.interiorCell(a, b);
        case Op::InGroup: {
            const ElementGroup* group = runtime.elements.group(b);
            if (!group) return 0;
            for (uint16_t member : group->members) {
                if (member == static_cast<uint32_t>(a)) return 1;
            }
            return 0;
        }
        case Op::Min: return a < b ? a : b;
        case Op::Max: return a > b ? a : b;
        case Op::Power: return wrapPower(a, b);
        default: return 0;
    }
}

int32_t ReferenceExpression::callTrigger(Runtime& runtime) const {
    Interpreter& interpreter = runtime.interpreter;
    int32_t value = 0;
    if (parameters_) {
        ParameterFrame frame{};
        for (std::size_t slot = 0; slot < parameters_->size() && slot < frame.size(); ++slot) {
            if ((*parameters_)[slot]) frame[slot] = (*parameters_)[slot]->evaluate(runtime);
        }
        value = interpreter.runWithFrame(trigger_.trigger, frame);
    } else {
        value = interpreter.runTrigger(trigger_.trigger);
    }
    interpreter.clearReturn();
    return value;
}

std::unique_ptr<ReferenceParameterList> referenceParameterList(Runtime& runtime, Tokenizer& tokens) {
    bool unused = false;
    return referenceParameterList(runtime, tokens, {}, unused);
}

std::unique_ptr<ReferenceParameterList> referenceParameterList(Runtime& runtime, Tokenizer& tokens,
                                                               std::string_view terminator,
                                                               bool& terminatorFound) {
    terminatorFound = false;
    auto list = std::make_unique<ReferenceParameterList>();
    bool first = true;
    while (static_cast<int>(list->size()) < kMaxParameters) {
        std::size_t before = tokens.cursor();
        std::optional<std::string> token = tokens.nextToken(true);
        if (!token) break;
        if (first && !terminator.empty() && *token == terminator) {
            terminatorFound = true;
            return nullptr;
        }
        first = false;
        auto parameter = std::make_unique<ReferenceExpression>(runtime, *token);
        if (!parameter->isValid()) {
            tokens.setCursor(before);
            break;
        }
        list->push_back(std::move(parameter));
    }
    if (list->empty()) return nullptr;
    return list;
}

}  // namespace ef2::reference
