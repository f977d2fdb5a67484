#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 text of outside files (bookmark exports, file names) into the program's Shift_JIS
// without losing what CP932 cannot hold: such a character is written as a decimal character
// reference ("&#128512;"), which decodeHtmlText keeps as written and which reads back to the
// same character in any HTML viewer. A byte that is not UTF-8 becomes "〓". Both kinds are
// counted in replaced, so that a caller can say how many there were.
std::string utf8ToSjisKeepingRefs(std::string_view utf8, std::size_t* replaced = nullptr);

// decodeHtmlText for text from outside files that keeps a numeric reference naming a
// character CP932 cannot hold as written ("&#128512;"), instead of a look-alike.
void decodeHtmlTextKeepingRefs(std::string& sjis);

// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references in UTF-8 text (an address in an
// attribute), then percent-encodes every byte above 0x7F and every blank or control byte as
// UTF-8, so that the address stays the same address in plain ASCII.
std::string utf8AddressToAscii(std::string_view utf8);
