#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// CP932 lead bytes: a byte in these ranges starts a double-byte character.
inline bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// CP932 trail bytes: the second byte of a double-byte character.
inline bool isTrailByte(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// The program holds its text in Shift_JIS (CP932). A character CP932 cannot hold, or whose
// CP932 bytes would read back as another character (U+2014 and U+2015 share 0x815C, U+301C
// and U+FF5E share 0x8160, U+00A5 becomes '\'), is held as the decimal reference "&#N;",
// which any browser shows as the character when the text is written to an HTML file. A
// literal '&' that would otherwise begin such a reference is held as "&#38;".

// The CP932 code of a code point when it reads back as that code point: 0 when there is
// none; below 0x100 a single byte, otherwise lead << 8 | trail.
std::uint16_t cp932FromCodePoint(std::uint32_t codePoint);
// The same for the whole BMP (0x10000 entries), built once, for loops over many characters.
const std::uint16_t* cp932FromCodePointTable();

// Length of the reference "&#N;" at text[at] that the program keeps (decimal, N from 160
// or 38), with its code point; 0 when none begins there.
std::size_t referenceAt(std::string_view text, std::size_t at, std::uint32_t& codePoint);
// Appends "&#N;".
void appendReference(std::string& out, std::uint32_t codePoint);
// Appends the UTF-8 bytes of a code point.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// The screen and the terminal speak UTF-8: each reference becomes its character, bytes CP932
// does not know become U+FFFD.
std::string sjisToUtf8(std::string_view sjis);
// The same, appended to out (for output built line by line).
void appendSjisAsUtf8(std::string& out, std::string_view sjis);

// What an '&' in UTF-8 text is.
enum class Ampersand {
    // Typed or plain text: an '&' that would begin a reference is held as "&#38;".
    text,
    // HTML source, decoded later: '&' is markup and stays as it is.
    markup,
};

// UTF-8 into the program's text: every character kept (as a reference when CP932 lacks it);
// a byte that is not UTF-8, or a C1 control, becomes "〓". replaced, when given, counts both kinds.
std::string utf8ToSjis(std::string_view utf8, Ampersand ampersand = Ampersand::text,
                       std::size_t* replaced = nullptr);

// An address typed or given in UTF-8, as the ASCII a server is asked for: every byte beyond
// ASCII, blank or control is percent-encoded (UTF-8, as browsers send it); the rest, '%' and
// '&' included, stays as typed.
std::string utf8AddressToPercent(std::string_view utf8);

// Length of the longest prefix of at most maxBytes that does not end inside a double-byte
// character or a reference.
std::size_t sjisBoundary(std::string_view sjis, std::size_t maxBytes);

} // namespace platform
