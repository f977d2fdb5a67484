#include "Platform/platformText.h"

#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kGetaSjis = "\x81\xAC"; // 〓

// Converts with iconv, replacing each sequence it rejects and stepping over it,
// so that one bad byte never loses the rest of the text.
std::string convert(std::string_view input, const char* to, const char* from, std::string_view replacement,
                    std::size_t badStep)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    std::string out;
    out.reserve(input.size() * 3 / 2 + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (a cut sequence at the end): replace and step on.
        out.append(replacement);
        std::size_t step = std::min(inLeft, badStep);
        if (from == std::string_view("UTF-8")) {
            // Skip the whole rejected UTF-8 character, not only its first byte.
            step = 1;
            while (step < inLeft && (static_cast<unsigned char>(in[step]) & 0xC0) == 0x80)
                ++step;
        }
        in += step;
        inLeft -= step;
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string sjisToUtf8(std::string_view sjis)
{
    return convert(sjis, "UTF-8", "CP932", kReplacementUtf8, 1);
}

std::string utf8ToSjis(std::string_view utf8)
{
    return convert(utf8, "CP932", "UTF-8", kGetaSjis, 1);
}

std::size_t sjisBoundary(std::string_view sjis, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < sjis.size()) {
        std::size_t width = isLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return i;
}

} // namespace platform
