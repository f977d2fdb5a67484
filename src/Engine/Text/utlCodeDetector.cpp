#include "Engine/Text/utlCodeDetector.h"

#include "Engine/Text/utlCp932Table.h"

#include <cstring>

namespace {

constexpr unsigned char esc = 0x1B;

bool inRange(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

bool isTypicalSjis(unsigned char lead, unsigned char trail)
{
    if (lead == 0x81)
        return trail <= 0x9E; // punctuation, long vowel mark, brackets
    if (lead == 0x82)
        return trail >= 0x9F; // hiragana
    if (lead == 0x83)
        return trail <= 0x96;            // katakana
    return lead >= 0x88 && lead <= 0x98; // first-level kanji
}

bool isTypicalEuc(unsigned char first)
{
    return first == 0xA1 || first == 0xA4 || first == 0xA5 || (first >= 0xB0 && first <= 0xCF);
}

bool isTypicalUnicode(std::uint32_t code)
{
    return (code >= 0x3000 && code <= 0x30FF) || (code >= 0x4E00 && code <= 0x9FFF) ||
           (code >= 0xFF01 && code <= 0xFF5E);
}

} // namespace

void utlCodeDetector::reset()
{
    int declared = declaredCode;
    *this = utlCodeDetector();
    declaredCode = declared;
}

int utlCodeDetector::feed(unsigned char byte)
{
    std::uint64_t position = offset++;
    if (byte >= 0x80) {
        highSeen = true;
        escapeState = Escape::none;
    } else {
        feedEscape(byte);
        if (jisSeen)
            return codeJis;
    }
    feedSjis(byte);
    feedEuc(byte);
    feedUtf8(byte);
    if (position == 2 && utf8.valid && utf8.other + utf8.typical == 1 && utf8Code == 0xFEFF) {
        bomSeen = true;
        return codeUtf8;
    }
    if (!highSeen)
        return codeNone;
    int decided = decideByExclusion();
    // A few 8-bit bytes may be strays in a JIS page (a Latin-1 sign in a comment) whose
    // escapes are still to come; only enough characters of the one code left rule JIS out.
    if (decided != codeNone && evidenceOf(decided).characters() < jisRuledOutAfter)
        return codeNone;
    return decided;
}

// Feeding such a byte changes no state but the offset: no validator has a character open, the
// escape machine is at rest, and the byte order mark can only end at offset 2.
std::size_t utlCodeDetector::skipQuiet(const unsigned char* bytes, std::size_t length)
{
    if (escapeState != Escape::none || jisSeen || offset < 3 || sjisLead != 0 || eucNeed != 0 ||
        utf8Need != 0)
        return 0;
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    // Eight bytes at a time: none may have its high bit set or be ESC (a zero byte after the
    // xor); the byte loop finds where the run ends.
    while (i + 8 <= length) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        std::uint64_t escapes = word ^ (ones * esc);
        if ((word & highBits) != 0 || ((escapes - ones) & ~escapes & highBits) != 0)
            break;
        i += 8;
    }
    while (i < length && bytes[i] < 0x80 && bytes[i] != esc)
        ++i;
    offset += i;
    return i;
}

const utlCodeDetector::Evidence& utlCodeDetector::evidenceOf(int code) const
{
    return code == codeSjis ? sjis : code == codeEuc ? euc : utf8;
}

// Before any 8-bit byte: ESC $ B, ESC $ @, ESC ( J, ESC ( B, ESC ( I and the JIS X 0212/0213
// designations ESC $ ( D, ESC $ ( O, ESC $ ( P, ESC $ ( Q. After one, only the designations of
// JIS X 0208 and JIS X 0201 (ESC $ B, ESC $ @, ESC ( J, ESC ( I), which no other code writes.
void utlCodeDetector::feedEscape(unsigned char byte)
{
    Escape restart = byte == esc ? Escape::esc : Escape::none;
    switch (escapeState) {
    case Escape::none: escapeState = restart; return;
    case Escape::esc:
        escapeState = byte == '$' ? Escape::escDollar : byte == '(' ? Escape::escParen : restart;
        return;
    case Escape::escDollar:
        if (byte == 'B' || byte == '@') {
            jisSeen = true;
            escapeState = Escape::none;
            return;
        }
        escapeState = byte == '(' ? Escape::escDollarParen : restart;
        return;
    case Escape::escParen:
        jisSeen = byte == 'J' || byte == 'I' || (byte == 'B' && !highSeen);
        escapeState = restart;
        return;
    case Escape::escDollarParen:
        jisSeen = !highSeen && (byte == 'D' || byte == 'O' || byte == 'P' || byte == 'Q');
        escapeState = restart;
        return;
    }
}

void utlCodeDetector::feedSjis(unsigned char byte)
{
    if (sjisLead != 0) {
        unsigned char lead = sjisLead;
        sjisLead = 0;
        // The user-defined area (0xF0-0xF9) is mapped but never met in real text.
        if (!cp932::isMappedPair(lead, byte) || inRange(lead, 0xF0, 0xF9)) {
            sjis.fail();
            return;
        }
        if (isTypicalSjis(lead, byte))
            ++sjis.typical;
        else
            ++sjis.other;
        return;
    }
    if (byte < 0x80)
        return;
    if (inRange(byte, 0xA1, 0xDF)) {
        ++sjis.unusual;
        return;
    }
    if (inRange(byte, 0x81, 0x9F) || inRange(byte, 0xE0, 0xFC)) {
        sjisLead = byte;
        return;
    }
    sjis.fail();
}

void utlCodeDetector::feedEuc(unsigned char byte)
{
    if (eucNeed > 0) {
        bool kanaTrail = eucFirst == 0x8E;
        bool ok = kanaTrail ? inRange(byte, 0xA1, 0xDF) : inRange(byte, 0xA1, 0xFE);
        if (!ok) {
            eucNeed = 0;
            euc.fail();
            // The byte may start the next character.
            if (byte < 0x80)
                return;
            feedEuc(byte);
            return;
        }
        if (--eucNeed > 0)
            return;
        if (kanaTrail || eucFirst == 0x8F)
            ++euc.unusual;
        else if (isTypicalEuc(eucFirst))
            ++euc.typical;
        else
            ++euc.other;
        return;
    }
    if (byte < 0x80)
        return;
    eucFirst = byte;
    if (byte == 0x8E || inRange(byte, 0xA1, 0xFE))
        eucNeed = 1;
    else if (byte == 0x8F)
        eucNeed = 2;
    else
        euc.fail();
}

void utlCodeDetector::feedUtf8(unsigned char byte)
{
    if (utf8Need > 0) {
        if ((byte & 0xC0) != 0x80) {
            utf8Need = 0;
            utf8.fail();
            if (byte >= 0x80)
                feedUtf8(byte);
            return;
        }
        utf8Code = utf8Code << 6 | (byte & 0x3F);
        if (--utf8Need > 0)
            return;
        if (utf8Code < utf8Min || utf8Code > 0x10FFFF ||
            (utf8Code >= 0xD800 && utf8Code <= 0xDFFF)) {
            utf8.fail();
            return;
        }
        if (isTypicalUnicode(utf8Code))
            ++utf8.typical;
        else if (utf8Code >= 0xFF61 && utf8Code <= 0xFF9F)
            ++utf8.unusual;
        else
            ++utf8.other;
        return;
    }
    if (byte < 0x80)
        return;
    if (inRange(byte, 0xC2, 0xDF)) {
        utf8Need = 1;
        utf8Code = byte & 0x1F;
        utf8Min = 0x80;
    } else if (inRange(byte, 0xE0, 0xEF)) {
        utf8Need = 2;
        utf8Code = byte & 0x0F;
        utf8Min = 0x800;
    } else if (inRange(byte, 0xF0, 0xF4)) {
        utf8Need = 3;
        utf8Code = byte & 0x07;
        utf8Min = 0x10000;
    } else {
        utf8.fail();
    }
}

int utlCodeDetector::decideByExclusion() const
{
    int validCount = int(sjis.valid) + int(euc.valid) + int(utf8.valid);
    if (validCount != 1)
        return codeNone;
    if (sjis.valid)
        return codeSjis;
    if (euc.valid)
        return codeEuc;
    return codeUtf8;
}

int utlCodeDetector::decideNow() const
{
    if (jisSeen)
        return codeJis;
    if (!highSeen)
        return codeAscii;
    int decided = decideByExclusion();
    if (decided != codeNone)
        return decided;
    struct Candidate {
        int code;
        const Evidence* evidence;
    };
    // Among equals, UTF-8 first: its multi-byte sequences almost never happen by chance.
    const Candidate candidates[] = {{codeUtf8, &utf8}, {codeSjis, &sjis}, {codeEuc, &euc}};
    bool anyValid = sjis.valid || euc.valid || utf8.valid;
    for (const Candidate& candidate : candidates) {
        if (candidate.code == declaredCode && candidate.evidence->valid)
            return candidate.code;
    }
    int best = codeNone;
    long bestScore = 0;
    for (const Candidate& candidate : candidates) {
        if (anyValid && !candidate.evidence->valid)
            continue;
        long score = candidate.evidence->score();
        if (best == codeNone || score > bestScore) {
            best = candidate.code;
            bestScore = score;
        }
    }
    return best;
}
