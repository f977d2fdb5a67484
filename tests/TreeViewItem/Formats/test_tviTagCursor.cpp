#include "TreeViewItem/Formats/tviTagCursor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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
    tviTagCursor pair("\x83\x40"
                      "@");
    EXPECT_EQ(2u, pair.find("@"));
    std::string text;
    tviTagCursor cut("\x82\xa0\x82");
    cut.take(text);
    cut.take(text);
    EXPECT_EQ("\x82\xa0\x82", text);
    EXPECT_TRUE(cut.atEnd());
}

namespace {

// The cursor's rules as they read character by character (a lead byte takes a trail byte),
// kept to compare the byte-wise search with.
size_t stepWidth(std::string_view b, size_t at, tviTagCursor::Code code)
{
    return tviTagCursor::charWidth(b, at, code);
}

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// readTag's end and attribute text, stepping by characters.
std::pair<size_t, std::string> tagByCharacters(std::string_view b, tviTagCursor::Code code)
{
    size_t pos = 1;
    if (pos < b.size() && b[pos] == '/') {
        ++pos;
    }
    while (pos < b.size() && std::isalnum(static_cast<unsigned char>(b[pos]))) {
        ++pos;
    }
    size_t start = pos;
    char quote = 0;
    while (pos < b.size()) {
        char c = b[pos];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            size_t p = pos;
            while (p > start && blank(b[p - 1])) {
                --p;
            }
            if (p > start && b[p - 1] == '=') {
                quote = c;
            }
        } else if (c == '>') {
            return {pos + 1, std::string(b.substr(start, pos - start))};
        }
        pos += stepWidth(b, pos, code);
    }
    return {b.size(), "open:" + std::string(b.substr(start))};
}

// The first terminated value of name, stepping by characters ("-" when none).
std::string valueByCharacters(std::string_view t, std::string_view wanted, tviTagCursor::Code code)
{
    size_t i = 0;
    auto skip = [&] {
        while (i < t.size() && blank(t[i])) {
            ++i;
        }
    };
    while (true) {
        skip();
        if (i >= t.size()) {
            return "-";
        }
        size_t nameStart = i;
        while (i < t.size() && !blank(t[i]) && t[i] != '=' && t[i] != '>') {
            i += stepWidth(t, i, code);
        }
        std::string name(t.substr(nameStart, i - nameStart));
        if (i == nameStart) {
            ++i;
            continue;
        }
        skip();
        if (i >= t.size() || t[i] != '=') {
            continue;
        }
        ++i;
        skip();
        std::string value;
        bool terminated = true;
        if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
            char q = t[i++];
            size_t start = i;
            while (i < t.size() && t[i] != q) {
                i += stepWidth(t, i, code);
            }
            terminated = i < t.size();
            value = t.substr(start, std::min(i, t.size()) - start);
            i = std::min(i + 1, t.size());
        } else {
            size_t start = i;
            while (i < t.size() && !blank(t[i]) && t[i] != '>' && t[i] != '\0') {
                i += stepWidth(t, i, code);
            }
            value = t.substr(start, std::min(i, t.size()) - start);
        }
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (terminated && name == wanted) {
            return value;
        }
    }
}

} // namespace

// Searched byte by byte for quotes, '=', '>' and blanks, tags and values end where stepping
// character by character ends them, whatever lead and trail bytes stand around them.
TEST(tviTagCursor, ByteSearchEndsWhereCharacterStepsEnd)
{
    const std::string alphabet[] = {
        "\"",    "'",        "=",        ">",        " ",        "\r\n", std::string(1, '\0'),
        "\x81",  "\x82\xa0", "\x83\x5c", "\x81\x7f", "\xe3\x81", "a",    "href",
        "TITLE", "mark",     "x"};
    using Code = tviTagCursor::Code;
    std::mt19937 rng(21);
    for (int round = 0; round < 20000; ++round) {
        std::string text = rng() % 2 ? "<A" : "</DL";
        for (size_t n = rng() % 24; n > 0; --n) {
            text += alphabet[rng() % std::size(alphabet)];
        }
        for (Code code : {Code::sjis, Code::utf8}) {
            tviTagCursor cursor(text, code);
            tviTag tag = cursor.readTag();
            auto [end, attributes] = tagByCharacters(text, code);
            ASSERT_EQ(end, cursor.pos()) << round;
            ASSERT_EQ(attributes, (tag.closed ? "" : "open:") + std::string(tag.attributes))
                << round;
            for (std::string_view name : {"href", "title", "a", "mark"}) {
                bool found = false;
                std::string value = tviTagCursor::getAttribute(tag.attributes, name, &found);
                ASSERT_EQ(valueByCharacters(tag.attributes, name, code), found ? value : "-")
                    << round << " " << name;
            }
        }
    }
}
