#include "Engine/Text/utlUnicodeText.h"

#include "Platform/platformText.h"

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
