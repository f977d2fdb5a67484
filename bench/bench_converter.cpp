// The converter from Shift_JIS, EUC-JP and ISO-2022-JP to Shift_JIS against glibc iconv on
// the same bytes (a few MB of real Japanese pages), block by block as pages arrive.
// Goal: at least 2x iconv.
#include "BenchCorpus.h"
#include "Engine/Text/utlKanjiConverter.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>

namespace {

constexpr std::size_t blockSize = 2048;

std::size_t ours(int code, const std::string& bytes)
{
    utlKanjiConverter converter;
    converter.setConverterCode(code);
    std::size_t out = 0;
    for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
        converter.convertCode(bytes.data() + at, std::min(blockSize, bytes.size() - at));
        out += converter.lastOutput().size();
        converter.discardOutput();
    }
    return out;
}

// iconv made to convert everything, as ours does: a character cut by the block end is carried
// to the next block, a byte it cannot convert is skipped.
std::size_t theirs(const char* from, const std::string& bytes)
{
    iconv_t cd = iconv_open("CP932", from);
    std::string out(blockSize * 4 + 64, '\0');
    std::string carried;
    std::size_t total = 0;
    for (std::size_t at = 0; at < bytes.size(); at += blockSize) {
        std::string block = carried + bytes.substr(at, std::min(blockSize, bytes.size() - at));
        carried.clear();
        char* in = block.data();
        std::size_t inLeft = block.size();
        while (inLeft > 0) {
            char* target = out.data();
            std::size_t targetLeft = out.size();
            std::size_t result = iconv(cd, &in, &inLeft, &target, &targetLeft);
            total += out.size() - targetLeft;
            if (result != static_cast<std::size_t>(-1))
                break;
            if (errno == EINVAL) {
                carried.assign(in, inLeft);
                break;
            }
            if (errno == EILSEQ) {
                ++in;
                --inLeft;
            }
        }
    }
    iconv_close(cd);
    return total;
}

} // namespace

int main()
{
    struct Code {
        const char* suffix;
        const char* iconvName;
        int kind;
    } codes[] = {{"sjis", "CP932", utlKanjiConverter::codeSjis},
                 {"euc", "EUC-JP-MS", utlKanjiConverter::codeEuc},
                 {"jis", "ISO-2022-JP-3", utlKanjiConverter::codeJis},
                 {"utf8", "UTF-8", utlKanjiConverter::codeUtf8}};
    std::size_t sink = 0;
    std::printf("converter benchmark: corpus pages four times over, blocks of %zu bytes\n",
                blockSize);
    for (const Code& code : codes) {
        std::string bytes;
        for (int round = 0; round < 4; ++round) {
            for (const std::string& page : benchcorpus::pages(code.suffix))
                bytes += page;
        }
        if (bytes.empty()) {
            std::fprintf(stderr, "no corpus in %s\n", benchcorpus::directory().c_str());
            return 1;
        }
        ours(code.kind, bytes); // builds the shared tables outside the timing
        double mb = bytes.size() / 1e6;
        double a = benchcorpus::bestSeconds(7, [&] { sink += ours(code.kind, bytes); });
        double b = benchcorpus::bestSeconds(7, [&] { sink += theirs(code.iconvName, bytes); });
        std::printf("  %-14s -> CP932  %.2f MB  quillara %7.1f MB/s  iconv %7.1f MB/s  ratio %.2f "
                    "(goal >= 2)"
                    "  [output %zu / %zu bytes]\n",
                    code.iconvName, mb, mb / a, mb / b, b / a, ours(code.kind, bytes),
                    theirs(code.iconvName, bytes));
    }
    return sink == 0 ? 1 : 0;
}
