#include "Engine/Text/utlKanjiConverter.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Text/utlCp932Table.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <new>
#include <vector>

namespace {

using Byte = unsigned char;
constexpr Byte esc = 0x1B;
constexpr Byte geta1 = 0x81; // "〓", written for characters CP932 cannot hold
constexpr Byte geta2 = 0xAC;

const char* const messageCheck = utlTexts::sjis(utlText::codeCheckFailed);
const char* const messageMemory = utlTexts::sjis(utlText::memoryAllocationFailed);
const char* const messageJisSequence = utlTexts::sjis(utlText::jisInvalidSequence);
const char* const messageHeldNotCR = utlTexts::sjis(utlText::heldByteNotCR);
const char* const messageHeldNotLead = utlTexts::sjis(utlText::heldByteNotLead);
const char* const messageUnmappable = utlTexts::sjis(utlText::unmappableReplaced);

inline void putLineEnd(char*& out)
{
    *out++ = '\r';
    *out++ = '\n';
}

inline void putGeta(char*& out)
{
    *out++ = static_cast<char>(geta1);
    *out++ = static_cast<char>(geta2);
}

// Bytes 0x20-0x7F read the same in every code but JIS double-byte mode and need no line-end
// care, so runs of them are copied whole. Returns the index after the run.
//
// Words of eight are stored whole, also past the end of a run: the output buffer holds two
// bytes for every input byte, so while eight input bytes remain, eight output bytes fit.
inline std::size_t copyPlainRun(const Byte* in, std::size_t i, std::size_t length, char*& out)
{
    constexpr std::uint64_t spaces = 0x2020202020202020ULL;
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    // A byte below 0x20 borrows into its high bit, one above 0x7F has it set. A borrow only
    // marks bytes after the first one that ends the run, so the lowest mark (in memory order)
    // is exact.
    while (i + 8 <= length) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        std::memcpy(out, &word, 8);
        std::uint64_t ends = ((word - spaces) | word) & highBits;
        if (ends == 0) {
            i += 8;
            out += 8;
            continue;
        }
        if constexpr (std::endian::native == std::endian::little) {
            std::size_t run = static_cast<std::size_t>(std::countr_zero(ends)) / 8;
            out += run;
            return i + run;
        }
        break;
    }
    while (i < length && in[i] >= 0x20 && in[i] < 0x80)
        *out++ = static_cast<char>(in[i++]);
    return i;
}

inline bool isPlain(Byte byte)
{
    return byte >= 0x20 && byte < 0x80;
}

// The Shift_JIS bytes of a JIS X 0208 row/cell pair by table: the trail depends on the
// parity of the row, and a branch on it would be guessed wrong half the time in real text.
struct JisPairTables {
    Byte lead[128] = {};
    Byte trail[2][128] = {};
};

constexpr JisPairTables makeJisPairTables()
{
    JisPairTables tables;
    for (unsigned j = 0x21; j <= 0x7E; ++j) {
        unsigned t = j - 0x20;
        tables.lead[j] = static_cast<Byte>(t < 0x3F ? (t + 1) / 2 + 0x80 : (t + 1) / 2 + 0xC0);
        tables.trail[0][j] = static_cast<Byte>(j + 0x7E);
        tables.trail[1][j] = static_cast<Byte>(j < 0x60 ? j + 0x1F : j + 0x20);
    }
    return tables;
}

constexpr JisPairTables jisPairTables = makeJisPairTables();

// The JIS X 0208 row/cell pair (both 0x21-0x7E) as Shift_JIS.
inline void putJisPair(Byte j1, Byte j2, char*& out)
{
    out[0] = static_cast<char>(jisPairTables.lead[j1 & 0x7F]);
    out[1] = static_cast<char>(jisPairTables.trail[j1 & 1][j2 & 0x7F]);
    out += 2;
}

// The line-end rule shared by every converter but JIS: CR LF, a lone CR and a lone LF all
// become CR LF; a CR is held until the next byte shows which. Returns true when the byte
// was taken as (part of) a line end.
inline bool takeLineEnd(bool& pendingCR, Byte byte, char*& out)
{
    if (pendingCR) {
        pendingCR = false;
        putLineEnd(out);
        if (byte == '\n')
            return true;
    }
    if (byte == '\r') {
        pendingCR = true;
        return true;
    }
    if (byte == '\n') {
        putLineEnd(out);
        return true;
    }
    return false;
}

void convertAsciiBytes(bool& pendingCR, const Byte* in, std::size_t length, char*& out)
{
    for (std::size_t i = 0; i < length;) {
        Byte byte = in[i];
        if (!pendingCR && isPlain(byte)) {
            i = copyPlainRun(in, i, length, out);
            continue;
        }
        ++i;
        if (!takeLineEnd(pendingCR, byte, out))
            *out++ = static_cast<char>(byte);
    }
}

using State = utlKanjiConverter::State;

void sjisBytes(State& s, const Byte* in, std::size_t length, char*& out)
{
    for (std::size_t i = 0; i < length;) {
        Byte byte = in[i];
        if (s.heldCount == 0 && !s.pendingCR) {
            if (isPlain(byte)) {
                i = copyPlainRun(in, i, length, out);
                continue;
            }
            if (platform::isLeadByte(byte) && i + 1 < length) {
                do {
                    out[0] = static_cast<char>(in[i]);
                    out[1] = static_cast<char>(in[i + 1]);
                    out += 2;
                    i += 2;
                } while (i + 1 < length && platform::isLeadByte(in[i]));
                continue;
            }
        }
        if (s.heldCount == 1) {
            *out++ = static_cast<char>(s.held[0]);
            *out++ = static_cast<char>(byte);
            s.heldCount = 0;
            ++i;
            continue;
        }
        if (s.pendingCR) {
            s.pendingCR = false;
            putLineEnd(out);
            if (byte == '\n') {
                ++i;
                continue;
            }
        }
        ++i;
        if (platform::isLeadByte(byte)) {
            // The byte after a lead byte is its trail, whatever it is.
            if (i < length) {
                *out++ = static_cast<char>(byte);
                *out++ = static_cast<char>(in[i++]);
            } else {
                s.held[0] = byte;
                s.heldCount = 1;
            }
            continue;
        }
        if (byte == '\r')
            s.pendingCR = true;
        else if (byte == '\n')
            putLineEnd(out);
        else
            *out++ = static_cast<char>(byte);
    }
}

inline bool isEucByte(Byte byte)
{
    return byte >= 0xA1 && byte <= 0xFE;
}

void eucBytes(State& s, const Byte* in, std::size_t length, char*& out)
{
    for (std::size_t i = 0; i < length;) {
        Byte byte = in[i];
        if (s.heldCount == 0 && !s.pendingCR) {
            if (isPlain(byte)) {
                i = copyPlainRun(in, i, length, out);
                continue;
            }
            // Whole JIS X 0208 characters inside the block, the common case, at once.
            if (isEucByte(byte) && i + 1 < length && isEucByte(in[i + 1])) {
                do {
                    Byte first = in[i];
                    putJisPair(static_cast<Byte>(first - 0x80), static_cast<Byte>(in[i + 1] - 0x80),
                               out);
                    if (first >= 0xF5)
                        out[-2] = static_cast<char>(static_cast<Byte>(out[-2]) + 5);
                    i += 2;
                } while (i + 1 < length && isEucByte(in[i]) && isEucByte(in[i + 1]));
                continue;
            }
        }
        if (s.heldCount > 0) {
            Byte first = s.held[0];
            bool kana = first == 0x8E;
            bool ok = kana ? (byte >= 0xA1 && byte <= 0xDF) : (byte >= 0xA1 && byte <= 0xFE);
            if (!ok) {
                // Not a character: say so and read the byte afresh, so that a '<', a quote
                // or a line end after malformed text is not swallowed.
                *out++ = '?';
                s.heldCount = 0;
                continue;
            }
            ++i;
            if (kana) {
                *out++ = static_cast<char>(byte);
                s.heldCount = 0;
            } else if (first == 0x8F) {
                if (s.heldCount == 1) {
                    s.held[1] = byte;
                    s.heldCount = 2;
                } else {
                    putGeta(out); // JIS X 0212 has no place in CP932
                    ++s.unmappable;
                    s.heldCount = 0;
                }
            } else {
                putJisPair(static_cast<Byte>(first - 0x80), static_cast<Byte>(byte - 0x80), out);
                // EUC-JP rows 85-94 (user-defined) sit at 0xF040 in CP932, five leads on.
                if (first >= 0xF5)
                    out[-2] = static_cast<char>(static_cast<Byte>(out[-2]) + 5);
                s.heldCount = 0;
            }
            continue;
        }
        ++i;
        if (byte < 0x80) {
            if (!takeLineEnd(s.pendingCR, byte, out))
                *out++ = static_cast<char>(byte);
            continue;
        }
        if (s.pendingCR) {
            s.pendingCR = false;
            putLineEnd(out);
        }
        if (byte == 0x8E || byte == 0x8F || (byte >= 0xA1 && byte <= 0xFE)) {
            s.held[0] = byte;
            s.heldCount = 1;
        } else {
            *out++ = '?';
        }
    }
}

// A character of a UTF-8 page that CP932 cannot hold is kept as its decimal reference, which
// the analyzer keeps as it is and the screen shows as the character.
void putReference(std::uint32_t code, char*& out)
{
    char digits[8];
    int n = 0;
    for (; code != 0; code /= 10)
        digits[n++] = static_cast<char>('0' + code % 10);
    *out++ = '&';
    *out++ = '#';
    while (n > 0)
        *out++ = digits[--n];
    *out++ = ';';
}

inline void putCp932(std::uint32_t code, std::uint16_t sjis, char*& out)
{
    if (sjis == 0) {
        putReference(code, out);
    } else if (sjis < 0x100) {
        *out++ = static_cast<char>(sjis);
    } else {
        *out++ = static_cast<char>(sjis >> 8);
        *out++ = static_cast<char>(sjis & 0xFF);
    }
}

inline void putCodePoint(std::uint32_t code, char*& out)
{
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
        return;
    }
    putCp932(code, cp932::fromCodePoint(code), out);
}

// The three-byte loop's own table: for U+0800-U+FFFF the CP932 pair of each character CP932
// holds in two bytes, lead byte first in memory so that one store writes both; 0 for what
// the loop leaves to the checks after it (overlong forms below U+0800, surrogates, characters
// CP932 holds in one byte or lacks). Derived once from the code-point table.
//
// It is indexed by the UTF-8 bytes with little rearranging (threeByteIndex): the low six bits
// of the second byte, then those of the third, then the lead's four. The index skips two bits
// after each six, so the table is four times the room of the code points, but a character's
// neighbours still share its cache lines and the loop saves three operations a character.
inline std::uint32_t threeByteIndex(std::uint32_t word)
{
    return (word >> 8 & 0x3F3Fu) | (word & 0x0Fu) << 14;
}

const std::uint16_t* threeByteTable()
{
    static const std::vector<std::uint16_t> pairs = [] {
        std::vector<std::uint16_t> built(std::size_t{1} << 18, 0);
        const std::uint16_t* table = cp932::fromCodePointTable();
        for (std::uint32_t code = 0x800; code < 0x10000; ++code) {
            std::uint16_t sjis = table[code];
            if (sjis < 0x100 || code - 0xD800u < 0x800u)
                continue;
            const Byte bytes[2] = {static_cast<Byte>(sjis >> 8), static_cast<Byte>(sjis & 0xFF)};
            // The character's UTF-8 bytes as a little-endian word.
            std::uint32_t word = (0xE0u | code >> 12) | (0x80u | (code >> 6 & 0x3F)) << 8 |
                                 (0x80u | (code & 0x3F)) << 16;
            std::memcpy(&built[threeByteIndex(word)], bytes, 2);
        }
        return built;
    }();
    return pairs.data();
}

// Converts the well-formed two- and three-byte sequences wholly inside the block from i on
// (nearly all of Japanese text), with the ASCII and the line ends between them, and returns
// where it stopped; anything else is left to the byte-at-a-time path. Plain ASCII is tested
// first: it is what follows a run of Japanese in a page. A byte xor 0x80 is below 0x40
// exactly when it is a continuation byte.
std::size_t wholeUtf8Run(const std::uint16_t* table, const std::uint16_t* pairs, const Byte* in,
                         std::size_t i, std::size_t length, char*& out)
{
    while (i + 1 < length) {
        // Three-byte characters with four bytes in reach, the bulk of Japanese text: the lead
        // (1110xxxx) and both continuation bytes (10xxxxxx) are checked with one mask, the
        // code (an overlong form included) by the pair table.
        if constexpr (std::endian::native == std::endian::little) {
            while (i + 4 <= length) {
                std::uint32_t word;
                std::memcpy(&word, in + i, 4);
                // Any four bytes give an index inside the table; one branch decides.
                std::uint16_t pair = pairs[threeByteIndex(word)];
                if (((word & 0x00C0C0F0u) != 0x008080E0u) | (pair == 0))
                    break;
                std::memcpy(out, &pair, 2);
                out += 2;
                i += 3;
            }
            if (i + 1 >= length)
                break;
        }
        unsigned lead = in[i];
        if (isPlain(static_cast<Byte>(lead))) {
            // ASCII between characters, copied as the byte loop would copy it, without the
            // way back there.
            i = copyPlainRun(in, i, length, out);
            continue;
        }
        if (lead == '\n' || lead == '\r') {
            // A line end whose end is in the block, as takeLineEnd writes it.
            putLineEnd(out);
            i += lead == '\r' && in[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        unsigned b1 = in[i + 1] ^ 0x80u;
        std::uint32_t code;
        std::size_t used;
        if ((lead & 0xF0u) == 0xE0u) {
            if (i + 2 >= length)
                break;
            unsigned b2 = in[i + 2] ^ 0x80u;
            if ((b1 | b2) >= 0x40u)
                break;
            code = (lead & 0x0Fu) << 12 | b1 << 6 | b2;
            if (code < 0x800 || code - 0xD800u < 0x800u)
                break;
            used = 3;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            if (b1 >= 0x40u)
                break;
            code = (lead & 0x1Fu) << 6 | b1;
            used = 2;
        } else {
            break;
        }
        putCp932(code, table[code], out);
        i += used;
    }
    return i;
}

[[gnu::always_inline]] inline void utf8Bytes(State& s, const Byte* in, std::size_t length,
                                             char*& out)
{
    const std::uint16_t* table = cp932::fromCodePointTable();
    const std::uint16_t* pairs = threeByteTable();
    for (std::size_t i = 0; i < length;) {
        Byte byte = in[i];
        if (s.heldCount == 0 && !s.pendingCR) {
            if (isPlain(byte)) {
                i = copyPlainRun(in, i, length, out);
                continue;
            }
            std::size_t next = wholeUtf8Run(table, pairs, in, i, length, out);
            if (next != i) {
                i = next;
                continue;
            }
        }
        if (s.heldCount > 0) {
            if ((byte & 0xC0) != 0x80) {
                *out++ = '?';
                s.heldCount = 0;
                continue;
            }
            ++i;
            s.utf8Code = s.utf8Code << 6 | (byte & 0x3F);
            s.held[s.heldCount++] = byte;
            int need = s.held[0] >= 0xF0 ? 4 : s.held[0] >= 0xE0 ? 3 : 2;
            if (s.heldCount < need)
                continue;
            s.heldCount = 0;
            std::uint32_t code = s.utf8Code;
            if (code < s.utf8Min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                *out++ = '?';
            else
                putCodePoint(code, out);
            continue;
        }
        ++i;
        if (byte < 0x80) {
            if (!takeLineEnd(s.pendingCR, byte, out))
                *out++ = static_cast<char>(byte);
            continue;
        }
        if (s.pendingCR) {
            s.pendingCR = false;
            putLineEnd(out);
        }
        if (byte >= 0xC2 && byte <= 0xF4) {
            s.held[0] = byte;
            s.heldCount = 1;
            s.utf8Code = byte & (byte >= 0xF0 ? 0x07 : byte >= 0xE0 ? 0x0F : 0x1F);
            s.utf8Min = byte >= 0xF0 ? 0x10000 : byte >= 0xE0 ? 0x800 : 0x80;
        } else {
            *out++ = '?';
        }
    }
}

// States of the JIS machine: 0 start and 4 ASCII, 1 after ESC, 2 after ESC $, 3 after ESC (,
// 5 CR in ASCII, 6 double-byte, 7 second byte, 8 CR in double-byte, 9 after ESC $ (,
// 10 half-width katakana (ESC ( I), 11 CR in katakana.
enum JisState {
    jisStart = 0,
    jisEscape = 1,
    jisDollar = 2,
    jisParen = 3,
    jisAscii = 4,
    jisCrAscii = 5,
    jisDouble = 6,
    jisSecond = 7,
    jisCrDouble = 8,
    jisDollarParen = 9,
    jisKana = 10,
    jisCrKana = 11,
};

inline bool isJisByte(Byte byte)
{
    return byte >= 0x21 && byte <= 0x7E;
}

// Returns true when an invalid sequence was met.
bool jisBytes(State& s, const Byte* in, std::size_t length, char*& out)
{
    bool invalid = false;
    for (std::size_t i = 0; i < length;) {
        Byte byte = in[i];
        switch (s.jisState) {
        case jisStart:
        case jisAscii:
        case jisDouble:
        case jisKana: {
            if ((s.jisState == jisStart || s.jisState == jisAscii) && isPlain(byte)) {
                i = copyPlainRun(in, i, length, out);
                break;
            }
            if (s.jisState == jisDouble && s.jisSet == 0 && i + 1 < length && isJisByte(byte) &&
                isJisByte(in[i + 1])) {
                do {
                    putJisPair(in[i], in[i + 1], out);
                    i += 2;
                } while (i + 1 < length && isJisByte(in[i]) && isJisByte(in[i + 1]));
                break;
            }
            int mode = s.jisState == jisStart ? jisAscii : s.jisState;
            ++i;
            if (byte == esc) {
                s.jisReturnState = mode;
                s.jisState = jisEscape;
            } else if (byte == '\r') {
                s.jisState = mode == jisAscii    ? jisCrAscii
                             : mode == jisDouble ? jisCrDouble
                                                 : jisCrKana;
            } else if (byte == '\n') {
                putLineEnd(out);
            } else if (mode == jisDouble && byte >= 0x21 && byte <= 0x7E) {
                s.jisFirstByte = byte;
                s.jisState = jisSecond;
            } else if (mode == jisKana && byte >= 0x21 && byte <= 0x5F) {
                *out++ = static_cast<char>(byte + 0x80);
            } else if (byte >= 0x80 && (byte < 0xA1 || byte > 0xDF)) {
                // A stray 8-bit byte (a Latin-1 sign) would be a lead byte in Shift_JIS and
                // take the '<' or quote after it; only half-width katakana stand alone.
                *out++ = '?';
            } else {
                *out++ = static_cast<char>(byte);
            }
            break;
        }
        case jisEscape:
            ++i;
            if (byte == '$') {
                s.jisState = jisDollar;
            } else if (byte == '(') {
                s.jisState = jisParen;
            } else {
                invalid = true;
                *out++ = '?';
                s.jisState = s.jisReturnState;
            }
            break;
        case jisDollar:
            ++i;
            s.jisSet = 0;
            if (byte == '(') {
                s.jisState = jisDollarParen;
                break;
            }
            if (byte != 'B')
                invalid = true;
            // ESC $ @ (the 1978 set) reads as JIS X 0208; an unknown set has no CP932 form.
            s.jisSet = byte != 'B' && byte != '@' ? 2 : 0;
            s.jisState = jisDouble;
            break;
        case jisParen:
            ++i;
            if (byte == 'I') {
                s.jisState = jisKana;
                break;
            }
            if (byte != 'B' && byte != 'J')
                invalid = true;
            s.jisState = jisAscii;
            break;
        case jisDollarParen:
            ++i;
            // JIS X 0213 plane 1 extends JIS X 0208; plane 2 and JIS X 0212 do not fit CP932.
            s.jisSet = byte == 'Q' || byte == 'O' ? 1 : 2;
            if (byte != 'Q' && byte != 'O' && byte != 'P' && byte != 'D')
                invalid = true;
            s.jisState = jisDouble;
            break;
        case jisCrAscii:
        case jisCrDouble:
        case jisCrKana:
            putLineEnd(out);
            s.jisState = s.jisState == jisCrAscii    ? jisAscii
                         : s.jisState == jisCrDouble ? jisDouble
                                                     : jisKana;
            if (byte == '\n')
                ++i;
            break;
        case jisSecond:
            s.jisState = jisDouble;
            if (byte < 0x21 || byte > 0x7E) {
                *out++ = '?'; // half a character; the byte is read again
                break;
            }
            ++i;
            if (s.jisSet == 0) {
                putJisPair(s.jisFirstByte, byte, out);
                break;
            }
            if (std::uint16_t sjis =
                    s.jisSet == 1 ? cp932::fromJisX0213(s.jisFirstByte, byte) : 0) {
                if (sjis >= 0x100)
                    *out++ = static_cast<char>(sjis >> 8);
                *out++ = static_cast<char>(sjis & 0xFF);
                break;
            }
            putGeta(out);
            ++s.unmappable;
            break;
        default: s.jisState = jisAscii; break;
        }
    }
    return invalid;
}

} // namespace

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("utlKanjiConverter");
    return slot;
}

} // namespace

utlKanjiConverter::utlKanjiConverter()
{
    countCreated(instances());
}

utlKanjiConverter::~utlKanjiConverter()
{
    countDestroyed(instances());
}

bool utlKanjiConverter::init()
{
    return reset();
}

bool utlKanjiConverter::reset()
{
    output.clear();
    state = State();
    detector.reset();
    pending.clear();
    pending.shrink_to_fit();
    spare = std::string();
    scratch.reset();
    scratchSize = 0;
    return true;
}

void utlKanjiConverter::discardOutput()
{
    if (!output.empty()) {
        spare = std::move(output.back());
        spare.clear();
    }
    output.clear();
}

std::string utlKanjiConverter::takeSpare()
{
    std::string out = std::move(spare);
    out.clear();
    return out;
}

const std::string& utlKanjiConverter::lastOutput() const
{
    static const std::string empty;
    return output.empty() ? empty : output.back();
}

// The converting entry points log under this name whichever helper met the failure.
constexpr const char* convertCodeName = "utlKanjiConverter::convertCode";

const char* utlKanjiConverter::methodName(int kind)
{
    switch (kind) {
    case codeSjis: return "utlKanjiConverter::convertSJIS";
    case codeJis: return "utlKanjiConverter::convertJIS";
    case codeEuc: return "utlKanjiConverter::convertEUC";
    case codeUtf8: return "utlKanjiConverter::convertUTF8";
    default: return "utlKanjiConverter::convertASCII";
    }
}

const char* utlKanjiConverter::failureMessage(int kind)
{
    switch (kind) {
    case codeSjis: return utlTexts::sjis(utlText::sjisConversionFailed);
    case codeJis: return utlTexts::sjis(utlText::jisConversionFailed);
    case codeEuc: return utlTexts::sjis(utlText::eucConversionFailed);
    case codeUtf8: return utlTexts::sjis(utlText::utf8ConversionFailed);
    default: return utlTexts::sjis(utlText::asciiConversionFailed);
    }
}

// Converts with the converter of kind into out (appended), on a copy of the states that is
// kept only when the conversion succeeds. The UTF-8 converter, which pages use most, is inlined
// here, where the states and the cursor are locals: through a reference every byte stored
// could be one of them, and each would be read back from memory after every store.
bool utlKanjiConverter::convertInto(int kind, const char* bytes, std::size_t length,
                                    std::string& out)
{
    State work = state;
    const char* method = methodName(kind);
    if (kind == codeAscii && work.heldCount != 0)
        return logErrorAs(method, messageHeldNotCR);
    if (kind == codeSjis && work.heldCount != 0 &&
        (work.heldCount != 1 || !platform::isLeadByte(work.held[0])))
        return logErrorAs(method, messageHeldNotLead);
    std::uint64_t unmappableBefore = work.unmappable;
    bool invalidJis = false;
    try {
        // Every input byte gives at most two output bytes, plus what was held before; a
        // UTF-8 character kept as a reference gives at most four for each of its bytes
        // ("&#128;" of two bytes, "&#1114111;" of four).
        std::size_t room = (kind == codeUtf8 ? 4 : 2) * length + 16;
        if (scratchSize < room) {
            scratch.reset();
            scratchSize = 0;
            scratch = std::make_unique_for_overwrite<char[]>(room);
            scratchSize = room;
        }
        char* cursor = scratch.get();
        const auto* in = reinterpret_cast<const Byte*>(bytes);
        switch (kind) {
        case codeSjis: sjisBytes(work, in, length, cursor); break;
        case codeJis: invalidJis = jisBytes(work, in, length, cursor); break;
        case codeEuc: eucBytes(work, in, length, cursor); break;
        case codeUtf8: utf8Bytes(work, in, length, cursor); break;
        default: convertAsciiBytes(work.pendingCR, in, length, cursor); break;
        }
        out.append(scratch.get(), static_cast<std::size_t>(cursor - scratch.get()));
    } catch (const std::bad_alloc&) {
        logErrorAs(method, messageMemory);
        return logErrorAs(convertCodeName, failureMessage(kind));
    }
    if (invalidJis && !state.jisWarned) {
        // Once a page is enough: a broken page would otherwise fill the log.
        logErrorAs(methodName(codeJis), messageJisSequence);
        work.jisWarned = true;
    }
    if (work.unmappable != unmappableBefore)
        logErrorAs(method, std::string(messageUnmappable) + "(" +
                               std::to_string(work.unmappable - unmappableBefore) + ")");
    state = work;
    return true;
}

bool utlKanjiConverter::pushOutput(std::string&& out)
{
    try {
        output.push_back(std::move(out));
    } catch (const std::bad_alloc&) {
        return logErrorAs(convertCodeName, messageMemory);
    }
    return true;
}

bool utlKanjiConverter::convertASCII(const char* bytes, std::size_t length)
{
    std::string out;
    return convertInto(codeAscii, bytes, length, out) && pushOutput(std::move(out));
}

bool utlKanjiConverter::convertSJIS(const char* bytes, std::size_t length)
{
    std::string out;
    return convertInto(codeSjis, bytes, length, out) && pushOutput(std::move(out));
}

bool utlKanjiConverter::convertJIS(const char* bytes, std::size_t length)
{
    std::string out;
    return convertInto(codeJis, bytes, length, out) && pushOutput(std::move(out));
}

bool utlKanjiConverter::convertEUC(const char* bytes, std::size_t length)
{
    std::string out;
    return convertInto(codeEuc, bytes, length, out) && pushOutput(std::move(out));
}

bool utlKanjiConverter::convertUTF8(const char* bytes, std::size_t length)
{
    std::string out;
    return convertInto(codeUtf8, bytes, length, out) && pushOutput(std::move(out));
}

bool utlKanjiConverter::checkCode(const char* bytes, std::size_t length, std::size_t& decidedAt)
{
    const auto* in = reinterpret_cast<const Byte*>(bytes);
    for (std::size_t i = 0; i < length; ++i) {
        int decided = detector.feed(in[i]);
        if (decided != codeUnknown) {
            codeKind = decided;
            decidedAt = i + 1;
            return true;
        }
    }
    decidedAt = length;
    return true;
}

// A held CR moves into the JIS machine's own CR state; the other converters share it.
void utlKanjiConverter::switchTo(int kind, std::string& out)
{
    (void)out;
    codeKind = kind;
    if (kind == codeJis && state.pendingCR) {
        state.pendingCR = false;
        state.jisState = jisCrAscii;
    }
}

// With used, the bytes after the one that decided the code are left to the caller.
bool utlKanjiConverter::convertDetecting(const char* bytes, std::size_t length, std::string& out,
                                         std::size_t* used)
{
    if (codeKind == codeUnknown)
        codeKind = codeAscii;
    const auto* in = reinterpret_cast<const Byte*>(bytes);
    // released: bytes of this block (after pending) known to read the same in every code.
    std::size_t released = 0;
    bool pendingReleased = pending.empty();
    int decided = codeUnknown;
    std::size_t fed = 0;
    while (fed < length) {
        // 7-bit text between characters passes the detector in runs. Held bytes stop one short
        // of the limit, so that the byte that reaches it is fed and decides as before.
        bool ascii = detector.onlyAscii();
        std::size_t heldNow = (pendingReleased ? 0 : pending.size()) + (fed - released);
        std::size_t room = ascii ? length - fed
                           : heldNow + 1 < holdLimit
                               ? std::min(length - fed, holdLimit - 1 - heldNow)
                               : 0;
        if (std::size_t quiet = detector.skipQuiet(in + fed, room); quiet != 0) {
            fed += quiet;
            if (ascii) {
                released = fed;
                pendingReleased = true;
            }
            continue;
        }
        decided = detector.feed(in[fed++]);
        if (decided != codeUnknown)
            break;
        if (detector.onlyAscii()) {
            released = fed;
            pendingReleased = true;
            continue;
        }
        std::size_t held = (pendingReleased ? 0 : pending.size()) + (fed - released);
        if (held >= holdLimit) {
            decided = detector.decideNow();
            break;
        }
    }
    if (pendingReleased) {
        if (!pending.empty() && !convertInto(codeAscii, pending.data(), pending.size(), out))
            return false;
        pending.clear();
        if (!convertInto(codeAscii, bytes, released, out))
            return false;
    } else {
        released = 0;
    }
    if (decided == codeUnknown) {
        pending.append(bytes + released, length - released);
        return true;
    }
    switchTo(decided, out);
    if (used != nullptr) {
        length = fed;
        *used = fed;
    }
    std::size_t bom = decided == codeUtf8 ? static_cast<std::size_t>(detector.bomLength()) : 0;
    if (pending.empty()) {
        // Nothing held from earlier blocks: the rest of this one is converted where it lies.
        std::size_t skip = std::min(bom, length - released);
        return convertInto(decided, bytes + released + skip, length - released - skip, out);
    }
    std::string held = std::move(pending);
    pending.clear();
    held.append(bytes + released, length - released);
    std::size_t skip = std::min(bom, held.size());
    return convertInto(decided, held.data() + skip, held.size() - skip, out);
}

bool utlKanjiConverter::convertCode(const char* bytes, std::size_t length)
{
    std::string out = takeSpare();
    if (codeKind == codeUnknown || codeKind == codeAscii) {
        if (!convertDetecting(bytes, length, out))
            return logError(messageCheck);
    } else if (!convertInto(codeKind, bytes, length, out)) {
        return logError(failureMessage(codeKind));
    }
    return pushOutput(std::move(out));
}

bool utlKanjiConverter::convertUntilDecided(const char* bytes, std::size_t length,
                                            std::size_t& used)
{
    used = length;
    if (codeKind != codeUnknown && codeKind != codeAscii)
        return convertCode(bytes, length);
    std::string out = takeSpare();
    if (!convertDetecting(bytes, length, out, &used))
        return logError(messageCheck);
    return pushOutput(std::move(out));
}

bool utlKanjiConverter::finishCode()
{
    std::string out;
    if (!pending.empty()) {
        int decided = detector.decideNow();
        std::string held = std::move(pending);
        pending.clear();
        if (decided != codeAscii)
            switchTo(decided, out);
        std::size_t skip =
            decided == codeUtf8 ? std::min<std::size_t>(detector.bomLength(), held.size()) : 0;
        if (!convertInto(decided, held.data() + skip, held.size() - skip, out))
            return logErrorAs(convertCodeName, failureMessage(decided));
    }
    return pushOutput(std::move(out));
}

int utlKanjiConverter::codeOfCharset(const std::string& label)
{
    std::string name;
    for (char c : label) {
        if (c != '-' && c != '_' && c != ' ')
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    static const struct {
        const char* name;
        int code;
    } names[] = {
        {"shiftjis", codeSjis},   {"sjis", codeSjis},       {"xsjis", codeSjis},
        {"windows31j", codeSjis}, {"cp932", codeSjis},      {"mskanji", codeSjis},
        {"eucjp", codeEuc},       {"xeucjp", codeEuc},      {"eucjpms", codeEuc},
        {"iso2022jp", codeJis},   {"csiso2022jp", codeJis}, {"iso2022jp3", codeJis},
        {"utf8", codeUtf8},
    };
    for (const auto& entry : names) {
        if (name == entry.name)
            return entry.code;
    }
    return codeUnknown;
}

const char* utlKanjiConverter::nameOfCode(int kind)
{
    switch (kind) {
    case codeAscii: return "ascii";
    case codeSjis: return "sjis";
    case codeJis: return "jis";
    case codeEuc: return "euc";
    case codeUtf8: return "utf8";
    default: return "unknown";
    }
}
