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
// takes the next text's lines. Each origin (the local user, every network
// connection) has a state of its own, so that a peer's unclosed "{" never
// takes the local user's lines; it goes when its connection goes.

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

class ScriptContext;
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
    StatementReader(ScriptContext& context, Tokenizer& tokens, const std::string& firstWord,
                    int32_t messageId)
        : context(context), tokens(tokens), firstWord(firstWord), messageId(messageId) {}

    std::optional<std::string> next();
    // The expression of a token; null when the token is missing or invalid.
    std::unique_ptr<Expression> expression(const std::optional<std::string>& token,
                                           int32_t percentBase = kDefaultPercentBase);
    // A trigger argument: "{" opens a block, "THIS" names the open block.
    TriggerRef trigger(const std::string& token);
    std::unique_ptr<ParameterList> parameters();
    // True when nothing is left on the line.
    bool atEnd();

    ScriptContext& context;
    Tokenizer& tokens;
    // The line's first word: the keyword, or the name of an assignment or a call.
    const std::string& firstWord;
    const int32_t messageId;
};

using ParseFunction = ActionPtr (*)(StatementReader& reader);

// How an entry of the keyword table claims a line.
enum class KeywordForm {
    Word,        // the first word is `word`
    Prefix,      // the first word begins with `word` (a web address)
    SecondWord,  // the second word is `word` and the first a name (an assignment)
    AnyWord,     // any other first word, while AUTOEXEC is not 0 (a bare trigger call)
};

struct Keyword {
    std::string_view word;
    ParseFunction parse;
    KeywordForm form = KeywordForm::Word;
};

class Parser {
public:
    // `keywords` holds every statement of the language. A line whose first
    // word is a keyword is that statement; other lines are tried against the
    // entries of the other forms in the table's order.
    Parser(ScriptContext& context, const std::vector<Keyword>& keywords);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Splits at line feeds; lines are numbered from 1. No file name: errors
    // are reported without one.
    void parseText(std::string_view text, int32_t messageId, std::optional<std::string_view> fileName);
    void parseLine(std::string_view line, int lineNumber, int32_t messageId, std::string_view fileName);
    ActionPtr parseStatement(Tokenizer& tokens, int32_t messageId);
    TriggerRef resolveTriggerName(std::string_view name, int32_t messageId);

    // These act on the state of the origin whose line is being parsed.
    void pushBlock(std::string name) { state().blockStack.push_back(std::move(name)); }
    std::size_t blockDepth() { return state().blockStack.size(); }
    void setPendingIf(ActionPtr statement, ElseBranch* branch) {
        state().pendingIf = std::move(statement);
        state().pendingElse = branch;
    }
    void beginCapture(ActionPtr statement, LineCapture* capture) {
        state().captureOwner = std::move(statement);
        state().capture = capture;
    }
    bool capturing() { return state().capture != nullptr; }

    // Drops what an origin left open: its blocks, waiting statements, pending
    // IF and capture (a network connection that closed).
    void forgetOrigin(int32_t messageId);

private:
    // What one origin's lines have opened and not yet closed.
    struct BlockState {
        std::vector<std::string> blockStack;
        std::vector<ActionPtr> pending;
        ActionPtr pendingIf;
        ElseBranch* pendingElse = nullptr;
        ActionPtr captureOwner;
        LineCapture* capture = nullptr;
        bool captureClosed = false;  // the last "}" ended a capture
        ActionPtr topLevelCapture;   // a top-level statement that runs when its capture ends
        int users = 0;               // parses of this origin in progress
        bool forgotten = false;      // the origin went while one of its lines ran
    };
    // Makes an origin's state the current one for as long as it lives.
    class OriginScope {
    public:
        OriginScope(Parser& parser, int32_t messageId);
        ~OriginScope();
        OriginScope(const OriginScope&) = delete;
        OriginScope& operator=(const OriginScope&) = delete;

    private:
        Parser& parser_;
        int32_t messageId_;
        BlockState* previous_;
    };
    BlockState& state() { return *current_; }

    void bindVariables();
    ActionPtr closeBlock(Tokenizer& tokens, int32_t messageId);
    ActionPtr parseOtherForms(StatementReader& reader);
    void runTopLevel(const ActionPtr& statement, int lineNumber, std::string_view fileName);
    void runPending(int lineNumber, std::string_view fileName);

    ScriptContext& context_;
    std::unordered_map<std::string_view, ParseFunction> keywords_;
    std::vector<Keyword> otherForms_;
    // Node-based, so a state stays where it is while others come and go.
    std::unordered_map<int32_t, BlockState> states_;
    BlockState* current_;
    int32_t temporaryCounter_ = 0;
    int statementDepth_ = 0;  // ON and inline statements parse statements within statements
    Variable* debugParser_ = nullptr;
    Variable* autoExec_ = nullptr;
};

}  // namespace ef2
