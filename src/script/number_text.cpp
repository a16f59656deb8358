#include "script/number_text.h"

#include <cstdlib>
#include <limits>
#include <string>

namespace ef2 {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

std::optional<int32_t> scanInteger(std::string_view text) {
    std::optional<ScannedInteger> scanned = scanIntegerPrefix(text);
    if (!scanned) return std::nullopt;
    return scanned->value;
}

std::optional<ScannedInteger> scanIntegerPrefix(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int base = 10;
    if (at < text.size() && text[at] == '0') {
        base = 8;
        if (at + 2 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
            digitValue(text[at + 2]) < 16) {
            base = 16;
            at += 2;
        }
    }
    std::size_t firstDigit = at;
    uint64_t magnitude = 0;
    bool saturated = false;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; at < text.size() && digitValue(text[at]) < base; ++at) {
        if (saturated) continue;
        uint64_t digit = static_cast<uint64_t>(digitValue(text[at]));
        if (magnitude > (limit - digit) / static_cast<uint64_t>(base)) {
            saturated = true;
            magnitude = limit;
        } else {
            magnitude = magnitude * base + digit;
        }
    }
    if (at == firstDigit) return std::nullopt;
    uint64_t bits = negative ? ~magnitude + 1 : magnitude;
    return ScannedInteger{static_cast<int32_t>(static_cast<uint32_t>(bits)), at};
}

std::optional<double> scanDecimal(std::string_view text) {
    std::string copy(text);
    const char* begin = copy.c_str();
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    return value;
}

}  // namespace ef2
