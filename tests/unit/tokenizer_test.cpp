#include <gtest/gtest.h>

#include <random>

#include "io/script_file.h"
#include "script/tokenizer.h"

namespace ef2 {
namespace {

std::vector<std::pair<std::string, TokenKind>> allTokens(std::string_view text, bool allowAngle = true) {
    Tokenizer tokens(text);
    std::vector<std::pair<std::string, TokenKind>> result;
    while (std::optional<std::string> token = tokens.nextToken(allowAngle))
        result.emplace_back(*token, tokens.lastKind());
    return result;
}

TEST(Tokenizer, TokenKinds) {
    auto tokens = allTokens("SET  \"a b\"\t(1 + (2 * 3)) <GET X> plain\r\n");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[0], std::make_pair(std::string("SET"), TokenKind::Plain));
    EXPECT_EQ(tokens[1], std::make_pair(std::string("a b"), TokenKind::Quoted));
    EXPECT_EQ(tokens[2], std::make_pair(std::string("(1 + (2 * 3))"), TokenKind::Parenthesised));
    EXPECT_EQ(tokens[3], std::make_pair(std::string("<GET X>"), TokenKind::Angled));
    EXPECT_EQ(tokens[4], std::make_pair(std::string("plain"), TokenKind::Plain));

    // Without angle brackets '<' is an ordinary character.
    auto plain = allTokens("<GET X>", false);
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0].first, "<GET");
    // A quoted token runs on to the next blank after its closing quote and
    // loses its first and last character.
    EXPECT_EQ(allTokens("\"ab\"cd e")[0].first, "ab\"c");
    EXPECT_EQ(allTokens("\"unclosed")[0].first, "unclose");
    EXPECT_EQ(allTokens("\"\"")[0].first, "");
    EXPECT_EQ(allTokens("\"say \\\"hi\\\"\\n\"")[0].first, "say \"hi\"\n");
    // An unclosed parenthesis runs to the end of the line.
    EXPECT_EQ(allTokens("(a b")[0].first, "(a b");
    EXPECT_TRUE(allTokens("  \t\r\n").empty());
}

TEST(Tokenizer, RestOfLineAndSpans) {
    Tokenizer tokens("ERROR   some text   ");
    tokens.nextToken();
    EXPECT_EQ(tokens.restOfLine(), "  some text");
    Tokenizer endOnly("ERROR");
    endOnly.nextToken();
    EXPECT_EQ(endOnly.restOfLine(), std::nullopt);

    // Spans view the line; only a quoted token with escapes needs a copy.
    const std::string line = "a \"b c\" \"d\\\"e\"";
    Tokenizer spans(line);
    std::string storage;
    std::optional<TokenSpan> plain = spans.nextSpan();
    EXPECT_EQ(plain->text(storage), "a");
    std::optional<TokenSpan> quoted = spans.nextSpan();
    EXPECT_EQ(quoted->span, "\"b c\"");
    EXPECT_EQ(quoted->text(storage), "b c");
    EXPECT_TRUE(storage.empty());
    std::optional<TokenSpan> escaped = spans.nextSpan();
    EXPECT_EQ(escaped->text(storage), "d\"e");
    EXPECT_EQ(storage, "d\"e");
}

// The replacement routine exactly as it is defined: search from the start,
// replace, shift the tail left, pad the end, repeat.
std::string literalReplace(std::string text, const std::string& pattern, char replacement, char fill) {
    const std::size_t n = std::min(text.find('\0'), text.size());
    const std::size_t k = pattern.size() - 1;
    while (true) {
        std::size_t p = std::string_view(text.c_str()).find(pattern);
        if (p == std::string::npos) return text;
        text[p] = replacement;
        for (std::size_t q = p + 1; q + k < n; ++q) text[q] = text[q + k];
        for (std::size_t q = n - k; q < n; ++q) text[q] = fill;
    }
}

TEST(ReplaceWithChar, MatchesTheLiteralRoutineOnOverlappingReplacements) {
    std::string text = "&amp;amp; and &amp;lt; and &amp;quot;";
    decodeHtmlEntities(text);
    EXPECT_EQ(text.substr(0, 16), "& and &lt; and \"");
    EXPECT_EQ(text.find_first_not_of(' ', 16), std::string::npos);  // the rest is padding
    EXPECT_EQ(text.size(), std::string("&amp;amp; and &amp;lt; and &amp;quot;").size());

    std::mt19937 random(42);
    const std::string alphabet = "&amp;lt";
    const std::vector<std::string> patterns = {"&amp;", "aa", "&&&", "amp;a", "a"};
    for (int round = 0; round < 3000; ++round) {
        std::string input;
        int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) input += alphabet[random() % alphabet.size()];
        const std::string& pattern = patterns[random() % patterns.size()];
        char replacement = "&a;x"[random() % 4];
        char fill = round % 2 ? ' ' : '\0';
        if (pattern.size() == 1 && pattern[0] == replacement) continue;  // would never end
        std::string fast = input;
        replaceWithChar(fast, pattern, replacement, fill);
        ASSERT_EQ(fast, literalReplace(input, pattern, replacement, fill))
            << "input \"" << input << "\" pattern \"" << pattern << "\" replacement " << replacement;
    }
}

}  // namespace
}  // namespace ef2
