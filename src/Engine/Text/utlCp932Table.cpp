#include "Engine/Text/utlCp932Table.h"

#include "Platform/platformText.h"

#include <array>
#include <iconv.h>
#include <memory>
#include <vector>

namespace {

struct Tables {
    // Bit per (lead - 0x80) * 256 + trail.
    std::array<std::uint64_t, 128 * 256 / 64> mapped{};
    std::vector<std::uint16_t> fromX0213 = std::vector<std::uint16_t>(94 * 94, 0);
};

// One conversion of a few bytes; false when iconv rejects them or gives nothing.
bool convertOnce(iconv_t cd, const char* in, std::size_t inLength, char* out,
                 std::size_t& outLength)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in);
    char* target = out;
    std::size_t sourceLeft = inLength;
    std::size_t targetLeft = outLength;
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<std::size_t>(-1) ||
        sourceLeft != 0)
        return false;
    outLength -= targetLeft;
    return outLength > 0;
}

void buildMapped(Tables& tables)
{
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[16];
            std::size_t outLength = sizeof out;
            if (convertOnce(cd, in, 2, out, outLength) && outLength == 4) {
                int bit = (lead - 0x80) * 256 + trail;
                tables.mapped[bit / 64] |= std::uint64_t{1} << (bit % 64);
            }
        }
    }
    iconv_close(cd);
}

// Through Unicode, so that the cells JIS X 0208 lacks land on the CP932 character they name.
void buildFromX0213(Tables& tables)
{
    iconv_t cd = iconv_open("UTF-32LE", "EUC-JISX0213");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return;
    for (int row = 0; row < 94; ++row) {
        for (int cell = 0; cell < 94; ++cell) {
            char in[2] = {static_cast<char>(0xA1 + row), static_cast<char>(0xA1 + cell)};
            char out[16];
            std::size_t outLength = sizeof out;
            if (!convertOnce(cd, in, 2, out, outLength) || outLength != 4)
                continue;
            auto* bytes = reinterpret_cast<unsigned char*>(out);
            std::uint32_t code =
                bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
            if (code < 0x10000)
                tables.fromX0213[row * 94 + cell] = platform::cp932FromCodePoint(code);
        }
    }
    iconv_close(cd);
}

const Tables& tables()
{
    static const std::unique_ptr<Tables> built = [] {
        auto t = std::make_unique<Tables>();
        buildMapped(*t);
        buildFromX0213(*t);
        return t;
    }();
    return *built;
}

} // namespace

namespace cp932 {

bool isMappedPair(unsigned char lead, unsigned char trail)
{
    if (lead < 0x80)
        return false;
    int bit = (lead - 0x80) * 256 + trail;
    return (tables().mapped[bit / 64] >> (bit % 64)) & 1;
}

std::uint16_t fromCodePoint(std::uint32_t codePoint)
{
    return platform::cp932FromCodePoint(codePoint);
}

const std::uint16_t* fromCodePointTable()
{
    return platform::cp932FromCodePointTable();
}

std::uint16_t fromJisX0213(unsigned char j1, unsigned char j2)
{
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E)
        return 0;
    return tables().fromX0213[(j1 - 0x21) * 94 + (j2 - 0x21)];
}

} // namespace cp932
