#include "Platform/platformText.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
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

// CP932 is stateless and a character is one byte or a lead byte and its trail, so iconv's
// answer for each byte and each pair is asked once and kept: a whole text then costs a table
// look-up per character instead of a pass through iconv. An answer packs its kind (bits 0-3),
// the length of its UTF-8 (bits 4-7) and those bytes (from bit 8); 0 is not asked yet. The
// tables are shared by every thread; an answer is one word, so a race only asks twice.
enum Answer : std::uint64_t { kUnknown = 0, kSingle = 1, kLead = 2, kBad = 3 };

struct AnswerTables {
    std::atomic<std::uint64_t> firstByte[0x80]; // bytes 0x80-0xFF
    std::atomic<std::uint64_t> pair[0x80 * 0x100]; // (lead - 0x80) << 8 | trail
};

AnswerTables& answerTables()
{
    static AnswerTables tables;
    return tables;
}

// Asks iconv to make one character of all of in; the packed answer with kind, or kLead when
// in is the start of a longer character, or kBad.
std::uint64_t ask(iconv_t cd, const char* in, std::size_t length, std::uint64_t kind)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    std::size_t sourceLeft = length;
    char buffer[8];
    char* target = buffer;
    std::size_t targetLeft = sizeof buffer;
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<std::size_t>(-1))
        return errno == EINVAL && kind == kSingle ? kLead : kBad;
    std::size_t made = sizeof buffer - targetLeft;
    if (sourceLeft != 0 || made == 0 || made > 4)
        return kBad;
    std::uint64_t packed = kind | made << 4;
    for (std::size_t i = 0; i < made; ++i)
        packed |= std::uint64_t{static_cast<unsigned char>(buffer[i])} << (8 + 8 * i);
    return packed;
}

std::uint64_t firstByteAnswer(AnswerTables& tables, iconv_t cd, unsigned char c)
{
    std::atomic<std::uint64_t>& slot = tables.firstByte[c - 0x80];
    std::uint64_t a = slot.load(std::memory_order_relaxed);
    if (a == kUnknown) {
        char in = static_cast<char>(c);
        a = ask(cd, &in, 1, kSingle);
        slot.store(a, std::memory_order_relaxed);
    }
    return a;
}

std::uint64_t pairAnswer(AnswerTables& tables, iconv_t cd, unsigned char lead, unsigned char trail)
{
    std::atomic<std::uint64_t>& slot = tables.pair[(lead - 0x80) << 8 | trail];
    std::uint64_t a = slot.load(std::memory_order_relaxed);
    if (a == kUnknown) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        a = ask(cd, in, 2, kLead);
        slot.store(a, std::memory_order_relaxed);
    }
    return a;
}

void appendAnswer(std::string& out, std::uint64_t a)
{
    char bytes[4];
    std::size_t length = (a >> 4) & 0xF;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(a >> (8 + 8 * i));
    out.append(bytes, length);
}

} // namespace

void appendSjisAsUtf8(std::string& out, std::string_view sjis)
{
    std::size_t i = 0;
    // ASCII is the same bytes in both codes: runs of it are copied whole.
    auto copyAscii = [&] {
        std::size_t from = i;
        while (i < sjis.size() && static_cast<unsigned char>(sjis[i]) < 0x80)
            ++i;
        out.append(sjis.data() + from, i - from);
    };
    copyAscii();
    if (i == sjis.size())
        return;
    thread_local Descriptor cd("UTF-8", "CP932");
    iconv_t d = cd.get();
    if (d == kNoDescriptor) {
        out.append(sjis.substr(i));
        return;
    }
    AnswerTables& tables = answerTables();
    out.reserve(out.size() + (sjis.size() - i) * 3 / 2 + 4);
    while (i < sjis.size()) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            copyAscii();
            continue;
        }
        std::uint64_t a = firstByteAnswer(tables, d, c);
        std::size_t step = 1;
        if (a == kLead) {
            // A lead byte cut off by the end is as bad as one with a wrong trail byte.
            a = i + 1 < sjis.size() ? pairAnswer(tables, d, c, static_cast<unsigned char>(sjis[i + 1])) : kBad;
            step = 2;
        }
        if (a == kBad) {
            out.append(kReplacementUtf8);
            ++i;
            continue;
        }
        appendAnswer(out, a);
        i += step;
    }
}

std::string sjisToUtf8(std::string_view sjis)
{
    std::string out;
    appendSjisAsUtf8(out, sjis);
    return out;
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
