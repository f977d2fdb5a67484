#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references in UTF-8 text (an address in an
// attribute), then percent-encodes every byte above 0x7F and every blank or control byte as
// UTF-8, so that the address stays the same address in plain ASCII.
std::string utf8AddressToAscii(std::string_view utf8);
