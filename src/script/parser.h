#pragma once
// Turning script text into statements.
//
// A text is split into lines; each line is one statement. At top level a
// statement runs at once; inside a block ("{" up to a line "}") it is appended
// to the block's trigger. A top-level statement that opened a block waits on
// the pending stack and runs when its block closes. Lines that are not
// statements are reported to the text's origin and parsing goes on.
//
// The block stack, the pending statements, the pending IF and the drawing
// capture persist across texts: a block opened in one file and not closed
// takes the next text's lines.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/action.h"
#include "script/expression.h"
#include "script/trigger.h"

namespace ef2 {

class Runtime;
class Tokenizer;
struct Variable;

// A statement whose else-branch a later line "} ELSE trigger" can set.
class ElseBranch {
public:
    virtual ~ElseBranch() = default;
    virtual void setElse(TriggerRef trigger) = 0;
};

// A statement that takes the first token of following lines until "}".
class LineCapture {
public:
    virtual ~LineCapture() = default;
    virtual void addRow(std::string row) = 0;
};

// What a statement's parse function reads from.
class StatementReader {
public:
    StatementReader(Runtime& runtime, Tokenizer& tokens, int32_t messageId)
        : runtime(runtime), tokens(tokens), messageId(messageId) {}

    std::optional<std::string> next();
    // The expression of a token; null when the token is missing or invalid.
    std::unique_ptr<Expression> expression(const std::optional<std::string>& token,
                                           int32_t percentBase = kDefaultPercentBase);
    // A trigger argument: "{" opens a block, "THIS" names the open block.
    TriggerRef trigger(const std::string& token);
    std::unique_ptr<ParameterList> parameters();
    // True when nothing is left on the line.
    bool atEnd();

    Runtime& runtime;
    Tokenizer& tokens;
    const int32_t messageId;
};

using ParseFunction = ActionPtr (*)(StatementReader& reader);

struct Keyword {
    std::string_view word;
    ParseFunction parse;
};

// Every keyword of the language and the parse function of its statement.
const std::vector<Keyword>& keywordTable();

class Parser {
public:
    explicit Parser(Runtime& runtime);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Splits at line feeds; lines are numbered from 1. No file name: errors
    // are reported without one.
    void parseText(std::string_view text, int32_t messageId, std::optional<std::string_view> fileName);
    void parseLine(std::string_view line, int lineNumber, int32_t messageId, std::string_view fileName);
    ActionPtr parseStatement(Tokenizer& tokens, int32_t messageId);
    TriggerRef resolveTriggerName(std::string_view name, int32_t messageId);

    void pushBlock(std::string name) { blockStack_.push_back(std::move(name)); }
    std::size_t blockDepth() const { return blockStack_.size(); }
    void setPendingIf(ActionPtr statement, ElseBranch* branch) {
        pendingIf_ = std::move(statement);
        pendingElse_ = branch;
    }
    void beginCapture(ActionPtr statement, LineCapture* capture) {
        captureOwner_ = std::move(statement);
        capture_ = capture;
    }
    bool capturing() const { return capture_ != nullptr; }

private:
    void bindVariables();
    ActionPtr closeBlock(Tokenizer& tokens, int32_t messageId);
    ActionPtr parseUnknown(Tokenizer& tokens, const std::string& first, int32_t messageId);
    void runTopLevel(const ActionPtr& statement, int lineNumber, std::string_view fileName);
    void runPending(int lineNumber, std::string_view fileName);

    Runtime& runtime_;
    std::unordered_map<std::string_view, ParseFunction> keywords_;
    std::vector<std::string> blockStack_;
    std::vector<ActionPtr> pending_;
    ActionPtr pendingIf_;
    ElseBranch* pendingElse_ = nullptr;
    ActionPtr captureOwner_;
    LineCapture* capture_ = nullptr;
    bool captureClosed_ = false;     // the last "}" ended a capture
    ActionPtr topLevelCapture_;      // a top-level statement that runs when its capture ends
    int32_t temporaryCounter_ = 0;
    int statementDepth_ = 0;  // ON and inline statements parse statements within statements
    Variable* debugParser_ = nullptr;
    Variable* autoExec_ = nullptr;
};

}  // namespace ef2
