#include "script/expression.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "script/number_text.h"
#include "script/script_context.h"
#include "script/tokenizer.h"
#include "script/variables.h"

namespace ef2 {

namespace {

// Parentheses, function arguments and array indices nest by recursion, in
// parsing and in evaluating; deeper nesting than this would only serve to
// exhaust the stack. Chains of operators are read and evaluated in loops and
// need no such bound.
constexpr int kMaxNesting = 1000;
// Every token becomes a node; a formula of more tokens than this is refused
// so that one hostile line cannot take much memory. No sensible formula comes
// near it.
constexpr int kMaxExpressionTokens = 100'000;
// Chains of up to this many operators are evaluated by recursion (quicker);
// longer ones in a loop, so that their length costs no stack.
constexpr uint32_t kRecursiveChain = 64;

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

}  // namespace

std::optional<Expression::Op> operatorOf(std::string_view token) {
    for (const NamedOp& entry : kOperators) {
        if (entry.token == token) return entry.op;
    }
    return std::nullopt;
}

// Reads one formula. Every node it makes views the text it was given (or,
// for a quoted token whose escapes had to be resolved, a copy of the token).
class Expression::Parser {
public:
    explicit Parser(ScriptContext& context) : context_(context) {}

    // Fills `node` from `text`, which lies in `owner`.
    void parse(Expression& node, const SharedText& owner, std::string_view text, int32_t percentBase,
               int depth);

private:
    std::unique_ptr<Expression> child(const SharedText& owner, std::string_view text, int depth) {
        auto node = std::unique_ptr<Expression>(new Expression());
        parse(*node, owner, text, kDefaultPercentBase, depth);
        return node;
    }
    // A token's text as a view that lives as long as the nodes made from it.
    static std::pair<SharedText, std::string_view> kept(const SharedText& owner, const TokenSpan& token) {
        std::string storage;
        std::string_view text = token.text(storage);
        if (storage.empty() || text.data() != storage.data()) return {owner, text};
        auto copy = std::make_shared<const std::string>(std::move(storage));
        return {copy, *copy};
    }
    bool countTokens(int more) {
        tokens_ += more;
        return tokens_ <= kMaxExpressionTokens;
    }

    void parseFunction(Expression& node, const SharedText& owner, Tokenizer& tokens, Op function, int depth);
    void parseTriggerCall(Expression& node, Tokenizer& tokens, std::string_view first);
    void parseChain(Expression& node, const SharedText& owner, std::string_view text, int32_t percentBase,
                    int depth);
    void parseShort(Expression& node, const SharedText& owner, std::string_view text, int32_t percentBase,
                    int depth);
    void parseLeaf(Expression& node, const SharedText& owner, std::string_view token, int32_t percentBase,
                   int depth);

    ScriptContext& context_;
    int tokens_ = 0;
};

Expression::Expression(ScriptContext& context, std::string_view text, int32_t percentBase) {
    auto owner = std::make_shared<const std::string>(text);
    Parser(context).parse(*this, owner, *owner, percentBase, 0);
}

Expression::~Expression() = default;

// expression -> [ "(" ] body [ ")" ]
// body       -> function | "*" trigger parameters | chain
void Expression::Parser::parse(Expression& node, const SharedText& owner, std::string_view text,
                               int32_t percentBase, int depth) {
    node.owner_ = owner;
    node.source_ = text;
    node.hasSource_ = true;
    node.op_ = Op::Invalid;
    if (depth > kMaxNesting || text.find_first_not_of(" \t\r\n") == std::string_view::npos) return;
    text.remove_prefix(text.find_first_not_of(' '));
    // One leading '(' and one trailing ')' go, independently of each other.
    if (!text.empty() && text.front() == '(') text.remove_prefix(1);
    if (!text.empty() && text.back() == ')') text.remove_suffix(1);

    Tokenizer tokens(text);
    std::optional<TokenSpan> first = tokens.nextSpan(true);
    if (!first) return;  // "()" holds nothing
    std::string storage;
    std::string_view firstText = first->text(storage);
    if (std::optional<Op> function = functionOf(firstText)) {
        parseFunction(node, owner, tokens, *function, depth);
    } else if (firstText.size() >= 2 && firstText[0] == '*') {
        parseTriggerCall(node, tokens, firstText);
    } else {
        parseChain(node, owner, text, percentBase, depth);
    }
}

// function -> FUNCTION argument [ operator rest-of-line ]
// The function of one token, then optionally an operator and the rest of the
// line as its right operand; a trailing operator without operand is ignored.
void Expression::Parser::parseFunction(Expression& node, const SharedText& owner, Tokenizer& tokens,
                                       Op function, int depth) {
    auto inner = std::unique_ptr<Expression>(new Expression());
    inner->op_ = function;
    std::optional<TokenSpan> argument = tokens.nextSpan(true);
    auto [argumentOwner, argumentText] =
        argument ? kept(owner, *argument) : std::pair<SharedText, std::string_view>{owner, {}};
    inner->left_ = child(argumentOwner, argumentText, depth + 1);
    if (!inner->left_->isValid()) return;  // this node stays invalid

    std::optional<TokenSpan> operatorToken = tokens.nextSpan(true);
    std::optional<std::string_view> rest = tokens.restOfLineView();
    if (!operatorToken || !rest) {
        node.op_ = Op::Grouping;
        node.left_ = std::move(inner);
        return;
    }
    std::string storage;
    std::optional<Op> binary = operatorOf(operatorToken->text(storage));
    if (!binary) return;
    auto grouping = std::unique_ptr<Expression>(new Expression());
    grouping->op_ = Op::Grouping;
    grouping->left_ = std::move(inner);
    node.left_ = std::move(grouping);
    node.right_ = child(owner, *rest, depth + 1);
    node.op_ = node.right_->isValid() ? *binary : Op::Invalid;
    node.measureChain();
}

// "*" trigger parameters: run the trigger with the parameters; its RETURN is
// the value.
void Expression::Parser::parseTriggerCall(Expression& node, Tokenizer& tokens, std::string_view first) {
    node.trigger_ = context_.interpreter.findTrigger(first.substr(1), 0);
    node.parameters_ = parseParameterList(context_, tokens);
    node.op_ = Op::TriggerCall;
}

// chain -> operand { operator operand }
// The grammar joins everything before the last operator to the token after
// it, and reads that left part as a formula of its own; with one precedence
// this is a left fold, read here in one pass: the leftmost operand, then each
// operator with the token after it. A left part read on its own loses a
// trailing ')' (so every operand but the last does), and when it starts with
// '(' or ends in a lone ')' it splits into other tokens: such a left part is
// read on its own, and the fold goes on from there.
void Expression::Parser::parseChain(Expression& node, const SharedText& owner, std::string_view text,
                                    int32_t percentBase, int depth) {
    Tokenizer tokens(text);
    std::vector<TokenSpan> spans;
    while (std::optional<TokenSpan> span = tokens.nextSpan(false)) {
        if (!countTokens(1)) return;
        spans.push_back(*span);
    }
    if (spans.size() < 3) {
        parseShort(node, owner, text, percentBase, depth);
        return;
    }
    const auto endOf = [&](const TokenSpan& span) {
        return static_cast<std::size_t>(span.span.data() + span.span.size() - text.data());
    };
    const std::size_t operators = (spans.size() - 1) / 2;
    const std::size_t leading =
        spans.size() - 2 * operators;  // one token, or two of which the second is ignored
    const auto operandOf = [&](std::size_t pair) -> const TokenSpan& {
        return spans[leading + 2 * pair + 1];
    };
    std::size_t firstPair = 0;
    const std::size_t firstCharacter = text.find_first_not_of(' ');
    if (text[firstCharacter] == '(') {
        firstPair = operators - 1;
    } else {
        for (std::size_t pair = operators - 1; pair-- > 0;) {
            if (operandOf(pair).span == ")") {
                firstPair = pair + 1;
                break;
            }
        }
    }
    // The text of a left part. Only the left part of this chain's last
    // operator keeps the leading blanks: the left parts within it are cut
    // from it once it has lost them.
    const std::size_t blanks = firstCharacter;
    const auto prefixOf = [&](bool outermost, std::size_t end) {
        return outermost ? text.substr(0, end) : text.substr(blanks, end - blanks);
    };
    const auto operatorAt = [&](std::size_t pair) {
        std::string storage;
        return operatorOf(spans[leading + 2 * pair].text(storage));
    };
    // A word that is no operator makes its part invalid, and nothing left of
    // it is read at all (no variable of it is made).
    bool unread = false;
    for (std::size_t pair = operators; pair-- > firstPair;) {
        if (!operatorAt(pair)) {
            firstPair = pair + 1;
            unread = true;
            break;
        }
    }
    std::unique_ptr<Expression> left;
    if (unread) {
        left.reset(new Expression());
    } else {
        const std::size_t leftEnd =
            firstPair == 0 ? endOf(spans[leading - 1]) : endOf(operandOf(firstPair - 1));
        left = child(owner, prefixOf(firstPair + 1 == operators, leftEnd), depth + 1);
    }
    bool valid = left->isValid();
    for (std::size_t pair = firstPair; pair < operators; ++pair) {
        const Op binary = *operatorAt(pair);
        const bool last = pair + 1 == operators;
        TokenSpan operand = operandOf(pair);
        if (!last && operand.span.ends_with(')')) operand.span.remove_suffix(1);
        auto [operandOwner, operandText] = kept(owner, operand);
        std::unique_ptr<Expression> right = child(operandOwner, operandText, depth + 1);
        valid = valid && right->isValid();
        std::unique_ptr<Expression> made;
        Expression* level = &node;
        if (!last) {
            made.reset(new Expression());
            made->owner_ = owner;
            made->source_ = prefixOf(pair + 2 == operators, endOf(operandOf(pair)));
            made->hasSource_ = true;
            level = made.get();
        }
        level->left_ = std::move(left);
        level->right_ = std::move(right);
        level->op_ = valid ? binary : Op::Invalid;
        level->measureChain();
        if (!last) left = std::move(made);
    }
}

// Fewer than three tokens: the first is a leaf and the second is ignored,
// unless something follows the second (it can only be blanks that are not
// spaces), which is then the right operand.
void Expression::Parser::parseShort(Expression& node, const SharedText& owner, std::string_view text,
                                    int32_t percentBase, int depth) {
    Tokenizer tokens(text);
    std::optional<TokenSpan> only = tokens.nextSpan(true);
    std::optional<TokenSpan> second = tokens.nextSpan(true);
    std::optional<std::string_view> rest = tokens.restOfLineView();
    if (!only) return;
    auto [onlyOwner, onlyText] = kept(owner, *only);
    if (!second || !rest) {
        parseLeaf(node, onlyOwner, onlyText, percentBase, depth);
        return;
    }
    std::string storage;
    std::optional<Op> binary = operatorOf(second->text(storage));
    if (!binary) return;
    node.left_ = child(onlyOwner, onlyText, depth + 1);
    node.right_ = child(owner, *rest, depth + 1);
    node.op_ = node.left_->isValid() && node.right_->isValid() ? *binary : Op::Invalid;
    node.measureChain();
}

void Expression::Parser::parseLeaf(Expression& node, const SharedText& owner, std::string_view token,
                                   int32_t percentBase, int depth) {
    if (!token.empty() && token[0] == '$') {
        if (token.size() >= 2 && token[1] >= '0' && token[1] <= '9') {
            node.op_ = Op::Parameter;
            node.constant_ = token[1] - '0';
        } else {
            node.op_ = Op::Constant;  // a name that always reads 0
            node.constant_ = 0;
        }
        return;
    }
    if (!token.empty() && token.back() == '%') {
        std::optional<double> share = scanDecimal(token.substr(0, token.size() - 1));
        node.op_ = Op::Constant;
        node.constant_ = share ? truncated(static_cast<double>(percentBase) * *share / 100.0) : 0;
        return;
    }
    if (std::optional<int32_t> value = wholeInteger(token)) {
        node.op_ = Op::Constant;
        node.constant_ = *value;
        return;
    }
    if (context_.isWorldName(token)) {
        node.op_ = Op::Lookup;
        node.token_ = std::string(token);
        return;
    }
    std::size_t open = token.find('[');
    std::size_t close = token.find(']');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
        node.op_ = Op::Array;
        // "A[]" reads A0, and "[I]" reads the number alone: no part needs a text.
        node.left_ = child(owner, token.substr(0, open), depth + 1);
        node.right_ = child(owner, token.substr(open + 1, close - open - 1), depth + 1);
        return;
    }
    node.op_ = Op::Variable;
    node.variable_ = context_.variables.obtain(token, 0, false);
}

int32_t Expression::evaluate(ScriptContext& context) const {
    // Long chains go round a loop; short ones recurse, which is quicker.
    if (isChainOperator(op_) && chainLength_ > kRecursiveChain) return evaluateChain(context);
    const Variable* debug = context.interpreter.debugVar();
    if (debug && debug->value != 0 && hasSource_ && !announcing_) {
        std::printf("calculating var: %.*s\n", static_cast<int>(source_.size()), source_.data());
        announcing_ = true;
        int32_t value = compute(context);
        announcing_ = false;
        std::printf("calculated  var: %.*s = %i\n", static_cast<int>(source_.size()), source_.data(), value);
        return value;
    }
    return compute(context);
}

int32_t Expression::compute(ScriptContext& context) const {
    if (!isChainOperator(op_)) return computeLeaf(context);
    const int32_t drawn = op_ == Op::Rand ? context.randomNumber() : 0;  // drawn before the operands
    return applyOperator(context, left_->evaluate(context), drawn);
}

namespace {

// One operator of a chain on the way down: whether it announced itself to
// DEBUGVAR, and the number RAND draws before its operands are evaluated.
struct ChainLevel {
    const Expression* node;
    bool announced;
    int32_t drawn;
};

// Most chains are short; longer ones spill to the heap.
class ChainLevels {
public:
    void push(const ChainLevel& level) {
        if (count_ < kInline) {
            inline_[count_] = level;
        } else {
            spilled_.push_back(level);
        }
        ++count_;
    }
    std::size_t size() const { return count_; }
    const ChainLevel& operator[](std::size_t index) const {
        return index < kInline ? inline_[index] : spilled_[index - kInline];
    }

private:
    static constexpr std::size_t kInline = 32;
    std::array<ChainLevel, kInline> inline_;
    std::vector<ChainLevel> spilled_;
    std::size_t count_ = 0;
};

}  // namespace

// A chain grows to the left: the operators are met from the last to the
// first on the way down, and applied from the first to the last on the way
// back up, in the order a recursive evaluation would take.
int32_t Expression::evaluateChain(ScriptContext& context) const {
    const Variable* debug = context.interpreter.debugVar();
    const bool tracing = debug && debug->value != 0;
    ChainLevels levels;
    const Expression* node = this;
    for (; isChainOperator(node->op_) && node->chainLength_ > kRecursiveChain; node = node->left_.get()) {
        ChainLevel level{node, false, 0};
        if (tracing && node->hasSource_ && !node->announcing_) {
            std::printf("calculating var: %.*s\n", static_cast<int>(node->source_.size()),
                        node->source_.data());
            node->announcing_ = true;
            level.announced = true;
        }
        if (node->op_ == Op::Rand) level.drawn = context.randomNumber();
        levels.push(level);
    }
    int32_t value = node->evaluate(context);
    for (std::size_t index = levels.size(); index-- > 0;) {
        const ChainLevel& level = levels[index];
        value = level.node->applyOperator(context, value, level.drawn);
        if (level.announced) {
            const std::string_view source = level.node->source_;
            std::printf("calculated  var: %.*s = %i\n", static_cast<int>(source.size()), source.data(),
                        value);
            level.node->announcing_ = false;
        }
    }
    return value;
}

// The operator of a chain with its left operand's value `a`; the right
// operand is evaluated here unless the left one decides.
int32_t Expression::applyOperator(ScriptContext& context, int32_t a, int32_t drawn) const {
    switch (op_) {
        case Op::LogicalAnd: return a == 0 ? 0 : (right_->evaluate(context) != 0 ? 1 : 0);
        case Op::LogicalOr: return a != 0 ? 1 : (right_->evaluate(context) != 0 ? 1 : 0);
        default: break;
    }
    const int32_t b = right_->evaluate(context);
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
        case Op::Rand: return wrapAdd(a, wrapMultiply(drawn, wrapSubtract(b, a)) / kChanceScale);
        case Op::Pixel: return context.worldCell(a, b);
        case Op::InGroup: return context.inGroup(a, b) ? 1 : 0;
        case Op::Min: return a < b ? a : b;
        case Op::Max: return a > b ? a : b;
        case Op::Power: return wrapPower(a, b);
        default: return 0;
    }
}

int32_t Expression::computeLeaf(ScriptContext& context) const {
    switch (op_) {
        case Op::Constant: return constant_;
        case Op::Variable: return variable_->value;
        case Op::Lookup: {
            LookupResult result = lookupValue(context, token_);
            return result.kind == ValueKind::Number ? result.value : 0;
        }
        case Op::Parameter: {
            const ParameterFrame* frame = context.parameters.top();
            return frame ? (*frame)[constant_] : 0;
        }
        case Op::Array: {
            std::string name = std::string(left_->source_) + std::to_string(right_->evaluate(context));
            LookupResult result = lookupValue(context, name);
            return result.kind == ValueKind::Number ? result.value : 0;
        }
        case Op::TriggerCall: return callTrigger(context);
        case Op::Grouping: return left_->evaluate(context);
        case Op::Sin:
        case Op::Cos:
        case Op::Tan:
        case Op::ArcSin:
        case Op::ArcCos:
        case Op::ArcTan:
        case Op::Sqrt: return applyFunction(op_, left_->evaluate(context));
        default: return 0;  // invalid
    }
}

int32_t Expression::callTrigger(ScriptContext& context) const {
    Interpreter& interpreter = context.interpreter;
    int32_t value = interpreter.runWithParameters(trigger_.trigger, parameters_.get());
    interpreter.clearReturn();
    return value;
}

std::unique_ptr<ParameterList> parseParameterList(ScriptContext& context, Tokenizer& tokens) {
    bool unused = false;
    return parseParameterList(context, tokens, {}, unused);
}

std::unique_ptr<ParameterList> parseParameterList(ScriptContext& context, Tokenizer& tokens,
                                                  std::string_view terminator, bool& terminatorFound) {
    terminatorFound = false;
    auto list = std::make_unique<ParameterList>();
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
        auto parameter = std::make_unique<Expression>(context, *token);
        if (!parameter->isValid()) {
            tokens.setCursor(before);
            break;
        }
        list->push_back(std::move(parameter));
    }
    if (list->empty()) return nullptr;
    return list;
}

}  // namespace ef2
