#pragma once

#include <cstddef>
#include <cstdint>

// Finds the Japanese code of a byte stream from the bytes themselves, one byte at a time, so
// that the result never depends on where the stream was cut into blocks.
//
// Shift_JIS, EUC-JP and UTF-8 are each followed by a validator over everything that has
// arrived. The code is decided only on evidence that rules the others out: a JIS escape
// sequence (one that designates JIS X 0208 or JIS X 0201 at any point, the others before any
// 8-bit byte), a UTF-8 byte order mark at the start, or the moment one validator is the only
// one left without an invalid sequence and has read jisRuledOutAfter multi-byte characters (a
// few 8-bit bytes may be strays in a JIS page). While several stay valid the
// detector keeps looking; decideNow settles it (at the end of the page, or when the caller
// cannot hold more bytes) by a score of typical Japanese characters, with a declared charset
// winning when the bytes are valid in it.
class utlCodeDetector {
public:
    enum Code { codeNone = 0, codeAscii = 1, codeSjis = 2, codeJis = 3, codeEuc = 4, codeUtf8 = 5 };
    static constexpr std::uint32_t jisRuledOutAfter = 4;

    void reset();
    // The charset named by the HTTP header or a META tag; a hint, never a decision.
    void setDeclaredCode(int code) { declaredCode = code; }
    int getDeclaredCode() const { return declaredCode; }

    // Feeds one byte; returns the decided code, or codeNone while undecided.
    int feed(unsigned char byte);
    // Takes the 7-bit bytes (ESC aside) at the front of bytes while no character or escape
    // sequence is open: feeding them would only move the offset (and, undecided as the last
    // feed left it, decide nothing), so they are counted. Returns how many.
    std::size_t skipQuiet(const unsigned char* bytes, std::size_t length);
    // True while nothing but 7-bit bytes outside an unfinished escape sequence has been seen:
    // such bytes read the same in every code.
    bool onlyAscii() const { return !highSeen && escapeState == Escape::none; }
    bool sawHighByte() const { return highSeen; }
    // Settles an undecided stream with 8-bit bytes by score; codeAscii when there are none.
    int decideNow() const;
    // Bytes of a byte order mark that begin the stream (3 once one was seen, else 0).
    int bomLength() const { return bomSeen ? 3 : 0; }

private:
    struct Evidence {
        bool valid = true;
        std::uint32_t errors = 0;
        std::uint32_t typical = 0; // kana, common kanji, CJK punctuation
        std::uint32_t unusual = 0; // half-width katakana and other rarities
        std::uint32_t other = 0;   // any other multi-byte character
        void fail()
        {
            valid = false;
            ++errors;
        }
        std::uint32_t characters() const { return typical + other; }
        long score() const { return 2L * typical + other - 2L * unusual - 8L * errors; }
    };

    void feedEscape(unsigned char byte);
    void feedSjis(unsigned char byte);
    void feedEuc(unsigned char byte);
    void feedUtf8(unsigned char byte);
    int decideByExclusion() const;
    const Evidence& evidenceOf(int code) const;

    int declaredCode = codeNone;
    std::uint64_t offset = 0;
    bool highSeen = false;
    bool bomSeen = false;
    bool jisSeen = false;
    // How far an escape sequence has come: ESC, ESC $, ESC (, ESC $ (.
    enum class Escape { none, esc, escDollar, escParen, escDollarParen };
    Escape escapeState = Escape::none;

    Evidence sjis;
    unsigned char sjisLead = 0;

    Evidence euc;
    unsigned char eucFirst = 0;
    int eucNeed = 0; // further bytes of the current character

    Evidence utf8;
    int utf8Need = 0;
    std::uint32_t utf8Code = 0;
    std::uint32_t utf8Min = 0;
};
