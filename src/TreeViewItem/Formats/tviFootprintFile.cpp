#include "TreeViewItem/Formats/tviFootprintFile.h"

#include "Engine/Core/clsRequestStatus.h"
#include "Common/kivaTime.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Formats/tviCabinetText.h"
#include "TreeViewItem/Formats/tviTagCursor.h"

#include <algorithm>

namespace {

using Text = tviCabinetText;

std::string decoded(std::string text)
{
    std::erase(text, '\0');
    return tviCabinetText::decoded(std::move(text));
}

std::string dateText(std::time_t created)
{
    kivaTime t;
    std::string text;
    if (created > 0 && t.fromCalendarSeconds(created)) {
        t.toHttpDate(text);
    }
    return text;
}

int number(std::string_view text)
{
    long long value = 0;
    bool negative = !text.empty() && text[0] == '-';
    for (size_t i = negative ? 1 : 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1000000000);
    }
    return static_cast<int>(negative ? -value : value);
}

class Reader {
public:
    Reader(std::string_view b, tviFootprintDocument& doc, std::string& error)
        : c_(b), doc_(doc), error_(error)
    {
    }

    bool run()
    {
        readHead();
        size_t title = find("<TITLE", 0);
        if (title == npos || !tagAt(title).closed) {
            return fail("no complete TITLE");
        }
        std::string name;
        if (!textUntil("TITLE", name)) {
            return fail("no complete TITLE");
        }
        doc_.name = decoded(Text::oneLine(name));
        size_t list = find("<DL", c_.pos());
        if (list == npos || !tagAt(list).closed) {
            return fail("no footprint list (DL)");
        }
        lists_.push_back(List{});
        return body();
    }

private:
    static constexpr size_t npos = std::string_view::npos;

    bool fail(std::string why)
    {
        error_ = std::move(why);
        return false;
    }

    size_t find(std::string_view needle, size_t from) const
    {
        tviTagCursor at = c_;
        at.seek(from);
        return at.find(needle);
    }

    tviTag tagAt(size_t at)
    {
        c_.seek(at);
        return c_.readTag();
    }

    // Raw text up to the end tag (tags inside skipped); false at the end of the file.
    bool textUntil(std::string_view endTag, std::string& text)
    {
        while (!c_.atEnd()) {
            if (c_.peek() != '<') {
                c_.take(text);
                continue;
            }
            bool end = c_.lookingAtTag(endTag, true);
            if (!c_.readTag().closed) {
                return false;
            }
            if (end) {
                return true;
            }
        }
        return false;
    }

    // A <DD> block: <BR> is a line break (the file's own line break behind it is not text),
    // other blanks are kept as they stand.
    bool description(std::string& out)
    {
        std::string raw;
        while (!c_.atEnd()) {
            if (c_.peek() == '<') {
                if (!c_.lookingAtTag("BR", false)) {
                    break;
                }
                c_.readTag();
                raw += "\r\n";
                while (!c_.atEnd() && (c_.peek() == '\r' || c_.peek() == '\n')) {
                    c_.step();
                }
                continue;
            }
            c_.take(raw);
        }
        while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) {
            raw.pop_back();
        }
        out = decoded(raw);
        return !c_.atEnd();
    }

    void readHead()
    {
        size_t end = find("</HEAD", 0);
        size_t limit = end == npos ? c_.bytes().size() : end;
        bool versionSeen = false;
        for (size_t at = find("<META", 0); at != npos && at < limit; at = find("<META", c_.pos())) {
            tviTag tag = tagAt(at);
            if (!tag.closed) {
                break;
            }
            std::string name = tviTagCursor::getAttribute(tag.attributes, "name");
            std::string upperName = name;
            for (char& c : upperName) {
                c = static_cast<char>(tviTagCursor::upper(c));
            }
            if (upperName == "QUILLARA") {
                doc_.productMark = true;
            } else if (upperName == "VERSION" && !versionSeen) {
                versionSeen = true;
                doc_.newerVersion =
                    tviTagCursor::getAttribute(tag.attributes, "content") > "01.00.XX";
            } else if (upperName == "DESCRIPTION") {
                doc_.description += (doc_.description.empty() ? "" : "\r\n") +
                                    decoded(tviTagCursor::getAttribute(tag.attributes, "content"));
            }
        }
        c_.seek(0);
    }

    // Adds an entry below parent; false when that would nest it deeper than a tree holds.
    bool add(tviFootprintEntry&& e, int parent)
    {
        size_t depth = parent >= 0 ? depth_[parent] + 1 : 1;
        if (depth >= static_cast<size_t>(tviFootprintFile::maxDepth)) {
            return fail("nested deeper than " + std::to_string(tviFootprintFile::maxDepth) +
                        " levels");
        }
        e.parent = parent;
        doc_.entries.push_back(std::move(e));
        depth_.push_back(depth);
        return true;
    }

    int last() const { return static_cast<int>(doc_.entries.size()) - 1; }

    // Each open list belongs to a heading (the body's to none) and holds that heading's
    // entries: headings, and pages chained each below the page before it in the same list.
    // A list opened without a heading before it adds no level. The writer writes every tree
    // that this reading can give, so whatever was read is written and read back the same.
    struct List {
        int heading = -1;
        int lastPage = -1;
        size_t bare = 0; // lists opened inside without a heading
    };

    bool body()
    {
        std::string pending;
        int lastPushed = -1;
        int heading = -1; // a heading whose list has not opened yet
        while (!c_.atEnd()) {
            if (c_.peek() != '<') {
                c_.step();
                continue;
            }
            if (c_.lookingAtTag("DD", false)) {
                c_.readTag();
                if (!description(pending)) {
                    return fail("description cut by the end of the file");
                }
                continue;
            }
            tviTag tag = c_.readTag();
            if (!tag.closed) {
                return fail("tag without '>'");
            }
            if (!tag.end && (tag.name == "H3" || tag.name == "H4")) {
                std::string text;
                if (!textUntil(tag.name, text)) {
                    return fail("heading without its end");
                }
                tviFootprintEntry e;
                e.type = tag.name == "H3" ? 6 : 7;
                e.name = decoded(Text::oneLine(text));
                e.marked = tviTagCursor::getAttribute(tag.attributes, "mark") == "1";
                if (e.type == 7) {
                    e.autoDelete = tviTagCursor::getAttribute(tag.attributes, "delete-flag") == "1";
                    kivaTime created;
                    std::time_t seconds = 0;
                    if (created.fromHttpDate(
                            tviTagCursor::getAttribute(tag.attributes, "create-date")) &&
                        created.toCalendarSeconds(seconds)) {
                        e.created = seconds;
                    }
                    e.deleteDay = number(tviTagCursor::getAttribute(tag.attributes, "delete-day"));
                    e.colorDay =
                        number(tviTagCursor::getAttribute(tag.attributes, "change-color-day"));
                }
                if (!add(std::move(e), lists_.back().heading)) {
                    return false;
                }
                lastPushed = heading = last();
                pending.clear();
            } else if (tag.name == "DL" && !tag.end) {
                if (!pending.empty() && lastPushed >= 0) {
                    doc_.entries[lastPushed].description = pending;
                }
                pending.clear();
                if (heading >= 0) {
                    lists_.push_back(List{heading});
                } else {
                    ++lists_.back().bare;
                }
                heading = -1;
            } else if (tag.name == "DL") {
                heading = -1;
                if (lists_.back().bare > 0) {
                    --lists_.back().bare;
                    continue;
                }
                lists_.pop_back();
                if (lists_.empty()) {
                    return true;
                }
            } else if (tag.name == "A" && !tag.end) {
                heading = -1;
                if (!anchor(tag, lastPushed)) {
                    return false;
                }
            }
        }
        return fail("the footprint list is not closed (file cut short?)");
    }

    bool anchor(const tviTag& tag, int& lastPushed)
    {
        static constexpr std::string_view names[5] = {"href", "mark", "keyword", "title", "status"};
        std::string_view values[5];
        bool found[5] = {};
        tviTagCursor::getAttributes(tag.attributes, names, values, found);
        std::string text;
        if (!textUntil("A", text)) {
            return fail("anchor without </A>");
        }
        tviFootprintEntry e;
        e.type = 8;
        std::string href(values[0]);
        std::erase(href, '\0');
        e.url = tviCabinetFile::decodeAddress(href);
        e.marked = values[1] == "1";
        e.keyword = decoded(std::string(values[2]));
        e.title = decoded(std::string(values[3]));
        e.status = number(values[4]) == 5 ? 5 : 0;
        e.name = decoded(Text::oneLine(text));
        List& list = lists_.back();
        if (!add(std::move(e), list.lastPage >= 0 ? list.lastPage : list.heading)) {
            return false;
        }
        lastPushed = list.lastPage = last();
        size_t after = c_.pos();
        c_.skipBlanks();
        if (c_.lookingAtTag("DT", true)) {
            c_.readTag();
            c_.skipBlanks();
        }
        if (c_.lookingAtTag("DD", false) && c_.readTag().closed) {
            std::string d;
            if (!description(d)) {
                return fail("description cut by the end of the file");
            }
            doc_.entries[lastPushed].description = d;
            return true;
        }
        c_.seek(after);
        return true;
    }

    tviTagCursor c_;
    tviFootprintDocument& doc_;
    std::string& error_;
    std::vector<List> lists_;
    std::vector<size_t> depth_; // of each entry
};

} // namespace

bool tviFootprintFile::read(std::string_view bytes, tviFootprintDocument& doc, std::string& error)
{
    doc = tviFootprintDocument{};
    error.clear();
    Reader reader(bytes, doc, error);
    if (!reader.run()) {
        return false;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        error = "NUL bytes in the file";
        return false;
    }
    return true;
}

std::string tviFootprintFile::write(const tviFootprintDocument& doc)
{
    std::string out;
    out.reserve(512 + doc.entries.size() * 160);
    Text::writeHead(out, doc.name, "footprint",
                    "Footprint file of Quillara: H4 footprints, pages nested without lists",
                    doc.description, Text::Tabs::toBlank);
    // Lists stay open for folders and footprints; pages nest inside their footprint's list.
    std::vector<size_t> depth(doc.entries.size(), 1);
    std::vector<int> open;
    auto containerOf = [&](int index) {
        while (index >= 0 && doc.entries[index].type == 8) {
            index = doc.entries[index].parent;
        }
        return index;
    };
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviFootprintEntry& e = doc.entries[i];
        int parent = e.parent >= 0 && static_cast<size_t>(e.parent) < i ? e.parent : -1;
        depth[i] = parent >= 0 ? depth[parent] + 1 : 1;
        int container = containerOf(parent);
        while (!open.empty() && open.back() != container) {
            out += Text::indent(depth[open.back()]) + "</DL>\n";
            open.pop_back();
        }
        std::string in = Text::indent(depth[i]);
        if (e.type == 6) {
            out += in + "<DT><H3 mark=\"" + (e.marked ? "1" : "0") + "\">" +
                   Text::encoded(Text::field(e.name)) + "</H3></DT>\n";
            Text::writeDescription(out, e.description, Text::Tabs::toBlank);
            out += in + "<DL>\n";
            open.push_back(static_cast<int>(i));
        } else if (e.type == 7) {
            out += in + "<DT><H4 mark=\"" + (e.marked ? "1" : "0") + "\" delete-flag=\"" +
                   (e.autoDelete ? "1" : "0") + "\" create-date=\"" + dateText(e.created) +
                   "\" delete-day=\"" + std::to_string(e.deleteDay) + "\" change-color-day=\"" +
                   std::to_string(e.colorDay) + "\">" + Text::encoded(Text::field(e.name)) +
                   "</H4></DT>\n";
            Text::writeDescription(out, e.description, Text::Tabs::toBlank);
            out += in + "<DL>\n";
            open.push_back(static_cast<int>(i));
        } else {
            out += in + "<DT><A href=\"" + tviCabinetFile::encodeAddress(Text::field(e.url)) +
                   "\" mark=\"" + (e.marked ? "1" : "0") + "\" title=\"" +
                   Text::encoded(Text::field(e.title)) + "\" keyword=\"";
            out += Text::encoded(Text::field(e.keyword));
            out += "\" status=\"" + std::to_string(storedStatus(statusFromStored(e.status))) +
                   "\" protocol=\"" +
                   Text::encoded(Text::field(tviCabinetItem::protocolOf(e.url))) + "\">" +
                   Text::encoded(Text::field(e.name)) + "</A></DT>\n";
            Text::writeDescription(out, e.description, Text::Tabs::toBlank);
        }
    }
    while (!open.empty()) {
        out += Text::indent(depth[open.back()]) + "</DL>\n";
        open.pop_back();
    }
    out += "</DL>\r\n</BODY>\r\n</HTML>\r\n";
    return out;
}
