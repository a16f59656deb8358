#pragma once
// Splitting a script line into tokens.
//
// Tokens are separated by blanks (spaces, tabs, carriage returns, line feeds).
// A token that starts with a double quote runs to the closing quote whatever
// blanks it holds and loses its quotes; one that starts with '(' runs to its
// matching ')'; one that starts with '<' (where allowed) runs to the next '>'.
// The tokenizer views the line; the line must outlive it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ef2 {

enum class TokenKind { Plain = 0, Quoted = 1, Parenthesised = 2, Angled = 3 };

// A token as it stands in the line: its whole span (a quoted token with its
// quotes, a parenthesised one with its parentheses) and its kind.
struct TokenSpan {
    std::string_view span;
    TokenKind kind;
    // The token's text: the span, or for a quoted token its inside with the
    // escapes resolved. A view into the line unless there was an escape to
    // resolve; then it is kept in `storage`.
    std::string_view text(std::string& storage) const;
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text = {}) { start(text); }

    void start(std::string_view text) {
        text_ = text;
        cursor_ = 0;
        lastKind_ = TokenKind::Plain;
    }

    // The next token, or nothing at the end of the line.
    std::optional<std::string> nextToken(bool allowAngle = true);
    // The same without copying: where the next token stands in the line.
    std::optional<TokenSpan> nextSpan(bool allowAngle = true);
    // Everything after the current token (one separating character skipped),
    // without trailing spaces; nothing when that is empty.
    std::optional<std::string> restOfLine() const;
    std::optional<std::string_view> restOfLineView() const;
    void rewind() { cursor_ = 0; }

    TokenKind lastKind() const { return lastKind_; }
    std::size_t cursor() const { return cursor_; }
    void setCursor(std::size_t cursor) { cursor_ = cursor; }
    bool atEnd();  // true when no token is left
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
    std::size_t cursor_ = 0;
    TokenKind lastKind_ = TokenKind::Plain;
};

bool isBlankCharacter(char c);

}  // namespace ef2
