#include "script/tokenizer.h"

#include <vector>

namespace ef2 {

bool isBlankCharacter(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

namespace {

// Inside a quoted token \" stands for a double quote, \\ for a backslash and
// \n for a line feed; other backslashes stay as they are.
std::string unescape(std::string_view quoted) {
    std::string result;
    result.reserve(quoted.size());
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 1 < quoted.size()) {
            char next = quoted[i + 1];
            if (next == '"' || next == '\\') {
                result += next;
                ++i;
                continue;
            }
            if (next == 'n') {
                result += '\n';
                ++i;
                continue;
            }
        }
        result += quoted[i];
    }
    return result;
}

}  // namespace

std::optional<std::string> Tokenizer::nextToken(bool allowAngle) {
    while (cursor_ < text_.size() && isBlankCharacter(text_[cursor_])) ++cursor_;
    if (cursor_ >= text_.size()) return std::nullopt;
    const std::size_t begin = cursor_;
    const char first = text_[begin];
    std::size_t at = begin + 1;
    auto runToBlank = [&] {
        while (at < text_.size() && !isBlankCharacter(text_[at])) ++at;
    };

    if (first == '"') {
        lastKind_ = TokenKind::Quoted;
        while (at < text_.size() && text_[at] != '"') at += (text_[at] == '\\' && at + 1 < text_.size()) ? 2 : 1;
        if (at < text_.size()) ++at;  // the closing quote
        runToBlank();
        cursor_ = std::min(at, text_.size());
        std::string_view span = text_.substr(begin, cursor_ - begin);
        // The token is the span without its first and last character.
        if (span.size() < 2) return std::string();
        return unescape(span.substr(1, span.size() - 2));
    }
    if (first == '(') {
        lastKind_ = TokenKind::Parenthesised;
        int depth = 1;
        for (; at < text_.size() && depth > 0; ++at) {
            if (text_[at] == '(') ++depth;
            if (text_[at] == ')') --depth;
        }
        runToBlank();
    } else if (first == '<' && allowAngle) {
        lastKind_ = TokenKind::Angled;
        while (at < text_.size() && text_[at] != '>') ++at;
        runToBlank();
    } else {
        lastKind_ = TokenKind::Plain;
        runToBlank();
    }
    cursor_ = at;
    return std::string(text_.substr(begin, at - begin));
}

std::optional<std::string> Tokenizer::restOfLine() const {
    if (cursor_ + 1 >= text_.size()) return std::nullopt;
    std::string_view rest = text_.substr(cursor_ + 1);
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    if (rest.empty()) return std::nullopt;
    return std::string(rest);
}

std::optional<std::string> Tokenizer::prefixBeforeLastTwo() {
    std::vector<std::size_t> ends;
    while (nextToken(false)) ends.push_back(cursor_);
    if (ends.size() < 3) return std::nullopt;
    cursor_ = ends[ends.size() - 3];
    return std::string(text_.substr(0, cursor_));
}

bool Tokenizer::atEnd() {
    std::size_t at = cursor_;
    while (at < text_.size() && isBlankCharacter(text_[at])) ++at;
    return at >= text_.size();
}

}  // namespace ef2
