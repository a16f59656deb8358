#include "io/script_file.h"

#include <algorithm>
#include <cstdio>

#include "app/runtime.h"
#include "io/world_files.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace ef2 {

namespace {

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// Names of more than four characters ending in exactly one of these forms.
bool isPictureName(std::string_view name) {
    if (name.size() <= 4) return false;
    return endsWith(name, ".png") || endsWith(name, ".PNG") || endsWith(name, ".bmp") || endsWith(name, ".BMP");
}

// The text ends at its first NUL byte, as a C string would.
bool readScriptText(const std::string& name, std::string& contents, Confinement confinement) {
    if (readWholeFile(name, contents, confinement) != FileError::None) return false;
    std::size_t nul = contents.find('\0');
    if (nul != std::string::npos) contents.resize(nul);
    return true;
}

// XML goes through the converter beside the program, when there is one:
// `node xml2ef2.js` reads xml2ef2.xml and writes xml2ef2.ef2.
int loadXml(Runtime& runtime, const std::string& text, int32_t messageId) {
    if (std::FILE* out = openForWriting("xml2ef2.xml", WriteMode::Replace, Confinement::WorkingFolder).intoStream("wb")) {
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    std::string converter = programFolder() + "/xml2ef2.js";
    if (fileReadable(converter)) {
        Interpreter::UntimedWait waiting(runtime.interpreter);
        runProgram({"node", converter}, true);
    }
    return loadScriptFile(runtime, "xml2ef2.ef2", messageId);
}

// How much of a web page a code block decodes before it is cut.
enum class Decode { Block, RestOfPage };

// Code blocks of a web page: the content between an opening marker's '>' and
// the closing marker, decoded and parsed line by line. Table cells decode the
// rest of the page before they are cut, so later cells are decoded once per
// earlier cell as well.
void loadBlocks(Runtime& runtime, std::string& page, std::string_view open, std::string_view close, Decode decode,
                int32_t messageId, const std::string& fileName) {
    std::size_t searchFrom = 0;
    while (true) {
        std::size_t marker = page.find(open, searchFrom);
        if (marker == std::string::npos) return;
        std::size_t contentStart = page.find('>', marker);
        if (contentStart == std::string::npos) return;
        ++contentStart;
        std::size_t end = page.find(close, contentStart);
        if (end == std::string::npos) return;
        std::size_t decodedLength = decode == Decode::Block ? end - contentStart : std::string::npos;
        std::string decoded = page.substr(contentStart, decodedLength);
        decodeHtmlEntities(decoded);
        page.replace(contentStart, decodedLength, decoded);
        end = page.find(close, contentStart);
        if (end == std::string::npos) return;
        std::string content = page.substr(contentStart, end - contentStart);
        if (!content.empty()) parseLinesOf(runtime, content, messageId, fileName);
        searchFrom = contentStart;
    }
}

}  // namespace

void parseLinesOf(Runtime& runtime, std::string_view text, int32_t messageId, const std::string& sourceName) {
    int lineNumber = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        runtime.parser.parseLine(text.substr(0, end), lineNumber++, messageId, sourceName);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

int loadScriptFile(Runtime& runtime, const std::string& fileName, int32_t messageId, Confinement confinement) {
    if (isPictureName(fileName)) {
        loadWorldFile(runtime, fileName, confinement);
        return 0;
    }
    TextNestingScope nesting(runtime);
    std::string text;
    if (!readScriptText(fileName, text, confinement)) {
        runtime.printLine("Error opening file \"" + fileName + "\"", messageId);
        return 0;
    }
    if (!text.empty() && text[0] == '<') {
        if (text.find("<ef2>") != std::string::npos) return loadXml(runtime, text, messageId);
        loadBlocks(runtime, text, "<pre", "</pre>", Decode::Block, messageId, fileName);
        loadBlocks(runtime, text, "<code", "</code>", Decode::Block, messageId, fileName);
        loadBlocks(runtime, text, "<td class=\"code\"", "</td>", Decode::RestOfPage, messageId, fileName);
        return 0;
    }
    parseLinesOf(runtime, text, messageId, fileName);
    return 0;
}

TextNestingScope::TextNestingScope(Runtime& runtime) : runtime_(runtime) {
    if (runtime_.files.textNesting >= kMaxTextNesting) {
        throw RunawayScript{"files and message lines nested more than " + std::to_string(kMaxTextNesting) + " deep"};
    }
    ++runtime_.files.textNesting;
}

TextNestingScope::~TextNestingScope() { --runtime_.files.textNesting; }

void replaceWithChar(std::string& text, std::string_view pattern, char replacement, char fill) {
    // A one-character pattern replaced by itself would be found for ever.
    if (pattern.empty() || (pattern.size() == 1 && pattern[0] == replacement)) return;
    const std::size_t logical = std::min(text.find('\0'), text.size());
    // Streaming the text through an output that never holds a whole
    // occurrence replaces leftmost occurrences first, exactly as searching
    // again from the start after every replacement would, in linear time.
    std::string out;
    out.reserve(logical);
    for (std::size_t at = 0; at < logical; ++at) {
        out += text[at];
        while (out.size() >= pattern.size() && std::string_view(out).substr(out.size() - pattern.size()) == pattern) {
            out.resize(out.size() - pattern.size());
            out += replacement;
        }
    }
    out.append(logical - out.size(), fill);
    text.replace(0, logical, out);
}

void decodeHtmlEntities(std::string& text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'},  {"&gt;", '>'},   {"&#40;", '('}, {"&#41;", ')'}, {"&amp;", '&'},
        {"&quot;", '"'}, {"&#58;", ':'}, {"&#46;", '.'}, {"<br>", '\n'}, {"<br />", '\n'},
    };
    for (const auto& [pattern, replacement] : kEntities) replaceWithChar(text, pattern, replacement, ' ');
}

}  // namespace ef2
