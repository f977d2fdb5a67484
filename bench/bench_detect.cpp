// Detection accuracy on the corpus (pages without any charset declaration): ours against
// uchardet. Goal: at least uchardet's count, and every page over 1 KB right.
#include "BenchCorpus.h"
#include "Engine/Text/utlKanjiConverter.h"

#include <iconv.h>
#include <uchardet.h>

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

int ours(const std::string& bytes)
{
    utlKanjiConverter converter;
    for (std::size_t at = 0; at < bytes.size(); at += 2048) {
        converter.convertCode(bytes.data() + at, std::min<std::size_t>(2048, bytes.size() - at));
        converter.discardOutput();
    }
    converter.finishCode();
    return converter.getConverterCode();
}

int theirs(const std::string& bytes)
{
    uchardet_t detector = uchardet_new();
    uchardet_handle_data(detector, bytes.data(), bytes.size());
    uchardet_data_end(detector);
    const char* name = uchardet_get_charset(detector);
    int code = 0;
    if (strcasecmp(name, "SHIFT_JIS") == 0 || strcasecmp(name, "WINDOWS-31J") == 0)
        code = utlKanjiConverter::codeSjis;
    else if (strcasecmp(name, "EUC-JP") == 0)
        code = utlKanjiConverter::codeEuc;
    else if (strcasecmp(name, "ISO-2022-JP") == 0)
        code = utlKanjiConverter::codeJis;
    else if (strcasecmp(name, "UTF-8") == 0)
        code = utlKanjiConverter::codeUtf8;
    else if (strcasecmp(name, "ASCII") == 0)
        code = utlKanjiConverter::codeAscii;
    uchardet_delete(detector);
    return code;
}

// text from one code into another through iconv; empty when it cannot.
std::string recode(const std::string& text, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* target = out.data();
    std::size_t targetLeft = out.size();
    bool ok = iconv(cd, &in, &inLeft, &target, &targetLeft) != static_cast<std::size_t>(-1) &&
              iconv(cd, nullptr, nullptr, &target, &targetLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - targetLeft);
    return ok ? out : std::string();
}

// The harder half: pages of nothing but their title, a few dozen bytes each.
void shortPages()
{
    const std::pair<const char*, int> codes[] = {
        {"CP932", 2}, {"EUC-JP-MS", 4}, {"ISO-2022-JP-3", 3}, {"UTF-8", 5}};
    for (const auto& [name, code] : codes) {
        int pages = 0, a = 0, b = 0;
        for (const std::string& page : benchcorpus::pages("sjis")) {
            std::size_t start = page.find("<title>"), end = page.find("</title>");
            if (start == std::string::npos || end == std::string::npos)
                continue;
            std::string bytes = recode(
                "<title>" + page.substr(start + 7, end - start - 7) + "</title>", name, "CP932");
            if (bytes.empty())
                continue;
            ++pages;
            a += ours(bytes) == code;
            b += theirs(bytes) == code;
        }
        std::printf("  short %-13s %3d titles: quillara %3d right, uchardet %3d right\n", name,
                    pages, a, b);
    }
}

} // namespace

int main()
{
    const std::pair<const char*, int> codes[] = {{"sjis", 2}, {"euc", 4}, {"jis", 3}, {"utf8", 5}};
    int total = 0, oursRight = 0, theirsRight = 0, large = 0, largeRight = 0;
    for (const auto& [suffix, code] : codes) {
        int pages = 0, a = 0, b = 0;
        for (const std::string& page : benchcorpus::pages(suffix)) {
            ++pages;
            bool right = ours(page) == code;
            a += right;
            b += theirs(page) == code;
            if (page.size() > 1024) {
                ++large;
                largeRight += right;
            }
        }
        std::printf("  %-5s %3d pages: quillara %3d right, uchardet %3d right\n", suffix, pages, a,
                    b);
        total += pages;
        oursRight += a;
        theirsRight += b;
    }
    std::printf("detection: quillara %d/%d, uchardet %d/%d; pages over 1 KB: quillara %d/%d\n",
                oursRight, total, theirsRight, total, largeRight, large);
    std::printf("ratio quillara/uchardet %.3f (goal >= 1, and every page over 1 KB right)\n",
                theirsRight == 0 ? 0.0 : double(oursRight) / theirsRight);
    shortPages();
    return 0;
}
