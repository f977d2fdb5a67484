#include "Engine/utlHtmlText.h"

#include "Platform/platformText.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

bool isTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// Length of the character at text[i]: 2 for a lead byte with a valid trail byte behind it.
// A lead byte that is cut off or followed by a single-byte character stands alone, so that
// no '<' or '&' ever hides behind it.
size_t charLength(std::string_view text, size_t i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!platform::isLeadByte(c) || i + 1 >= text.size())
        return 1;
    return isTrailByte(static_cast<unsigned char>(text[i + 1])) ? 2 : 1;
}

// Half-width forms of the full-width katakana 0x8340-0x8394, one entry per code. A second byte
// of ' ' means none; a first byte of ' ' means the character has no half-width form.
constexpr std::array<std::array<unsigned char, 2>, 85> halfWidthKatakana = {{
    {0xA7, 0x20}, {0xB1, 0x20}, {0xA8, 0x20}, {0xB2, 0x20}, {0xA9, 0x20}, // ァアィイゥ
    {0xB3, 0x20}, {0xAA, 0x20}, {0xB4, 0x20}, {0xAB, 0x20}, {0xB5, 0x20}, // ウェエォオ
    {0xB6, 0x20}, {0xB6, 0xDE}, {0xB7, 0x20}, {0xB7, 0xDE}, {0xB8, 0x20}, // カガキギク
    {0xB8, 0xDE}, {0xB9, 0x20}, {0xB9, 0xDE}, {0xBA, 0x20}, {0xBA, 0xDE}, // グケゲコゴ
    {0xBB, 0x20}, {0xBB, 0xDE}, {0xBC, 0x20}, {0xBC, 0xDE}, {0xBD, 0x20}, // サザシジス
    {0xBD, 0xDE}, {0xBE, 0x20}, {0xBE, 0xDE}, {0xBF, 0x20}, {0xBF, 0xDE}, // ズセゼソゾ
    {0xC0, 0x20}, {0xC0, 0xDE}, {0xC1, 0x20}, {0xC1, 0xDE}, {0xAF, 0x20}, // タダチヂッ
    {0xC2, 0x20}, {0xC2, 0xDE}, {0xC3, 0x20}, {0xC3, 0xDE}, {0xC4, 0x20}, // ツヅテデト
    {0xC4, 0xDE}, {0xC5, 0x20}, {0xC6, 0x20}, {0xC7, 0x20}, {0xC8, 0x20}, // ドナニヌネ
    {0xC9, 0x20}, {0xCA, 0x20}, {0xCA, 0xDE}, {0xCA, 0xDF}, {0xCB, 0x20}, // ノハバパヒ
    {0xCB, 0xDE}, {0xCB, 0xDF}, {0xCC, 0x20}, {0xCC, 0xDE}, {0xCC, 0xDF}, // ビピフブプ
    {0xCD, 0x20}, {0xCD, 0xDE}, {0xCD, 0xDF}, {0xCE, 0x20}, {0xCE, 0xDE}, // ヘベペホボ
    {0xCE, 0xDF}, {0xCF, 0x20}, {0xD0, 0x20}, {0x20, 0x20}, {0xD1, 0x20}, // ポマミ(none)ム
    {0xD2, 0x20}, {0xD3, 0x20}, {0xAC, 0x20}, {0xD4, 0x20}, {0xAD, 0x20}, // メモャヤュ
    {0xD5, 0x20}, {0xAE, 0x20}, {0xD6, 0x20}, {0xD7, 0x20}, {0xD8, 0x20}, // ユョヨラリ
    {0xD9, 0x20}, {0xDA, 0x20}, {0xDB, 0x20}, {0x20, 0x20}, {0xDC, 0x20}, // ルレロヮワ
    {0x20, 0x20}, {0x20, 0x20}, {0xA6, 0x20}, {0xDD, 0x20}, {0xB3, 0xDE}, // ヰヱヲンヴ
}};

void appendNormalizedSingle(std::string& out, unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        out += static_cast<char>(c - 'a' + 'A');
    else if (c == 0xB0)
        out += '-';
    else
        out += static_cast<char>(c);
}

void appendNormalizedDouble(std::string& out, unsigned char lead, unsigned char trail)
{
    unsigned code = (lead << 8) | trail;
    if (code >= 0x8281 && code <= 0x829A) {
        out += static_cast<char>(trail - 0x40);
        return;
    }
    if ((code >= 0x8260 && code <= 0x8279) || (code >= 0x824F && code <= 0x8258)) {
        out += static_cast<char>(trail - 0x1F);
        return;
    }
    if (code == 0x815B || code == 0x817C) {
        out += '-';
        return;
    }
    if (code >= 0x8340 && code <= 0x8394) {
        const auto& half = halfWidthKatakana[code - 0x8340];
        if (half[0] != 0x20) {
            out += static_cast<char>(half[0]);
            if (half[1] != 0x20)
                out += static_cast<char>(half[1]);
            return;
        }
    }
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
}

bool startsWithNoCase(std::string_view text, size_t at, std::string_view name)
{
    if (text.size() - at < name.size())
        return false;
    for (size_t k = 0; k < name.size(); ++k) {
        char c = text[at + k];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != name[k])
            return false;
    }
    return true;
}

struct NamedEntity {
    std::string_view name;
    char value;
};

constexpr std::array<NamedEntity, 5> namedEntities = {{
    {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"nbsp", ' '},
}};

// The UTF-8 form of a Unicode code point, or empty for a surrogate or a value past U+10FFFF.
std::string utf8Of(uint32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            return {};
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// The Shift_JIS text of a character reference, or empty when it names none we can hold:
// NUL and other control characters stay written out, as do characters outside Shift_JIS.
std::string sjisOfCodePoint(uint32_t cp)
{
    if (cp == '\t' || cp == '\n' || cp == '\r' || (cp >= 0x20 && cp < 0x7F))
        return std::string(1, static_cast<char>(cp));
    if (cp < 0xA0)
        return {};
    std::string utf8 = utf8Of(cp);
    if (utf8.empty())
        return {};
    // The converter writes "〓" for what Shift_JIS cannot hold; only U+3013 itself means it.
    static constexpr std::string_view geta = "\x81\xAC";
    constexpr uint32_t getaCodePoint = 0x3013;
    std::string sjis = platform::utf8ToSjis(utf8);
    if (sjis.empty() || (sjis == geta && cp != getaCodePoint))
        return {};
    return sjis;
}

int digitValue(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (!hex)
        return -1;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A numeric reference at text[at] ("&#..."): its replacement and length, or false.
bool decodeNumeric(std::string_view text, size_t at, std::string& value, size_t& length)
{
    size_t i = at + 2;
    bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    size_t digitsStart = i;
    uint32_t cp = 0;
    constexpr uint32_t beyondUnicode = 0x110000;
    for (; i < text.size(); ++i) {
        int d = digitValue(text[i], hex);
        if (d < 0)
            break;
        // Saturate instead of overflowing: "&#99999999999;" is simply no character.
        cp = cp >= beyondUnicode ? beyondUnicode : cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
    }
    if (i == digitsStart || cp >= beyondUnicode)
        return false;
    value = sjisOfCodePoint(cp);
    if (value.empty())
        return false;
    if (i < text.size() && text[i] == ';')
        ++i;
    length = i - at;
    return true;
}

bool decodeNamed(std::string_view text, size_t at, char& value, size_t& length)
{
    for (const NamedEntity& entity : namedEntities) {
        if (!startsWithNoCase(text, at + 1, entity.name))
            continue;
        value = entity.value;
        length = 1 + entity.name.size();
        if (at + length < text.size() && text[at + length] == ';')
            ++length;
        return true;
    }
    return false;
}

} // namespace

void normalizeForSearch(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t n = charLength(text, i);
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 2)
            appendNormalizedDouble(out, c, static_cast<unsigned char>(text[i + 1]));
        else
            appendNormalizedSingle(out, c);
        i += n;
    }
    text = std::move(out);
}

bool decodeHtmlText(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    std::string_view in(text);
    for (size_t i = 0; i < in.size();) {
        size_t n = charLength(in, i);
        if (n == 1 && in[i] == '&') {
            char named = 0;
            std::string numeric;
            size_t length = 0;
            if (decodeNamed(in, i, named, length)) {
                out += named;
                i += length;
                continue;
            }
            if (i + 1 < in.size() && in[i + 1] == '#' && decodeNumeric(in, i, numeric, length)) {
                out += numeric;
                i += length;
                continue;
            }
        }
        out.append(in.substr(i, n));
        i += n;
    }
    text = std::move(out);
    return true;
}

bool encodeHtmlText(std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    bool afterSpace = false;
    for (size_t i = 0; i < text.size();) {
        size_t n = charLength(text, i);
        char c = text[i];
        bool space = n == 1 && c == ' ';
        if (space)
            out += afterSpace ? "&nbsp;" : " ";
        else if (n == 1 && c == '<')
            out += "&lt;";
        else if (n == 1 && c == '>')
            out += "&gt;";
        else if (n == 1 && c == '&')
            out += "&amp;";
        else if (n == 1 && c == '"')
            out += "&quot;";
        else
            out.append(text, i, n);
        afterSpace = space;
        i += n;
    }
    text = std::move(out);
    return true;
}
