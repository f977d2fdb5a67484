#include "TreeViewItem/Formats/tviCabinetText.h"

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

void tviCabinetText::writeHead(std::string& out, std::string_view title, std::string_view kind, std::string_view note,
                               std::string_view description, Tabs tabs)
{
    std::string name = encoded(field(title));
    out += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
           "<HTML>\r\n<HEAD>\r\n";
    out += "\t<TITLE>" + name + "</TITLE>\r\n";
    // これはQUILLARAが自動生成しているファイルです。プログラムが読み書きを実行します。編集禁止!
    out += "\t<!-- \x82\xb1\x82\xea\x82\xcd\x51\x55\x49\x4c\x4c\x41\x52\x41\x82\xaa\x8e\xa9\x93\xae"
           "\x90\xb6\x90\xac\x82\xb5\x82\xc4\x82\xa2\x82\xe9\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5"
           "\x82\xb7\x81\x42\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80\x82\xaa\x93\xc7\x82\xdd\x8f\x91"
           "\x82\xab\x82\xf0\x8e\xc0\x8d\x73\x82\xb5\x82\xdc\x82\xb7\x81\x42\x95\xd2\x8f\x57\x8b\xd6"
           "\x8e\x7e\x21 -->\r\n";
    out += "\t<!-- " + std::string(note) + " -->\r\n";
    out += "\t<META name=\"quillara\" content=\"" + std::string(kind) + "\">\r\n"
           "\t<META name=\"version\" content=\"01.00.00\">\r\n"
           "\t<META name=\"auther\" content =\"quillara\">\r\n"
           "\t<META name=\"owner\" content =\"public\">\r\n"
           "\t<META name=\"generator\" content =\" Tornavi/QuillaraV1.00.00\">\r\n";
    for (const std::string& line : lines(description, tabs)) {
        out += "\t<META name=\"description\" content=\"" + encoded(line) + "\">\r\n";
    }
    out += "</HEAD>\r\n\r\n<BODY>\r\n<H1>" + name + "</H1>\r\n<DL>\r\n";
}

std::string tviCabinetText::indent(std::size_t depth) { return std::string(std::min<std::size_t>(depth, 16), '\t'); }

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
