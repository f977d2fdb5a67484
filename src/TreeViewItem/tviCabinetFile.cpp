#include "TreeViewItem/tviCabinetFile.h"

#include "Engine/utlHtmlText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/tviCabinetText.h"
#include "TreeViewItem/tviTagCursor.h"

#include <algorithm>
#include <cstdint>

namespace {

using Text = tviCabinetText;

bool isLead(unsigned char c) { return platform::isLeadByte(c); }
bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
unsigned char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

std::string withoutNul(std::string text)
{
    std::erase(text, '\0');
    return text;
}

std::string dateAttributes(const tviCabinetEntry& e)
{
    std::string out;
    if (e.addDate > 0) {
        out += " add_date=\"" + std::to_string(e.addDate) + "\"";
    }
    if (e.lastModified > 0) {
        out += " last_modified=\"" + std::to_string(e.lastModified) + "\"";
    }
    return out;
}

std::int64_t dateValue(std::string_view text)
{
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10) {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

void writeEntry(std::string& out, const tviCabinetEntry& e, size_t depth)
{
    if (e.type == 3) {
        out += Text::indent(depth) + "<DT><H3 mark=\"" + (e.marked ? "1" : "0") + "\"" + dateAttributes(e) + ">" +
               Text::encoded(Text::field(e.name)) + "</H3></DT>\r\n";
        Text::writeDescription(out, e.description, Text::Tabs::keep);
        out += Text::indent(depth) + "<DL>\r\n";
        return;
    }
    out += Text::indent(depth) + "<DT><A HREF=\"" + tviCabinetFile::encodeAddress(Text::field(e.url)) +
           "\" mark=\"" + (e.marked ? "1" : "0") + "\" keyword=\"";
    out += Text::encoded(Text::field(e.keyword));
    out += "\" title=\"" + Text::encoded(Text::field(e.title)) + "\" status=\"" +
           (e.status == 5 ? "5" : "0") + "\"" + dateAttributes(e) + ">" + Text::encoded(Text::field(e.name)) +
           "</A></DT>\r\n";
    Text::writeDescription(out, e.description, Text::Tabs::keep);
}

// Appends the character at the cursor to text, collapsing runs of blanks. Returns false
// at a lead byte cut by the end of the file.
bool takeText(tviTagCursor& s, std::string& text)
{
    unsigned char c = s.peek();
    if (isLead(c) && s.pos() + 1 >= s.bytes().size()) {
        s.seek(s.bytes().size());
        return false;
    }
    if (s.width() == 2) {
        s.take(text);
        return true;
    }
    s.step();
    if (isBlank(c) || c == '\0') {
        if (text.empty() || text.back() != ' ') {
            text += ' ';
        }
        return true;
    }
    text += static_cast<char>(c);
    return true;
}

// Text of a <DD> block up to the tag that ends it: <BR> gives CR LF (the line break the
// writer puts behind it is not part of the text), other line breaks give one blank.
bool readDescription(tviTagCursor& s, std::string& out)
{
    bool afterBreak = false;
    bool blankPending = false;
    while (!s.atEnd()) {
        unsigned char c = s.peek();
        if (c == '<') {
            if (!s.lookingAtTag("BR", false)) {
                break;
            }
            if (!s.readTag().closed) {
                return false;
            }
            out += "\r\n";
            afterBreak = true;
            blankPending = false;
            continue;
        }
        if (c == '\r' || c == '\n') {
            s.step();
            if (afterBreak) {
                continue;
            }
            // A line break of a hand-written file, with the indent that follows it, is
            // one blank, and none at the end.
            s.skipBlanks();
            blankPending = !out.empty();
            continue;
        }
        afterBreak = false;
        if (c == '\0') {
            s.step();
            continue;
        }
        if (blankPending && out.back() != ' ') {
            out += ' ';
        }
        blankPending = false;
        if (isLead(c) && s.pos() + 1 >= s.bytes().size()) {
            s.seek(s.bytes().size());
            return false;
        }
        s.take(out);
    }
    return !s.atEnd();
}

struct BodyReader {
    BodyReader(tviCabinetDocument& d, std::string& e, tviTagCursor& sc) : doc(d), error(e), s(sc) {}
    tviCabinetDocument& doc;
    std::string& error;
    tviTagCursor& s;
    std::vector<int> containers{-1};
    std::string text;
    std::string pendingFolderName;
    std::string pendingDescription;
    std::string h3Attributes;

    bool fail(std::string why)
    {
        error = std::move(why);
        return false;
    }

    int container() const { return containers.back(); }

    bool onFolderStart()
    {
        if (static_cast<int>(containers.size()) > tviCabinetFile::maxDepth) {
            return fail("folders nested deeper than " + std::to_string(tviCabinetFile::maxDepth) +
                        " levels");
        }
        tviCabinetEntry e;
        e.type = 3;
        e.parent = container();
        e.marked = tviTagCursor::getAttribute(h3Attributes, "mark") == "1";
        e.addDate = dateValue(tviTagCursor::getAttribute(h3Attributes, "add_date"));
        e.lastModified = dateValue(tviTagCursor::getAttribute(h3Attributes, "last_modified"));
        e.name = Text::decoded(pendingFolderName);
        e.description = Text::decoded(pendingDescription);
        pendingFolderName.clear();
        pendingDescription.clear();
        h3Attributes.clear();
        doc.entries.push_back(std::move(e));
        containers.push_back(static_cast<int>(doc.entries.size()) - 1);
        text.clear();
        return true;
    }

    bool onAnchor(const tviTag& tag)
    {
        if (!tag.closed) {
            return fail("anchor tag without '>'");
        }
        std::string_view values[7];
        static constexpr std::string_view names[7] = {"href", "mark", "keyword", "title", "status",
                                                      "add_date", "last_modified"};
        bool found[7] = {};
        tviTagCursor::getAttributes(tag.attributes, names, values, found);
        std::string href = withoutNul(std::string(values[0]));
        if (href.empty()) {
            return true;
        }
        tviCabinetEntry e;
        e.type = 4;
        e.parent = container();
        e.url = tviCabinetFile::decodeAddress(href);
        e.marked = values[1] == "1";
        e.keyword = Text::decoded(withoutNul(std::string(values[2])));
        e.title = Text::decoded(withoutNul(std::string(values[3])));
        e.status = values[4] == "5" ? 5 : 0;
        e.addDate = dateValue(values[5]);
        e.lastModified = dateValue(values[6]);
        std::string name;
        while (!s.atEnd() && !s.lookingAtTag("A", true)) {
            if (s.peek() == '<') {
                if (!s.readTag().closed) {
                    return fail("tag without '>' inside an anchor");
                }
                continue;
            }
            if (!takeText(s, name)) {
                return fail("double-byte character cut by the end of the file");
            }
        }
        if (s.atEnd()) {
            return fail("anchor without </A>");
        }
        s.readTag();
        e.name = Text::decoded(name);
        size_t after = s.pos();
        s.skipBlanks();
        // Bookmark files of browsers put <DD> straight behind the anchor, without </DT>.
        if (s.lookingAtTag("DT", true)) {
            s.readTag();
            s.skipBlanks();
        }
        {
            if (s.lookingAtTag("DD", false) && s.readTag().closed) {
                std::string description;
                if (!readDescription(s, description)) {
                    return fail("description cut by the end of the file");
                }
                e.description = Text::decoded(description);
                after = s.pos();
            }
        }
        s.seek(after);
        doc.entries.push_back(std::move(e));
        return true;
    }

    // Returns true when the body list closed; false on an error or the end of the text.
    bool run()
    {
        while (!s.atEnd()) {
            if (s.peek() != '<') {
                if (!takeText(s, text)) {
                    return fail("double-byte character cut by the end of the file");
                }
                continue;
            }
            if (s.lookingAtTag("DD", false)) {
                s.readTag();
                std::string description;
                if (!readDescription(s, description)) {
                    return fail("description cut by the end of the file");
                }
                pendingDescription = description;
                continue;
            }
            tviTag tag = s.readTag();
            if (!tag.closed) {
                return fail("tag without '>'");
            }
            if (tag.name == "H3") {
                if (tag.end) {
                    pendingFolderName = text;
                    continue;
                }
                h3Attributes = std::string(tag.attributes);
                text.clear();
                pendingFolderName.clear();
            } else if (tag.name == "DL") {
                if (!tag.end) {
                    if (!onFolderStart()) {
                        return false;
                    }
                    continue;
                }
                text.clear();
                containers.pop_back();
                if (containers.empty()) {
                    return true;
                }
            } else if (tag.name == "A" && !tag.end) {
                if (!onAnchor(tag)) {
                    return false;
                }
            }
        }
        if (error.empty()) {
            error = "the cabinet list is not closed (file cut short?)";
        }
        return false;
    }
};

bool isUtf8WithMultibyte(std::string_view b)
{
    bool multibyte = false;
    for (size_t i = 0; i < b.size();) {
        unsigned char c = b[i];
        size_t n = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        if (n == 0 || i + n > b.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        multibyte |= n > 1;
        i += n;
    }
    return multibyte;
}

void readHead(tviTagCursor& s, tviCabinetDocument& doc)
{
    bool versionSeen = false;
    while (!s.atEnd()) {
        if (s.peek() != '<') {
            s.seek(s.pos() + 1);
            continue;
        }
        if (s.lookingAtTag("HEAD", true) || s.lookingAtTag("BODY", false) ||
            s.lookingAtTag("DL", false)) {
            return;
        }
        tviTag tag = s.readTag();
        if (tag.end || tag.name != "META") {
            continue;
        }
        std::string name = tviTagCursor::getAttribute(tag.attributes, "name");
        if (!doc.productMark && equalsNoCase(name, "quillara")) {
            doc.productMark = true;
        } else if (!versionSeen && equalsNoCase(name, "version")) {
            versionSeen = true;
            doc.newerVersion = tviTagCursor::getAttribute(tag.attributes, "content") > "01.00.XX";
        } else if (equalsNoCase(name, "description")) {
            if (!doc.description.empty()) {
                doc.description += "\r\n";
            }
            doc.description += Text::decoded(withoutNul(tviTagCursor::getAttribute(tag.attributes, "content")));
        }
    }
}

bool readTitle(tviTagCursor& s, tviCabinetDocument& doc)
{
    while (!s.atEnd() && !s.lookingAtTag("TITLE", false)) {
        s.seek(s.pos() + 1);
    }
    if (s.atEnd() || !s.readTag().closed) {
        return false;
    }
    std::string name;
    while (!s.atEnd() && !s.lookingAtTag("TITLE", true)) {
        if (!takeText(s, name)) {
            return false;
        }
    }
    if (s.atEnd()) {
        return false;
    }
    doc.name = Text::decoded(name);
    return true;
}

} // namespace

std::string tviCabinetFile::encodeAddress(std::string_view url)
{
    std::string out;
    out.reserve(url.size());
    for (size_t i = 0; i < url.size(); ++i) {
        unsigned char c = url[i];
        if (tviTagCursor::charWidth(url, i) == 2) {
            out += url.substr(i++, 2);
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += static_cast<char>(c); break;
        }
    }
    return out;
}

std::string tviCabinetFile::decodeAddress(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        if (tviTagCursor::charWidth(text, i) == 2) {
            out += text.substr(i++, 2);
            continue;
        }
        bool replaced = false;
        if (c == '&') {
            for (const auto& [entity, ch] : entities) {
                if (text.size() - i >= entity.size() &&
                    equalsNoCase(text.substr(i, entity.size()), entity)) {
                    out += ch;
                    i += entity.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool tviCabinetFile::read(std::string_view bytes, tviCabinetDocument& doc, std::string& error)
{
    doc = tviCabinetDocument{};
    error.clear();
    std::string converted;
    if (isUtf8WithMultibyte(bytes)) {
        converted = platform::utf8ToSjis(bytes);
        bytes = converted;
        doc.convertedFromUtf8 = true;
    }
    tviTagCursor s(bytes);
    readHead(s, doc);
    tviTagCursor title(bytes);
    if (!readTitle(title, doc)) {
        error = "no complete TITLE";
        return false;
    }
    while (!s.atEnd() && !s.lookingAtTag("DL", false)) {
        s.seek(s.pos() + 1);
    }
    if (s.atEnd() || !s.readTag().closed) {
        error = "no cabinet list (DL)";
        return false;
    }
    BodyReader body{doc, error, s};
    if (!body.run()) {
        return false;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        error = "NUL bytes in the file";
        return false;
    }
    if (doc.convertedFromUtf8) {
        error = "UTF-8 file, converted to Shift_JIS";
        return false;
    }
    return true;
}

std::string tviCabinetFile::write(const tviCabinetDocument& doc)
{
    std::string out;
    out.reserve(256 + doc.entries.size() * 128);
    Text::writeHead(out, doc.name, "cabinet", "Cabinet file of Quillara: DL/DT/DD, Shift_JIS, CR LF", doc.description,
                    Text::Tabs::keep);
    std::vector<int> open; // folders whose list is still open
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        while (!open.empty() && open.back() != e.parent) {
            open.pop_back();
            out += Text::indent(open.size() + 1) + "</DL>\r\n";
        }
        writeEntry(out, e, open.size() + 1);
        if (e.type == 3) {
            open.push_back(static_cast<int>(i));
        }
    }
    while (!open.empty()) {
        open.pop_back();
        out += Text::indent(open.size() + 1) + "</DL>\r\n";
    }
    out += "</DL>\r\n</BODY>\r\n</HTML>\r\n";
    return out;
}
