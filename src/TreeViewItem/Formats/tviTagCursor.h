#pragma once

#include "Platform/platformText.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// One tag as the cursor read it: the name upper-cased, the text between the name and '>'.
struct tviTag {
    std::string name;
    bool end = false;
    std::string_view attributes;
    bool closed = false; // its '>' was found
};

// The cursor that the cabinet, footprint and bookmark readers share over their markup, and the
// one rule of what a character is that their writers follow as well. In Shift_JIS a lead byte
// takes the byte behind it only when that is a trail byte: '"', '<', '>', '&', '=' and blanks
// are never trail bytes, so a stray lead byte can never hide a quote or the end of a tag, and
// whatever a writer puts behind a field reads back as written. In UTF-8 every byte of a
// character is above ASCII, so bytes are stepped one by one.
class tviTagCursor {
public:
    enum class Code { sjis, utf8 };

    explicit tviTagCursor(std::string_view bytes, Code code = Code::sjis) : b_(bytes), code_(code)
    {
    }

    // What the markup's bytes are, for the readers' own scans as well as the cursor's.
    static bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool isNameChar(unsigned char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    }
    static unsigned char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }
    // Whether text holds prefix at at, in any case.
    static bool startsNoCase(std::string_view text, size_t at, std::string_view prefix);

    // Width of the character at text[at] (1 or 2); at must be inside text.
    static size_t charWidth(std::string_view text, size_t at, Code code = Code::sjis)
    {
        if (code != Code::sjis || at + 1 >= text.size() || !platform::isLeadByte(text[at])) {
            return 1;
        }
        return platform::isTrailByte(static_cast<unsigned char>(text[at + 1])) ? 2 : 1;
    }

    bool atEnd() const { return pos_ >= b_.size(); }
    unsigned char peek() const { return static_cast<unsigned char>(b_[pos_]); }
    size_t pos() const { return pos_; }
    void seek(size_t at);
    std::string_view bytes() const { return b_; }
    Code code() const { return code_; }
    size_t width() const { return charWidth(b_, pos_, code_); }

    // Steps over the character at the cursor; take appends it to text first.
    void step() { pos_ += width(); }
    void take(std::string& text);
    void skipBlanks();

    // Case-blind comparisons at the cursor. lookingAtTag wants the name whole: "<A" matches
    // "<A " and "<A>", not "<ABBR".
    bool lookingAt(std::string_view prefix) const;
    bool lookingAtTag(std::string_view name, bool end) const;
    // Where prefix next starts at a character boundary from the cursor on; npos when nowhere.
    size_t find(std::string_view prefix) const;

    // Reads the tag at the current '<' up to its '>', stepping over values quoted behind '='.
    // A tag without '>' leaves the cursor at the end with the rest of the bytes as attributes.
    tviTag readTag();

    // Values of the named attributes (the first occurrence of each, any case) in a tag's text.
    // A value whose quote never closes is none. Values view into tagText.
    static void getAttributes(std::string_view tagText, std::span<const std::string_view> names,
                              std::span<std::string_view> values, std::span<bool> found,
                              Code code = Code::sjis);
    static std::string getAttribute(std::string_view tagText, std::string_view name,
                                    bool* found = nullptr);

private:
    std::string_view b_;
    Code code_;
    size_t pos_ = 0;
};
