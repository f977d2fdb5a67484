#include "TreeViewItem/tviTagCursor.h"

#include <gtest/gtest.h>

#include <string>

TEST(tviTagCursor, StrayLeadByteNeverHidesAQuoteOrTheEndOfTheTag)
{
    using Code = tviTagCursor::Code;
    struct Case {
        std::string bytes;
        Code code;
        std::string attributes; // "" with closed false: no '>' found
        bool closed;
        std::string rest; // what follows the tag
    } cases[] = {
        {"<A title=\"\x81\">x", Code::sjis, " title=\"\x81\"", true, "x"},
        {"<A title=\"\x9f\" b=\"\xfc\">x", Code::sjis, " title=\"\x9f\" b=\"\xfc\"", true, "x"},
        {"<A \x81>x", Code::sjis, " \x81", true, "x"},
        {"<A t=\"\x81\x3e\">x", Code::sjis, " t=\"\x81\x3e\"", true, "x"},
        {"<A t=\"\x81\x7f\">x", Code::sjis, " t=\"\x81\x7f\"", true, "x"},
        {"<A t=\"\x81\">\">x", Code::sjis, " t=\"\x81\"", true, "\">x"},
        // A real double-byte character takes its trail byte, whatever that is.
        {"<A t=\"\x83\x5c\">x", Code::sjis, " t=\"\x83\x5c\"", true, "x"},
        {"<A t=\"\x82\xa0\x81", Code::sjis, " t=\"\x82\xa0\x81", false, ""},
        {"<A t=\"\xe3\x81\x82\">x", Code::utf8, " t=\"\xe3\x81\x82\"", true, "x"},
        {"<A t=\"\xe3\x81\">x", Code::utf8, " t=\"\xe3\x81\"", true, "x"},
    };
    for (const Case& c : cases) {
        tviTagCursor cursor(c.bytes, c.code);
        tviTag tag = cursor.readTag();
        EXPECT_EQ("A", tag.name) << c.bytes;
        EXPECT_EQ(c.closed, tag.closed) << c.bytes;
        EXPECT_EQ(c.attributes, std::string(tag.attributes)) << c.bytes;
        EXPECT_EQ(c.rest, std::string(c.bytes.substr(cursor.pos()))) << c.bytes;
    }
}

TEST(tviTagCursor, AttributeValuesAreConsumedWhole)
{
    struct Case {
        std::string tag;
        std::string name;
        std::string value;
    } cases[] = {
        {R"( title="ends in blank " status="5")", "status", "5"},
        {R"( title="status=9 x" status="5")", "status", "5"},
        {R"( title='a "b" c' status=5)", "status", "5"},
        {R"( HREF = "x y" mark="1")", "href", "x y"},
        {R"( keyword="" title="t")", "title", "t"},
        {R"( title="unterminated status="5)", "status", ""},
        {R"( flag status="5")", "status", "5"},
        {" title=\"\x81\"\" status=\"5\"", "status", "5"},
        {" title=\"\x81\" status=\"5\"", "title", "\x81"},
        {" title=\"\x81\" status=\"5\"", "status", "5"},
        {" title=\"\x82\xa0\" status=\"5\"", "title", "\x82\xa0"},
        {" title=a\x81 status=5", "status", "5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, tviTagCursor::getAttribute(c.tag, c.name)) << c.tag;
    }
}

TEST(tviTagCursor, FindAndTextStepWholeCharactersOnly)
{
    // "\x82<" is no character: the '<' behind a stray lead byte starts a tag.
    tviTagCursor stray("\x82<DL>");
    EXPECT_EQ(1u, stray.find("<DL"));
    // "\x83\x40" is one: its trail byte is never mistaken for the start of a search.
    tviTagCursor pair("\x83\x40" "@");
    EXPECT_EQ(2u, pair.find("@"));
    std::string text;
    tviTagCursor cut("\x82\xa0\x82");
    cut.take(text);
    cut.take(text);
    EXPECT_EQ("\x82\xa0\x82", text);
    EXPECT_TRUE(cut.atEnd());
}
