// Code blocks of web pages: the fast loader gives exactly what the literal
// rule gives (every table cell decodes the whole rest of the page) on random
// pages built from markers, entities and text.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "io/script_file.h"
#include "io/web_page.h"

namespace ef2 {
namespace {

// The rule as written, in quadratic time.
std::vector<std::string> literalBlocks(std::string page) {
    std::vector<std::string> blocks;
    auto pass = [&](std::string_view open, std::string_view close, bool restOfPage) {
        std::size_t searchFrom = 0;
        while (true) {
            const std::size_t marker = page.find(open, searchFrom);
            if (marker == std::string::npos) return;
            std::size_t contentStart = page.find('>', marker);
            if (contentStart == std::string::npos) return;
            ++contentStart;
            std::size_t end = page.find(close, contentStart);
            if (end == std::string::npos) return;
            std::string decoded =
                page.substr(contentStart, restOfPage ? std::string::npos : end - contentStart);
            decodeHtmlEntities(decoded);
            page.replace(contentStart, decoded.size(), decoded);
            if (restOfPage) end = page.find(close, contentStart);
            if (end == std::string::npos) return;
            if (end > contentStart) blocks.push_back(page.substr(contentStart, end - contentStart));
            searchFrom = contentStart;
        }
    };
    pass("<pre", "</pre>", false);
    pass("<code", "</code>", false);
    pass("<td class=\"code\"", "</td>", true);
    return blocks;
}

std::vector<std::string> fastBlocks(const std::string& page, std::size_t pieceBytes = kWebPagePieceBytes) {
    std::vector<std::string> blocks;
    const bool whole = forEachCodeBlock(
        page, [&](std::string_view content) { blocks.emplace_back(content); }, pieceBytes);
    EXPECT_TRUE(whole) << "blocks were skipped; page: " << page;
    return blocks;
}

TEST(WebPage, AnEncodedClosingTagStaysInsideItsBlock) {
    EXPECT_EQ(fastBlocks("<pre>A &lt;/pre&gt; B</pre>"), std::vector<std::string>{"A </pre> B      "});
    // A table cell decodes before it looks for its end: there it does end.
    EXPECT_EQ(fastBlocks("<td class=\"code\">A &lt;/td&gt; B</td>"), std::vector<std::string>{"A "});
}

TEST(WebPage, CellsDecodeTheRestOfThePageOncePerEarlierCell) {
    // One decoding turns "&amp;lt;" into "&lt;", the second into "<".
    const std::string page =
        "<td class=\"code\">1 &amp;lt;</td><td class=\"code\">2 &amp;lt;</td>"
        "<td class=\"code\">3 &amp;lt;</td>";
    const std::vector<std::string> expected = {"1 &lt;", "2 <", "3 <"};
    EXPECT_EQ(literalBlocks(page), expected);
    EXPECT_EQ(fastBlocks(page), expected);
}

TEST(WebPage, NestedBlocksHandOverAtMostThePageAndTheOverlapLimit) {
    // Each block runs to the one closing marker, so every opening marker
    // starts another copy of the rest of the page: 2,000 of them would hand
    // over megabytes. The blocks before the nest still come whole.
    for (const std::string opening : {"<pre>", "<code>", "<td class=\"code\">"}) {
        const std::string closing = opening == "<pre>" ? "</pre>" : opening == "<code>" ? "</code>" : "</td>";
        std::string page = opening + "GET A" + closing;
        for (int i = 0; i < 2000; ++i) page += opening;
        page += "GET B" + closing;
        std::vector<std::string> blocks;
        std::size_t handed = 0;
        const bool whole = forEachCodeBlock(page, [&](std::string_view content) {
            handed += content.size();
            if (blocks.size() < 2) blocks.emplace_back(content);
        });
        EXPECT_FALSE(whole) << opening;
        EXPECT_LE(handed, page.size() + kWebPageOverlapBytes) << opening;
        ASSERT_EQ(blocks.size(), 2u) << opening;
        EXPECT_EQ(blocks[0], "GET A") << opening;
        EXPECT_TRUE(blocks[1].ends_with("GET B")) << opening << " gave " << blocks[1].substr(0, 40);
    }
}

TEST(WebPage, RandomPagesGiveTheBlocksOfTheLiteralRule) {
    static const std::vector<std::string> kPieces = {"<pre>",
                                                     "</pre>",
                                                     "<pre class=x>",
                                                     "<code>",
                                                     "</code>",
                                                     "<td class=\"code\">",
                                                     "</td>",
                                                     "<td",
                                                     "<",
                                                     ">",
                                                     "&lt;",
                                                     "&gt;",
                                                     "&amp;",
                                                     "&amp;amp;",
                                                     "&amp;lt;",
                                                     "&lt;/td&gt;",
                                                     "&lt;/pre&gt;",
                                                     "&lt;td class=&quot;code&quot;&gt;",
                                                     "&#40;",
                                                     "&#41;",
                                                     "&#46;",
                                                     "&#58;",
                                                     "&quot;",
                                                     "<br>",
                                                     "<br />",
                                                     "&",
                                                     "amp;",
                                                     "lt;",
                                                     "br",
                                                     " ",
                                                     "\n",
                                                     "SET X 1",
                                                     "e",
                                                     "x",
                                                     "/",
                                                     "t",
                                                     ";",
                                                     "&l",
                                                     "&#4",
                                                     "6;"};
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        // Some pages are long enough to be read in several pieces.
        const int pieces =
            round % 100 == 0 ? 800 + static_cast<int>(random() % 400) : 1 + static_cast<int>(random() % 60);
        for (int i = 0; i < pieces; ++i) page += kPieces[random() % kPieces.size()];
        const std::vector<std::string> literal = literalBlocks(page);
        ASSERT_EQ(fastBlocks(page), literal) << "page: " << page;
        ASSERT_EQ(fastBlocks(page, 1 + round % 7), literal) << "read in small pieces; page: " << page;
    }
}

}  // namespace
}  // namespace ef2
