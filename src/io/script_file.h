#pragma once
// Loading script files: the one road by which a file's contents become
// statements.
//
// The file name and the first byte decide what a file is: a world picture
// (handed to the world-file loader), an XML document (converted by an outside
// script and loaded again), a web page (script taken from its code blocks) or
// plain script text.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/confined_files.h"

namespace ef2 {

class Runtime;

// Names from scripts stay confined to the working folder; the start files,
// command-line arguments and dropped files are the user's choice. A file
// that is no regular file, cannot be read or holds more than kMaxTextBytes
// is reported as one that cannot be opened.
int loadScriptFile(Runtime& runtime, const std::string& fileName, int32_t messageId,
                   Confinement confinement = Confinement::WorkingFolder);

// Texts that run texts (INCLUDE, the script form of a world, MESSAGE EXEC,
// clipboard text) nest on the machine stack. A text nested deeper than this
// is a runaway, such as a file that includes itself: the pass that began it
// is stopped like any runaway script.
constexpr int kMaxTextNesting = 200;

class TextNestingScope {
public:
    // Throws RunawayScript when the limit is passed.
    explicit TextNestingScope(Runtime& runtime);
    ~TextNestingScope();
    TextNestingScope(const TextNestingScope&) = delete;
    TextNestingScope& operator=(const TextNestingScope&) = delete;

private:
    Runtime& runtime_;
};

// Replaces every occurrence of `pattern` in the text (up to its first NUL) by
// `replacement`, leftmost first and from the start again after each one, so
// that an occurrence formed by a replacement is replaced too. The text keeps
// its length: the freed bytes at its end take `fill`.
void replaceWithChar(std::string& text, std::string_view pattern, char replacement, char fill);

// Decodes &lt; &gt; &#40; &#41; &amp; &quot; &#58; &#46; <br> and <br /> in
// that order, one full pass each; the text keeps its length.
void decodeHtmlEntities(std::string& text);
// The same decoding of a text without NUL bytes, leaving out the spaces that
// would keep its length. True when anything was decoded.
bool decodeHtmlEntitiesShrinking(std::string& text);

// Hands every line of `text` to the parser, numbering from 1.
void parseLinesOf(Runtime& runtime, std::string_view text, int32_t messageId, const std::string& sourceName);

}  // namespace ef2
