// The converter takes any bytes in any code, cut into blocks anywhere: it never reads outside
// a block, and the cuts never change the text (checked against the same bytes in one block).
#include "Engine/Text/utlKanjiConverter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::string convert(int code, const uint8_t* data, size_t size, const uint8_t* cuts,
                    size_t cutCount)
{
    utlKanjiConverter converter;
    converter.setConverterCode(code);
    std::string all;
    size_t at = 0;
    size_t cut = 0;
    while (at < size) {
        size_t n = cutCount == 0 ? size - at
                                 : std::min<size_t>(size - at, 1 + cuts[cut++ % cutCount] % 64);
        // An exact copy, so that a read past the block is caught.
        std::unique_ptr<uint8_t[]> block(new uint8_t[n]);
        std::memcpy(block.get(), data + at, n);
        converter.convertCode(reinterpret_cast<const char*>(block.get()), n);
        all += converter.lastOutput();
        converter.discardOutput();
        at += n;
    }
    converter.finishCode();
    return all + converter.lastOutput();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    int code = data[0] % 6; // 0 detects, 1-5 force a converter
    size_t cutCount = data[1] % 8;
    if (size < 2 + cutCount)
        return 0;
    const uint8_t* cuts = data + 2;
    const uint8_t* text = data + 2 + cutCount;
    size_t length = size - 2 - cutCount;
    std::string whole = convert(code, text, length, nullptr, 0);
    if (convert(code, text, length, cuts, cutCount) != whole)
        std::abort();
    return 0;
}
