#include "Platform/platformText.h"

#include <atomic>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kGetaSjis = "\x81\xAC"; // 〓

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// An iconv descriptor kept for the thread: opening one costs more than converting a line.
class Descriptor {
public:
    Descriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Descriptor()
    {
        if (cd_ != kNoDescriptor)
            iconv_close(cd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // The descriptor in its initial state, or kNoDescriptor.
    iconv_t get()
    {
        if (cd_ != kNoDescriptor)
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

// One conversion of a few bytes into out; the number of bytes made, 0 when iconv rejects them.
std::size_t convertOnce(iconv_t cd, const char* in, std::size_t inLength, char* out,
                        std::size_t outSize)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    char* target = out;
    std::size_t sourceLeft = inLength;
    std::size_t targetLeft = outSize;
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<std::size_t>(-1) ||
        sourceLeft != 0)
        return 0;
    return outSize - targetLeft;
}

// glibc's CP932 maps several code points onto one code (U+2014 and U+2015 onto 0x815C,
// U+00A5 onto '\'), but reads each code back as one of them only: a code point counts as
// held only when its bytes read back as itself.
std::vector<std::uint16_t> buildFromCodePoint()
{
    std::vector<std::uint16_t> table(0x10000, 0);
    for (std::uint32_t code = 1; code < 0x80; ++code)
        table[code] = static_cast<std::uint16_t>(code);
    iconv_t to = iconv_open("CP932", "UTF-32LE");
    iconv_t back = iconv_open("UTF-32LE", "CP932");
    if (to != kNoDescriptor && back != kNoDescriptor) {
        for (std::uint32_t code = 0x80; code < 0x10000; ++code) {
            if (code >= 0xD800 && code <= 0xDFFF)
                continue;
            const char in[4] = {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8), 0, 0};
            char bytes[8];
            std::size_t made = convertOnce(to, in, 4, bytes, sizeof bytes);
            char again[8];
            if (made == 0 || made > 2 || convertOnce(back, bytes, made, again, sizeof again) != 4 ||
                std::string_view(again, 4) != std::string_view(in, 4))
                continue;
            auto* b = reinterpret_cast<unsigned char*>(bytes);
            table[code] = made == 1 ? b[0] : static_cast<std::uint16_t>(b[0] << 8 | b[1]);
        }
    }
    if (to != kNoDescriptor)
        iconv_close(to);
    if (back != kNoDescriptor)
        iconv_close(back);
    return table;
}

// CP932 is stateless and a character is one byte or a lead byte and its trail, so iconv's
// answer for each byte and each pair is asked once and kept: a whole text then costs a table
// look-up per character instead of a pass through iconv. An answer packs its kind (bits 0-3),
// the length of its UTF-8 (bits 4-7) and those bytes (from bit 8); 0 is not asked yet. The
// tables are shared by every thread; an answer is one word, so a race only asks twice.
enum Answer : std::uint64_t { kUnknown = 0, kSingle = 1, kLead = 2, kBad = 3 };

struct AnswerTables {
    std::atomic<std::uint64_t> firstByte[0x80];    // bytes 0x80-0xFF
    std::atomic<std::uint64_t> pair[0x80 * 0x100]; // (lead - 0x80) << 8 | trail
};

AnswerTables& answerTables()
{
    static AnswerTables tables;
    return tables;
}

// Asks iconv to make one character of all of in; the packed answer with kind, or kLead when
// in is the start of a longer character, or kBad.
std::uint64_t ask(iconv_t cd, const char* in, std::size_t length, std::uint64_t kind)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    std::size_t sourceLeft = length;
    char buffer[8];
    char* target = buffer;
    std::size_t targetLeft = sizeof buffer;
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<std::size_t>(-1))
        return errno == EINVAL && kind == kSingle ? kLead : kBad;
    std::size_t made = sizeof buffer - targetLeft;
    if (sourceLeft != 0 || made == 0 || made > 4)
        return kBad;
    std::uint64_t packed = kind | made << 4;
    for (std::size_t i = 0; i < made; ++i)
        packed |= std::uint64_t{static_cast<unsigned char>(buffer[i])} << (8 + 8 * i);
    return packed;
}

std::uint64_t firstByteAnswer(AnswerTables& tables, iconv_t cd, unsigned char c)
{
    std::atomic<std::uint64_t>& slot = tables.firstByte[c - 0x80];
    std::uint64_t a = slot.load(std::memory_order_relaxed);
    if (a == kUnknown) {
        char in = static_cast<char>(c);
        a = ask(cd, &in, 1, kSingle);
        slot.store(a, std::memory_order_relaxed);
    }
    return a;
}

std::uint64_t pairAnswer(AnswerTables& tables, iconv_t cd, unsigned char lead, unsigned char trail)
{
    std::atomic<std::uint64_t>& slot = tables.pair[(lead - 0x80) << 8 | trail];
    std::uint64_t a = slot.load(std::memory_order_relaxed);
    if (a == kUnknown) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        a = ask(cd, in, 2, kLead);
        slot.store(a, std::memory_order_relaxed);
    }
    return a;
}

void appendAnswer(std::string& out, std::uint64_t a)
{
    char bytes[4];
    std::size_t length = (a >> 4) & 0xF;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(a >> (8 + 8 * i));
    out.append(bytes, length);
}

// Length of the UTF-8 character at b[i] and its code point; 0 when none starts there.
std::size_t decodeUtf8(std::string_view b, std::size_t i, std::uint32_t& code)
{
    unsigned char c = static_cast<unsigned char>(b[i]);
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
    if (i + n > b.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        unsigned char t = static_cast<unsigned char>(b[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (t & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

void appendCp932(std::string& out, std::uint16_t sjis)
{
    if (sjis >= 0x100)
        out += static_cast<char>(sjis >> 8);
    out += static_cast<char>(sjis & 0xFF);
}

} // namespace

const std::uint16_t* cp932FromCodePointTable()
{
    static const std::vector<std::uint16_t> table = buildFromCodePoint();
    return table.data();
}

std::uint16_t cp932FromCodePoint(std::uint32_t codePoint)
{
    return codePoint < 0x10000 ? cp932FromCodePointTable()[codePoint] : 0;
}

std::size_t referenceAt(std::string_view text, std::size_t at, std::uint32_t& codePoint)
{
    // Seven digits hold every code point; more is no reference the program writes.
    constexpr std::size_t maxDigits = 7;
    if (text.size() - at < 4 || text[at] != '&' || text[at + 1] != '#')
        return 0;
    std::uint32_t value = 0;
    std::size_t i = at + 2;
    for (; i < text.size() && i - at - 2 < maxDigits && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (i == at + 2 || i >= text.size() || text[i] != ';')
        return 0;
    // The program keeps references only beyond Latin-1's controls, and "&#38;" for an '&' held as text; any
    // other is text that reads as written ("&#60;" typed stays "&#60;").
    // C1 controls are left out: no HTML file can hold one (browsers read &#128; to &#159; as
    // Windows-1252).
    bool kept =
        value == '&' || (value >= 0xA0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF));
    if (!kept)
        return 0;
    codePoint = value;
    return i + 1 - at;
}

void appendReference(std::string& out, std::uint32_t codePoint)
{
    out += "&#";
    out += std::to_string(codePoint);
    out += ';';
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

void appendSjisAsUtf8(std::string& out, std::string_view sjis)
{
    std::size_t i = 0;
    // ASCII is the same bytes in both codes: runs of it are copied whole, up to an '&' that
    // may begin a reference ('&' is never the trail byte of a pair).
    auto copyAscii = [&] {
        std::size_t from = i;
        while (i < sjis.size() && static_cast<unsigned char>(sjis[i]) < 0x80 && sjis[i] != '&')
            ++i;
        out.append(sjis.data() + from, i - from);
    };
    copyAscii();
    if (i == sjis.size())
        return;
    thread_local Descriptor cd("UTF-8", "CP932");
    iconv_t d = cd.get();
    AnswerTables& tables = answerTables();
    out.reserve(out.size() + (sjis.size() - i) * 3 / 2 + 4);
    while (i < sjis.size()) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c == '&') {
            std::uint32_t code = 0;
            std::size_t length = referenceAt(sjis, i, code);
            if (length == 0) {
                out += '&';
                ++i;
            } else {
                appendUtf8(out, code);
                i += length;
            }
            continue;
        }
        if (c < 0x80) {
            copyAscii();
            continue;
        }
        if (d == kNoDescriptor) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::uint64_t a = firstByteAnswer(tables, d, c);
        std::size_t step = 1;
        if (a == kLead) {
            // A lead byte cut off by the end is as bad as one with a wrong trail byte.
            a = i + 1 < sjis.size()
                    ? pairAnswer(tables, d, c, static_cast<unsigned char>(sjis[i + 1]))
                    : kBad;
            step = 2;
        }
        if (a == kBad) {
            out.append(kReplacementUtf8);
            ++i;
            continue;
        }
        appendAnswer(out, a);
        i += step;
    }
}

std::string sjisToUtf8(std::string_view sjis)
{
    std::string out;
    appendSjisAsUtf8(out, sjis);
    return out;
}

std::string utf8ToSjis(std::string_view utf8, Ampersand ampersand, std::size_t* replaced)
{
    const std::uint16_t* table = cp932FromCodePointTable();
    std::string out;
    out.reserve(utf8.size());
    std::size_t count = 0;
    // A byte-order mark says how the text is written, it is no part of it.
    std::size_t i = utf8.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = 0;
        if (c == '&' && ampersand == Ampersand::text && referenceAt(utf8, i, code) != 0) {
            out += "&#38;";
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t n = decodeUtf8(utf8, i, code);
        if (n == 0) {
            // One "〓" for a cut or broken character, not one for each of its bytes.
            out += kGetaSjis;
            ++count;
            ++i;
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
                ++i;
            continue;
        }
        i += n;
        if (code <= 0x9F) {
            // A C1 control: no file the program writes can keep it.
            out += kGetaSjis;
            ++count;
            continue;
        }
        std::uint16_t sjis = code < 0x10000 ? table[code] : 0;
        if (sjis != 0) {
            appendCp932(out, sjis);
            continue;
        }
        appendReference(out, code);
        ++count;
    }
    if (replaced != nullptr)
        *replaced += count;
    return out;
}

std::string utf8AddressToPercent(std::string_view utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7F) {
            out += ch;
            continue;
        }
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 0xF];
    }
    return out;
}

std::size_t sjisBoundary(std::string_view sjis, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < sjis.size()) {
        // A kept reference is one character: cut before it, never inside it.
        std::uint32_t code = 0;
        std::size_t width = referenceAt(sjis, i, code);
        if (width == 0)
            width = isLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return i;
}

} // namespace platform
