#pragma once
// The expression parser as it was first written, kept as a reference: it
// re-tokenises the text at every level and copies every prefix, so it is
// quadratic, but it is a literal reading of the grammar. The differential test
// (expression_reference_test.cpp) parses random formulas with both and
// demands the same validity, values, traces and variables.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/expression.h"
#include "script/trigger.h"
#include "script/variable_table.h"

namespace ef2 {

class Runtime;
class Tokenizer;

namespace reference {

class ReferenceExpression;
using ReferenceParameterList = std::vector<std::unique_ptr<ReferenceExpression>>;

class ReferenceExpression {
public:
    using Op = Expression::Op;

    ReferenceExpression(Runtime& runtime, std::string_view text, int32_t percentBase = kDefaultPercentBase);
    ~ReferenceExpression();
    ReferenceExpression(const ReferenceExpression&) = delete;
    ReferenceExpression& operator=(const ReferenceExpression&) = delete;

    bool isValid() const { return op_ != Op::Invalid; }
    int32_t evaluate(Runtime& runtime) const;
    const std::string& text() const { return source_; }

private:
    ReferenceExpression(Runtime& runtime, std::string_view text, int32_t percentBase, int depth);
    ReferenceExpression() = default;
    void parse(Runtime& runtime, std::string_view text, int32_t percentBase, int depth);
    bool parseFunction(Runtime& runtime, Tokenizer& tokens, const std::string& first, int depth);
    void parseTriggerCall(Runtime& runtime, Tokenizer& tokens, const std::string& first, int depth);
    void parseBinary(Runtime& runtime, Tokenizer& tokens, int32_t percentBase, int depth);
    void parseLeaf(Runtime& runtime, const std::string& token, int32_t percentBase, int depth);
    void setBinary(Op op);
    int32_t compute(Runtime& runtime) const;
    int32_t callTrigger(Runtime& runtime) const;

    Op op_ = Op::Invalid;
    int32_t constant_ = 0;
    Variable* variable_ = nullptr;
    TriggerRef trigger_;
    std::string token_;
    std::string source_;
    bool hasSource_ = false;
    std::unique_ptr<ReferenceExpression> left_;
    std::unique_ptr<ReferenceExpression> right_;
    std::unique_ptr<ReferenceParameterList> parameters_;
    mutable bool announcing_ = false;
};

}  // namespace reference
}  // namespace ef2
