#include "Engine/Text/utlUnicodeText.h"

#include "Engine/Text/utlCp932Table.h"
#include "Engine/Analysis/utlHtmlText.h"

#include <algorithm>

#include <cstdint>

namespace {

constexpr std::string_view kGeta = "\x81\xAC"; // 〓

// Length of the UTF-8 sequence starting at b[i] and its code point; 0 when it is not one.
std::size_t decodeUtf8(std::string_view b, std::size_t i, std::uint32_t& code)
{
    unsigned char c = b[i];
    if (c < 0x80) {
        code = c;
        return 1;
    }
    std::size_t n = 0;
    std::uint32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        code = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        code = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        code = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > b.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        unsigned char t = b[i + k];
        if ((t & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (t & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return n;
}

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

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
        int d = (c >= '0' && c <= '9') ? c - '0'
              : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (hex && c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
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

std::string utf8ToSjisKeepingRefs(std::string_view utf8, std::size_t* replaced)
{
    const std::uint16_t* table = cp932::fromCodePointTable();
    std::string out;
    out.reserve(utf8.size());
    std::size_t count = 0;
    std::size_t i = 0;
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        i = 3;
    }
    while (i < utf8.size()) {
        unsigned char c = utf8[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::uint32_t code = 0;
        std::size_t n = decodeUtf8(utf8, i, code);
        if (n == 0) {
            out += kGeta;
            ++count;
            ++i;
            continue;
        }
        i += n;
        std::uint16_t sjis = code < 0x10000 ? table[code] : 0;
        if (sjis == 0) {
            out += "&#" + std::to_string(code) + ";";
            ++count;
        } else if (sjis < 0x100) {
            out += static_cast<char>(sjis);
        } else {
            out += static_cast<char>(sjis >> 8);
            out += static_cast<char>(sjis & 0xFF);
        }
    }
    if (replaced != nullptr) {
        *replaced += count;
    }
    return out;
}

void decodeHtmlTextKeepingRefs(std::string& text)
{
    // A reference to keep has its '&' swapped for a byte that decodeHtmlText leaves alone and
    // that text from outside never carries (control bytes are dropped first); '&' and the
    // reference's characters are below every trail byte, so a byte-wise scan is safe.
    constexpr char kept = '\x01';
    std::erase(text, kept);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = 0;
        if (text[i] != '&' || text.compare(i, 2, "&#") != 0 || decodeReference(text, i, code) == 0) {
            continue;
        }
        if (code >= 0x10000 || cp932::fromCodePoint(code) == 0) {
            text[i] = kept;
        }
    }
    decodeHtmlText(text);
    std::replace(text.begin(), text.end(), kept, '&');
}

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
        appendUtf8(decoded, code);
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
