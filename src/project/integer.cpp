#include "project/integer.h"

namespace torvana {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<int32_t> tryStrToInt(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    if (i == n) return std::nullopt;

    // Hexadecimal: "$", "x", "0x" prefixes, either case of x.
    size_t hexStart = std::string::npos;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        hexStart = i + 1;
    } else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hexStart = i + 2;
    }
    if (hexStart != std::string::npos) {
        const size_t digits = n - hexStart;
        if (digits == 0 || digits > 8) return std::nullopt;
        uint32_t value = 0;
        for (size_t k = hexStart; k < n; ++k) {
            const int v = hexValue(text[k]);
            if (v < 0) return std::nullopt;
            value = (value << 4) | static_cast<uint32_t>(v);
        }
        return static_cast<int32_t>(value);
    }

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == n) return std::nullopt;
    int64_t value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{2147483648}) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::string invalidIntegerText(const std::string& text) {
    return "'" + visibleText(text) + "' is not a valid integer value";
}

int32_t strToInt(const std::string& text) {
    if (auto v = tryStrToInt(text)) return *v;
    throw Error(invalidIntegerText(text));
}

}  // namespace torvana
