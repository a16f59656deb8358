#include "platform/links.h"

#include <chrono>
#include <cstdio>

#include "platform/confined_files.h"
#include "platform/downloads.h"
#include "platform/packages.h"

namespace ef2 {

namespace {

constexpr std::string_view kModScheme = "ef2mod://";
constexpr std::string_view kWebScheme = "http://";
constexpr std::string_view kDownloadFolder = "webdls";
constexpr std::string_view kPackageEnding = ".zip";
constexpr std::size_t kMaxLocalName = 1023;
constexpr std::size_t kMaxSegment = 255;
// Downloads that take longer than this show their progress.
constexpr double kQuietDownloadSeconds = 0.5;

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// "C:..." on the system the scripts were first written for.
bool isDrivePath(std::string_view name) {
    return name.find(':') == 1;
}

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// Letters, digits, dots and dashes, then an optional :port.
bool hostAllowed(std::string_view host) {
    std::size_t colon = host.find(':');
    std::string_view name = host.substr(0, colon);
    if (name.empty()) return false;
    for (char c : name) {
        if (!isHostCharacter(c)) return false;
    }
    if (colon == std::string_view::npos) return true;
    std::string_view port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool segmentsAllowed(std::string_view path) {
    while (true) {
        std::size_t slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        if (segment.empty() || segment == "." || segment == ".." || segment.size() > kMaxSegment)
            return false;
        for (unsigned char c : segment) {
            if (c < 0x20 || c == 0x7F || c == '\\') return false;
        }
        if (slash == std::string_view::npos) return true;
        path.remove_prefix(slash + 1);
    }
}

std::string megabytes(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// A web address becomes its local copy below "webdls": the copy there is
// used unless a trailing '!' asks for a fresh one.
bool fetch(LinkContext& context, std::string& address) {
    bool fresh = false;
    if (address.back() == '!') {
        address.pop_back();
        fresh = true;
    }
    std::string local = downloadName(address);
    if (local.empty()) {
        context.reportLink("Refused link \"" + address + "\"");
        return false;
    }
    if (fresh || !regularFileExists(local, Confinement::WorkingFolder)) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point started = Clock::now();
        Clock::time_point lastShown = started;
        auto progress = [&](int64_t received, int64_t expected) {
            const Clock::time_point now = Clock::now();
            if (now - started < std::chrono::duration<double>(kQuietDownloadSeconds) ||
                now - lastShown < std::chrono::milliseconds(250)) {
                return;
            }
            lastShown = now;
            context.showLinkProgress("Downloading " + address + ": " + megabytes(received) +
                                     (expected > 0 ? " of " + megabytes(expected) : std::string()));
        };
        std::string error;
        const bool downloaded = downloadFile(address, local, error, progress);
        context.releaseStuckInput();
        if (!downloaded) {
            context.reportLink("Download of \"" + address + "\" failed: " + error);
            return false;
        }
    }
    address = std::move(local);
    return true;
}

// A package is unpacked into its folder, and the name loses its ".zip": the
// package holds the script named like it.
bool unpackIfPackage(LinkContext& context, std::string& name) {
    if (name.size() <= kPackageEnding.size() || !name.ends_with(kPackageEnding)) return true;
    std::string error;
    const bool unpacked = unpackPackage(name, error);
    context.releaseStuckInput();
    if (!unpacked) {
        context.reportLink("Refused package \"" + name + "\": " + error);
        return false;
    }
    name.resize(name.size() - kPackageEnding.size());
    return true;
}

}  // namespace

bool fileNameAllowed(std::string_view name, LinkRules rules) {
    if (contains(name, "dl.dll") || contains(name, "wget") || contains(name, "notepad")) return false;
    if (name == "start" || name == "start.bat") return false;
    if (rules == LinkRules::Lenient) return true;
    if (contains(name, "..") || isDrivePath(name)) return false;
    return name.empty() || (name.front() != '/' && name.front() != '\\');
}

void decodeLinkEscapes(std::string& text) {
    static constexpr std::pair<std::string_view, char> kEscapes[] = {
        {"%20", ' '}, {"%26", '&'}, {"%27", '\''}, {"%28", '('}, {"%29", ')'},
        {"%2A", '*'}, {"%2B", '+'}, {"%2C", ','},  {"%2D", '-'}, {"%5F", '_'},
    };
    // One pass per escape, in this order: an escape formed by an earlier
    // decoding is decoded by a later pass.
    for (const auto& [escape, character] : kEscapes) {
        std::string decoded;
        decoded.reserve(text.size());
        for (std::size_t at = 0; at < text.size();) {
            if (text.compare(at, escape.size(), escape) == 0) {
                decoded += character;
                at += escape.size();
            } else {
                decoded += text[at++];
            }
        }
        text = std::move(decoded);
    }
}

std::string downloadName(std::string_view address) {
    if (!address.starts_with(kWebScheme)) return {};
    std::string_view rest = address.substr(kWebScheme.size());
    std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !hostAllowed(rest.substr(0, slash))) return {};
    std::string local = std::string(kDownloadFolder) + "/" + std::string(rest);
    for (char& c : local) {
        if (c == '?') c = '@';
    }
    if (local.size() > kMaxLocalName || !segmentsAllowed(local)) return {};
    return local;
}

bool handleLink(LinkContext& context, std::string& argument, LinkRules rules, int32_t origin) {
    if (argument.empty()) return false;
    if (!fileNameAllowed(argument, rules)) {
        context.reportLink("Refused file name \"" + argument + "\"");
        return false;
    }
    decodeLinkEscapes(argument);
    bool asked = false;
    if (argument.starts_with(kModScheme)) {
        argument = std::string(kWebScheme) + argument.substr(kModScheme.size());
        if (!context.askAboutLink(
                "Would you like to run this mod?\n" + argument + "\nIt could contain viruses.",
                "Download and run mod?", origin)) {
            return false;
        }
        asked = true;
    }
    if (argument.starts_with(kWebScheme)) {
        // A link a network peer sent is never fetched and run unasked.
        if (origin != 0 && !asked &&
            !context.askAboutLink(
                "Connection " + std::to_string(origin) + " asks to download and run\n" + argument,
                "Download and run mod?", origin)) {
            context.reportLink("Refused link \"" + argument + "\" from connection " + std::to_string(origin));
            return false;
        }
        if (!fetch(context, argument)) return false;
    }
    return unpackIfPackage(context, argument);
}

}  // namespace ef2
