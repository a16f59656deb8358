#pragma once
// The rules every file name or link passes before the program uses it, and
// what they do with links: web addresses are downloaded below "webdls",
// mod links ("ef2mod://") are asked about first, zip packages are unpacked.
//
// Statement arguments are checked strictly: they may not climb out of the
// working directory ("..") or name an absolute path. In every mode, names that
// would start downloaders, editors or the command processor are refused. A
// refused name is reported on the console and the statement that named it
// does nothing; only the command line ends the program for one (see
// fileNameAllowed).

#include <cstdint>
#include <string>
#include <string_view>

namespace ef2 {

// What the link rules need from the rest of the program.
class LinkContext {
public:
    virtual ~LinkContext() = default;
    virtual void reportLink(std::string_view line) = 0;  // a line on the local console
    // The question before a mod is downloaded and run. `origin` is the
    // connection the link came from, 0 for the local user: a peer's link is
    // always put to the person at the toy.
    virtual bool askAboutLink(const std::string& text, const std::string& caption, int32_t origin) = 0;
    // A progress line while a slow download runs (console and status line).
    virtual void showLinkProgress(std::string_view line) = 0;
    // After a download or an unpacking that held the program up.
    virtual void releaseStuckInput() = 0;
};

// Strict for the arguments of statements; lenient for names the user chose
// (the command line, a file dialog, a dropped file).
enum class LinkRules { Strict, Lenient };

// False when `name` breaks the rules above.
bool fileNameAllowed(std::string_view name, LinkRules rules);

// The percent escapes links may carry, decoded in this fixed order: %20 %26
// %27 %28 %29 %2A %2B %2C %2D %5F (upper-case hex digits only).
void decodeLinkEscapes(std::string& text);

// The file a web address is kept in: "http://host/path?query" becomes
// "webdls/host/path@query". Empty when the address would make a name that
// could leave "webdls" or that no file system takes: a host that is not
// letters, digits, dots and dashes (with an optional :port), a user name, an
// empty, "." or ".." segment, a backslash or control character, more than
// 1,023 characters or a segment of more than 255.
std::string downloadName(std::string_view address);

// Checks `argument` and makes it a local file name: decodes escapes, turns a
// mod link into a web address (after asking), downloads a web address and
// unpacks a downloaded or local ".zip" package, cutting the ".zip" from the
// name. The argument is rewritten in place (a statement keeps the local name,
// so a later run does not download again). False when it must not be used:
// empty, refused, declined, or the download or unpacking failed (each with a
// console line saying why).
bool handleLink(LinkContext& context, std::string& argument, LinkRules rules, int32_t origin = 0);

}  // namespace ef2
