#include "Engine/Text/utlUnicodeText.h"

#include "Platform/platformText.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

// A character reference at text[i] ('&'): its code point and length, or 0.
std::size_t decodeReference(std::string_view t, std::size_t i, std::uint32_t& code)
{
    static constexpr std::pair<std::string_view, char> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& [name, ch] : named) {
        if (t.substr(i, name.size()) == name) {
            code = static_cast<unsigned char>(ch);
            return name.size();
        }
    }
    if (t.substr(i, 2) != "&#") {
        return 0;
    }
    std::size_t p = i + 2;
    bool hex = p < t.size() && (t[p] == 'x' || t[p] == 'X');
    p += hex ? 1 : 0;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; p < t.size() && digits < 8; ++p, ++digits) {
        char c = t[p];
        int d = (c >= '0' && c <= '9')          ? c - '0'
                : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (hex && c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                : -1;
        if (d < 0) {
            break;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    if (digits == 0 || p >= t.size() || t[p] != ';' || value == 0 || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    code = value;
    return p + 1 - i;
}

// How many characters of text are multibyte UTF-8; -1 when it is not UTF-8.
long utf8Multibytes(std::string_view b)
{
    long multibyte = 0;
    for (std::size_t i = 0; i < b.size();) {
        unsigned char c = b[i];
        std::size_t n = c < 0x80                   ? 1
                        : (c >= 0xC2 && c <= 0xDF) ? 2
                        : (c >= 0xE0 && c <= 0xEF) ? 3
                        : (c >= 0xF0 && c <= 0xF4) ? 4
                                                   : 0;
        if (n == 0 || i + n > b.size())
            return -1;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80)
                return -1;
        }
        multibyte += n > 1 ? 1 : 0;
        i += n;
    }
    return multibyte;
}

} // namespace

std::string utf8AddressToAscii(std::string_view utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string decoded;
    decoded.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t code = 0;
        std::size_t n = utf8[i] == '&' ? decodeReference(utf8, i, code) : 0;
        if (n == 0) {
            decoded += utf8[i++];
            continue;
        }
        platform::appendUtf8(decoded, code);
        i += n;
    }
    std::string out;
    out.reserve(decoded.size());
    for (unsigned char c : decoded) {
        if (c > 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 0xF];
    }
    return out;
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(std::string_view text)
{
    return utf8Multibytes(text) >= 0;
}

bool isUtf8WithMultibyte(std::string_view text)
{
    return utf8Multibytes(text) > 0;
}
