// Entity decoding takes any bytes; encoding then decoding gives back every character of the
// text (a reference the program keeps may come back as the character's own bytes), and the
// encoded text carries no raw markup. Decoding for an address never adds a control byte and for a
// text only TAB, CR or LF; text without '&' is left as it is.
#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/platformText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::size_t controlBytes(const std::string& text, bool countLineAndTab)
{
    std::size_t count = 0;
    for (char c : text) {
        bool lineOrTab = c == '\t' || c == '\r' || c == '\n';
        if ((static_cast<unsigned char>(c) < 0x20 || c == 0x7F) && (countLineAndTab || !lineOrTab))
            ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string decoded = input;
    decodeHtmlText(decoded);
    if (controlBytes(decoded, false) > controlBytes(input, false))
        std::abort();

    std::string address = input;
    decodeCharacterReferences(address, ReferenceTarget::address);
    if (controlBytes(address, true) > controlBytes(input, true) ||
        address.size() > 3 * input.size())
        std::abort();
    if (input.find('&') == std::string::npos && (address != input || decoded != input))
        std::abort();

    std::string normalized = input;
    normalizeForSearch(normalized);

    std::string encoded = input;
    encodeHtmlText(encoded);
    if (encoded.find_first_of("<>\"") != std::string::npos)
        std::abort();
    std::string back = encoded;
    decodeHtmlText(back);
    if (platform::sjisToUtf8(back) != platform::sjisToUtf8(input))
        std::abort();
    return 0;
}
