#include "io/script_file.h"

#include <algorithm>
#include <cstdio>

#include "io/web_page.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "script/script_context.h"

namespace ef2 {

namespace {

// The text ends at its first NUL byte, as a C string would.
bool readScriptText(const std::string& name, std::string& contents, Confinement confinement) {
    if (readWholeFile(name, contents, confinement) != FileError::None) return false;
    std::size_t nul = contents.find('\0');
    if (nul != std::string::npos) contents.resize(nul);
    return true;
}

// XML goes through the converter beside the program, when there is one:
// `node xml2ef2.js` reads xml2ef2.xml and writes xml2ef2.ef2.
void loadXml(ScriptContext& context, const std::string& text, int32_t messageId) {
    if (StreamPtr out =
            openForWriting("xml2ef2.xml", WriteMode::Replace, Confinement::WorkingFolder).intoStream("wb")) {
        std::fwrite(text.data(), 1, text.size(), out.get());
    }
    std::string converter = programFolder() + "/xml2ef2.js";
    if (fileReadable(converter)) {
        Interpreter::UntimedWait waiting(context.interpreter);
        runProgram({"node", converter}, true);
    }
    loadScriptText(context, "xml2ef2.ef2", messageId);
}

}  // namespace

void parseLinesOf(ScriptContext& context, std::string_view text, int32_t messageId,
                  const std::string& sourceName) {
    int lineNumber = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        context.parser.parseLine(text.substr(0, end), lineNumber++, messageId, sourceName);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

void loadScriptText(ScriptContext& context, const std::string& fileName, int32_t messageId,
                    Confinement confinement) {
    Interpreter::TextNestingScope nesting(context.interpreter);
    std::string text;
    if (!readScriptText(fileName, text, confinement)) {
        context.printLine("Error opening file \"" + fileName + "\"", messageId);
        return;
    }
    if (!text.empty() && text[0] == '<') {
        if (text.find("<ef2>") != std::string::npos) {
            loadXml(context, text, messageId);
            return;
        }
        const bool whole = forEachCodeBlock(std::move(text), [&](std::string_view content) {
            parseLinesOf(context, content, messageId, fileName);
        });
        if (!whole) context.printLine("Skipped nested code blocks of \"" + fileName + "\"", messageId);
        return;
    }
    parseLinesOf(context, text, messageId, fileName);
}

namespace {

// Streaming the text through an output that never holds a whole occurrence
// replaces leftmost occurrences first, exactly as searching again from the
// start after every replacement would, in linear time. The result has its
// own length.
std::string replaced(std::string_view text, std::string_view pattern, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        while (std::string_view(out).ends_with(pattern)) {
            out.resize(out.size() - pattern.size());
            out += replacement;
        }
    }
    return out;
}

constexpr std::pair<std::string_view, char> kEntities[] = {
    {"&lt;", '<'},   {"&gt;", '>'},  {"&#40;", '('}, {"&#41;", ')'}, {"&amp;", '&'},
    {"&quot;", '"'}, {"&#58;", ':'}, {"&#46;", '.'}, {"<br>", '\n'}, {"<br />", '\n'},
};

}  // namespace

void replaceWithChar(std::string& text, std::string_view pattern, char replacement, char fill) {
    // A one-character pattern replaced by itself would be found for ever.
    if (pattern.empty() || (pattern.size() == 1 && pattern[0] == replacement)) return;
    const std::size_t logical = std::min(text.find('\0'), text.size());
    std::string out = replaced(std::string_view(text).substr(0, logical), pattern, replacement);
    out.append(logical - out.size(), fill);
    text.replace(0, logical, out);
}

void decodeHtmlEntities(std::string& text) {
    for (const auto& [pattern, replacement] : kEntities) replaceWithChar(text, pattern, replacement, ' ');
}

bool decodeHtmlEntitiesShrinking(std::string& text) {
    bool changed = false;
    for (const auto& [pattern, replacement] : kEntities) {
        // Without an occurrence to begin with, none can form.
        if (text.find(pattern) == std::string::npos) continue;
        text = replaced(text, pattern, replacement);
        changed = true;
    }
    return changed;
}

}  // namespace ef2
