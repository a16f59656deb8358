#include "io/web_page.h"

#include <algorithm>

#include "io/script_file.h"

namespace ef2 {

namespace {

using BlockTaker = std::function<void(std::string_view content)>;

// What the blocks of one kind may still hand over (kWebPageOverlapBytes).
class OverlapBudget {
public:
    explicit OverlapBudget(std::size_t pageBytes) : left_(pageBytes + kWebPageOverlapBytes) {}
    // False once the blocks so far hold more than the budget.
    bool spend(std::size_t bytes) {
        if (bytes > left_) return false;
        left_ -= bytes;
        return true;
    }

private:
    std::size_t left_;
};

// Pre and code blocks: the closing marker is found before the content is
// decoded, and the decoded content (which keeps its length) replaces it.
bool takeBlocks(std::string& page, std::string_view open, std::string_view close, const BlockTaker& take) {
    OverlapBudget budget(page.size());
    std::size_t searchFrom = 0;
    while (true) {
        const std::size_t marker = page.find(open, searchFrom);
        if (marker == std::string::npos) return true;
        std::size_t contentStart = page.find('>', marker);
        if (contentStart == std::string::npos) return true;
        ++contentStart;
        const std::size_t end = page.find(close, contentStart);
        if (end == std::string::npos) return true;
        if (!budget.spend(end - contentStart)) return false;
        std::string content = page.substr(contentStart, end - contentStart);
        decodeHtmlEntities(content);
        page.replace(contentStart, content.size(), content);
        if (!content.empty()) take(content);
        searchFrom = contentStart;
    }
}

// Every character of the decoded entities and line breaks. No occurrence of
// them can take in a character outside this set, however often the text is
// decoded, so text cut right after such a character decodes piece by piece
// exactly as it does whole.
constexpr std::string_view kPatternCharacters = "&lt;g#401amp;quo58<br> /6";

bool cutsCleanly(char c) {
    return kPatternCharacters.find(c) == std::string_view::npos;
}

// The page as the table-cell pass sees it: the part read so far, decoded by
// every cell that began in it, and the unread rest, which owes one decoding
// per cell begun. The rest is decoded in pieces as the pass reads on; a piece
// stops being decoded as soon as decoding no longer changes it.
class LazyPage {
public:
    LazyPage(std::string_view page, std::size_t pieceBytes)
        : unread_(page), pieceBytes_(std::max<std::size_t>(pieceBytes, 1)) {}

    // The first occurrence of `text` at or after `from`, reading on as far
    // as needed; npos when the page has none.
    std::size_t find(std::string_view text, std::size_t from) {
        while (true) {
            const std::size_t found = read_.find(text, from);
            if (found != std::string::npos) return found;
            if (unread_.empty()) return std::string::npos;
            // An occurrence may straddle what was read and the next piece.
            from = std::max(from, read_.size() >= text.size() ? read_.size() - text.size() + 1 : 0);
            readPiece();
        }
    }

    // A cell's content begins at `start`: the page from there on is decoded
    // once more.
    void decodeFrom(std::size_t start) {
        std::string tail = read_.substr(start);
        decodeHtmlEntitiesShrinking(tail);
        read_.resize(start);
        read_ += tail;
        ++owed_;
    }

    std::string_view text(std::size_t from, std::size_t to) const {
        return std::string_view(read_).substr(from, to - from);
    }

private:
    void readPiece() {
        std::size_t cut = std::min(pieceBytes_, unread_.size());
        while (cut < unread_.size() && !cutsCleanly(unread_[cut - 1])) ++cut;
        std::string piece(unread_.substr(0, cut));
        unread_.remove_prefix(cut);
        for (int i = 0; i < owed_ && decodeHtmlEntitiesShrinking(piece); ++i) {
        }
        read_ += piece;
    }

    std::string read_;
    std::string_view unread_;
    std::size_t pieceBytes_;
    int owed_ = 0;
};

bool takeCells(std::string_view page, const BlockTaker& take, std::size_t pieceBytes) {
    constexpr std::string_view open = "<td class=\"code\"", close = "</td>";
    LazyPage lazy(page, pieceBytes);
    // The decoded page is never longer than the page, so cells that do not
    // overlap stay within the budget.
    OverlapBudget budget(page.size());
    std::size_t searchFrom = 0;
    while (true) {
        const std::size_t marker = lazy.find(open, searchFrom);
        if (marker == std::string::npos) return true;
        std::size_t contentStart = lazy.find(">", marker);
        if (contentStart == std::string::npos) return true;
        ++contentStart;
        if (lazy.find(close, contentStart) == std::string::npos) return true;
        lazy.decodeFrom(contentStart);
        const std::size_t end = lazy.find(close, contentStart);
        if (end == std::string::npos) return true;
        if (!budget.spend(end - contentStart)) return false;
        if (end > contentStart) take(lazy.text(contentStart, end));
        searchFrom = contentStart;
    }
}

}  // namespace

bool forEachCodeBlock(std::string page, const BlockTaker& take, std::size_t pieceBytes) {
    // The page ends at its first NUL byte, as a C string would.
    page.resize(std::min(page.find('\0'), page.size()));
    bool whole = takeBlocks(page, "<pre", "</pre>", take);
    whole = takeBlocks(page, "<code", "</code>", take) && whole;
    return takeCells(page, take, pieceBytes) && whole;
}

}  // namespace ef2
