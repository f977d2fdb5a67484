#include "Engine/Text/utlCp932Table.h"
#include "Engine/Text/utlKanjiConverter.h"
#include "KanjiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const std::string sampleUtf8 =
    "<html><head><title>ファイルを開く</title></head>\n<body>\r\n"
    "日本語の文章です。「漢字」と、ひらがな、カタカナ、ｶﾀｶﾅ、ＡＢＣ１２３、①Ⅱ㈱。\r"
    "次の行です。表示・検索・設定～\n</body></html>\n";

std::string sjisOf(const std::string& utf8)
{
    return iconvOrEmpty("CP932", "UTF-8", utf8);
}

// Every mapped CP932 character, in code order.
std::vector<std::string> allCp932Characters()
{
    std::vector<std::string> list;
    for (int kana = 0xA1; kana <= 0xDF; ++kana)
        list.push_back(std::string(1, static_cast<char>(kana)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (cp932::isMappedPair(static_cast<unsigned char>(lead),
                                    static_cast<unsigned char>(trail)))
                list.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    return list;
}

// Every line end as CR LF, as the converter writes them.
std::string withCrLf(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\r' || text[i] == '\n')
            out += "\r\n";
        else
            out += text[i];
    }
    return out;
}

std::string converted(int code, const std::string& bytes)
{
    utlKanjiConverter converter;
    converter.setConverterCode(code);
    converter.convertCode(bytes.data(), bytes.size());
    std::string out = converter.lastOutput();
    converter.finishCode();
    return out + converter.lastOutput();
}

} // namespace

// The converters must give the characters iconv gives for the same bytes: every mapped CP932
// character, through each code that can carry it.
TEST(utlKanjiConverter, AgreesWithIconvOnEveryCp932Character)
{
    const std::vector<std::string> characters = allCp932Characters();
    ASSERT_GT(characters.size(), 7000u);
    std::string sjis;
    for (const std::string& one : characters)
        sjis += one + " ";
    EXPECT_EQ(converted(utlKanjiConverter::codeSjis, sjis), sjis);

    std::string utf8 = iconvOrEmpty("UTF-8", "CP932", sjis);
    ASSERT_FALSE(utf8.empty());
    EXPECT_EQ(converted(utlKanjiConverter::codeUtf8, utf8), iconvOrEmpty("CP932", "UTF-8", utf8));

    // EUC-JP-MS and ISO-2022-JP cannot carry every CP932 character; compare one by one over
    // those each carries in two bytes (three-byte EUC becomes "〓", tested apart).
    std::size_t eucChecked = 0, jisChecked = 0;
    for (const std::string& one : characters) {
        std::string euc;
        if (iconvWhole("EUC-JP-MS", "CP932", one, euc) && euc.size() <= 2) {
            ++eucChecked;
            EXPECT_EQ(converted(utlKanjiConverter::codeEuc, euc),
                      iconvOrEmpty("CP932", "EUC-JP-MS", euc))
                << std::hex << int((unsigned char)one[0]) << " " << int((unsigned char)one.back());
        }
        std::string jis;
        if (iconvWhole("ISO-2022-JP-3", "CP932", one, jis) && jis.size() <= 8) {
            ++jisChecked;
            EXPECT_EQ(converted(utlKanjiConverter::codeJis, jis),
                      iconvOrEmpty("CP932", "ISO-2022-JP-3", jis))
                << std::hex << int((unsigned char)one[0]) << " " << int((unsigned char)one.back());
        }
    }
    EXPECT_GT(eucChecked, 6800u);
    EXPECT_GT(jisChecked, 6800u);
}

// Half-width katakana and the bytes that the old converter garbled or swallowed.
TEST(utlKanjiConverter, ConvertsKanaAndRefusesToGarble)
{
    struct Case {
        const char* what;
        int code;
        std::string in;
        std::string out;
    } cases[] = {
        {"EUC SS2 kana", utlKanjiConverter::codeEuc, "\x8E\xB1", "\xB1"},
        {"EUC three-byte character becomes geta", utlKanjiConverter::codeEuc, "a\x8F\xB0\xA1z",
         "a\x81\xACz"},
        {"EUC lead before '<' keeps the '<'", utlKanjiConverter::codeEuc, "\xB0<a>", "?<a>"},
        {"EUC lead before LF keeps the line end", utlKanjiConverter::codeEuc, "\xB0\nx", "?\r\nx"},
        {"EUC kana lead before a non-kana", utlKanjiConverter::codeEuc, "\x8E\xE0\xA1",
         "?\xE0\x9F"},
        {"EUC stray byte", utlKanjiConverter::codeEuc,
         "\x80"
         "a",
         "?a"},
        {"JIS ESC ( I is half-width katakana", utlKanjiConverter::codeJis, "\x1B(I1\x1B(Bx",
         "\xB1x"},
        {"JIS second byte missing before LF", utlKanjiConverter::codeJis, "\x1B$B0\n\x1B(B",
         "?\r\n"},
        {"JIS invalid escape gives '?'", utlKanjiConverter::codeJis, "a\x1BZb", "a?b"},
        {"JIS X 0212 has no CP932 form", utlKanjiConverter::codeJis, "\x1B$(D0!\x1B(B", "\x81\xAC"},
        {"JIS stray 8-bit byte keeps the '<'", utlKanjiConverter::codeJis,
         "\xE9<a>\x1B$B\x80"
         "F|\x1B(B\xFC\"",
         "?<a>?\x93\xFA?\""},
        {"JIS stray kana byte stays a character", utlKanjiConverter::codeJis, "\xA9<", "\xA9<"},
        {"UTF-8 character CP932 lacks is kept as a reference", utlKanjiConverter::codeUtf8,
         "\xF0\x9F\x98\x80\xE2\x80\x94", "&#128512;&#8212;"},
        {"UTF-8 broken sequence keeps '<'", utlKanjiConverter::codeUtf8, "\xE3\x81<", "?<"},
        {"UTF-8 overlong", utlKanjiConverter::codeUtf8, "\xC0\xAF", "??"},
        // The whole-character fast paths must refuse what the byte-at-a-time path refuses.
        {"UTF-8 three-byte overlong Alpha in a run", utlKanjiConverter::codeUtf8,
         "\xE3\x81\x82\xE0\x8E\x91xyz", "\x82\xA0?xyz"},
        {"UTF-8 two-byte Alpha at the end", utlKanjiConverter::codeUtf8, "\xE3\x81\x82\xCE\x91",
         "\x82\xA0\x83\x9F"},
        {"UTF-8 surrogate in a run", utlKanjiConverter::codeUtf8, "\xE3\x81\x82\xED\xA0\x80xyz",
         "\x82\xA0?xyz"},
        {"UTF-8 surrogate at the end", utlKanjiConverter::codeUtf8, "\xE3\x81\x82\xED\xA0\x80",
         "\x82\xA0?"},
        {"UTF-8 half-width kana in a run", utlKanjiConverter::codeUtf8,
         "\xE3\x81\x82\xEF\xBD\xB1xyz", "\x82\xA0\xB1xyz"},
        {"EUC user-defined row in a run", utlKanjiConverter::codeEuc, "\xA4\xA2\xF5\xA1xyz",
         "\x82\xA0\xF0\x40xyz"},
        {"ASCII run cut by a tab inside a word", utlKanjiConverter::codeSjis,
         "abc\tdefghijklmno\x82\xA0pq", "abc\tdefghijklmno\x82\xA0pq"},
        {"Shift_JIS trail may look like ASCII", utlKanjiConverter::codeSjis, "\x83\x5C\n",
         "\x83\x5C\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(converted(c.code, c.in), c.out) << c.what;
}

// CR LF, a lone CR and a lone LF all end a line once, wherever the block ends.
TEST(utlKanjiConverter, LineEndsAcrossBlocks)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"a\r\nb", "a\r\nb"},       {"a\rb", "a\r\nb"}, {"a\nb", "a\r\nb"},
        {"a\r\r\nb", "a\r\n\r\nb"}, {"a\r", "a"},       {"\n\n", "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        for (int code : {1, 2, 3, 4, 5}) {
            for (std::size_t size : {1, 2, 0}) {
                utlKanjiConverter converter;
                converter.setConverterCode(code);
                std::string all;
                std::size_t step = size == 0 ? c.in.size() : size;
                for (std::size_t at = 0; at < c.in.size(); at += step) {
                    converter.convertCode(c.in.data() + at, std::min(step, c.in.size() - at));
                    all += converter.lastOutput();
                }
                EXPECT_EQ(all, c.out) << "code " << code << " block " << size;
            }
        }
    }
}

// Detection decides only on evidence that rules the other codes out, and every window is
// tested, also those at the end of a block.
TEST(utlKanjiConverter, DetectsTheCodeFromTheBytes)
{
    const std::string sjis = sjisOf(sampleUtf8);
    struct Case {
        const char* what;
        std::string bytes;
        int expected;
        int declared;
    } cases[] = {
        {"plain ASCII", "<html>abc</html>", 1, 0},
        {"Shift_JIS", sjis, 2, 0},
        {"EUC-JP", iconvOrEmpty("EUC-JP-MS", "UTF-8", sampleUtf8), 4, 0},
        {"ISO-2022-JP", iconvOrEmpty("ISO-2022-JP-3", "UTF-8", sampleUtf8), 3, 0},
        {"UTF-8", sampleUtf8, 5, 0},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + sampleUtf8, 5, 0},
        {"EUC-JP starting with 0xE0-0xEF lead bytes",
         std::string("<p>\xE0\xA1\xA4\xC7\xA4\xB7\xA4\xBF\xA4\xCD</p>"), 4, 0},
        {"Shift_JIS starting with half-width katakana",
         iconvOrEmpty("CP932", "UTF-8", "<p>ｶﾀｶﾅのあとに漢字</p>"), 2, 0},
        {"escape sequence as the last bytes", "abc\x1B$B", 3, 0},
        {"ambiguous kana, declared Shift_JIS", "\xB1\xB2\xB3\xB4", 2, 2},
        {"ambiguous kana, declared EUC-JP", "\xB1\xB2\xB3\xB4", 4, 4},
        {"declared UTF-8 but bytes are Shift_JIS", sjis, 2, 5},
        // A stray 8-bit byte (a Latin-1 sign) leaves JIS open; its designations then decide.
        {"stray byte before ESC $ B", "<!-- \xA9 --><title>\x1B$BF|\x1B(B</title>", 3, 0},
        {"stray bytes before ESC ( J", "\xE9t\xA9 \x1B(Jabc", 3, 0},
        {"stray byte before ESC $ @", "\xA9\x1B$@F|", 3, 0},
        {"stray byte before ESC ( I", "\xA9\x1B(I1", 3, 0},
        // ESC ( B designates ASCII only; other codes' pages may hold it.
        {"stray byte before ESC ( B", "\xA9\x1B(Babc", 2, 0},
        {"Shift_JIS text before ESC $ B", sjis + "\x1B$BF|\x1B(B", 2, 0},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.what;
        for (std::size_t size : {1, 2, 3, 2048}) {
            int code = -1;
            convertInBlocks(c.bytes, size, &code, c.declared);
            EXPECT_EQ(code, c.expected) << c.what << ", blocks of " << size;
        }
    }
}

// Cutting the stream anywhere must not change the text: every offset, and the block sizes
// the analyzer meets.
TEST(utlKanjiConverter, SameTextWhereverTheStreamIsCut)
{
    const char* codes[] = {"CP932", "EUC-JP-MS", "ISO-2022-JP-3", "UTF-8"};
    const std::string expected = sjisOf(sampleUtf8);
    for (const char* code : codes) {
        std::string bytes = iconvOrEmpty(code, "UTF-8", sampleUtf8);
        ASSERT_FALSE(bytes.empty()) << code;
        std::string whole = convertInBlocks(bytes, 0);
        EXPECT_EQ(whole, withCrLf(expected)) << code;
        for (std::size_t size : {1, 2, 3, 2048})
            EXPECT_EQ(convertInBlocks(bytes, size), whole) << code << " blocks of " << size;
        for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
            utlKanjiConverter converter;
            converter.convertCode(bytes.data(), cut);
            std::string all = converter.lastOutput();
            converter.convertCode(bytes.data() + cut, bytes.size() - cut);
            all += converter.lastOutput();
            converter.finishCode();
            all += converter.lastOutput();
            ASSERT_EQ(all, whole) << code << " cut at " << cut;
        }
    }
}

// Bytes held for detection are bounded: a long ambiguous stream is decided at the limit.
TEST(utlKanjiConverter, HoldsAtMostTheLimitWhileUndecided)
{
    std::string kana(utlKanjiConverter::holdLimit * 2, '\xB1');
    utlKanjiConverter converter;
    converter.convertCode(kana.data(), utlKanjiConverter::holdLimit / 2);
    EXPECT_EQ(converter.getConverterCode(), utlKanjiConverter::codeAscii);
    EXPECT_TRUE(converter.lastOutput().empty());
    converter.convertCode(kana.data(), utlKanjiConverter::holdLimit);
    EXPECT_NE(converter.getConverterCode(), utlKanjiConverter::codeAscii);
    EXPECT_GE(converter.lastOutput().size(), utlKanjiConverter::holdLimit);
}
