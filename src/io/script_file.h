#pragma once
// Reading script files: a file's text becomes statements.
//
// The first byte decides what a text is: an XML document (converted by an
// outside script and loaded again), a web page (script taken from its code
// blocks) or plain script text. Which files are scripts and which are world
// pictures is for the program's file loader to choose (app/file_loading.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/confined_files.h"

namespace ef2 {

class ScriptContext;

// Names from scripts stay confined to the working folder; the start files,
// command-line arguments and dropped files are the user's choice. A file
// that is no regular file, cannot be read or holds more than kMaxTextBytes
// is reported as one that cannot be opened. Texts within texts are counted
// (Interpreter::TextNestingScope).
void loadScriptText(ScriptContext& context, const std::string& fileName, int32_t messageId,
                    Confinement confinement = Confinement::WorkingFolder);

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
void parseLinesOf(ScriptContext& context, std::string_view text, int32_t messageId,
                  const std::string& sourceName);

}  // namespace ef2
