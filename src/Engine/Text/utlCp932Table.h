#pragma once

#include <cstdint>

// CP932 as glibc iconv knows it, built once on first use and shared read-only by every
// thread: which double-byte codes are characters, and the CP932 code of each BMP code point.
namespace cp932 {

// True when lead and trail form a mapped CP932 character (user-defined area included).
bool isMappedPair(unsigned char lead, unsigned char trail);

// The CP932 code of a code point: 0 when CP932 has none; below 0x100 a single byte,
// otherwise lead << 8 | trail.
std::uint16_t fromCodePoint(std::uint32_t codePoint);

// The same for the whole BMP at once, indexed by code point (0x10000 entries), for loops
// that would otherwise pay for the first-use check on every character.
const std::uint16_t* fromCodePointTable();

// The CP932 code of a JIS X 0213 plane 1 cell (j1, j2 in 0x21-0x7E), 0 when CP932 has none.
std::uint16_t fromJisX0213(unsigned char j1, unsigned char j2);

} // namespace cp932
