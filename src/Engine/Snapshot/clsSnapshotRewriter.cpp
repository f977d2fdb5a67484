#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Url/utlUrl.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using R = clsSnapshotRewriter;

bool isSpace(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f');
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix)
{
    if (at > text.size() || text.size() - at < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[at + i]) != prefix[i])
            return false;
    return true;
}

std::size_t findNoCase(std::string_view text, std::size_t from, std::string_view needle)
{
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
        if (startsWithNoCase(text, i, needle))
            return i;
    return std::string_view::npos;
}

std::string trimmed(std::string_view text)
{
    std::size_t from = 0;
    std::size_t to = text.size();
    while (from < to && isSpace(text[from]))
        ++from;
    while (to > from && isSpace(text[to - 1]))
        --to;
    return std::string(text.substr(from, to - from));
}

// What a browser's address parser makes of an attribute's value: C0 controls and spaces
// around it dropped, tabs and line breaks inside it too ("java&#9;script:" is javascript:).
std::string addressForm(std::string_view value)
{
    std::size_t from = 0;
    std::size_t to = value.size();
    while (from < to && static_cast<unsigned char>(value[from]) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(value[to - 1]) <= 0x20)
        --to;
    std::string out;
    out.reserve(to - from);
    for (std::size_t i = from; i < to; ++i)
        if (value[i] != '\t' && value[i] != '\n' && value[i] != '\r')
            out += value[i];
    return out;
}

bool isScriptAddress(const std::string& address)
{
    return startsWithNoCase(address, 0, "javascript:") || startsWithNoCase(address, 0, "vbscript:");
}

// Schemes that name no server: kept as written wherever they stand.
bool loadsNothing(const std::string& address)
{
    static constexpr std::array<std::string_view, 2> schemes = {"data:", "about:"};
    for (std::string_view scheme : schemes)
        if (startsWithNoCase(address, 0, scheme))
            return true;
    return false;
}

// Links to these are not web addresses and stay as written.
bool isOpaqueLink(const std::string& address)
{
    static constexpr std::array<std::string_view, 5> schemes = {
        "data:", "about:", "mailto:", "tel:", "blob:"};
    for (std::string_view scheme : schemes)
        if (startsWithNoCase(address, 0, scheme))
            return true;
    return false;
}

// Attribute text for a value we wrote: & and the quote become references.
std::string escapeValue(const std::string& value, char quote)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"' && quote != '\'')
            out += "&quot;";
        else if (c == '\'' && quote == '\'')
            out += "&#39;";
        else
            out += c;
    }
    return out;
}

// An unquoted value that would end early or run into the next attribute gets quotes.
bool needsQuotes(const std::string& value)
{
    return value.empty() || value.find_first_of(" \t\r\n\f\"'=<>`") != std::string::npos;
}

std::string addressValue(std::string_view raw)
{
    std::string value(raw);
    if (value.find('&') != std::string::npos)
        decodeCharacterReferences(value, ReferenceTarget::address);
    return value;
}

std::string textValue(std::string_view raw)
{
    std::string value(raw);
    if (value.find('&') != std::string::npos)
        decodeHtmlText(value);
    return value;
}

bool isEventAttribute(const std::string& name)
{
    return name.size() > 2 && name[0] == 'o' && name[1] == 'n';
}

// ---- style sheets ----------------------------------------------------------------------

void appendCodePoint(std::string& out, unsigned long cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class SheetWriter {
public:
    SheetWriter(std::string_view css, const std::string& base, const R::NameFor& nameFor,
                bool shiftJis)
        : css(css), n(css.size()), base(base), nameFor(nameFor), sjis(shiftJis)
    {
    }

    std::string run();

private:
    enum class Prelude { none, import, name_space };

    bool isLead(std::size_t at) const
    {
        return sjis && at + 1 < n && platform::isLeadByte(static_cast<unsigned char>(css[at]));
    }
    bool isNameByte(std::size_t at) const
    {
        char c = css[at];
        return isLetter(c) || isDigit(c) || c == '-' || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    }
    bool isEscape(std::size_t at) const
    {
        return at + 1 < n && css[at] == '\\' && css[at + 1] != '\n' && css[at + 1] != '\r' &&
               css[at + 1] != '\f';
    }
    bool startsName(std::size_t at) const;
    // Reads an escape at '\'; appends what it stands for; returns where it ends.
    std::size_t readEscape(std::size_t at, std::string& value) const;
    // A name from at: its end, and its value in lower case with escapes undone.
    std::size_t readName(std::size_t at, std::string& value) const;
    // A string from its quote: its end (behind the closing quote, or where it stops), its value;
    // bad when a line break ends it (a browser then takes nothing from it).
    std::size_t readString(std::size_t at, std::string& value, bool& bad) const;
    std::size_t url(std::size_t at, std::size_t open);
    std::size_t string(std::size_t at);
    std::string reference(const std::string& value, R::RefKind kind, bool& changed);
    bool stringsAreAddresses() const;

    std::string_view css;
    std::size_t n;
    const std::string& base;
    const R::NameFor& nameFor;
    bool sjis;
    std::string out;
    Prelude prelude = Prelude::none;
    std::vector<std::string> functions; // the open functions, innermost last
};

bool SheetWriter::startsName(std::size_t at) const
{
    if (at >= n)
        return false;
    char c = css[at];
    if (isLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80 || isEscape(at))
        return true;
    if (c != '-' || at + 1 >= n)
        return false;
    char d = css[at + 1];
    return isLetter(d) || d == '_' || d == '-' || static_cast<unsigned char>(d) >= 0x80 ||
           isEscape(at + 1);
}

std::size_t SheetWriter::readEscape(std::size_t at, std::string& value) const
{
    std::size_t i = at + 1;
    if (i >= n)
        return i;
    if (!isHexDigit(css[i])) {
        if (isLead(i)) {
            value.append(css.substr(i, 2));
            return i + 2;
        }
        value += css[i];
        return i + 1;
    }
    unsigned long cp = 0;
    std::size_t digits = 0;
    while (i < n && digits < 6 && isHexDigit(css[i])) {
        cp = cp * 16 +
             static_cast<unsigned long>(isDigit(css[i]) ? css[i] - '0' : lower(css[i]) - 'a' + 10);
        ++i;
        ++digits;
    }
    if (i + 1 < n && css[i] == '\r' && css[i + 1] == '\n')
        i += 2;
    else if (i < n && isSpace(css[i]))
        ++i;
    appendCodePoint(value, cp);
    return i;
}

std::size_t SheetWriter::readName(std::size_t at, std::string& value) const
{
    std::size_t i = at;
    while (i < n) {
        if (isLead(i)) {
            value.append(css.substr(i, 2));
            i += 2;
        } else if (isEscape(i)) {
            i = readEscape(i, value);
        } else if (isNameByte(i)) {
            value += lower(css[i]);
            ++i;
        } else {
            break;
        }
    }
    for (char& c : value)
        c = lower(c);
    return i;
}

// A string runs to its quote; a line break ends it unclosed, the end of the sheet closes it.
std::size_t SheetWriter::readString(std::size_t at, std::string& value, bool& bad) const
{
    char quote = css[at];
    std::size_t i = at + 1;
    bad = false;
    while (i < n && css[i] != quote) {
        if (css[i] == '\n' || css[i] == '\r' || css[i] == '\f') {
            bad = true;
            return i;
        }
        if (isLead(i)) {
            value.append(css.substr(i, 2));
            i += 2;
        } else if (css[i] == '\\' && i + 1 < n && (css[i + 1] == '\n' || css[i + 1] == '\f')) {
            i += 2;
        } else if (css[i] == '\\' && i + 2 < n && css[i + 1] == '\r' && css[i + 2] == '\n') {
            i += 3;
        } else if (css[i] == '\\') {
            i = readEscape(i, value);
        } else {
            value += css[i++];
        }
    }
    return i < n ? i + 1 : n;
}

std::string SheetWriter::reference(const std::string& value, R::RefKind kind, bool& changed)
{
    std::string result;
    R::Outcome outcome = R::loadedReference(value, base, kind, R::scriptsRemoved, nameFor, result);
    changed = outcome != R::keptAsWritten;
    if (outcome == R::madeLocal)
        return result;
    // Nothing to load and nothing to break the declaration: an empty data address.
    return changed ? std::string("data:,") : value;
}

bool SheetWriter::stringsAreAddresses() const
{
    if (functions.empty())
        return prelude == Prelude::import;
    const std::string& f = functions.back();
    return f == "image-set" || f == "-webkit-image-set" || f == "src";
}

// A string that names an address (@import "a.css", image-set("a.png" 1x)).
std::size_t SheetWriter::string(std::size_t at)
{
    std::string value;
    bool bad = false;
    std::size_t end = readString(at, value, bad);
    if (!stringsAreAddresses() || bad) {
        out.append(css.substr(at, end - at));
        return end;
    }
    bool changed = false;
    std::string rewritten = reference(
        value, prelude == Prelude::import && functions.empty() ? R::refStyleSheet : R::refResource,
        changed);
    if (!changed) {
        out.append(css.substr(at, end - at));
    } else {
        out += css[at];
        out += rewritten;
        out += css[at];
    }
    if (prelude == Prelude::import && functions.empty())
        prelude = Prelude::none;
    return end;
}

// url( at 'at', its '(' at open. An unquoted address runs to ')' (or the end of the sheet,
// where a browser still takes it); a quoted one is a string.
std::size_t SheetWriter::url(std::size_t at, std::size_t open)
{
    std::size_t i = open + 1;
    while (i < n && isSpace(css[i]))
        ++i;
    bool import = prelude == Prelude::import && functions.empty();
    if (i < n && (css[i] == '"' || css[i] == '\'')) {
        out.append(css.substr(at, i - at));
        if (prelude == Prelude::name_space) {
            functions.emplace_back("url");
            return i;
        }
        std::string value;
        bool bad = false;
        std::size_t end = readString(i, value, bad);
        bool changed = false;
        std::string rewritten =
            bad ? value : reference(value, import ? R::refStyleSheet : R::refResource, changed);
        if (!changed) {
            out.append(css.substr(i, end - i));
        } else {
            out += css[i];
            out += rewritten;
            out += css[i];
        }
        functions.emplace_back("url");
        if (import)
            prelude = Prelude::none;
        return end;
    }
    std::string value;
    std::size_t j = i;
    while (j < n && css[j] != ')') {
        if (isLead(j)) {
            value.append(css.substr(j, 2));
            j += 2;
        } else if (isEscape(j)) {
            j = readEscape(j, value);
        } else {
            value += css[j++];
        }
    }
    std::size_t end = j < n ? j + 1 : n;
    if (prelude == Prelude::name_space) {
        out.append(css.substr(at, end - at));
        return end;
    }
    bool changed = false;
    std::string rewritten =
        reference(trimmed(value), import ? R::refStyleSheet : R::refResource, changed);
    if (import)
        prelude = Prelude::none;
    if (!changed) {
        out.append(css.substr(at, end - at));
        return end;
    }
    out.append(css.substr(at, open + 1 - at));
    out += rewritten;
    out += ')';
    return end;
}

std::string SheetWriter::run()
{
    out.reserve(n + n / 8);
    std::size_t i = 0;
    while (i < n) {
        char c = css[i];
        if (isLead(i)) {
            out.append(css.substr(i, 2));
            i += 2;
            continue;
        }
        if (c == '/' && i + 1 < n && css[i + 1] == '*') {
            std::size_t close = css.find("*/", i + 2);
            std::size_t stop = close == std::string_view::npos ? n : close + 2;
            out.append(css.substr(i, stop - i));
            i = stop;
            continue;
        }
        if (c == '"' || c == '\'') {
            i = string(i);
            continue;
        }
        if (c == '@' && startsName(i + 1)) {
            std::string name;
            std::size_t end = readName(i + 1, name);
            if (name == "import")
                prelude = Prelude::import;
            else if (name == "namespace")
                prelude = Prelude::name_space;
            out.append(css.substr(i, end - i));
            i = end;
            continue;
        }
        // A number, a hash or a name is read whole: "5url(" and "#url(" are no url(.
        if (isDigit(c) || c == '#') {
            std::size_t j = i + 1;
            while (j < n && (isNameByte(j) || isEscape(j) || isLead(j))) {
                std::string ignored;
                j = isEscape(j) ? readEscape(j, ignored) : j + (isLead(j) ? 2 : 1);
            }
            out.append(css.substr(i, j - i));
            i = j;
            continue;
        }
        if (startsName(i)) {
            std::string name;
            std::size_t end = readName(i, name);
            if (end < n && css[end] == '(') {
                if (name == "url") {
                    i = url(i, end);
                    continue;
                }
                functions.push_back(name);
                out.append(css.substr(i, end + 1 - i));
                i = end + 1;
                continue;
            }
            out.append(css.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '\\' && i + 1 < n) {
            out.append(css.substr(i, 2));
            i += 2;
            continue;
        }
        if (c == '(')
            functions.emplace_back();
        else if (c == ')' && !functions.empty())
            functions.pop_back();
        else if (c == ';' || c == '{' || c == '}') {
            prelude = Prelude::none;
            functions.clear();
        }
        out += c;
        ++i;
    }
    return out;
}

bool declaresShiftJis(std::string_view css)
{
    if (!css.starts_with("@charset \""))
        return false;
    std::size_t close = css.find('"', 10);
    if (close == std::string_view::npos)
        return false;
    std::string name = lowered(css.substr(10, close - 10));
    return name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "x-sjis" ||
           name == "windows-31j" || name == "cp932" || name == "ms_kanji" || name == "csshiftjis";
}

// ---- pages -----------------------------------------------------------------------------

struct Attribute {
    std::string name; // lower case
    std::size_t nameStart = 0;
    std::size_t nameEnd = 0;
    std::size_t valueStart = 0;
    std::size_t valueEnd = 0;
    std::size_t end = 0; // behind the value and its closing quote
    bool hasValue = false;
    char quote = 0;
};

struct Tag {
    std::string name; // lower case
    bool closing = false;
    std::size_t start = 0;
    std::size_t closeAt = 0;  // the '>'
    std::size_t end = 0;      // behind the '>'
    bool selfClosing = false; // "/>"
    std::vector<Attribute> attributes;
};

struct Edit {
    std::size_t start = 0;
    std::size_t end = 0;
    std::string text;
};

// Reads the tag whose '<' is at lt as a browser's tokenizer does. False when it is not a tag
// (the '<' is text) or when it runs to the end of the text (unterminated: a browser drops it).
bool parseTag(std::string_view text, std::size_t lt, Tag& tag, bool& unterminated)
{
    unterminated = false;
    std::size_t n = text.size();
    std::size_t i = lt + 1;
    tag = Tag{};
    tag.start = lt;
    if (i < n && text[i] == '/') {
        tag.closing = true;
        ++i;
    }
    if (i >= n || !isLetter(text[i]))
        return false;
    std::size_t nameStart = i;
    while (i < n && !isSpace(text[i]) && text[i] != '/' && text[i] != '>')
        ++i;
    tag.name = lowered(text.substr(nameStart, i - nameStart));
    for (;;) {
        while (i < n && (isSpace(text[i]) || text[i] == '/'))
            ++i;
        if (i >= n) {
            unterminated = true;
            return false;
        }
        if (text[i] == '>') {
            tag.closeAt = i;
            tag.end = i + 1;
            tag.selfClosing = text[i - 1] == '/';
            return true;
        }
        Attribute attribute;
        attribute.nameStart = i;
        ++i; // a name may begin with '='
        while (i < n && !isSpace(text[i]) && text[i] != '/' && text[i] != '=' && text[i] != '>')
            ++i;
        attribute.nameEnd = i;
        attribute.end = i;
        attribute.name = lowered(text.substr(attribute.nameStart, i - attribute.nameStart));
        std::size_t afterName = i;
        while (i < n && isSpace(text[i]))
            ++i;
        if (i < n && text[i] == '=') {
            ++i;
            while (i < n && isSpace(text[i]))
                ++i;
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                char quote = text[i];
                std::size_t close = text.find(quote, i + 1);
                if (close == std::string_view::npos) {
                    unterminated = true;
                    return false;
                }
                attribute.quote = quote;
                attribute.valueStart = i + 1;
                attribute.valueEnd = close;
                i = close + 1;
            } else {
                attribute.valueStart = i;
                while (i < n && !isSpace(text[i]) && text[i] != '>')
                    ++i;
                attribute.valueEnd = i;
            }
            attribute.hasValue = true;
            attribute.end = i;
        } else {
            i = afterName;
        }
        tag.attributes.push_back(attribute);
    }
}

// The end tag that closes raw text: "</name" followed by a blank, '/' or '>' (or the end).
std::size_t findEndTag(std::string_view text, std::size_t from, std::string_view name)
{
    std::string closer = "</" + std::string(name);
    for (std::size_t at = findNoCase(text, from, closer); at != std::string_view::npos;
         at = findNoCase(text, at + 1, closer)) {
        std::size_t next = at + closer.size();
        if (next >= text.size() || isSpace(text[next]) || text[next] == '/' || text[next] == '>')
            return at;
    }
    return std::string_view::npos;
}

// Where a comment that starts at lt ends ("<!-->" and "--!>" included), npos when never.
std::size_t commentEnd(std::string_view text, std::size_t lt)
{
    std::size_t body = lt + 4;
    if (text.compare(body, 1, ">") == 0)
        return body + 1;
    if (text.compare(body, 2, "->") == 0)
        return body + 2;
    std::size_t plain = text.find("-->", body);
    std::size_t bang = text.find("--!>", body);
    if (bang != std::string_view::npos && (plain == std::string_view::npos || bang < plain))
        return bang + 4;
    return plain == std::string_view::npos ? std::string_view::npos : plain + 3;
}

enum class Rule {
    none,
    loaded,     // fetched and made local, or removed
    page,       // a frame: fetched as a page, or removed
    stylesheet, // fetched as a style sheet, or removed
    followed,   // absolute
    srcset,
    css, // a style or presentation attribute
    removedAlways,
};

bool isOneOf(const std::string& value, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), value) != names.end();
}

class PageWriter {
public:
    PageWriter(std::string_view text, const std::string& pageUrl, const std::string& charset,
               const R::NameFor& nameFor, R::ScriptPolicy scripts)
        : text(text), base(pageUrl), charset(charset), nameFor(nameFor), scripts(scripts)
    {
    }

    std::string run();

private:
    const Attribute* find(const Tag& tag, std::string_view name) const
    {
        for (const Attribute& a : tag.attributes)
            if (a.name == name && a.hasValue)
                return &a;
        return nullptr;
    }
    std::string raw(const Attribute& a) const
    {
        return std::string(text.substr(a.valueStart, a.valueEnd - a.valueStart));
    }
    Rule ruleFor(const Tag& tag, const Attribute& a) const;
    Rule linkRule(const Tag& tag) const;
    void apply(const Attribute& a, Rule rule);
    std::string srcsetParts(const Attribute& a, std::string& absolute, bool& anyChanged,
                            bool& anyRemoved);
    void srcset(const Attribute& a);
    bool lazy(const Tag& tag);
    void replace(const Attribute& a, const std::string& value);
    void rename(const Attribute& a, const std::string& value);
    void drop(const Attribute& a) { edits.push_back({a.nameStart, a.end, {}}); }
    void setOrAdd(const Tag& tag, std::string_view name, const std::string& value);
    bool handleTag(const Tag& tag);
    void handleMeta(const Tag& tag);
    void emitTag(const Tag& tag);
    std::size_t skipScript(const Tag& tag);
    std::size_t copyRawText(std::size_t from, std::string_view name, bool css);
    void noteText(std::string_view segment);

    std::string_view text;
    std::string base;
    bool baseSet = false;
    std::string charset;
    const R::NameFor& nameFor;
    R::ScriptPolicy scripts;
    std::vector<Edit> edits;
    std::vector<bool> handled; // attributes a rule already took care of
    std::string additions;
    std::string out;
    bool declared = false;
    std::size_t headEnd = std::string::npos;
    // The policy goes before the first thing that could load: behind <head>, or before the
    // first other tag or text.
    bool inProlog = true;
    std::size_t policyAt = std::string::npos;
    // Inside <svg> or <math> a style element's text is markup, not raw text: tags in it are
    // tags, and its text is still a style sheet.
    int foreignDepth = 0;
    bool foreignStyle = false;
};

Rule PageWriter::linkRule(const Tag& tag) const
{
    const Attribute* rel = find(tag, "rel");
    std::string rels = rel != nullptr ? " " + lowered(textValue(raw(*rel))) + " " : std::string();
    for (char& c : rels)
        if (isSpace(c))
            c = ' ';
    if (rels.find(" stylesheet ") != std::string::npos)
        return Rule::stylesheet;
    for (const char* icon :
         {" icon ", " apple-touch-icon ", " apple-touch-icon-precomposed ", " mask-icon "})
        if (rels.find(icon) != std::string::npos)
            return Rule::loaded;
    // preload, prefetch, preconnect, dns-prefetch, manifest, canonical, alternate ...: nothing
    // a saved page needs, and several of them would go to the network at once.
    return Rule::removedAlways;
}

Rule PageWriter::ruleFor(const Tag& tag, const Attribute& a) const
{
    const std::string& e = tag.name;
    const std::string& n = a.name;
    if (n == "style" || isOneOf(n, {"fill", "stroke", "filter", "mask", "clip-path", "marker-start",
                                    "marker-mid", "marker-end", "cursor"}))
        return n == "style" || textValue(raw(a)).find('(') != std::string::npos ? Rule::css
                                                                                : Rule::none;
    // Chromium reports to these addresses by itself when the element loads or is clicked.
    if (n == "attributionsrc")
        return Rule::removedAlways;
    if (e == "a" || e == "area")
        return n == "href" || n == "xlink:href" ? Rule::followed
                                                : (n == "ping" ? Rule::removedAlways : Rule::none);
    if (e == "form")
        return n == "action" ? Rule::followed : Rule::none;
    if (e == "button" || e == "input") {
        if (n == "formaction")
            return Rule::followed;
        return e == "input" && n == "src" ? Rule::loaded : Rule::none;
    }
    if (e == "img" || e == "image") {
        if (isOneOf(n, {"src", "lowsrc", "dynsrc", "href", "xlink:href"}))
            return Rule::loaded;
        return n == "srcset" ? Rule::srcset : Rule::none;
    }
    if (e == "source")
        return n == "src" ? Rule::loaded : (n == "srcset" ? Rule::srcset : Rule::none);
    if (e == "video")
        return n == "src" || n == "poster" ? Rule::loaded : Rule::none;
    if (e == "audio" || e == "track")
        return n == "src" ? Rule::loaded : Rule::none;
    if (e == "portal")
        return n == "src" ? Rule::removedAlways : Rule::none;
    if (e == "frame" || e == "iframe")
        return n == "src" ? Rule::page : (n == "srcdoc" ? Rule::removedAlways : Rule::none);
    if (e == "embed")
        return n == "src" ? Rule::removedAlways : Rule::none;
    if (e == "object" || e == "applet")
        return isOneOf(n, {"data", "codebase", "archive", "code", "object"}) ? Rule::removedAlways
                                                                             : Rule::none;
    if (e == "param") {
        const Attribute* name = find(tag, "name");
        bool address =
            name != nullptr && isOneOf(lowered(trimmed(textValue(raw(*name)))),
                                       {"src", "movie", "url", "data", "filename", "href", "code"});
        return n == "value" && address ? Rule::removedAlways : Rule::none;
    }
    if (e == "link")
        return n == "href" ? linkRule(tag)
                           : (n == "imagesrcset" ? Rule::removedAlways : Rule::none);
    if (e == "script")
        return n == "src" || n == "href" || n == "xlink:href" ? Rule::loaded : Rule::none;
    if (isOneOf(e, {"body", "table", "tr", "td", "th", "thead", "tbody", "tfoot"}))
        return n == "background" ? Rule::loaded : Rule::none;
    if (e == "html")
        return n == "manifest" ? Rule::removedAlways : Rule::none;
    if (e == "use" || e == "feimage")
        return n == "href" || n == "xlink:href" ? Rule::loaded : Rule::none;
    if (e == "set" || e == "animate") {
        const Attribute* target = find(tag, "attributename");
        std::string targetName =
            target != nullptr ? lowered(trimmed(textValue(raw(*target)))) : std::string();
        bool address = targetName.ends_with("href") || targetName == "src";
        return address && isOneOf(n, {"to", "from", "values", "by"}) ? Rule::removedAlways
                                                                     : Rule::none;
    }
    if (e == "meta" && n == "content") {
        const Attribute* equiv = find(tag, "http-equiv");
        if (equiv != nullptr && lowered(trimmed(textValue(raw(*equiv)))) == "refresh")
            return Rule::removedAlways;
    }
    return Rule::none;
}

void PageWriter::replace(const Attribute& a, const std::string& value)
{
    if (a.quote == 0 && needsQuotes(value))
        edits.push_back({a.valueStart, a.valueEnd, "\"" + escapeValue(value, '"') + "\""});
    else
        edits.push_back({a.valueStart, a.valueEnd, escapeValue(value, a.quote)});
}

// The attribute stays for the reader under a name no browser loads from.
void PageWriter::rename(const Attribute& a, const std::string& value)
{
    edits.push_back({a.nameStart, a.nameEnd, "data-quillara-" + a.name});
    replace(a, value);
}

void PageWriter::apply(const Attribute& a, Rule rule)
{
    if (rule == Rule::none || !a.hasValue)
        return;
    if (rule == Rule::css) {
        std::string css = textValue(raw(a));
        std::string rewritten = R::rewriteStyleSheet(css, base, nameFor, charset == "shift_jis");
        if (rewritten != css)
            replace(a, rewritten);
        return;
    }
    if (rule == Rule::srcset) {
        srcset(a);
        return;
    }
    std::string value = addressValue(raw(a));
    std::string result;
    R::Outcome outcome;
    if (rule == Rule::followed) {
        outcome = R::followedReference(value, base, scripts, result);
    } else if (rule == Rule::removedAlways) {
        outcome = R::removed;
        bool address =
            isOneOf(a.name, {"href", "src", "data", "codebase", "manifest", "xlink:href"});
        if (address && !isScriptAddress(addressForm(value)) && !addressForm(value).empty())
            resolveUrl(0, base, addressForm(value), result);
        else
            result = a.name == "srcdoc" ? textValue(raw(a)) : value;
    } else {
        R::RefKind kind = rule == Rule::page
                              ? R::refPage
                              : (rule == Rule::stylesheet ? R::refStyleSheet : R::refResource);
        outcome = R::loadedReference(value, base, kind, scripts, nameFor, result);
        // A frame of data: holds a page of its own that nobody rewrote.
        if (outcome == R::keptAsWritten && rule == Rule::page &&
            startsWithNoCase(addressForm(value), 0, "data:")) {
            outcome = R::removed;
            result = value;
        }
    }
    switch (outcome) {
    case R::keptAsWritten: return;
    case R::madeLocal:
    case R::madeAbsolute: replace(a, result); return;
    case R::removed: rename(a, result); return;
    case R::scriptDropped: drop(a); return;
    }
}

// The candidates that are local (or load nothing), joined; absolute gets every candidate with
// its absolute address.
std::string PageWriter::srcsetParts(const Attribute& a, std::string& absolute, bool& anyChanged,
                                    bool& anyRemoved)
{
    std::string raw = addressValue(this->raw(a));
    std::string local;
    anyRemoved = false;
    anyChanged = false;
    std::size_t n = raw.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && (isSpace(raw[i]) || raw[i] == ','))
            ++i;
        if (i >= n)
            break;
        std::size_t start = i;
        while (i < n && !isSpace(raw[i]))
            ++i;
        std::string url = raw.substr(start, i - start);
        bool endsCandidate = false;
        while (!url.empty() && url.back() == ',') {
            url.pop_back();
            endsCandidate = true;
        }
        std::string descriptor;
        if (!endsCandidate) {
            int depth = 0;
            while (i < n && !(raw[i] == ',' && depth <= 0)) {
                depth += raw[i] == '(' ? 1 : (raw[i] == ')' ? -1 : 0);
                descriptor += raw[i++];
            }
            descriptor = trimmed(descriptor);
        }
        if (!descriptor.empty())
            descriptor.insert(0, " ");
        std::string result;
        R::Outcome outcome =
            R::loadedReference(url, base, R::refResource, scripts, nameFor, result);
        anyChanged = anyChanged || outcome != R::keptAsWritten;
        std::string full = outcome == R::removed ? result : url;
        if (outcome == R::madeLocal)
            resolveUrl(0, base, addressForm(url), full);
        absolute += (absolute.empty() ? "" : ", ") + full + descriptor;
        if (outcome == R::removed || outcome == R::scriptDropped) {
            anyRemoved = true;
            continue;
        }
        local +=
            (local.empty() ? "" : ", ") + (outcome == R::keptAsWritten ? url : result) + descriptor;
    }
    return local;
}

// Every candidate made local; when some cannot be, srcset keeps the others and
// data-quillara-srcset the whole list with absolute addresses.
void PageWriter::srcset(const Attribute& a)
{
    std::string absolute;
    bool anyChanged = false;
    bool anyRemoved = false;
    std::string local = srcsetParts(a, absolute, anyChanged, anyRemoved);
    if (!anyChanged)
        return;
    replace(a, local);
    if (anyRemoved)
        additions += " data-quillara-" + a.name + "=\"" + escapeValue(absolute, '"') + "\"";
}

// Lazy loading: the address a script would put into src later is fetched and put there now,
// so that the image shows without the script. True when src is taken care of.
bool PageWriter::lazy(const Tag& tag)
{
    bool srcDone = false;
    for (std::size_t k = 0; k < tag.attributes.size(); ++k) {
        const Attribute& a = tag.attributes[k];
        if (handled[k] || !a.hasValue || (a.name != "data-src" && a.name != "data-srcset"))
            continue;
        handled[k] = true;
        if (a.name == "data-srcset") {
            std::string absolute;
            bool anyChanged = false;
            bool anyRemoved = false;
            std::string local = srcsetParts(a, absolute, anyChanged, anyRemoved);
            if (!local.empty() && anyChanged)
                setOrAdd(tag, "srcset", local);
            // A lazy loader kept with the scripts would load what is left in it.
            if (anyRemoved)
                rename(a, absolute);
            else if (anyChanged)
                replace(a, local);
            continue;
        }
        std::string result;
        R::Outcome outcome = R::loadedReference(addressValue(raw(a)), base, R::refResource, scripts,
                                                nameFor, result);
        if (outcome == R::madeLocal && !result.empty()) {
            replace(a, result);
            setOrAdd(tag, "src", result);
            srcDone = true;
        } else if (outcome == R::removed) {
            rename(a, result); // a lazy loader kept with the scripts would load it
        }
    }
    return srcDone;
}

// Sets an attribute (every copy of it) to value, or adds it.
void PageWriter::setOrAdd(const Tag& tag, std::string_view name, const std::string& value)
{
    bool found = false;
    for (std::size_t k = 0; k < tag.attributes.size(); ++k) {
        const Attribute& a = tag.attributes[k];
        if (a.name != name)
            continue;
        handled[k] = true;
        std::erase_if(edits,
                      [&](const Edit& e) { return e.start >= a.nameStart && e.end <= a.end; });
        if (a.hasValue) {
            replace(a, value);
            found = true;
        }
    }
    if (!found)
        additions += " " + std::string(name) + "=\"" + escapeValue(value, '"') + "\"";
}

void PageWriter::handleMeta(const Tag& tag)
{
    if (const Attribute* a = find(tag, "charset")) {
        replace(*a, charset);
        declared = true;
        return;
    }
    const Attribute* equiv = find(tag, "http-equiv");
    const Attribute* content = find(tag, "content");
    if (equiv == nullptr || content == nullptr ||
        lowered(trimmed(textValue(raw(*equiv)))) != "content-type")
        return;
    std::string_view value =
        text.substr(content->valueStart, content->valueEnd - content->valueStart);
    std::size_t at = findNoCase(value, 0, "charset");
    if (at == std::string_view::npos)
        return;
    std::size_t i = at + 7;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    if (i >= value.size() || value[i] != '=')
        return;
    ++i;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    std::size_t stop = i;
    while (stop < value.size() && value[stop] != ';' && !isSpace(value[stop]))
        ++stop;
    edits.push_back({content->valueStart + i, content->valueStart + stop, charset});
    declared = true;
}

// Returns false for a tag that is left out of the saved page.
bool PageWriter::handleTag(const Tag& tag)
{
    if (tag.closing)
        return true;
    if (tag.name == "base") {
        const Attribute* href = find(tag, "href");
        std::string value = href != nullptr ? addressForm(addressValue(raw(*href))) : std::string();
        if (value.empty())
            return true;
        if (!baseSet) {
            std::string resolved;
            resolveUrl(0, base, value, resolved);
            base = resolved;
            baseSet = true;
        }
        return false;
    }
    if (tag.name == "head" && headEnd == std::string::npos)
        headEnd = 0; // set to the output position once the tag is written
    handled.assign(tag.attributes.size(), false);
    if (tag.name == "meta")
        handleMeta(tag);
    bool srcDone = (tag.name == "img" || tag.name == "image" || tag.name == "source") && lazy(tag);
    for (std::size_t k = 0; k < tag.attributes.size(); ++k) {
        const Attribute& a = tag.attributes[k];
        if (handled[k] || (srcDone && a.name == "src"))
            continue;
        if (scripts == R::scriptsRemoved && isEventAttribute(a.name)) {
            drop(a);
            continue;
        }
        apply(a, ruleFor(tag, a));
    }
    return true;
}

void PageWriter::emitTag(const Tag& tag)
{
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.start < b.start; });
    std::size_t at = tag.start;
    for (const Edit& e : edits) {
        if (e.start < at)
            continue;
        out.append(text.substr(at, e.start - at));
        out += e.text;
        at = e.end;
    }
    std::size_t insertAt = tag.closeAt;
    // "<img ... />": new attributes go before the '/', unless it ends an unquoted value.
    if (!additions.empty() && insertAt > at && text[insertAt - 1] == '/' && insertAt >= 2 &&
        (isSpace(text[insertAt - 2]) || text[insertAt - 2] == '"' || text[insertAt - 2] == '\''))
        --insertAt;
    while (!additions.empty() && insertAt > at && isSpace(text[insertAt - 1]))
        --insertAt;
    if (insertAt < at)
        insertAt = at;
    out.append(text.substr(at, insertAt - at));
    out += additions;
    out.append(text.substr(insertAt, tag.end - insertAt));
    if (tag.name == "head" && !tag.closing && headEnd == 0)
        headEnd = out.size();
}

// A removed script leaves nothing behind: the element and its text up to its end tag.
std::size_t PageWriter::skipScript(const Tag& tag)
{
    std::size_t close = findEndTag(text, tag.end, "script");
    if (close == std::string_view::npos)
        return text.size();
    std::size_t gt = text.find('>', close);
    return gt == std::string_view::npos ? text.size() : gt + 1;
}

// Copies the raw text of an element up to its end tag (rewritten as a style sheet for
// style); returns where scanning goes on.
std::size_t PageWriter::copyRawText(std::size_t from, std::string_view name, bool css)
{
    std::size_t close = findEndTag(text, from, name);
    std::size_t stop = close == std::string_view::npos ? text.size() : close;
    std::string_view body = text.substr(from, stop - from);
    if (css)
        out += R::rewriteStyleSheet(body, base, nameFor, charset == "shift_jis");
    else
        out.append(body);
    return stop;
}

void PageWriter::noteText(std::string_view segment)
{
    if (!inProlog)
        return;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        auto byte = static_cast<unsigned char>(segment[i]);
        bool bom = out.empty() && i < 3 && (byte == 0xEF || byte == 0xBB || byte == 0xBF);
        if (!isSpace(segment[i]) && !bom) {
            policyAt = out.size() + i;
            inProlog = false;
            return;
        }
    }
}

std::string PageWriter::run()
{
    out.reserve(text.size() + text.size() / 8 + 256);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lt = text.find('<', pos);
        std::size_t stop = lt == std::string_view::npos ? text.size() : lt;
        noteText(text.substr(pos, stop - pos));
        if (foreignStyle)
            out += R::rewriteStyleSheet(text.substr(pos, stop - pos), base, nameFor,
                                        charset == "shift_jis");
        else
            out.append(text.substr(pos, stop - pos));
        pos = stop;
        if (lt == std::string_view::npos)
            break;
        if (text.compare(lt, 4, "<!--") == 0) {
            std::size_t end = commentEnd(text, lt);
            if (end == std::string_view::npos)
                break;
            out.append(text.substr(lt, end - lt));
            pos = end;
            continue;
        }
        // <!DOCTYPE>, <?xml?>, </ followed by no letter: a bogus comment up to the next '>'.
        bool bogus = (lt + 1 < text.size() && (text[lt + 1] == '!' || text[lt + 1] == '?')) ||
                     (lt + 2 < text.size() && text[lt + 1] == '/' && !isLetter(text[lt + 2]));
        if (bogus) {
            std::size_t gt = text.find('>', lt + 1);
            if (gt == std::string_view::npos)
                break;
            out.append(text.substr(lt, gt + 1 - lt));
            pos = gt + 1;
            continue;
        }
        Tag tag;
        bool unterminated = false;
        if (!parseTag(text, lt, tag, unterminated)) {
            if (unterminated)
                break;
            noteText("<");
            out += '<';
            pos = lt + 1;
            continue;
        }
        if (inProlog && !(tag.name == "html" && !tag.closing) &&
            !(tag.name == "head" && !tag.closing)) {
            policyAt = out.size();
            inProlog = false;
        }
        if (tag.name == "script" && !tag.closing && scripts == R::scriptsRemoved) {
            pos = skipScript(tag);
            continue;
        }
        edits.clear();
        additions.clear();
        if (handleTag(tag))
            emitTag(tag);
        pos = tag.end;
        if (inProlog && tag.name == "head") {
            policyAt = out.size();
            inProlog = false;
        }
        bool foreignRoot = tag.name == "svg" || tag.name == "math";
        if (tag.closing) {
            foreignDepth -= foreignRoot && foreignDepth > 0 ? 1 : 0;
            foreignStyle = foreignStyle && tag.name != "style";
            continue;
        }
        foreignDepth += foreignRoot && !tag.selfClosing ? 1 : 0;
        if (tag.name == "style" && foreignDepth > 0)
            foreignStyle = true;
        else if (tag.name == "style")
            pos = copyRawText(pos, "style", true);
        else if (tag.name == "script" ||
                 (foreignDepth == 0 && isOneOf(tag.name, {"textarea", "xmp", "title"})))
            pos = copyRawText(pos, tag.name, false);
        else if (tag.name == "plaintext")
            break; // the rest is text
    }
    // Still nothing but the prolog (or a tag cut off at the end): the policy goes here.
    if (policyAt == std::string::npos)
        policyAt = out.size();
    if (pos < text.size())
        out.append(text.substr(pos));
    std::string head = "<meta http-equiv=\"Content-Security-Policy\" content=\"" +
                       R::contentSecurityPolicy(scripts) +
                       "\"><meta http-equiv=\"x-dns-prefetch-control\" content=\"off\">";
    // A page that declared no charset is told the one it is saved in, so that a browser does
    // not guess.
    if (!declared && headEnd != std::string::npos && headEnd > 0) {
        std::string meta =
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">";
        if (headEnd == policyAt) {
            head = meta + head;
        } else {
            out.insert(headEnd, meta);
            if (policyAt > headEnd)
                policyAt += meta.size();
        }
    }
    out.insert(policyAt, head);
    return out;
}

} // namespace

std::string clsSnapshotRewriter::contentSecurityPolicy(ScriptPolicy scripts)
{
    // Inline style stays allowed (pages need it); what it loads still falls under default-src.
    std::string scriptSources =
        scripts == scriptsKept ? "'self' 'unsafe-inline' 'unsafe-eval'" : "'none'";
    return "default-src 'self' data:; script-src " + scriptSources +
           "; style-src 'self' 'unsafe-inline' data:; object-src 'none'; base-uri 'none'";
}

clsSnapshotRewriter::Outcome
clsSnapshotRewriter::loadedReference(const std::string& raw, const std::string& base, RefKind kind,
                                     ScriptPolicy scripts, const NameFor& nameFor, std::string& out)
{
    std::string value = addressForm(raw);
    if (value.empty() || value[0] == '#' || loadsNothing(value))
        return keptAsWritten;
    if (isScriptAddress(value))
        return scripts == scriptsKept ? keptAsWritten : scriptDropped;
    std::string absolute;
    resolveUrl(0, base, value, absolute);
    std::size_t hash = absolute.find('#');
    std::string fragment = hash == std::string::npos ? std::string() : absolute.substr(hash);
    std::string name = nameFor ? nameFor(absolute.substr(0, hash), kind) : std::string();
    if (name.empty()) {
        out = absolute;
        return removed;
    }
    out = name + fragment;
    return madeLocal;
}

clsSnapshotRewriter::Outcome clsSnapshotRewriter::followedReference(const std::string& raw,
                                                                    const std::string& base,
                                                                    ScriptPolicy scripts,
                                                                    std::string& out)
{
    std::string value = addressForm(raw);
    if (value.empty() || value[0] == '#' || isOpaqueLink(value))
        return keptAsWritten;
    if (isScriptAddress(value))
        return scripts == scriptsKept ? keptAsWritten : scriptDropped;
    resolveUrl(0, base, value, out);
    return madeAbsolute;
}

std::string clsSnapshotRewriter::rewriteStyleSheet(std::string_view css,
                                                   const std::string& sheetUrl,
                                                   const NameFor& nameFor, bool shiftJis)
{
    SheetWriter writer(css, sheetUrl, nameFor, shiftJis || declaresShiftJis(css));
    return writer.run();
}

std::string clsSnapshotRewriter::rewritePage(std::string_view page, const std::string& pageUrl,
                                             const std::string& charset, const NameFor& nameFor,
                                             ScriptPolicy scripts)
{
    PageWriter writer(page, pageUrl, charset, nameFor, scripts);
    return writer.run();
}
