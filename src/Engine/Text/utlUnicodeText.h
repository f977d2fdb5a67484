#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references in UTF-8 text (an address in an
// attribute), then percent-encodes every byte above 0x7F and every blank or control byte as
// UTF-8, so that the address stays the same address in plain ASCII.
std::string utf8AddressToAscii(std::string_view utf8);

// Every byte below 0x80.
bool isAscii(std::string_view text);
// Well-formed UTF-8 as far as lead and continuation bytes go (overlong three- and four-byte
// forms and surrogates are not looked for).
bool isValidUtf8(std::string_view text);
// The same, with at least one character outside ASCII: text that only UTF-8 explains.
bool isUtf8WithMultibyte(std::string_view text);
