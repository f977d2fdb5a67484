#include "TreeViewItem/Formats/tviCabinetFile.h"

#include "Engine/Core/clsRequestStatus.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Text/utlUnicodeText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviCabinetText.h"
#include "TreeViewItem/Formats/tviTagCursor.h"

#include <algorithm>
#include <cstdint>

namespace {

using Text = tviCabinetText;

bool isLead(unsigned char c)
{
    return platform::isLeadByte(c);
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (tviTagCursor::upper(a[i]) != tviTagCursor::upper(b[i])) {
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

std::string archiveAttributes(const tviCabinetEntry& e)
{
    if (e.archived.empty()) {
        return {};
    }
    std::string out =
        " archived=\"" + tviCabinetFile::encodeAddress(Text::field(e.archived)) + "\"";
    if (e.archivedDate > 0) {
        out += " archived_date=\"" + std::to_string(e.archivedDate) + "\"";
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
        out += Text::indent(depth) + "<DT><H3 mark=\"" + (e.marked ? "1" : "0") + "\"" +
               dateAttributes(e) + ">" + Text::encoded(Text::field(e.name)) + "</H3></DT>\r\n";
        Text::writeDescription(out, e.description, Text::Tabs::keep);
        out += Text::indent(depth) + "<DL>\r\n";
        return;
    }
    out += Text::indent(depth) + "<DT><A HREF=\"" +
           tviCabinetFile::encodeAddress(Text::field(e.url)) + "\" mark=\"" +
           (e.marked ? "1" : "0") + "\" keyword=\"";
    out += Text::encoded(Text::field(e.keyword));
    out += "\" title=\"" + Text::encoded(Text::field(e.title)) + "\" status=\"" +
           std::to_string(storedStatus(statusFromStored(e.status))) + "\"" + dateAttributes(e) +
           archiveAttributes(e) + ">" + Text::encoded(Text::field(e.name)) + "</A></DT>\r\n";
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
    if (tviTagCursor::isBlank(c) || c == '\0') {
        s.step();
        if (text.empty() || text.back() != ' ') {
            text += ' ';
        }
        return true;
    }
    // This character and the plain ones behind it, up to a blank, a NUL, a '<' or a lead byte
    // cut by the end, go in one piece: they would be taken one by one just as they stand.
    std::string_view b = s.bytes();
    size_t from = s.pos();
    size_t i = from + tviTagCursor::charWidth(b, from);
    while (i < b.size()) {
        unsigned char d = b[i];
        if (d == '<' || tviTagCursor::isBlank(d) || d == '\0' || (isLead(d) && i + 1 >= b.size())) {
            break;
        }
        i += tviTagCursor::charWidth(b, i);
    }
    text.append(b.substr(from, i - from));
    s.seek(i);
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
    BodyReader(tviCabinetDocument& d, std::string& e, tviTagCursor& sc,
               const tviCabinetFile::EntrySink* onEntry)
        : doc(d), error(e), s(sc), sink(onEntry)
    {
    }
    tviCabinetDocument& doc;
    std::string& error;
    tviTagCursor& s;
    const tviCabinetFile::EntrySink* sink;
    int entryCount = 0;
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

    // Hands the entry on (or keeps it) and returns its index in document order.
    int emit(tviCabinetEntry& e)
    {
        if (sink != nullptr) {
            (*sink)(e);
        } else {
            doc.entries.push_back(std::move(e));
        }
        return entryCount++;
    }

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
        e.name = Text::decoded(std::move(pendingFolderName));
        e.description = Text::decoded(std::move(pendingDescription));
        pendingFolderName.clear();
        pendingDescription.clear();
        h3Attributes.clear();
        containers.push_back(emit(e));
        text.clear();
        return true;
    }

    bool onAnchor(const tviTag& tag)
    {
        if (!tag.closed) {
            return fail("anchor tag without '>'");
        }
        std::string_view values[9];
        static constexpr std::string_view names[9] = {"href",          "mark",     "keyword",
                                                      "title",         "status",   "add_date",
                                                      "last_modified", "archived", "archived_date"};
        bool found[9] = {};
        tviTagCursor::getAttributes(tag.attributes, names, values, found);
        std::string_view href = values[0];
        std::string hrefWithoutNul;
        if (href.find('\0') != std::string_view::npos) {
            hrefWithoutNul = withoutNul(std::string(href));
            href = hrefWithoutNul;
        }
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
        e.archived = tviCabinetFile::decodeAddress(withoutNul(std::string(values[7])));
        e.archivedDate = e.archived.empty() ? 0 : dateValue(values[8]);
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
        e.name = Text::decoded(std::move(name));
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
                e.description = Text::decoded(std::move(description));
                after = s.pos();
            }
        }
        s.seek(after);
        emit(e);
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
                pendingDescription = std::move(description);
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
            doc.description +=
                Text::decoded(withoutNul(tviTagCursor::getAttribute(tag.attributes, "content")));
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
    // '&' is never part of a double-byte character, so every one found starts a character,
    // and the bytes between them are copied whole.
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', from)) {
        out.append(text.substr(from, amp - from));
        char decoded = '&';
        from = amp + 1;
        for (const auto& [entity, ch] : entities) {
            if (text.size() - amp >= entity.size() &&
                equalsNoCase(text.substr(amp, entity.size()), entity)) {
                decoded = ch;
                from = amp + entity.size();
                break;
            }
        }
        out += decoded;
    }
    out.append(text.substr(from));
    return out;
}

bool tviCabinetFile::read(std::string_view bytes, tviCabinetDocument& doc, std::string& error)
{
    return readInto(bytes, doc, error, nullptr);
}

bool tviCabinetFile::read(std::string_view bytes, tviCabinetDocument& doc, std::string& error,
                          const EntrySink& onEntry)
{
    return readInto(bytes, doc, error, &onEntry);
}

bool tviCabinetFile::readInto(std::string_view bytes, tviCabinetDocument& doc, std::string& error,
                              const EntrySink* onEntry)
{
    doc = tviCabinetDocument{};
    error.clear();
    std::string converted;
    if (isUtf8WithMultibyte(bytes)) {
        converted = platform::utf8ToSjis(bytes, platform::Ampersand::markup);
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
    BodyReader body{doc, error, s, onEntry};
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
    Text::writeHead(out, doc.name, "cabinet",
                    "Cabinet file of Quillara: DL/DT/DD, Shift_JIS, CR LF", doc.description,
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
