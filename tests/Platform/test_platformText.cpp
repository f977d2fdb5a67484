#include "Platform/platformText.h"
#include "Platform/SafePath.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iconv.h>
#include <random>
#include <thread>

namespace {

// The conversion as it was, with a descriptor opened for every call.
std::string convertFresh(const std::string& input, const char* to, const char* from,
                         const std::string& replacement)
{
    iconv_t cd = iconv_open(to, from);
    std::string out;
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        out.append(replacement);
        size_t step = 1;
        if (std::string(from) == "UTF-8") {
            while (step < inLeft && (static_cast<unsigned char>(in[step]) & 0xC0) == 0x80)
                ++step;
        }
        in += step;
        inLeft -= step;
    }
    iconv_close(cd);
    return out;
}

// Text of ASCII, Shift_JIS pairs, UTF-8 characters and stray bytes, sometimes cut short.
std::string randomText(std::mt19937& rng)
{
    std::string t;
    size_t pieces = rng() % 12;
    for (size_t i = 0; i < pieces; ++i) {
        switch (rng() % 5) {
        case 0: t += static_cast<char>(rng() % 0x80); break;
        case 1: t += static_cast<char>(0x80 + rng() % 0x80); break;
        case 2:
            t += static_cast<char>(0x81 + rng() % 0x1F),
                t += static_cast<char>(0x40 + rng() % 0xBD);
            break;
        case 3: t += "\xE3\x81\x82\xE6\x97\xA5"; break;
        default: t += "ab\\~ "; break;
        }
    }
    if (!t.empty() && rng() % 4 == 0) {
        t.pop_back();
    }
    return t;
}

void compareWithFreshDescriptors(unsigned seed)
{
    std::mt19937 rng(seed);
    for (int i = 0; i < 3000; ++i) {
        std::string text = randomText(rng);
        ASSERT_EQ(convertFresh(text, "UTF-8", "CP932", "\xEF\xBF\xBD"), platform::sjisToUtf8(text))
            << i;
    }
}

// Kept descriptors and the ASCII shortcut give what a fresh descriptor per call gave, on any
// bytes, after any earlier (even cut) text, on more than one thread.
TEST(PlatformText, ConvertsAsAFreshDescriptorDid)
{
    std::thread other([] { compareWithFreshDescriptors(2); });
    compareWithFreshDescriptors(1);
    other.join();
    for (int c = 0; c < 0x80; ++c) {
        std::string one(1, static_cast<char>(c));
        EXPECT_EQ(convertFresh(one, "UTF-8", "CP932", ""), platform::sjisToUtf8(one)) << c;
    }
}

// Every byte and every pair that starts with a byte above ASCII, alone, at the end of a text
// and between other text, as whole-text iconv makes them (the kept answers are per character).
TEST(PlatformText, ConvertsEveryPairAsIconvDoes)
{
    std::string all, allOut;
    for (int first = 0x80; first <= 0xFF; ++first) {
        std::string lone(1, static_cast<char>(first));
        ASSERT_EQ(convertFresh("a" + lone, "UTF-8", "CP932", "\xEF\xBF\xBD"),
                  platform::sjisToUtf8("a" + lone))
            << first;
        for (int second = 0; second <= 0xFF; ++second) {
            std::string text = "x" + lone + static_cast<char>(second) + "\x82";
            all += text;
        }
    }
    // One text holds them all: per character the same as whole-text conversion.
    ASSERT_EQ(convertFresh(all, "UTF-8", "CP932", "\xEF\xBF\xBD"), platform::sjisToUtf8(all));
    std::string appended = "kept ";
    platform::appendSjisAsUtf8(appended, "\x82\xA0");
    EXPECT_EQ(appended, "kept \xE3\x81\x82");
}

TEST(PlatformText, ConvertsAtTheBoundaryWithoutLosingTheRest)
{
    EXPECT_EQ(platform::sjisToUtf8("\x82\xA0\x83\x5C"
                                   "a"),
              "\xE3\x81\x82\xE3\x82\xBD"
              "a"); // あソa
    EXPECT_EQ(platform::utf8ToSjis("\xE3\x81\x82\xE3\x82\xBD"
                                   "a"),
              "\x82\xA0\x83\x5C"
              "a");
    // A cut character is replaced, and what follows still arrives.
    EXPECT_EQ(platform::sjisToUtf8("\x82 a\x82\xA0"), "\xEF\xBF\xBD a\xE3\x81\x82");
    EXPECT_EQ(platform::utf8ToSjis("\xE3\x81"
                                   "b"),
              "\x81\xAC"
              "b");
    EXPECT_EQ(platform::utf8ToSjis("\x80\x80"
                                   "b"),
              "\x81\xAC"
              "b");
}

// Every character comes back as itself: what CP932 lacks, and what it would read back as
// another character, is held as a reference; a reference typed as text stays text.
TEST(PlatformText, KeepsEveryCharacterThroughTheProgramsText)
{
    struct Case {
        const char* utf8;
        const char* held; // the program's text
    } cases[] = {
        {"\xF0\x9F\x98\x80", "&#128512;"},                      // 😀
        {"Caf\xC3\xA9 M\xC3\xBCller", "Caf&#233; M&#252;ller"}, // Café Müller
        {"a\xE2\x80\x93"
         "b",
         "a&#8211;b"},                // en dash
        {"\xE2\x80\x94", "&#8212;"},  // em dash: 0x815C reads back as U+2015
        {"\xE2\x80\x95", "\x81\x5C"}, // horizontal bar is 0x815C
        {"\xE3\x80\x9C", "&#12316;"}, // wave dash: 0x8160 reads back as U+FF5E
        {"\xEF\xBD\x9E", "\x81\x60"}, // fullwidth tilde
        {"\xC2\xA5"
         "1",
         "&#165;1"},                                      // ¥ is no backslash
        {"\xED\x95\x9C\xEA\xB5\xAD", "&#54620;&#44397;"}, // 한국
        {"\xE8\xAA\xAA\xE9\xAB\x94", "&#35498;\xE9\x93"}, // 說體: 說 is not in CP932
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\x93\xFA\x96\x7B"}, // 日本
        {"&#233; &#38; &#65; &#x41; & &amp;", "&#38;#233; &#38;#38; &#65; &#x41; & &amp;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::utf8ToSjis(c.utf8), c.held) << c.utf8;
        EXPECT_EQ(platform::sjisToUtf8(c.held), c.utf8) << c.utf8;
    }
    // In HTML source '&' is markup: it is left for the decoder.
    EXPECT_EQ(platform::utf8ToSjis("&#233;\xC3\xA9", platform::Ampersand::markup), "&#233;&#233;");
    std::size_t replaced = 0;
    platform::utf8ToSjis("\xEF\xBB\xBF"
                         "a\xC3\xA9\xF0\x9F\x98\x80\xFF",
                         platform::Ampersand::text, &replaced);
    EXPECT_EQ(replaced, 3u);
    // A typed address is asked for in ASCII: what lies beyond it as UTF-8 bytes, '%' and '&' as typed.
    EXPECT_EQ(platform::utf8AddressToPercent("http://h/\xE4\xBE\x8B \xF0\x9F\x98\x80?a=%41&b=1#x"),
              "http://h/%E4%BE%8B%20%F0%9F%98%80?a=%41&b=1#x");
    // No HTML file keeps a C1 control (browsers read &#150; as an en dash): it is no reference.
    EXPECT_EQ(platform::utf8ToSjis("a\xC2\x96&#150;"), "a\x81\xAC&#150;");
    EXPECT_EQ(platform::sjisToUtf8("&#150;&#160;"), "&#150;\xC2\xA0");

    // Every code point, alone and between others, reads back as itself.
    std::size_t inTwoBytes = 0;
    for (std::uint32_t code = 0xA0; code < 0x110000; code += code < 0x10000 ? 1 : 0x1001) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        std::string one;
        platform::appendUtf8(one, code);
        std::string held = platform::utf8ToSjis("x" + one + "&#1");
        ASSERT_EQ(platform::sjisToUtf8(held), "x" + one + "&#1") << code;
        inTwoBytes += held.size() == 6 ? 1 : 0;
    }
    EXPECT_GT(inTwoBytes, 7000u); // JIS X 0208 and the Windows extensions stay Shift_JIS
}

TEST(PlatformText, CutsOnlyOnCharacterBoundaries)
{
    const std::string text = "a\x82\xA0"
                             "b";
    EXPECT_EQ(platform::sjisBoundary(text, 2), 1u);
    EXPECT_EQ(platform::sjisBoundary(text, 3), 3u);
    EXPECT_EQ(platform::sjisBoundary(text, 99), 4u);
    EXPECT_EQ(platform::sjisBoundary("\x82", 1), 1u);        // a lone lead byte is one byte
    EXPECT_EQ(platform::sjisBoundary("a&#128512;b", 5), 1u); // a reference is one character
    EXPECT_EQ(platform::sjisBoundary("a&#128512;b", 10), 10u);
    EXPECT_EQ(platform::sjisBoundary("a&#65;b", 3), 3u); // text, not a reference
}

TEST(SafePath, MakesOneHarmlessComponent)
{
    const std::pair<std::string, std::string> cases[] = {
        {"..", "__"},
        {"../../etc/passwd", "_._.._etc_passwd"},
        {std::string("a\0b", 3), "a_b"},
        {"", "_"},
        {"\x83\x5C"
         "x",
         "\x83\x5C"
         "x"}, // ソ: its trail byte 0x5C is no separator
        {".hidden", "_hidden"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(platform::safeFileComponent(name), expected);
    EXPECT_EQ(platform::safeFileComponent(std::string(50, '\x82') + "x", 5).size(), 4u);
}

TEST(SafePath, TellsWhetherAPathStaysInside)
{
    testsupport::TempHome home;
    std::filesystem::create_directories(home.path() / "Data" / "Snapshot");
    std::filesystem::create_directory_symlink("/tmp", home.path() / "Data" / "out");
    const std::string data = home.dir() + "Data/";
    EXPECT_TRUE(platform::isPathInside(data, data + "Snapshot/new/page.html"));
    EXPECT_FALSE(platform::isPathInside(data, data));
    EXPECT_FALSE(platform::isPathInside(data, data + "Snapshot/../../x"));
    EXPECT_FALSE(platform::isPathInside(data, data + "out/x"));
    EXPECT_FALSE(platform::isPathInside(data, home.dir() + "DataX/y"));
}

} // namespace
