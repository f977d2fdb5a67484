#pragma once

#include <string>
#include <string_view>

namespace platform {

// CP932 lead bytes: a byte in these ranges starts a double-byte character.
inline bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The screen and the terminal speak UTF-8; the program holds Shift_JIS (CP932).
// Bytes that cannot be converted become U+FFFD on the way out and "〓" on the way in.
std::string sjisToUtf8(std::string_view sjis);
// The same, appended to out (for output built line by line).
void appendSjisAsUtf8(std::string& out, std::string_view sjis);
std::string utf8ToSjis(std::string_view utf8);

// Length of the longest prefix of at most maxBytes that does not end inside a double-byte character.
std::size_t sjisBoundary(std::string_view sjis, std::size_t maxBytes);

} // namespace platform
