#include "KanjiTestSupport.h"

#include "Engine/Text/utlKanjiConverter.h"

#include <algorithm>
#include <iconv.h>
#include <memory>

bool iconvWhole(const char* to, const char* from, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.assign(in.size() * 4 + 16, '\0');
    char* source = const_cast<char*>(in.data());
    std::size_t sourceLeft = in.size();
    char* target = out.data();
    std::size_t targetLeft = out.size();
    bool ok = iconv(cd, &source, &sourceLeft, &target, &targetLeft) != static_cast<std::size_t>(-1);
    ok = ok && iconv(cd, nullptr, nullptr, &target, &targetLeft) != static_cast<std::size_t>(-1);
    out.resize(out.size() - targetLeft);
    iconv_close(cd);
    return ok && sourceLeft == 0;
}

std::string iconvOrEmpty(const char* to, const char* from, const std::string& in)
{
    std::string out;
    return iconvWhole(to, from, in, out) ? out : std::string();
}

std::string convertInBlocks(const std::string& bytes, std::size_t blockSize, int* code,
                            int declared)
{
    utlKanjiConverter converter;
    converter.setDeclaredCode(declared);
    std::string all;
    std::size_t step = blockSize == 0 ? std::max<std::size_t>(bytes.size(), 1) : blockSize;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        std::size_t n = std::min(step, bytes.size() - at);
        // A copy of exactly n bytes, so that the sanitizer sees any read past the block.
        std::string block = bytes.substr(at, n);
        std::unique_ptr<char[]> exact(new char[n]);
        std::copy(block.begin(), block.end(), exact.get());
        converter.convertCode(exact.get(), n);
        all += converter.lastOutput();
        converter.discardOutput();
    }
    converter.finishCode();
    all += converter.lastOutput();
    if (code != nullptr)
        *code = converter.getConverterCode();
    return all;
}
