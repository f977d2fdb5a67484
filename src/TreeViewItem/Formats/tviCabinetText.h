#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the cabinet-shaped files (cabinets and the footprint file) write their text fields, so
// that both writers clean and encode a field the same way and agree with tviTagCursor, which
// reads them back.
class tviCabinetText {
public:
    enum class Tabs { toBlank, keep };

    // One line between markup: line breaks (and tabs unless kept) become blanks, NULs go. A
    // lead byte without its trail stays: no quote or '<' behind it is ever taken for a trail.
    static std::string field(std::string_view text, Tabs tabs = Tabs::toBlank);
    // Text read as one line: NULs go, runs of blanks (line breaks too) become one space, none
    // at either end.
    static std::string oneLine(std::string_view text);
    // The non-empty lines of a multi-line text, each made a field.
    static std::vector<std::string> lines(std::string_view text, Tabs tabs);
    // "<DD>" with the lines encoded and joined by "<BR>", nothing for no lines.
    static void writeDescription(std::string& out, std::string_view description, Tabs tabs);
    // Everything before the first entry: the head with the title, our marker of the file's kind
    // ("cabinet", "footprint"), a note on the layout and the description lines; the body's H1
    // and the opening of its list.
    static void writeHead(std::string& out, std::string_view name, std::string_view kind,
                          std::string_view note, std::string_view description, Tabs tabs);
    // One tab per level, 16 at most.
    static std::string indent(std::size_t depth);
    static std::string encoded(std::string text);
    static std::string decoded(std::string text);
};
