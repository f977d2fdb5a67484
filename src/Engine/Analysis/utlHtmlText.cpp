#include "Engine/Analysis/utlHtmlText.h"

#include "Common/utlTexts.h"
#include "Engine/Analysis/utlHtmlEntityTable.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// Length of the character at text[i]: 2 for a lead byte with a valid trail byte behind it.
// A lead byte that is cut off or followed by a single-byte character stands alone, so that
// no '<' or '&' ever hides behind it.
size_t charLength(std::string_view text, size_t i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!platform::isLeadByte(c) || i + 1 >= text.size())
        return 1;
    return platform::isTrailByte(static_cast<unsigned char>(text[i + 1])) ? 2 : 1;
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

const std::string_view geta = utlTexts::sjis(utlText::geta); // 〓, for a control character
constexpr std::uint32_t replacementCharacter = 0xFFFD;

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9');
}

void appendPercent(std::string& out, unsigned char byte)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    out += '%';
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

// The UTF-8 bytes of a code point (below 0x110000, no surrogate), each as %XX.
void appendPercentUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        appendPercent(out, static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        appendPercent(out, static_cast<unsigned char>(0xC0 | (cp >> 6)));
        appendPercent(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        appendPercent(out, static_cast<unsigned char>(0xE0 | (cp >> 12)));
        appendPercent(out, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        appendPercent(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else {
        appendPercent(out, static_cast<unsigned char>(0xF0 | (cp >> 18)));
        appendPercent(out, static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
        appendPercent(out, static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        appendPercent(out, static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    }
}

// The character a reference names, written as the target needs it.
void appendCodePoint(std::string& out, std::uint32_t cp, ReferenceTarget target)
{
    bool address = target == ReferenceTarget::address;
    if (cp < 0x80) {
        bool control = cp < 0x20 || cp == 0x7F;
        bool lineOrTab = cp == '\t' || cp == '\n' || cp == '\r';
        if (!control || (lineOrTab && !address))
            out += static_cast<char>(cp);
        else if (!address)
            out += geta;
        else if (!lineOrTab)
            appendPercent(out, static_cast<unsigned char>(cp)); // browsers drop TAB, CR and LF
        return;
    }
    if (cp <= 0x9F) {
        // A C1 control that Windows-1252 does not name.
        if (address)
            appendPercentUtf8(out, cp);
        else
            out += geta;
        return;
    }
    if (cp == 0xA0 && !address) {
        out += ' ';
        return;
    }
    // Only a character whose Shift_JIS bytes read back as itself will do: U+00A5 would
    // otherwise become '\\' and U+2014 read back as U+2015.
    std::uint16_t sjis = platform::cp932FromCodePoint(cp);
    if (sjis >= 0x100) {
        out += static_cast<char>(sjis >> 8);
        out += static_cast<char>(sjis & 0xFF);
    } else if (sjis >= 0xA1 && sjis <= 0xDF) {
        out += static_cast<char>(sjis);
    } else if (address) {
        appendPercentUtf8(out, cp);
    } else {
        // Kept as a reference, which the screen shows as the character and a file keeps.
        platform::appendReference(out, cp);
    }
}

// What browsers read &#128; to &#159; as: the characters of Windows-1252 (0 where it has none).
constexpr std::array<std::uint16_t, 32> windows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

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

// A numeric reference at text[at] ("&#..."): its code point and the bytes it takes, or false
// when no digit follows. The closing ';' may be missing, as browsers allow.
bool readNumeric(std::string_view text, std::size_t at, std::uint32_t& cp, std::size_t& length)
{
    std::size_t i = at + 2;
    bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    std::size_t digitsStart = i;
    constexpr std::uint32_t beyondUnicode = 0x110000;
    cp = 0;
    for (; i < text.size(); ++i) {
        int d = digitValue(text[i], hex);
        if (d < 0)
            break;
        // Saturate instead of overflowing: "&#99999999999;" is simply no character.
        cp = cp >= beyondUnicode ? beyondUnicode
                                 : cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    if (i == digitsStart)
        return false;
    if (i < text.size() && text[i] == ';')
        ++i;
    length = i - at;
    if (cp == 0 || cp >= beyondUnicode || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = replacementCharacter;
    else if (cp >= 0x80 && cp <= 0x9F && windows1252[cp - 0x80] != 0)
        cp = windows1252[cp - 0x80];
    return true;
}

// The five names the program always took in any case (&AMP; &Lt; &NBSP;).
const htmlEntity::Entity* findAnyCase(std::string_view name)
{
    static constexpr std::string_view markup[] = {"lt", "gt", "amp", "quot", "nbsp"};
    char lower[htmlEntity::longestSemicolonOptional];
    if (name.size() > sizeof lower)
        return nullptr;
    for (std::size_t k = 0; k < name.size(); ++k)
        lower[k] =
            name[k] >= 'A' && name[k] <= 'Z' ? static_cast<char>(name[k] - 'A' + 'a') : name[k];
    std::string_view folded(lower, name.size());
    for (std::string_view candidate : markup) {
        if (folded == candidate)
            return htmlEntity::find(candidate);
    }
    return nullptr;
}

// A named reference at text[at] ("&" and a letter): its code point and the bytes it takes.
// A name with ';' is taken whole; without one, only the names browsers take so, the longest
// that begins the word. In an attribute (an address) such a name followed by a letter, digit
// or '=' stays as written, so that "?a=1&copy=2" keeps its parameter.
bool readNamed(std::string_view text, std::size_t at, ReferenceTarget target, std::uint32_t& cp,
               std::size_t& length)
{
    std::size_t end = at + 1;
    while (end < text.size() && end - at - 1 <= htmlEntity::longestName && isAsciiAlnum(text[end]))
        ++end;
    std::string_view word = text.substr(at + 1, end - at - 1);
    if (word.size() <= htmlEntity::longestName && end < text.size() && text[end] == ';') {
        const htmlEntity::Entity* entity = htmlEntity::find(word);
        if (entity == nullptr)
            entity = findAnyCase(word);
        if (entity != nullptr) {
            cp = entity->codePoint;
            length = word.size() + 2;
            return true;
        }
    }
    for (std::size_t n = std::min(word.size(), htmlEntity::longestSemicolonOptional); n >= 2; --n) {
        std::string_view name = word.substr(0, n);
        const htmlEntity::Entity* entity = htmlEntity::find(name);
        if (entity == nullptr || !entity->semicolonOptional)
            entity = findAnyCase(name);
        if (entity == nullptr)
            continue;
        std::size_t after = at + 1 + n;
        bool semicolon = after < text.size() && text[after] == ';';
        if (target == ReferenceTarget::address && !semicolon && after < text.size() &&
            (isAsciiAlnum(text[after]) || text[after] == '='))
            return false;
        cp = entity->codePoint;
        length = 1 + n + (semicolon ? 1 : 0);
        return true;
    }
    return false;
}

} // namespace

namespace {

// Upper case of the Latin letters kept as references (Latin-1 and Latin Extended-A), so that
// "café" finds "CAFÉ"; other scripts CP932 lacks have no case here.
std::uint32_t upperLatin(std::uint32_t cp)
{
    if ((cp >= 0xE0 && cp <= 0xFE && cp != 0xF7))
        return cp - 0x20;
    if (cp == 0xFF)
        return 0x178;
    bool evenUpper = (cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177);
    if (evenUpper)
        return cp & ~1u;
    bool oddUpper = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    if (oddUpper && cp % 2 == 0)
        return cp - 1;
    return cp;
}

// A kept reference becomes one token that typed ASCII never makes: 0x7F and six hex digits
// written as the bytes 0x10-0x1F, so that searching "&" or "23" does not find "&#233;".
void appendSearchToken(std::string& out, std::uint32_t cp)
{
    if (cp == '&') {
        out += '&';
        return;
    }
    cp = upperLatin(cp);
    out += '\x7F';
    for (int shift = 20; shift >= 0; shift -= 4)
        out += static_cast<char>(0x10 + ((cp >> shift) & 0xF));
}

} // namespace

void normalizeForSearch(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        if (std::size_t reference = text[i] == '&' ? platform::referenceAt(text, i, cp) : 0) {
            appendSearchToken(out, cp);
            i += reference;
            continue;
        }
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

namespace {

// An '&' of the decoded text that stands for itself but is followed by what reads as a kept
// reference ("&amp;#65;" decoded) becomes "&#38;", so that it stays an '&' on the screen.
void holdLiteralAmpersands(std::string& text, const std::vector<std::size_t>& ampersands)
{
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at : ampersands) {
        std::uint32_t cp = 0;
        if (platform::referenceAt(text, at, cp) == 0)
            continue;
        if (out.empty())
            out.reserve(text.size() + 8);
        out.append(text, copied, at - copied);
        out += "&#38;";
        copied = at + 1;
    }
    if (copied == 0)
        return;
    out.append(text, copied, std::string::npos);
    text = std::move(out);
}

} // namespace

void decodeCharacterReferences(std::string& text, ReferenceTarget target)
{
    // '&' is never the trail byte of a double-byte character, so a plain search finds every
    // reference and the bytes between them are copied whole.
    std::size_t amp = text.find('&');
    if (amp == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::string_view in(text);
    std::size_t copied = 0;
    // Where the decoded text has an '&' that is text, not a kept reference.
    std::vector<std::size_t> ampersands;
    while (amp != std::string::npos) {
        std::uint32_t cp = 0;
        std::size_t length = 0;
        bool found = false;
        if (amp + 1 < in.size() && in[amp + 1] == '#')
            found = readNumeric(in, amp, cp, length);
        else if (amp + 1 < in.size() && isAsciiLetter(in[amp + 1]))
            found = readNamed(in, amp, target, cp, length);
        if (!found) {
            out.append(in, copied, amp + 1 - copied);
            ampersands.push_back(out.size() - 1);
            copied = amp + 1;
            amp = in.find('&', copied);
            continue;
        }
        out.append(in, copied, amp - copied);
        if (cp == '&')
            ampersands.push_back(out.size());
        appendCodePoint(out, cp, target);
        copied = amp + length;
        amp = in.find('&', copied);
    }
    out.append(in, copied, std::string_view::npos);
    if (target == ReferenceTarget::text)
        holdLiteralAmpersands(out, ampersands);
    text = std::move(out);
}

void decodeHtmlText(std::string& text)
{
    decodeCharacterReferences(text, ReferenceTarget::text);
}

namespace {

// A kept reference is written as it is, so that a browser shows its character and the reader
// keeps it; "&#38;" (an '&' held as text) and any other '&' are written as "&amp;".
void appendAmpersand(std::string& out, const std::string& text, std::size_t at, std::size_t& length)
{
    std::uint32_t cp = 0;
    std::size_t reference = platform::referenceAt(text, at, cp);
    if (reference == 0 || cp == '&') {
        out += "&amp;";
        length = reference == 0 ? 1 : reference;
        return;
    }
    out.append(text, at, reference);
    length = reference;
}

} // namespace

void encodeHtmlText(std::string& text)
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
            appendAmpersand(out, text, i, n);
        else if (n == 1 && c == '"')
            out += "&quot;";
        else
            out.append(text, i, n);
        afterSpace = space;
        i += n;
    }
    text = std::move(out);
}
