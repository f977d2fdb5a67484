#include "Platform/platformText.h"

#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kGetaSjis = "\x81\xAC"; // 〓

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// An iconv descriptor kept for the thread: opening one costs more than converting a line.
class Descriptor {
public:
    Descriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Descriptor()
    {
        if (cd_ != kNoDescriptor)
            iconv_close(cd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // The descriptor in its initial state, or kNoDescriptor.
    iconv_t get()
    {
        if (cd_ != kNoDescriptor)
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

bool isAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Converts with iconv, replacing each sequence it rejects and stepping over it,
// so that one bad byte never loses the rest of the text.
std::string convert(std::string_view input, iconv_t cd, const char* from, std::string_view replacement,
                    std::size_t badStep)
{
    if (cd == kNoDescriptor)
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
    return out;
}

} // namespace

// ASCII is the same bytes in both codes.
std::string sjisToUtf8(std::string_view sjis)
{
    if (isAscii(sjis))
        return std::string(sjis);
    thread_local Descriptor cd("UTF-8", "CP932");
    return convert(sjis, cd.get(), "CP932", kReplacementUtf8, 1);
}

std::string utf8ToSjis(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    thread_local Descriptor cd("CP932", "UTF-8");
    return convert(utf8, cd.get(), "UTF-8", kGetaSjis, 1);
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
