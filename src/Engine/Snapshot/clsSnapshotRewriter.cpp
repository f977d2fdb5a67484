#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Url/utlUrl.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

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

bool isNameChar(char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_';
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

std::string decodedValue(std::string_view raw)
{
    std::string value(raw);
    if (value.find('&') != std::string::npos)
        decodeHtmlText(value);
    return value;
}

struct Attribute {
    std::string name; // lower case
    std::size_t valueStart = 0;
    std::size_t valueEnd = 0;
    bool hasValue = false;
    char quote = 0;
};

struct Tag {
    std::string name; // lower case
    bool closing = false;
    std::size_t start = 0;
    std::size_t closeAt = 0; // the '>'
    std::size_t end = 0;     // behind the '>'
    std::vector<Attribute> attributes;
};

struct Edit {
    std::size_t start = 0;
    std::size_t end = 0;
    std::string text;
};

// Reads the tag whose '<' is at lt. False when it is not a tag (the '<' is text) or when it
// runs to the end of the text without '>' (unterminated).
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
    while (i < n && isNameChar(text[i]))
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
            return true;
        }
        std::size_t attrStart = i;
        while (i < n && !isSpace(text[i]) && text[i] != '=' && text[i] != '>')
            ++i;
        Attribute attribute;
        attribute.name = lowered(text.substr(attrStart, i - attrStart));
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
        }
        if (!attribute.name.empty())
            tag.attributes.push_back(attribute);
    }
}

class PageWriter {
public:
    PageWriter(std::string_view text, const std::string& pageUrl, const std::string& charset,
               const clsSnapshotRewriter::NameFor& nameFor)
        : text(text), base(pageUrl), charset(charset), nameFor(nameFor)
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
    std::string valueOf(const Attribute& a) const
    {
        return decodedValue(text.substr(a.valueStart, a.valueEnd - a.valueStart));
    }
    // Rewrites one attribute's reference; the new value (unescaped) in out when it changed.
    bool reference(const Tag& tag, std::string_view name, clsSnapshotRewriter::RefKind kind, bool fetch,
                   std::string* out = nullptr);
    bool srcset(const Tag& tag, std::string_view name, std::string* out = nullptr);
    void replace(const Attribute& a, const std::string& value) { edits.push_back({a.valueStart, a.valueEnd, escapeValue(value, a.quote)}); }
    void setOrAdd(const Tag& tag, std::string_view name, const std::string& value);
    bool handleTag(const Tag& tag);
    void handleMeta(const Tag& tag);
    void handleLink(const Tag& tag);
    void handleImage(const Tag& tag);
    void handleStyle(const Tag& tag);
    void emitTag(const Tag& tag);
    std::size_t copyRawText(std::size_t from, std::string_view closer, bool css);

    std::string_view text;
    std::string base;
    bool baseSet = false;
    std::string charset;
    const clsSnapshotRewriter::NameFor& nameFor;
    std::vector<Edit> edits;
    std::string additions;
    std::string out;
    bool declared = false;
    std::size_t headEnd = std::string::npos;
};

bool PageWriter::reference(const Tag& tag, std::string_view name, clsSnapshotRewriter::RefKind kind, bool fetch,
                           std::string* result)
{
    const Attribute* a = find(tag, name);
    if (a == nullptr)
        return false;
    std::string value;
    if (!clsSnapshotRewriter::rewriteReference(valueOf(*a), base, kind, fetch, nameFor, value))
        return false;
    replace(*a, value);
    if (result != nullptr)
        *result = value;
    return true;
}

bool PageWriter::srcset(const Tag& tag, std::string_view name, std::string* result)
{
    const Attribute* a = find(tag, name);
    if (a == nullptr)
        return false;
    std::string value = clsSnapshotRewriter::rewriteSrcset(valueOf(*a), base, nameFor);
    replace(*a, value);
    if (result != nullptr)
        *result = value;
    return true;
}

void PageWriter::setOrAdd(const Tag& tag, std::string_view name, const std::string& value)
{
    for (const Attribute& a : tag.attributes) {
        if (a.name != name)
            continue;
        if (a.hasValue) {
            std::erase_if(edits, [&](const Edit& e) { return e.start == a.valueStart; });
            replace(a, value);
            return;
        }
    }
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
    if (equiv == nullptr || content == nullptr || lowered(trimmed(valueOf(*equiv))) != "content-type")
        return;
    std::string_view value = text.substr(content->valueStart, content->valueEnd - content->valueStart);
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

void PageWriter::handleLink(const Tag& tag)
{
    const Attribute* rel = find(tag, "rel");
    std::string rels = rel != nullptr ? " " + lowered(valueOf(*rel)) + " " : std::string();
    for (char& c : rels)
        if (isSpace(c))
            c = ' ';
    if (rels.find(" stylesheet ") != std::string::npos)
        reference(tag, "href", clsSnapshotRewriter::refStyleSheet, true);
    else if (rels.find(" icon ") != std::string::npos || rels.find(" apple-touch-icon ") != std::string::npos)
        reference(tag, "href", clsSnapshotRewriter::refResource, true);
    else
        reference(tag, "href", clsSnapshotRewriter::refResource, false);
}

// Lazy loading: the address a script would put into src later is fetched and put there now,
// so that the image shows without the script.
void PageWriter::handleImage(const Tag& tag)
{
    std::string lazy;
    if (reference(tag, "data-src", clsSnapshotRewriter::refResource, true, &lazy) && !lazy.empty())
        setOrAdd(tag, "src", lazy);
    else
        reference(tag, "src", clsSnapshotRewriter::refResource, true);
    reference(tag, "lowsrc", clsSnapshotRewriter::refResource, true);
    std::string lazySet;
    if (srcset(tag, "data-srcset", &lazySet) && !lazySet.empty())
        setOrAdd(tag, "srcset", lazySet);
    else
        srcset(tag, "srcset");
}

void PageWriter::handleStyle(const Tag& tag)
{
    const Attribute* a = find(tag, "style");
    if (a == nullptr)
        return;
    std::string css = valueOf(*a);
    std::string rewritten = clsSnapshotRewriter::rewriteStyleSheet(css, base, nameFor);
    if (rewritten != css)
        replace(*a, rewritten);
}

// Returns false for a tag that is left out of the saved page.
bool PageWriter::handleTag(const Tag& tag)
{
    using R = clsSnapshotRewriter;
    const std::string& name = tag.name;
    if (tag.closing)
        return true;
    if (name == "base") {
        const Attribute* href = find(tag, "href");
        std::string value = href != nullptr ? trimmed(valueOf(*href)) : std::string();
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
    handleStyle(tag);
    if (name == "head" && headEnd == std::string::npos)
        headEnd = 0; // set to the output position once the tag is written
    if (name == "meta") {
        handleMeta(tag);
    } else if (name == "link") {
        handleLink(tag);
    } else if (name == "body" || name == "table" || name == "td" || name == "th") {
        reference(tag, "background", R::refResource, true);
    } else if (name == "frame" || name == "iframe") {
        reference(tag, "src", R::refPage, true);
    } else if (name == "img") {
        handleImage(tag);
    } else if (name == "source") {
        reference(tag, "src", R::refResource, true);
        srcset(tag, "srcset");
        std::string lazySet;
        if (srcset(tag, "data-srcset", &lazySet) && !lazySet.empty())
            setOrAdd(tag, "srcset", lazySet);
    } else if (name == "video") {
        reference(tag, "poster", R::refResource, true);
        reference(tag, "src", R::refResource, false);
    } else if (name == "input") {
        const Attribute* type = find(tag, "type");
        if (type != nullptr && lowered(trimmed(valueOf(*type))) == "image")
            reference(tag, "src", R::refResource, true);
    } else if (name == "a" || name == "area") {
        reference(tag, "href", R::refResource, false);
    } else if (name == "form") {
        reference(tag, "action", R::refResource, false);
    } else if (name == "script" || name == "embed" || name == "audio") {
        reference(tag, "src", R::refResource, false);
    } else if (name == "object") {
        reference(tag, "data", R::refResource, false);
    }
    return true;
}

void PageWriter::emitTag(const Tag& tag)
{
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.start < b.start; });
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

// Copies the raw text of a script or style element up to its end tag (rewritten as a style
// sheet for style); returns where scanning goes on.
std::size_t PageWriter::copyRawText(std::size_t from, std::string_view closer, bool css)
{
    std::size_t close = findNoCase(text, from, closer);
    std::size_t stop = close == std::string_view::npos ? text.size() : close;
    std::string_view body = text.substr(from, stop - from);
    if (css)
        out += clsSnapshotRewriter::rewriteStyleSheet(body, base, nameFor);
    else
        out.append(body);
    return stop;
}

std::string PageWriter::run()
{
    out.reserve(text.size() + text.size() / 8);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos)
            break;
        out.append(text.substr(pos, lt - pos));
        pos = lt;
        if (text.compare(lt, 4, "<!--") == 0) {
            std::size_t close = text.find("-->", lt + 4);
            if (close == std::string_view::npos)
                break;
            out.append(text.substr(lt, close + 3 - lt));
            pos = close + 3;
            continue;
        }
        Tag tag;
        bool unterminated = false;
        if (!parseTag(text, lt, tag, unterminated)) {
            if (unterminated)
                break;
            out += '<';
            pos = lt + 1;
            continue;
        }
        edits.clear();
        additions.clear();
        if (handleTag(tag))
            emitTag(tag);
        pos = tag.end;
        if (tag.closing)
            continue;
        if (tag.name == "style")
            pos = copyRawText(pos, "</style", true);
        else if (tag.name == "script" || tag.name == "textarea" || tag.name == "xmp")
            pos = copyRawText(pos, tag.name == "script" ? "</script" : (tag.name == "xmp" ? "</xmp" : "</textarea"), false);
    }
    if (pos < text.size())
        out.append(text.substr(pos));
    // A page that declared no charset is told the one it is saved in, so that a browser does
    // not guess.
    if (!declared && headEnd != std::string::npos && headEnd > 0)
        out.insert(headEnd, "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">");
    return out;
}

bool isOpaque(const std::string& value)
{
    static constexpr std::array<std::string_view, 7> schemes = {"data:", "javascript:", "mailto:", "about:",
                                                                "vbscript:", "tel:", "blob:"};
    for (std::string_view scheme : schemes)
        if (startsWithNoCase(value, 0, scheme))
            return true;
    return false;
}

bool isIdentifierChar(char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

} // namespace

bool clsSnapshotRewriter::rewriteReference(const std::string& raw, const std::string& base, RefKind kind, bool fetch,
                                           const NameFor& nameFor, std::string& out)
{
    std::string value = trimmed(raw);
    if (value.empty() || value[0] == '#' || isOpaque(value))
        return false;
    std::string absolute;
    resolveUrl(0, base, value, absolute);
    if (!fetch) {
        out = absolute;
        return true;
    }
    std::size_t hash = absolute.find('#');
    std::string fragment = hash == std::string::npos ? std::string() : absolute.substr(hash);
    std::string address = absolute.substr(0, hash);
    std::string name = nameFor ? nameFor(address, kind) : std::string();
    out = name.empty() ? absolute : name + fragment;
    return true;
}

std::string clsSnapshotRewriter::rewriteSrcset(const std::string& raw, const std::string& base, const NameFor& nameFor)
{
    std::string out;
    std::size_t n = raw.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && (isSpace(raw[i]) || raw[i] == ','))
            out += raw[i++];
        if (i >= n)
            break;
        std::size_t start = i;
        while (i < n && !isSpace(raw[i]))
            ++i;
        std::string url = raw.substr(start, i - start);
        std::size_t commas = 0;
        while (!url.empty() && url.back() == ',') {
            url.pop_back();
            ++commas;
        }
        std::string rewritten;
        out += rewriteReference(url, base, refResource, true, nameFor, rewritten) ? rewritten : url;
        out.append(commas, ',');
        if (commas > 0)
            continue;
        int depth = 0;
        while (i < n && !(raw[i] == ',' && depth <= 0)) {
            depth += raw[i] == '(' ? 1 : (raw[i] == ')' ? -1 : 0);
            out += raw[i++];
        }
    }
    return out;
}

std::string clsSnapshotRewriter::rewriteStyleSheet(std::string_view css, const std::string& sheetUrl,
                                                   const NameFor& nameFor)
{
    std::string out;
    out.reserve(css.size() + css.size() / 8);
    std::size_t n = css.size();
    std::size_t i = 0;
    bool importPending = false;
    auto rewriteValue = [&](const std::string& value, RefKind kind) {
        std::string rewritten;
        return rewriteReference(value, sheetUrl, kind, true, nameFor, rewritten) ? rewritten : value;
    };
    while (i < n) {
        char c = css[i];
        if (c == '/' && i + 1 < n && css[i + 1] == '*') {
            std::size_t close = css.find("*/", i + 2);
            std::size_t stop = close == std::string_view::npos ? n : close + 2;
            out.append(css.substr(i, stop - i));
            i = stop;
            continue;
        }
        if (c == '"' || c == '\'') {
            std::size_t j = i + 1;
            while (j < n && css[j] != c && css[j] != '\n') {
                if (css[j] == '\\' && j + 1 < n)
                    ++j;
                ++j;
            }
            bool closed = j < n && css[j] == c;
            std::string_view inner = css.substr(i + 1, j - i - 1);
            if (importPending && closed && inner.find('\\') == std::string_view::npos) {
                out += c;
                out += rewriteValue(std::string(inner), refStyleSheet);
                out += c;
                importPending = false;
            } else {
                out.append(css.substr(i, (closed ? j + 1 : j) - i));
            }
            i = closed ? j + 1 : j;
            continue;
        }
        if ((c == 'u' || c == 'U') && startsWithNoCase(css, i, "url(") && (i == 0 || !isIdentifierChar(css[i - 1]))) {
            std::size_t j = i + 4;
            while (j < n && isSpace(css[j]))
                ++j;
            char quote = (j < n && (css[j] == '"' || css[j] == '\'')) ? css[j] : 0;
            std::size_t valueStart = quote != 0 ? j + 1 : j;
            std::size_t valueEnd = quote != 0 ? css.find(quote, valueStart) : css.find(')', valueStart);
            std::size_t close = valueEnd == std::string_view::npos ? std::string_view::npos : css.find(')', valueEnd);
            if (close == std::string_view::npos) {
                out.append(css.substr(i));
                break;
            }
            std::string value(css.substr(valueStart, valueEnd - valueStart));
            if (quote == 0)
                value = trimmed(value);
            std::string rewritten = rewriteValue(value, importPending ? refStyleSheet : refResource);
            importPending = false;
            // An unquoted value must stay free of blanks, quotes and parentheses.
            if (quote == 0 && rewritten.find_first_of(" \t\r\n\"'()\\") != std::string::npos)
                rewritten = value;
            out += "url(";
            if (quote != 0)
                out += quote;
            out += rewritten;
            if (quote != 0)
                out += quote;
            out += ')';
            i = close + 1;
            continue;
        }
        if (c == '@' && startsWithNoCase(css, i, "@import"))
            importPending = true;
        else if (c == ';' || c == '{' || c == '}')
            importPending = false;
        out += c;
        ++i;
    }
    return out;
}

std::string clsSnapshotRewriter::rewritePage(std::string_view page, const std::string& pageUrl,
                                             const std::string& charset, const NameFor& nameFor)
{
    PageWriter writer(page, pageUrl, charset, nameFor);
    return writer.run();
}
