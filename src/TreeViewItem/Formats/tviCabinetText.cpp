#include "TreeViewItem/Formats/tviCabinetText.h"

#include "Common/utlTexts.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "TreeViewItem/Formats/tviTagCursor.h"

#include <algorithm>

std::string tviCabinetText::field(std::string_view field, Tabs tabs)
{
    std::string text(field);
    std::erase(text, '\0');
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        if (tviTagCursor::charWidth(text, i) == 2) {
            out.append(text, i++, 2);
            continue;
        }
        bool blank = (c == '\t' && tabs == Tabs::toBlank) || c == '\r' || c == '\n';
        out += blank ? ' ' : static_cast<char>(c);
    }
    return out;
}

std::string tviCabinetText::oneLine(std::string_view text)
{
    std::string raw(text);
    // NULs go first, so that none is left to stand between a blank and the end.
    std::erase(raw, '\0');
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = raw[i];
        if (tviTagCursor::charWidth(raw, i) == 2) {
            out.append(raw, i++, 2);
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
            continue;
        }
        out += static_cast<char>(c);
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::vector<std::string> tviCabinetText::lines(std::string_view text, Tabs tabs)
{
    std::vector<std::string> out;
    std::string line;
    auto flush = [&] {
        // A line of nothing but NULs is empty once cleaned: none is written.
        if (std::string f = field(line, tabs); !f.empty()) {
            out.push_back(std::move(f));
        }
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        if (tviTagCursor::charWidth(text, i) == 2) {
            line.append(text, i++, 2);
            continue;
        }
        if (c == '\r' || c == '\n') {
            flush();
            continue;
        }
        line += static_cast<char>(c);
    }
    flush();
    return out;
}

void tviCabinetText::writeDescription(std::string& out, std::string_view description, Tabs tabs)
{
    std::vector<std::string> all = lines(description, tabs);
    if (all.empty()) {
        return;
    }
    out += "<DD>";
    for (size_t i = 0; i < all.size(); ++i) {
        if (i > 0) {
            out += "<BR>\r\n";
        }
        out += encoded(all[i]);
    }
    out += "</DD>\r\n";
}

void tviCabinetText::writeHead(std::string& out, std::string_view title, std::string_view kind,
                               std::string_view note, std::string_view description, Tabs tabs)
{
    std::string name = encoded(field(title));
    out += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
           "<HTML>\r\n<HEAD>\r\n";
    out += "\t<TITLE>" + name + "</TITLE>\r\n";
    out += utlTexts::sjis(utlText::cabinetFileNotice);
    out += "\t<!-- " + std::string(note) + " -->\r\n";
    out += "\t<META name=\"quillara\" content=\"" + std::string(kind) +
           "\">\r\n"
           "\t<META name=\"version\" content=\"01.00.00\">\r\n"
           "\t<META name=\"auther\" content =\"quillara\">\r\n"
           "\t<META name=\"owner\" content =\"public\">\r\n"
           "\t<META name=\"generator\" content =\" Tornavi/QuillaraV1.00.00\">\r\n";
    for (const std::string& line : lines(description, tabs)) {
        out += "\t<META name=\"description\" content=\"" + encoded(line) + "\">\r\n";
    }
    out += "</HEAD>\r\n\r\n<BODY>\r\n<H1>" + name + "</H1>\r\n<DL>\r\n";
}

std::string tviCabinetText::indent(std::size_t depth)
{
    return std::string(std::min<std::size_t>(depth, 16), '\t');
}

std::string tviCabinetText::encoded(std::string text)
{
    encodeHtmlText(text);
    return text;
}

std::string tviCabinetText::decoded(std::string text)
{
    decodeHtmlText(text);
    return text;
}
