#include "script/tokenizer.h"

#include <algorithm>

namespace ef2 {

bool isBlankCharacter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

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

std::optional<TokenSpan> Tokenizer::nextSpan(bool allowAngle) {
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
        while (at < text_.size() && text_[at] != '"')
            at += (text_[at] == '\\' && at + 1 < text_.size()) ? 2 : 1;
        if (at < text_.size()) ++at;  // the closing quote
        runToBlank();
        at = std::min(at, text_.size());
    } else if (first == '(') {
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
    return TokenSpan{text_.substr(begin, at - begin), lastKind_};
}

std::string_view TokenSpan::text(std::string& storage) const {
    if (kind != TokenKind::Quoted) return span;
    // The token is the span without its first and last character.
    if (span.size() < 2) return {};
    std::string_view inside = span.substr(1, span.size() - 2);
    if (inside.find('\\') == std::string_view::npos) return inside;
    storage = unescape(inside);
    return storage;
}

std::optional<std::string> Tokenizer::nextToken(bool allowAngle) {
    std::optional<TokenSpan> token = nextSpan(allowAngle);
    if (!token) return std::nullopt;
    std::string storage;
    return std::string(token->text(storage));
}

std::optional<std::string_view> Tokenizer::restOfLineView() const {
    if (cursor_ + 1 >= text_.size()) return std::nullopt;
    std::string_view rest = text_.substr(cursor_ + 1);
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    if (rest.empty()) return std::nullopt;
    return rest;
}

std::optional<std::string> Tokenizer::restOfLine() const {
    std::optional<std::string_view> rest = restOfLineView();
    if (!rest) return std::nullopt;
    return std::string(*rest);
}

bool Tokenizer::atEnd() {
    std::size_t at = cursor_;
    while (at < text_.size() && isBlankCharacter(text_[at])) ++at;
    return at >= text_.size();
}

}  // namespace ef2
