#include "script/parser.h"

#include <cstdio>

#include "script/script_context.h"
#include "script/tokenizer.h"

namespace ef2 {

std::optional<std::string> StatementReader::next() {
    return tokens.nextToken(true);
}

std::unique_ptr<Expression> StatementReader::expression(const std::optional<std::string>& token,
                                                        int32_t percentBase) {
    if (!token) return nullptr;
    auto parsed = std::make_unique<Expression>(context, *token, percentBase);
    if (!parsed->isValid()) return nullptr;
    return parsed;
}

TriggerRef StatementReader::trigger(const std::string& token) {
    return context.parser.resolveTriggerName(token, messageId);
}

std::unique_ptr<ParameterList> StatementReader::parameters() {
    return parseParameterList(context, tokens);
}

bool StatementReader::atEnd() {
    return tokens.atEnd();
}

Parser::Parser(ScriptContext& context, const std::vector<Keyword>& keywords)
    : context_(context), current_(&states_[0]) {
    for (const Keyword& keyword : keywords) {
        if (keyword.form == KeywordForm::Word) {
            keywords_.emplace(keyword.word, keyword.parse);
        } else {
            otherForms_.push_back(keyword);
        }
    }
}

Parser::OriginScope::OriginScope(Parser& parser, int32_t messageId)
    : parser_(parser), messageId_(messageId), previous_(parser.current_) {
    parser_.current_ = &parser_.states_[messageId];
    ++parser_.current_->users;
}

Parser::OriginScope::~OriginScope() {
    BlockState& state = *parser_.current_;
    if (--state.users == 0 && state.forgotten && messageId_ != 0) parser_.states_.erase(messageId_);
    parser_.current_ = previous_;
}

void Parser::forgetOrigin(int32_t messageId) {
    auto found = states_.find(messageId);
    if (messageId == 0 || found == states_.end()) return;
    if (found->second.users > 0) {
        // One of its lines is running: its state goes when that line ends.
        const int users = found->second.users;
        found->second = BlockState{};
        found->second.users = users;
        found->second.forgotten = true;
        return;
    }
    states_.erase(found);
}

void Parser::bindVariables() {
    if (debugParser_) return;
    debugParser_ = context_.variables.obtain("DEBUGPARSER", 0, true);
    autoExec_ = context_.variables.obtain("AUTOEXEC", 0, true);
}

void Parser::parseText(std::string_view text, int32_t messageId, std::optional<std::string_view> fileName) {
    std::string_view name = fileName.value_or("");
    int lineNumber = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        parseLine(line, lineNumber++, messageId, name);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

void Parser::parseLine(std::string_view line, int lineNumber, int32_t messageId, std::string_view fileName) {
    bindVariables();
    OriginScope origin(*this, messageId);
    BlockState& blocks = state();
    std::string text(line);
    if (debugParser_->value != 0) {
        std::printf("parsing line:  messageid: %i, filename: %s, line: %i, line  : %s\n", messageId,
                    std::string(fileName).c_str(), lineNumber, text.c_str());
    }
    const std::size_t depthBefore = blocks.blockStack.size();
    const std::string topBefore = depthBefore ? blocks.blockStack.back() : std::string();

    Tokenizer tokens(text);
    blocks.captureClosed = false;
    ActionPtr statement = parseStatement(tokens, messageId);
    if (blocks.captureClosed) {
        // The rows of a drawn object are complete; a top-level object runs now.
        if (ActionPtr finished = std::move(blocks.topLevelCapture))
            runTopLevel(finished, lineNumber, fileName);
        return;
    }
    if (statement && depthBefore == 0 && blocks.blockStack.empty() && statement == blocks.captureOwner) {
        blocks.topLevelCapture = statement;
        return;
    }
    if (statement) {
        if (depthBefore > 0) {
            context_.interpreter.addActionToTrigger(topBefore, statement, messageId);
            // "} ELSE trigger" closes the last block without opening another:
            // the waiting top-level statement runs now.
            if (blocks.blockStack.empty()) runPending(lineNumber, fileName);
        } else if (blocks.blockStack.empty()) {
            runTopLevel(statement, lineNumber, fileName);
        } else {
            blocks.pending.push_back(std::move(statement));
        }
        return;
    }
    if (blocks.blockStack.size() < depthBefore) {
        if (blocks.blockStack.empty()) runPending(lineNumber, fileName);
        return;
    }
    if (blocks.capture) return;
    if (fileName.empty()) {
        context_.printLine("ERROR in line " + std::to_string(lineNumber) + ": " + text, messageId);
    } else {
        context_.printLine(
            "ERROR in file " + std::string(fileName) + " in line " + std::to_string(lineNumber) + ": " + text,
            messageId);
    }
}

void Parser::runTopLevel(const ActionPtr& statement, int lineNumber, std::string_view fileName) {
    if (debugParser_->value != 0) {
        std::printf("parsed action: messageid: %i, filename: %s, line: %i, action: %s\n",
                    statement->messageId, std::string(fileName).c_str(), lineNumber,
                    statement->text().c_str());
    }
    context_.interpreter.guarded([&] { statement->execute(context_); });
}

void Parser::runPending(int lineNumber, std::string_view fileName) {
    std::vector<ActionPtr>& pending = state().pending;
    if (pending.empty()) return;
    ActionPtr statement = std::move(pending.back());
    pending.pop_back();
    runTopLevel(statement, lineNumber, fileName);
}

// Statements inside statements (ON, inline <...> triggers) nest on the
// machine stack; a line nesting deeper than this is refused.
constexpr int kMaxStatementNesting = 100;

ActionPtr Parser::parseStatement(Tokenizer& tokens, int32_t messageId) {
    bindVariables();
    if (statementDepth_ >= kMaxStatementNesting) return nullptr;
    OriginScope origin(*this, messageId);
    struct DepthScope {
        int& depth;
        explicit DepthScope(int& depth) : depth(++depth) {}
        ~DepthScope() { --depth; }
    } scope(statementDepth_);
    std::optional<std::string> first = tokens.nextToken(true);
    if (!first || *first == "//" || (*first)[0] == '<') return std::make_shared<Action>(messageId);
    if (*first == "}") return closeBlock(tokens, messageId);
    if (LineCapture* capture = state().capture) capture->addRow(*first);

    StatementReader reader(context_, tokens, *first, messageId);
    ActionPtr statement;
    auto keyword = keywords_.find(*first);
    if (keyword != keywords_.end()) {
        statement = keyword->second(reader);
    } else {
        statement = parseOtherForms(reader);
    }
    if (statement) {
        statement->messageId = messageId;
        statement->byPeer = messageId != 0 || context_.actingForPeer();
    }
    return statement;
}

// "}" ends the drawing capture and the innermost block; "} ELSE trigger" also
// gives the pending IF its else-branch.
ActionPtr Parser::closeBlock(Tokenizer& tokens, int32_t messageId) {
    BlockState& blocks = state();
    // The "}" after the rows of a drawn object ends only that object.
    if (blocks.capture) {
        blocks.capture = nullptr;
        blocks.captureOwner.reset();
        blocks.captureClosed = true;
        return nullptr;
    }
    if (!blocks.blockStack.empty()) blocks.blockStack.pop_back();
    ActionPtr result;
    if (blocks.pendingIf) {
        std::optional<std::string> word = tokens.nextToken(true);
        std::optional<std::string> branch = tokens.nextToken(true);
        if (word && *word == "ELSE" && branch) {
            blocks.pendingElse->setElse(resolveTriggerName(*branch, messageId));
            result = std::make_shared<Action>(messageId);
        }
    }
    blocks.pendingIf.reset();
    blocks.pendingElse = nullptr;
    return result;
}

// A line whose first word is no keyword: the first entry of another form
// that claims it parses it. A second word that claims nothing is left unread.
ActionPtr Parser::parseOtherForms(StatementReader& reader) {
    for (const Keyword& entry : otherForms_) {
        switch (entry.form) {
            case KeywordForm::Word: break;
            case KeywordForm::Prefix:
                if (reader.firstWord.starts_with(entry.word)) return entry.parse(reader);
                break;
            case KeywordForm::SecondWord: {
                const std::size_t afterFirst = reader.tokens.cursor();
                std::optional<std::string> second = reader.tokens.nextToken(true);
                if (second && *second == entry.word) return entry.parse(reader);
                reader.tokens.setCursor(afterFirst);
                break;
            }
            case KeywordForm::AnyWord:
                if (autoExec_->value != 0) return entry.parse(reader);
                break;
        }
    }
    return nullptr;
}

TriggerRef Parser::resolveTriggerName(std::string_view name, int32_t messageId) {
    OriginScope origin(*this, messageId);
    std::vector<std::string>& blockStack = state().blockStack;
    if (name == "{") {
        std::string block = "TMPTRIGGER" + std::to_string(temporaryCounter_++);
        TriggerRef ref;
        ref.trigger = context_.interpreter.triggers().obtain(block);
        blockStack.push_back(std::move(block));
        return ref;
    }
    if (name == "THIS" && !blockStack.empty()) {
        TriggerRef ref;
        ref.trigger = context_.interpreter.triggers().obtain(blockStack.back());
        return ref;
    }
    return context_.interpreter.findTrigger(name, messageId);
}

}  // namespace ef2
