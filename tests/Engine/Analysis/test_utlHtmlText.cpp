#include "Engine/Analysis/utlHtmlText.h"

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
    EXPECT_TRUE(decodeHtmlText(text));
    return text;
}

std::string encoded(std::string text)
{
    EXPECT_TRUE(encodeHtmlText(text));
    return text;
}

TEST(NormalizeForSearch, FoldsCaseWidthAndLongVowel)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\x82\x60\x82\x61\x82\x62\x82\x50", "ABC1"}, // ＡＢＣ１
        {"abc1", "ABC1"},
        {"\x82\x81\x82\x82\x82\x83", "ABC"}, // ａｂｃ
        {"\x83\x4B", "\xB6\xDE"},            // ガ -> ｶﾞ
        {"\x83\x70", "\xCA\xDF"},            // パ -> ﾊﾟ
        {"\x83\x94", "\xB3\xDE"},            // ヴ -> ｳﾞ
        {"\x83\x41\x83\x93", "\xB1\xDD"},    // アン -> ｱﾝ
        {"\x83\x8E\x83\x90\x83\x91", "\x83\x8E\x83\x90\x83\x91"}, // ヮヰヱ have no half-width form
        {"\x81\x5B\x81\x7C\xB0", "---"},      // ー － ｰ
        {"\x82\xA0", "\x82\xA0"},            // hiragana あ stays
        // A trail byte in the range of a-z belongs to its kanji and is not upper-cased.
        {"\x89\x61x", "\x89\x61X"}, // 餌x
        {"a\x82", "A\x82"},        // a cut double-byte character stays as it is
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normalized(text), expected) << text;
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
        {"&hellip;&times;&alpha;&Omega;&rarr;&sect", "\x81\x63\x81\x7E\x83\xBF\x83\xB6\x81\xA8\x81\x98"},
        {"&copy; &euro; &yen;", "\x81\xAC \x81\xAC \x81\xAC"}, // CP932 lacks them; ¥ is no '\'
        {"&notin;&notit;&copyx", "\x81\xAC\x81\xCAit;\x81\xACx"},            // ∉ ¬it; ©x
        {"&alpha &thetasym;", "&alpha \x81\xAC"},                             // Greek needs its ';'
        {"&#133;&#150;&#129;", "\x81\x63\x81\xAC\x81\xAC"},                   // Windows-1252 …, –, none
        {"&#0;&#x1F600;&#55296;&#99999999999999999999;", "\x81\xAC\x81\xAC\x81\xAC\x81\xAC"},
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
        {"x?a=1&copy=2&reg&lang=ja&not_x", "x?a=1&copy=2%C2%AE&lang=ja\x81\xCA_x"},
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
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(encoded(text), expected) << text;
}

// decode(encode(x)) == x, and the encoded text never carries raw markup, for every prefix of
// a text that mixes entities, double-byte characters, lead bytes before markup and spaces.
TEST(EncodeHtmlText, RoundTripsEveryPrefix)
{
    const std::string text = "  &amp; &#65; &copy; \x81<\x82\xA0  \"q\" &nbsp\x89\x61>&#x1F600;\x83";
    for (size_t n = 0; n <= text.size(); ++n) {
        std::string original = text.substr(0, n);
        std::string e = encoded(original);
        EXPECT_EQ(e.find_first_of("<>\""), std::string::npos) << e;
        EXPECT_EQ(decoded(e), original) << n;
    }
}

} // namespace
