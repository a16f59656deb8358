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
    // Everything after the current token (one separating character skipped),
    // without trailing spaces; nothing when that is empty.
    std::optional<std::string> restOfLine() const;
    void rewind() { cursor_ = 0; }
    // Reads all remaining tokens; with at least three, leaves the cursor after
    // the third-last and returns the text from the line's start up to there.
    std::optional<std::string> prefixBeforeLastTwo();

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
