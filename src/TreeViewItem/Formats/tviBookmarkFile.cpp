#include "TreeViewItem/Formats/tviBookmarkFile.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Text/utlKanjiConverter.h"
#include "Engine/Text/utlUnicodeText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviCabinetText.h"
#include "TreeViewItem/Formats/tviTagCursor.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace {

size_t findNoCase(std::string_view text, std::string_view needle, size_t from, size_t limit)
{
    limit = std::min(limit, text.size());
    for (size_t i = from; i + needle.size() <= limit; ++i) {
        if (tviTagCursor::startsNoCase(text, i, needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool isTextByte(unsigned char c)
{
    return (c >= 8 && c <= 13) || c == 27 || c >= 32;
}

std::int64_t dateValue(std::string_view text)
{
    std::int64_t value = 0;
    if (text.empty()) {
        return 0;
    }
    for (char c : text) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Skips "<!-- ... -->" at the cursor; false when the comment never ends.
bool skipComment(tviTagCursor& c)
{
    size_t end = c.bytes().find("-->", c.pos() + 4);
    if (end == std::string_view::npos) {
        c.seek(c.bytes().size());
        return false;
    }
    c.seek(end + 3);
    return true;
}

class Reader {
public:
    Reader(tviTagCursor& c, tviCabinetDocument& doc, tviBookmarkStats& stats)
        : c_(c), doc_(doc), st_(stats)
    {
    }

    // Raw text of the file in Shift_JIS with its references decoded.
    std::string toSjis(std::string_view raw)
    {
        std::string text =
            sjis() ? std::string(raw)
                   : platform::utf8ToSjis(raw, platform::Ampersand::markup, &st_.replaced);
        std::erase(text, '\0');
        decodeHtmlText(text);
        return text;
    }

    // One line: runs of blanks (line breaks too) become one space, none at either end.
    std::string nameText(std::string_view raw) { return tviCabinetText::oneLine(toSjis(raw)); }

    // A description keeps its blanks and its line breaks (as CR LF); only the layout of the
    // file around it (the line break and indent before the next tag) is dropped.
    std::string descriptionText(std::string_view raw)
    {
        std::string text = toSjis(raw);
        std::string out;
        out.reserve(text.size() + 8);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                out += "\r\n";
                if (i + 1 < text.size() && text[i + 1] == '\n') {
                    ++i;
                }
            } else if (text[i] == '\n') {
                out += "\r\n";
            } else {
                out += text[i];
            }
        }
        while (!out.empty() && tviTagCursor::isBlank(out.back())) {
            out.pop_back();
        }
        size_t lead = 0;
        while (lead < out.size() && (out[lead] == '\r' || out[lead] == '\n')) {
            ++lead;
        }
        return out.substr(lead);
    }

    std::string address(std::string_view raw)
    {
        std::string href(raw);
        std::erase(href, '\0');
        if (!sjis()) {
            return utf8AddressToAscii(href);
        }
        return tviCabinetFile::decodeAddress(href);
    }

    void run()
    {
        while (!c_.atEnd()) {
            if (c_.peek() != '<') {
                c_.take(pending_);
                continue;
            }
            if (c_.lookingAt("<!--")) {
                if (!skipComment(c_)) {
                    st_.truncated = true;
                }
                continue;
            }
            if (c_.lookingAtTag("DD", false)) {
                c_.readTag();
                description();
                continue;
            }
            tviTag tag = c_.readTag();
            if (!tag.closed) {
                st_.truncated = true;
                break;
            }
            if (tag.name == "DL") {
                tag.end ? closeList() : openList();
            } else if (tag.name == "H3" && !tag.end) {
                heading(tag);
            } else if (tag.name == "A" && !tag.end) {
                anchor(tag);
            }
        }
        st_.unclosedLists = stack_.size() - 1 + overflow_ + (bodyClosed_ ? 0 : 1);
    }

private:
    // Collects the text up to the end tag, stepping over tags inside; false at the end of the file.
    bool textUntil(std::string_view endTag, std::string& raw)
    {
        while (!c_.atEnd()) {
            if (c_.peek() != '<') {
                c_.take(raw);
                continue;
            }
            if (c_.lookingAtTag(endTag, true)) {
                return c_.readTag().closed;
            }
            if (!c_.readTag().closed) {
                return false;
            }
        }
        return false;
    }

    void heading(const tviTag& tag)
    {
        static constexpr std::string_view names[3] = {"ADD_DATE", "LAST_MODIFIED",
                                                      tviBookmarkFile::markAttribute};
        std::string_view values[3];
        bool found[3] = {};
        tviTagCursor::getAttributes(tag.attributes, names, values, found, c_.code());
        std::string raw;
        if (!textUntil("H3", raw)) {
            st_.truncated = true;
        }
        heading_ = Heading{true, nameText(raw),   dateValue(values[0]), dateValue(values[1]),
                           {},   values[2] == "1"};
        pending_.clear();
        lastItem_ = -1;
    }

    void anchor(const tviTag& tag)
    {
        static constexpr std::string_view names[5] = {"HREF", "ADD_DATE", "LAST_MODIFIED", "TAGS",
                                                      tviBookmarkFile::markAttribute};
        std::string_view values[5];
        bool found[5] = {};
        tviTagCursor::getAttributes(tag.attributes, names, values, found, c_.code());
        pending_.clear();
        heading_.pending = false;
        lastItem_ = -1;
        std::string raw;
        if (!textUntil("A", raw)) {
            st_.truncated = true;
            return;
        }
        // An address that is empty once NUL bytes are gone counts as missing: a cabinet keeps
        // no item without an address, so importing it would lose it at the next read.
        std::string url = found[0] ? address(values[0]) : std::string();
        if (url.empty()) {
            ++st_.withoutHref;
            return;
        }
        tviCabinetEntry e;
        e.type = 4;
        e.parent = stack_.back();
        e.name = nameText(raw);
        e.url = std::move(url);
        e.addDate = dateValue(values[1]);
        e.lastModified = dateValue(values[2]);
        e.keyword = nameText(values[3]);
        e.marked = values[4] == "1";
        doc_.entries.push_back(std::move(e));
        lastItem_ = static_cast<int>(doc_.entries.size()) - 1;
    }

    void description()
    {
        std::string raw;
        while (!c_.atEnd()) {
            if (c_.peek() == '<') {
                if (!c_.lookingAtTag("BR", false)) {
                    break;
                }
                c_.readTag();
                raw += '\n';
                continue;
            }
            c_.take(raw);
        }
        if (lastItem_ >= 0) {
            doc_.entries[lastItem_].description = descriptionText(raw);
        } else if (heading_.pending) {
            heading_.description = descriptionText(raw);
        }
        lastItem_ = -1;
    }

    void openList()
    {
        std::string name = heading_.pending ? heading_.name : nameText(pending_);
        pending_.clear();
        lastItem_ = -1;
        if (static_cast<int>(stack_.size()) > tviBookmarkFile::maxDepth) {
            ++overflow_;
            ++st_.flattened;
            heading_.pending = false;
            return;
        }
        tviCabinetEntry e;
        e.type = 3;
        e.parent = stack_.back();
        e.name = std::move(name);
        if (heading_.pending) {
            e.addDate = heading_.added;
            e.lastModified = heading_.modified;
            e.description = std::move(heading_.description);
            e.marked = heading_.marked;
        }
        heading_.pending = false;
        doc_.entries.push_back(std::move(e));
        stack_.push_back(static_cast<int>(doc_.entries.size()) - 1);
    }

    void closeList()
    {
        pending_.clear();
        heading_.pending = false;
        lastItem_ = -1;
        if (overflow_ > 0) {
            --overflow_;
        } else if (stack_.size() > 1) {
            stack_.pop_back();
        } else if (!bodyClosed_) {
            bodyClosed_ = true;
        } else {
            // A surplus "</DL>" would pop past the root: it is ignored and reading goes on.
            ++st_.surplusListEnds;
        }
    }

    struct Heading {
        bool pending = false;
        std::string name;
        std::int64_t added = 0;
        std::int64_t modified = 0;
        std::string description;
        bool marked = false;
    };

    bool sjis() const { return c_.code() == tviTagCursor::Code::sjis; }

    tviTagCursor& c_;
    tviCabinetDocument& doc_;
    tviBookmarkStats& st_;
    std::vector<int> stack_{-1};
    size_t overflow_ = 0;
    bool bodyClosed_ = false;
    std::string pending_;
    Heading heading_;
    int lastItem_ = -1;
};

std::string convertJapanese(std::string_view bytes, int kind, size_t& replaced)
{
    utlKanjiConverter converter;
    converter.init();
    converter.setConverterCode(kind);
    converter.convertCode(bytes.data(), bytes.size());
    converter.finishCode();
    std::string out;
    for (const std::string& block : converter.getOutput()) {
        out += block;
    }
    replaced += converter.getUnmappableCount();
    return out;
}

// Text of the program (Shift_JIS) as UTF-8 for a bookmark file, with what HTML gives a meaning
// written as entities. Line breaks and NULs have no place in a name or an attribute.
std::string exportText(std::string_view sjis)
{
    std::string utf8 = platform::sjisToUtf8(sjis);
    std::string out;
    out.reserve(utf8.size() + 8);
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r':
        case '\n': out += ' '; break;
        case '\0': break;
        default: out += c; break;
        }
    }
    return out;
}

std::string exportAttributes(const tviCabinetEntry& e)
{
    std::string out;
    if (e.addDate > 0) {
        out += " ADD_DATE=\"" + std::to_string(e.addDate) + "\"";
    }
    if (e.lastModified > 0) {
        out += " LAST_MODIFIED=\"" + std::to_string(e.lastModified) + "\"";
    }
    if (e.type != 3 && !e.keyword.empty()) {
        out += " TAGS=\"" + exportText(e.keyword) + "\"";
    }
    if (e.marked) {
        out += " " + std::string(tviBookmarkFile::markAttribute) + "=\"1\"";
    }
    return out;
}

// "<DD>" with the description's lines joined by "<BR>"; empty lines stay, so that the text
// reads back as it was. A trail byte is never CR or LF, so the lines split byte-wise.
void exportDescription(std::string& out, std::string_view description, const std::string& indent)
{
    if (description.empty()) {
        return;
    }
    out += indent + "<DD>";
    for (size_t from = 0;;) {
        size_t end = description.find_first_of("\r\n", from);
        out +=
            exportText(description.substr(from, end == std::string_view::npos ? end : end - from));
        if (end == std::string_view::npos) {
            break;
        }
        out += "<BR>";
        from = end + (description.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    out += "\n";
}

// Four blanks a level, as browsers indent; deeper lists keep the indent of level 16.
std::string exportIndent(size_t depth)
{
    return std::string(4 * std::min<size_t>(depth, 16), ' ');
}

} // namespace

bool tviBookmarkFile::isBookmarkFile(std::string_view bytes)
{
    size_t limit = std::min(bytes.size(), headLimit);
    for (size_t i = 0; i < limit; ++i) {
        if (tviTagCursor::startsNoCase(bytes, i, "<DL")) {
            return true;
        }
        if (!isTextByte(bytes[i])) {
            return false;
        }
    }
    return false;
}

int tviBookmarkFile::codeOf(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return utlKanjiConverter::codeUtf8;
    }
    size_t at = findNoCase(bytes, "charset=", 0, 4096);
    if (at != std::string_view::npos) {
        size_t start = at + 8;
        size_t end = start;
        while (end < bytes.size() && end < start + 32 &&
               (tviTagCursor::isNameChar(bytes[end]) || bytes[end] == '-' || bytes[end] == '_')) {
            ++end;
        }
        int kind = utlKanjiConverter::codeOfCharset(std::string(bytes.substr(start, end - start)));
        if (kind >= utlKanjiConverter::codeSjis) {
            return kind;
        }
    }
    return isUtf8WithMultibyte(bytes) ? utlKanjiConverter::codeUtf8 : utlKanjiConverter::codeSjis;
}

bool tviBookmarkFile::read(std::string_view bytes, tviCabinetDocument& doc, std::string& error,
                           tviBookmarkStats* stats)
{
    doc = tviCabinetDocument{};
    error.clear();
    tviBookmarkStats local;
    tviBookmarkStats& st = stats != nullptr ? *stats : local;
    st = tviBookmarkStats{};
    if (!isBookmarkFile(bytes)) {
        error = "not a bookmark file (no list within its first 1024 bytes, or binary)";
        return false;
    }
    st.codeKind = codeOf(bytes);
    std::string converted;
    if (st.codeKind == utlKanjiConverter::codeJis || st.codeKind == utlKanjiConverter::codeEuc) {
        converted = convertJapanese(bytes, st.codeKind, st.replaced);
        bytes = converted;
    }
    tviTagCursor c(bytes, st.codeKind == utlKanjiConverter::codeUtf8 ? tviTagCursor::Code::utf8
                                                                     : tviTagCursor::Code::sjis);
    Reader reader(c, doc, st);
    size_t title = findNoCase(bytes, "<TITLE", 0, bytes.size());
    if (title == std::string_view::npos) {
        error = "no TITLE";
        return false;
    }
    c.seek(title);
    if (!c.readTag().closed) {
        error = "no TITLE";
        return false;
    }
    size_t titleEnd = findNoCase(bytes, "</TITLE>", c.pos(), bytes.size());
    if (titleEnd == std::string_view::npos) {
        error = "no TITLE";
        return false;
    }
    doc.name = reader.nameText(bytes.substr(c.pos(), titleEnd - c.pos()));
    size_t list = findNoCase(bytes, "<DL", titleEnd, bytes.size());
    if (list == std::string_view::npos) {
        list = findNoCase(bytes, "<DL", 0, bytes.size());
    }
    c.seek(list);
    if (!c.readTag().closed) {
        st.truncated = true;
        return true;
    }
    reader.run();
    return true;
}

std::string tviBookmarkFile::write(const tviCabinetDocument& doc)
{
    std::string title = exportText(doc.name);
    std::string out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<!-- Bookmarks exported by Quillara. Browsers import this file. -->\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>" +
                      title + "</TITLE>\n<H1>" + title + "</H1>\n";
    // The cabinet's own description has no place in a browser; before the list it would also
    // push the list past the first 1,024 bytes, where readers look for it.
    out += "\n<DL><p>\n";
    std::vector<int> open; // folders whose list is still open
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        while (!open.empty() && open.back() != e.parent) {
            open.pop_back();
            out += exportIndent(open.size() + 1) + "</DL><p>\n";
        }
        std::string indent = exportIndent(open.size() + 1);
        if (e.type == 3) {
            out += indent + "<DT><H3" + exportAttributes(e) + ">" + exportText(e.name) + "</H3>\n";
            exportDescription(out, e.description, indent);
            out += indent + "<DL><p>\n";
            open.push_back(static_cast<int>(i));
            continue;
        }
        out += indent + "<DT><A HREF=\"" + exportText(e.url) + "\"" + exportAttributes(e) + ">" +
               exportText(e.name) + "</A>\n";
        exportDescription(out, e.description, indent);
    }
    while (!open.empty()) {
        open.pop_back();
        out += exportIndent(open.size() + 1) + "</DL><p>\n";
    }
    out += "</DL><p>\n";
    return out;
}
