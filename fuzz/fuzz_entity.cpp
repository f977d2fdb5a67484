// Entity decoding takes any bytes; encoding then decoding gives the text back, and the encoded
// text carries no raw markup.
#include "Engine/utlHtmlText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string decoded = input;
    decodeHtmlText(decoded);

    std::string normalized = input;
    normalizeForSearch(normalized);

    std::string encoded = input;
    encodeHtmlText(encoded);
    if (encoded.find_first_of("<>\"") != std::string::npos)
        std::abort();
    std::string back = encoded;
    decodeHtmlText(back);
    if (back != input)
        std::abort();
    return 0;
}
