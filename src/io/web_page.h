#pragma once
// The script on a web page: the contents of its code blocks.
//
// Three passes run over the whole page, in this order: "<pre" ... "</pre>",
// "<code" ... "</code>" and "<td class=\"code\"" ... "</td>". A block's content
// runs from the first '>' after its opening marker to its closing marker, and
// the next search starts after that '>'. Entities are decoded in place
// (decodeHtmlEntities), so what a pass decodes, the later passes see.
//
// Pre and code blocks: the closing marker is found first and only the content
// is decoded, so an encoded closing tag ("&lt;/pre&gt;") stays inside the block.
// Table cells: once a closing marker is known to exist, the rest of the page
// from the content on is decoded, and the cell ends at the first closing
// marker after that. Later cells are therefore decoded once per earlier cell
// as well; that is kept, but the rest of the page is decoded only as far as
// it is read, so a page of thousands of cells loads in near-linear time.

#include <functional>
#include <string>
#include <string_view>

namespace ef2 {

// How much of the rest of the page the table-cell pass reads at a time.
constexpr std::size_t kWebPagePieceBytes = 1024;

// A block that opens inside an earlier block of its kind is read again after
// it, so a page of nested blocks would hand over text quadratic in its size
// (a 100 kB page of "<pre>" markers, over a gigabyte). The blocks of one kind
// hand over at most the page's size plus this much; the rest of that kind is
// skipped. Blocks that do not overlap never come near the limit.
constexpr std::size_t kWebPageOverlapBytes = 1 << 20;

// Hands every non-empty block content to `take`, in the order above. False
// when blocks were skipped for overlapping too much. Tests read the page in
// tiny pieces to reach every place a piece may end.
[[nodiscard]] bool forEachCodeBlock(std::string page,
                                    const std::function<void(std::string_view content)>& take,
                                    std::size_t pieceBytes = kWebPagePieceBytes);

}  // namespace ef2
