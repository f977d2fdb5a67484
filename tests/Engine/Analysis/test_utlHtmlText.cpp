#include "Engine/Analysis/utlHtmlText.h"

#include "Platform/platformText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string normalized(std::string text)
{
    normalizeForSearch(text);
    return text;
}

std::string decoded(std::string text)
{
    decodeHtmlText(text);
    return text;
}

std::string encoded(std::string text)
{
    encodeHtmlText(text);
    return text;
}

TEST(NormalizeForSearch, FoldsCaseWidthAndLongVowel)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\x82\x60\x82\x61\x82\x62\x82\x50", "ABC1"}, // ＡＢＣ１
        {"abc1", "ABC1"},
        {"\x82\x81\x82\x82\x82\x83", "ABC"},                      // ａｂｃ
        {"\x83\x4B", "\xB6\xDE"},                                 // ガ -> ｶﾞ
        {"\x83\x70", "\xCA\xDF"},                                 // パ -> ﾊﾟ
        {"\x83\x94", "\xB3\xDE"},                                 // ヴ -> ｳﾞ
        {"\x83\x41\x83\x93", "\xB1\xDD"},                         // アン -> ｱﾝ
        {"\x83\x8E\x83\x90\x83\x91", "\x83\x8E\x83\x90\x83\x91"}, // ヮヰヱ have no half-width form
        {"\x81\x5B\x81\x7C\xB0", "---"},                          // ー － ｰ
        {"\x82\xA0", "\x82\xA0"},                                 // hiragana あ stays
        // A trail byte in the range of a-z belongs to its kanji and is not upper-cased.
        {"\x89\x61x", "\x89\x61X"}, // 餌x
        {"a\x82", "A\x82"},         // a cut double-byte character stays as it is
        {"&#38;#65;", "&#65;"},     // an '&' held as text is an '&'
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normalized(text), expected) << text;
    // A kept reference folds like a letter and is found only whole.
    EXPECT_EQ(normalized("Caf&#233; &#256;"), normalized("CAF&#201; &#257;"));
    EXPECT_NE(normalized("&#128512;"), normalized("&#128513;"));
    for (const char* part : {"&", "#", "23", ";", "&#233"})
        EXPECT_EQ(normalized("&#233;").find(normalized(part)), std::string::npos) << part;
}

TEST(DecodeHtmlText, ReplacesEntitiesAndKeepsEverythingElse)
{
    const std::pair<std::string, std::string> cases[] = {
        {"&lt;&GT;&Amp;&quot;&nbsp;&NBSP;", "<>&\"  "},
        {"&lt&gtx&ltd", "<>x<d"},
        {"&amp;lt;", "&lt;"},
        {"&unknown; & &; &1", "&unknown; & &; &1"},
        {"&#65;&#x42;&#X43", "ABC"},
        {"&#12354;&#x3042", "\x82\xA0\x82\xA0"}, // あ
        {"&hellip;&times;&alpha;&Omega;&rarr;&sect",
         "\x81\x63\x81\x7E\x83\xBF\x83\xB6\x81\xA8\x81\x98"},
        // What CP932 lacks, or would read back as another character, is kept as a reference.
        {"&copy; &euro; &yen;", "&#169; &#8364; &#165;"},    // ¥ is no '\'
        {"&notin;&notit;&copyx", "&#8713;&#172;it;&#169;x"}, // ∉ ¬it; ©x (0x81CA reads as U+FFE2)
        {"&alpha &thetasym;", "&alpha &#977;"},              // Greek needs its ';'
        {"&#133;&#150;&#129;", "\x81\x63&#8211;\x81\xAC"},   // Windows-1252 …, –, a control
        {"&#0;&#x1F600;&#55296;&#99999999999999999999;", "&#65533;&#128512;&#65533;&#65533;"},
        {"&mdash;&#x2015;&#x301C;&#xFF5E;", "&#8212;\x81\x5C&#12316;\x81\x60"},
        // An '&' that is text stays text where it would read as a kept reference.
        {"&amp;#233; &amp;&#233; &#38;#128512; &amp;#65;",
         "&#38;#233; &&#233; &#38;#128512; &#65;"},
        {"&#1;&#9;&#10;", "\x81\xAC\t\n"},
        {"&#;&#x;&#", "&#;&#x;&#"},
        // A lead byte before '&' stands alone: the '&' is not eaten as its trail byte.
        {"\x81&lt;", "\x81<"},
        {"\x82\xA0&amp;", "\x82\xA0&"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(decoded(text), expected) << text;
}

// In an address a reference is decoded as a browser decodes an attribute: a Latin-1 name
// without ';' before '=' or a letter is a query parameter, and what Shift_JIS cannot hold is
// written as percent-encoded UTF-8.
TEST(DecodeCharacterReferences, WritesAddressesAsBrowsersRequestThem)
{
    const std::pair<std::string, std::string> cases[] = {
        {"?page=2&amp;sort=new", "?page=2&sort=new"},
        {"x?a=1&#38;b=2&#x26;c=3", "x?a=1&b=2&c=3"},
        {"x?a=1&copy=2&reg&lang=ja&not_x",
         "x?a=1&copy=2%C2%AE&lang=ja%C2%AC_x"}, // 0x81CA reads as U+FFE2
        {"x?a=1&amp=2&ampb", "x?a=1&amp=2&ampb"},
        {"a&nbsp;b&copy;&#x1F600;", "a%C2%A0b%C2%A9%F0%9F%98%80"},
        {"&#12354;&#xFF71;", "\x82\xA0\xB1"}, // あ and half-width ｱ as Shift_JIS
        {"a&#10;b&#9;c&#1;d&#0;", "abc%01d%EF%BF%BD"},
        {"a & b &", "a & b &"},
    };
    for (const auto& [text, expected] : cases) {
        std::string address = text;
        decodeCharacterReferences(address, ReferenceTarget::address);
        EXPECT_EQ(address, expected) << text;
    }
}

TEST(EncodeHtmlText, EscapesMarkupAndSpaceRuns)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a  b", "a &nbsp;b"},
        {"   ", " &nbsp;&nbsp;"},
        {"<a href=\"x\">&", "&lt;a href=&quot;x&quot;&gt;&amp;"},
        {"\x83\x5C<", "\x83\x5C&lt;"}, // ソ keeps its trail byte
        {"\x81<", "\x81&lt;"},         // a cut lead byte hides no '<'
        // A kept reference is written as it is, for browsers and the reader; "&#38;" (an '&'
        // held as text) and a reference typed as text have their '&' encoded.
        {"R&#128512;&#233;", "R&#128512;&#233;"},
        {"&#38;#233; &#65; &#38;x", "&amp;#233; &amp;#65; &amp;x"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(encoded(text), expected) << text;
}

// decode(encode(x)) shows as x, and the encoded text never carries raw markup, for every
// prefix of a text that mixes entities, double-byte characters, kept references, lead bytes
// before markup and spaces; the whole text comes back byte for byte.
TEST(EncodeHtmlText, RoundTripsEveryPrefix)
{
    const std::string text =
        "  &amp; &#65; &copy; \x81<\x82\xA0  \"q\" &nbsp\x89\x61>&#x1F600;&#128512;&#38;#233;\x83";
    for (size_t n = 0; n <= text.size(); ++n) {
        std::string original = text.substr(0, n);
        std::string e = encoded(original);
        EXPECT_EQ(e.find_first_of("<>\""), std::string::npos) << e;
        EXPECT_EQ(platform::sjisToUtf8(decoded(e)), platform::sjisToUtf8(original)) << n;
    }
    EXPECT_EQ(decoded(encoded(text)), text);
}

} // namespace
