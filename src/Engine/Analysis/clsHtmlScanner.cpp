#include "Engine/Analysis/clsHtmlScanner.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Text/utlKanjiConverter.h"
#include "Engine/Url/utlUrl.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Byte = unsigned char;

using TagClass = clsHtmlScanner::TagClass;
using enum clsHtmlScanner::TagClass;
constexpr TagClass asStart = none; // as an end class: the same as the start class

struct HtmlTag {
    const char* name;
    bool endTagAllowed;
    TagClass startClass;
    TagClass endClass;
};

const HtmlTag HtmlTagTable[] = {
    {"A", true, byName, byName},
    {"ABBR", true, inlineTag, asStart},
    {"ACRONYM", true, inlineTag, asStart},
    {"ADDRESS", true, blockBreak, asStart},
    {"APPLET", true, byName, inlineTag},
    {"AREA", false, byName, asStart},
    {"B", true, inlineTag, asStart},
    {"BASE", false, byName, asStart},
    {"BASEFONT", false, inlineTag, asStart},
    {"BDO", true, inlineTag, asStart},
    {"BIG", true, inlineTag, asStart},
    {"BLOCKQUOTE", true, blockBreak, asStart},
    {"BODY", true, blockBreak, asStart},
    {"BR", false, lineBreak, asStart},
    {"BUTTON", true, inlineTag, asStart},
    {"CAPTION", true, blockBreak, asStart},
    {"COL", false, inlineTag, asStart},
    {"COLGROUP", true, inlineTag, asStart},
    {"DD", true, lineBreak, asStart},
    {"DIR", true, blockBreak, asStart},
    {"DIV", true, inlineTag, asStart},
    {"DL", true, blockBreak, asStart},
    {"DT", true, lineBreak, asStart},
    {"CENTER", true, blockBreak, asStart},
    {"CITE", true, inlineTag, asStart},
    {"CODE", true, inlineTag, asStart},
    {"DEL", true, byName, asStart},
    {"DFN", true, inlineTag, asStart},
    {"EM", true, inlineTag, asStart},
    {"FIELDSET", true, blockBreak, asStart},
    {"FONT", true, inlineTag, asStart},
    {"FORM", true, blockBreak, asStart},
    {"FRAME", false, byName, asStart},
    {"FRAMESET", true, inlineTag, asStart},
    {"H1", true, blockBreak, asStart},
    {"H2", true, blockBreak, asStart},
    {"H3", true, blockBreak, asStart},
    {"H4", true, blockBreak, asStart},
    {"H5", true, blockBreak, asStart},
    {"H6", true, blockBreak, asStart},
    {"HEAD", true, inlineTag, asStart},
    {"HR", false, inlineTag, asStart},
    {"HTML", true, byName, blockBreak},
    {"I", true, inlineTag, asStart},
    {"IFRAME", true, byName, inlineTag},
    {"IMG", false, byName, asStart},
    {"INPUT", false, inlineTag, asStart},
    {"INS", true, inlineTag, asStart},
    {"ISINDEX", false, inlineTag, asStart},
    {"KBD", true, inlineTag, asStart},
    {"LABEL", true, inlineTag, asStart},
    {"LEGEND", true, lineBreak, asStart},
    {"LI", true, lineBreak, asStart},
    {"LINK", false, byName, asStart},
    {"MAP", true, lineBreak, asStart},
    {"MENU", true, blockBreak, asStart},
    {"META", false, byName, asStart},
    {"NOFRAMES", true, blockBreak, asStart},
    {"NOSCRIPT", true, inlineTag, asStart},
    {"OBJECT", true, byName, inlineTag},
    {"OL", true, blockBreak, asStart},
    {"OPTGROUP", true, lineBreak, asStart},
    {"OPTION", true, lineBreak, asStart},
    {"P", true, blockBreak, asStart},
    {"PARAM", false, inlineTag, asStart},
    {"PRE", true, byName, asStart},
    {"Q", true, inlineTag, asStart},
    {"S", true, inlineTag, asStart},
    {"SAMP", true, inlineTag, asStart},
    {"SCRIPT", true, byName, inlineTag},
    {"SELECT", true, lineBreak, asStart},
    {"SMALL", true, inlineTag, asStart},
    {"SPAN", true, inlineTag, asStart},
    {"STRIKE", true, inlineTag, asStart},
    {"STRONG", true, inlineTag, asStart},
    {"STYLE", false, byName, asStart},
    {"SUB", true, inlineTag, asStart},
    {"SUP", true, inlineTag, asStart},
    {"TABLE", true, blockBreak, asStart},
    {"TBODY", true, blockBreak, asStart},
    {"TD", true, lineBreak, asStart},
    {"TEXTAREA", true, inlineTag, asStart},
    {"TFOOT", true, blockBreak, asStart},
    {"TH", true, lineBreak, asStart},
    {"THEAD", true, blockBreak, asStart},
    {"TITLE", false, byName, asStart},
    {"TR", true, blockBreak, asStart},
    {"TT", true, inlineTag, asStart},
    {"U", true, inlineTag, asStart},
    {"UL", true, blockBreak, asStart},
    {"VAR", true, inlineTag, asStart},
    {nullptr, false, none, none},
};

// The table's rows by first letter, so that a tag name is compared with a handful of rows.
struct TagIndex {
    std::array<std::vector<std::pair<std::string_view, const HtmlTag*>>, 26> byLetter;

    TagIndex()
    {
        for (const HtmlTag* row = HtmlTagTable; row->name != nullptr; ++row)
            byLetter[static_cast<std::size_t>(row->name[0] - 'A')].emplace_back(row->name, row);
    }
};

const HtmlTag* findTag(const std::string& name)
{
    if (name.empty() || name[0] < 'A' || name[0] > 'Z')
        return nullptr;
    static const TagIndex index;
    // Names are a few letters: compared in line, the length first.
    for (const auto& [rowName, row] : index.byLetter[static_cast<std::size_t>(name[0] - 'A')]) {
        if (rowName.size() != name.size())
            continue;
        std::size_t k = 1;
        while (k < name.size() && rowName[k] == name[k])
            ++k;
        if (k == name.size())
            return row;
    }
    return nullptr;
}

// The first stop byte at or after i that begins a character, or length when there is none.
// i must begin a character. Neither '<' nor '>' can be a proper trail byte, so the search
// runs at memchr speed; a hit is taken for the trail of the byte before it only when that
// byte ends an odd run of lead-byte values (such a run always begins a character).
// trailAtEnd tells whether the block ends between the two bytes of a character.
std::size_t findCharacter(const Byte* in, std::size_t i, std::size_t length, Byte stop,
                          bool& trailAtEnd)
{
    std::size_t boundary = i;
    for (;;) {
        const void* hit = i < length ? std::memchr(in + i, stop, length - i) : nullptr;
        std::size_t at =
            hit == nullptr ? length : static_cast<std::size_t>(static_cast<const Byte*>(hit) - in);
        std::size_t leads = 0;
        while (at - leads > boundary && platform::isLeadByte(in[at - leads - 1]))
            ++leads;
        trailAtEnd = at == length && leads % 2 == 1;
        if (at == length || leads % 2 == 0)
            return at;
        boundary = at + 1;
        i = at + 1;
    }
}

inline bool isLetter(Byte b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

inline bool isDigit(Byte b)
{
    return b >= '0' && b <= '9';
}

inline bool isWhite(Byte b)
{
    return b == ' ' || b == '\t' || b == '\r' || b == '\n';
}

inline Byte upper(Byte b)
{
    return b >= 'a' && b <= 'z' ? static_cast<Byte>(b - 'a' + 'A') : b;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(static_cast<Byte>(a[i])) != upper(static_cast<Byte>(b[i])))
            return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string lowerSjis(const std::string& text)
{
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        Byte b = static_cast<Byte>(out[i]);
        if (platform::isLeadByte(b)) {
            ++i;
            continue;
        }
        if (b >= 'A' && b <= 'Z')
            out[i] = static_cast<char>(b - 'A' + 'a');
    }
    return out;
}

void trimWhite(std::string& text)
{
    std::size_t start = 0;
    while (start < text.size() && isWhite(static_cast<Byte>(text[start])))
        ++start;
    std::size_t end = text.size();
    while (end > start && isWhite(static_cast<Byte>(text[end - 1])))
        --end;
    text = text.substr(start, end - start);
}

constexpr const char* pageExtensions[] = {".html", ".htm", ".shtml", ".asp", ".jsp", ".cgi"};

} // namespace

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsHtmlScanner");
    return slot;
}

} // namespace

clsHtmlScanner::clsHtmlScanner()
{
    countCreated(instances());
}

clsHtmlScanner::~clsHtmlScanner()
{
    countDestroyed(instances());
}

void clsHtmlScanner::setPageAddress(int addressKind, const std::string& address)
{
    pageKind = addressKind;
    pageAddress = address;
}

void clsHtmlScanner::setState(ScanState next, SubState sub)
{
#ifndef NDEBUG
    if (traceStates)
        traceState(scanState, subState, next, sub);
#endif
    scanState = next;
    subState = sub;
}

void clsHtmlScanner::traceState(ScanState from, SubState fromSub, ScanState to, SubState toSub)
{
    if (utlLog* log = GetUtlLog())
        log->information(std::string("clsHtmlScanner::setState ") + stateName(from) + "/" +
                         subStateName(fromSub) + " -> " + stateName(to) + "/" +
                         subStateName(toSub));
}

const char* clsHtmlScanner::stateName(ScanState state)
{
    switch (state) {
    case ScanState::text: return "text";
    case ScanState::open: return "open";
    case ScanState::bang: return "bang";
    case ScanState::endTag: return "endTag";
    case ScanState::startTag: return "startTag";
    case ScanState::skip: return "skip";
    case ScanState::style: return "style";
    case ScanState::title: return "title";
    case ScanState::script: return "script";
    }
    return "?";
}

const char* clsHtmlScanner::subStateName(SubState sub)
{
    switch (sub) {
    case SubState::start: return "start";
    case SubState::endTagRest: return "endTagRest";
    case SubState::attributes: return "attributes";
    case SubState::declaration: return "declaration";
    case SubState::comment: return "comment";
    }
    return "?";
}

void clsHtmlScanner::resetStates()
{
    setState(ScanState::text);
    trailNext = false;
    tagNameLength = 0;
    tagClass = TagClass::none;
    baseSeen = false;
    baseHref.clear();
    title.clear();
    titleFull = false;
    titleCollected.clear();
    titleMatching = false;
    endTagMatched = 0;
    anchorTextLength = 0;
    lastWasSpace = false;
    midDbcs = false;
    blockBreakSeen = false;
    inAnchor = false;
    commentWindow.fill(0);
    attributes.clear();
    attributes.shrink_to_fit();
    lastHref.clear();
    lastLinkUrl.clear();
}

void clsHtmlScanner::finishScan()
{
    if (inAnchor)
        closeAnchor();
    resetStates();
    collectLinks = true;
    collectResources = true;
}

void clsHtmlScanner::clearScanner()
{
    resetStates();
    keywords.clear();
    metaCharsetCode = 0;
    collectLinks = false;
    collectResources = true;
}

void clsHtmlScanner::scanBlock(const char* bytes, std::size_t length)
{
    const auto* in = reinterpret_cast<const Byte*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        // Text outside an anchor changes nothing: run to the next '<', stepping over
        // double-byte characters so that a trail byte is never taken for one.
        if (scanState == ScanState::text && !inAnchor) {
            if (trailNext) {
                trailNext = false;
                ++i;
                continue;
            }
            i = findCharacter(in, i, length, '<', trailNext);
            if (i == length)
                return;
            setState(ScanState::open); // as parseHtml takes a '<' in text
            ++i;
            continue;
        } else if (scanState == ScanState::text) {
            // Text inside an anchor becomes its name: taken in bulk up to the next '<' or
            // up to a byte that closes the anchor, which the byte path handles.
            i = takeAnchorText(in, i, length);
            if (i == length)
                return;
        } else if (scanState == ScanState::open && (isLetter(in[i]) || in[i] == '/')) {
            // The start of a tag name, as parseHtml takes it; the name follows in bulk.
            setState(in[i] == '/' ? ScanState::endTag : ScanState::startTag);
            tagNameLength = 0;
            if (scanState == ScanState::endTag)
                ++i;
            continue;
        } else if ((scanState == ScanState::startTag || scanState == ScanState::endTag) &&
                   subState == SubState::start) {
            // A tag name: letters and digits, kept upper-cased up to the buffer's size.
            while (i < length && (isLetter(in[i]) || isDigit(in[i]))) {
                if (tagNameLength < tagNameSize - 1)
                    tagName[tagNameLength++] = static_cast<char>(upper(in[i]));
                ++i;
            }
            if (i == length)
                return;
        } else if (!trailNext && (skipsToTagEnd() || (isRawText() && endTagMatched == 0))) {
            // Inside a tag, and in STYLE and SCRIPT, nothing but the pairing of double-byte
            // characters matters up to the next '>' or '<'; the tag's own bytes are kept for
            // the tags read by name.
            std::size_t start = i;
            i = findCharacter(in, i, length, isRawText() ? '<' : '>', trailNext);
            if (scanState == ScanState::startTag && tagClass == TagClass::byName &&
                attributes.size() < attributesLimit)
                attributes.append(bytes + start,
                                  std::min(i - start, attributesLimit - attributes.size()));
            if (i == length)
                return;
        } else if (scanState == ScanState::title && !trailNext && titleCollected.empty()) {
            // Title text up to the next '<' changes no state: appended whole when it fits with
            // a byte to spare (else a lead byte at the limit is judged byte by byte).
            std::size_t start = i;
            bool trailAtEnd = false;
            std::size_t at = findCharacter(in, i, length, '<', trailAtEnd);
            if (titleFull || title.size() + (at - start) < titleLimit) {
                if (!titleFull)
                    title.append(bytes + start, at - start);
                trailNext = trailAtEnd;
                i = at;
            } else {
                while (i < at)
                    parseHtml(in[i++]);
            }
            if (i == length)
                return;
        }
        if (!parseHtml(in[i++]))
            return;
    }
}

// What parseHtml and putAnchorText do with each byte of text inside an anchor, for the
// bytes that neither open a tag nor close the anchor; returns where such a byte stands.
std::size_t clsHtmlScanner::takeAnchorText(const unsigned char* in, std::size_t i,
                                           std::size_t length)
{
    for (; i < length; ++i) {
        // Whole characters that are neither blank nor '<', while they fit: copied as they
        // are, a double-byte character as a pair.
        if (!trailNext && !midDbcs && !blockBreakSeen) {
            while (i < length && anchorTextLength + 2 <= anchorTextLimit) {
                Byte first = in[i];
                if (platform::isLeadByte(first)) {
                    if (i + 1 >= length)
                        break;
                    anchorText[anchorTextLength++] = static_cast<char>(first);
                    anchorText[anchorTextLength++] = static_cast<char>(in[i + 1]);
                    i += 2;
                } else if (first > ' ' && first != '<') {
                    anchorText[anchorTextLength++] = static_cast<char>(first);
                    ++i;
                } else {
                    break;
                }
                lastWasSpace = false;
            }
            if (i == length)
                return i;
        }
        Byte byte = in[i];
        bool trail = trailNext;
        if (!trail && byte == '<')
            return i;
        bool full =
            anchorTextLength >= anchorTextLimit ||
            (!midDbcs && platform::isLeadByte(byte) && anchorTextLength + 2 > anchorTextLimit);
        if (blockBreakSeen || full)
            return i;
        trailNext = !trail && platform::isLeadByte(byte);
        if (midDbcs) {
            anchorText[anchorTextLength++] = static_cast<char>(byte);
            midDbcs = false;
            lastWasSpace = false;
            continue;
        }
        if (byte == '\r' || byte == ' ' || byte == '\t') {
            if (!lastWasSpace)
                anchorText[anchorTextLength++] = ' ';
            lastWasSpace = true;
            continue;
        }
        if (byte == '\n')
            continue;
        anchorText[anchorTextLength++] = static_cast<char>(byte);
        midDbcs = platform::isLeadByte(byte);
        lastWasSpace = false;
    }
    return i;
}

bool clsHtmlScanner::skipsToTagEnd() const
{
    return scanState == ScanState::skip ||
           (scanState == ScanState::startTag && subState == SubState::attributes) ||
           (scanState == ScanState::endTag && subState == SubState::endTagRest);
}

bool clsHtmlScanner::isRawText() const
{
    return scanState == ScanState::style || scanState == ScanState::script;
}

bool clsHtmlScanner::parseComment(Byte byte)
{
    if (subState == SubState::start) {
        if (isLetter(byte)) {
            setState(ScanState::bang, SubState::declaration); // such as a document type
            return true;
        }
        commentWindow.fill(0);
        setState(ScanState::bang, SubState::comment);
    }
    if (subState == SubState::declaration) {
        skipToTagEnd(byte);
        return true;
    }
    if (trailNext) {
        trailNext = false;
    } else if (byte == '>') {
        int dashes = 0;
        for (int k = 0; k < 4; ++k)
            dashes += commentWindow[k] == '-';
        if (dashes >= 2) {
            setState(ScanState::text);
            return true;
        }
    } else if (platform::isLeadByte(byte)) {
        trailNext = true;
    }
    std::memmove(commentWindow.data(), commentWindow.data() + 1, 3);
    commentWindow[3] = static_cast<char>(byte);
    return true;
}

// Steps over a tag's rest up to its '>', which never hides in the second byte of a character.
void clsHtmlScanner::skipToTagEnd(unsigned char byte)
{
    if (trailNext)
        trailNext = false;
    else if (platform::isLeadByte(byte))
        trailNext = true;
    else if (byte == '>')
        setState(ScanState::text);
}

// STYLE and SCRIPT run to their end tag. A '<' that does not begin it is content like any
// other, and the comparison starts afresh at the byte that broke it.
bool clsHtmlScanner::parseRawText(Byte byte, const char* endTag, std::size_t endTagLength)
{
    if (endTagMatched > 0) {
        if (upper(byte) == static_cast<Byte>(endTag[endTagMatched])) {
            if (++endTagMatched == endTagLength) {
                endTagMatched = 0;
                setState(ScanState::text);
            }
            return true;
        }
        endTagMatched = 0;
    }
    if (trailNext) {
        trailNext = false;
        return true;
    }
    if (byte == '<')
        endTagMatched = 1;
    else if (platform::isLeadByte(byte))
        trailNext = true;
    return true;
}

void clsHtmlScanner::appendTitle(Byte byte, bool trail)
{
    if (titleFull)
        return;
    std::size_t need = !trail && platform::isLeadByte(byte) ? 2 : 1;
    if (title.size() + need > titleLimit) {
        titleFull = true;
        return;
    }
    title += static_cast<char>(byte);
}

void clsHtmlScanner::flushTitleCollected()
{
    for (char c : titleCollected)
        appendTitle(static_cast<Byte>(c), false);
    titleCollected.clear();
}

// TITLE text runs to "</TITLE>"; tags inside it vanish, and a '<' that opens neither is text.
bool clsHtmlScanner::parseTitle(Byte byte)
{
    static constexpr char endTag[] = "</TITLE>";
    if (!titleCollected.empty()) {
        if (titleMatching) {
            if (upper(byte) == static_cast<Byte>(endTag[titleCollected.size()])) {
                titleCollected += static_cast<char>(byte);
                if (titleCollected.size() == 8) {
                    titleCollected.clear();
                    titleMatching = false;
                    setState(ScanState::text);
                    reportDecodedTitle();
                }
                return true;
            }
            titleMatching = false;
        }
        if (byte == '>') {
            titleCollected.clear();
            return true;
        }
        if (byte == '<') {
            flushTitleCollected();
            titleCollected.assign(1, '<');
            titleMatching = true;
            return true;
        }
        if (platform::isLeadByte(byte) || titleCollected.size() >= 256) {
            flushTitleCollected();
        } else {
            titleCollected += static_cast<char>(byte);
            return true;
        }
    }
    if (trailNext) {
        trailNext = false;
        appendTitle(byte, true);
        return true;
    }
    if (byte == '<') {
        titleCollected.assign(1, '<');
        titleMatching = true;
        return true;
    }
    trailNext = platform::isLeadByte(byte);
    appendTitle(byte, false);
    return true;
}

bool clsHtmlScanner::parseHtml(Byte byte)
{
    for (;;) {
        switch (scanState) {
        case ScanState::text:
            if (trailNext) {
                trailNext = false;
                return putAnchorText(byte);
            }
            if (byte == '<') {
                setState(ScanState::open);
                return true;
            }
            trailNext = platform::isLeadByte(byte);
            return putAnchorText(byte);
        case ScanState::open:
            if (byte == '!') {
                setState(ScanState::bang);
                return true;
            }
            if (byte == '/') {
                setState(ScanState::endTag);
                tagNameLength = 0;
                return true;
            }
            if (isLetter(byte)) {
                setState(ScanState::startTag);
                tagNameLength = 0;
                continue;
            }
            if (byte == '?') {
                setState(ScanState::skip);
                return true;
            }
            // "a < b": a '<' that opens nothing is text.
            setState(ScanState::text);
            putAnchorText('<');
            continue;
        case ScanState::bang: return parseComment(byte);
        case ScanState::endTag:
            if (subState == SubState::start) {
                if (isLetter(byte) || isDigit(byte)) {
                    if (tagNameLength < tagNameSize - 1)
                        tagName[tagNameLength++] = static_cast<char>(upper(byte));
                    return true;
                }
                if (byte != '>' && !isWhite(byte)) {
                    setState(ScanState::skip);
                    continue;
                }
                tagClass = lookupEndTag(std::string(tagName.data(), tagNameLength));
                if (tagClass == TagClass::none) {
                    setState(ScanState::skip);
                    continue;
                }
                setState(ScanState::endTag, SubState::endTagRest);
                if (byte == '>')
                    continue;
                return true;
            }
            if (trailNext) {
                trailNext = false;
                return true;
            }
            if (platform::isLeadByte(byte)) {
                trailNext = true;
                return true;
            }
            if (byte != '>')
                return true;
            setState(ScanState::text);
            return actOnEndTag();
        case ScanState::startTag:
            if (subState == SubState::start) {
                if (isLetter(byte) || isDigit(byte)) {
                    if (tagNameLength < tagNameSize - 1)
                        tagName[tagNameLength++] = static_cast<char>(upper(byte));
                    return true;
                }
                if (byte != '>' && !isWhite(byte))
                    return true;
                tagClass = lookupStartTag(std::string(tagName.data(), tagNameLength));
                if (tagClass == TagClass::none) {
                    setState(ScanState::skip);
                    continue;
                }
                setState(ScanState::startTag, SubState::attributes);
                attributes.clear();
                if (byte == '>')
                    continue;
                return true;
            }
            if (trailNext) {
                trailNext = false;
            } else if (byte == '>') {
                setState(ScanState::text);
                attributeSpansValid = false;
                inTagAction = true;
                bool result = actOnStartTag();
                inTagAction = false;
                attributeSpansValid = false;
                attributes.clear();
                return result;
            } else {
                trailNext = platform::isLeadByte(byte);
            }
            // Only tags acted on by name read their attributes; a huge one is cut.
            if (tagClass == TagClass::byName && attributes.size() < attributesLimit)
                attributes += static_cast<char>(byte);
            return true;
        case ScanState::skip: skipToTagEnd(byte); return true;
        case ScanState::style: return parseRawText(byte, "</STYLE>", 8);
        case ScanState::script: return parseRawText(byte, "</SCRIPT>", 9);
        case ScanState::title: return parseTitle(byte);
        }
    }
}

bool clsHtmlScanner::isTag(const char* name) const
{
    return std::string_view(tagName.data(), tagNameLength) == name;
}

bool clsHtmlScanner::actOnEndTag()
{
    if (tagClass == TagClass::blockBreak)
        blockBreakSeen = true;
    else if (tagClass == TagClass::byName && tagNameLength > 0 && tagName[0] == 'A' && inAnchor)
        closeAnchor();
    return true;
}

bool clsHtmlScanner::actOnStartTag()
{
    if (tagClass == TagClass::blockBreak) {
        blockBreakSeen = true;
        return true;
    }
    if (tagClass != TagClass::byName)
        return true;
    // The values keep their buffers from tag to tag.
    std::string& href = tagValues.href;
    std::string& alt = tagValues.alt;
    std::string& src = tagValues.src;
    std::string& name = tagValues.name;
    if (isTag("A")) {
        if (collectLinks && getAddressAttribute("href", href) && !href.empty()) {
            addLink(href);
            inAnchor = true;
            blockBreakSeen = false;
            anchorTextLength = 0;
            lastWasSpace = false;
            midDbcs = false;
        }
    } else if (isTag("APPLET")) {
        if (collectResources)
            addResourceFromApplet();
        getAttribute("alt", alt);
        addAltText(alt);
    } else if (isTag("AREA")) {
        getAttribute("alt", alt);
        addAltText(alt);
        if (collectLinks && getAddressAttribute("href", href) && !href.empty()) {
            addLink(href);
            decodeEntities(alt);
            setLinkName(alt, false);
        }
    } else if (isTag("BASE")) {
        if (!baseSeen) {
            getAddressAttribute("href", baseHref);
            baseSeen = !baseHref.empty();
        }
    } else if (isTag("FRAME") || isTag("IFRAME")) {
        if (collectLinks && getAddressAttribute("src", src) && !src.empty()) {
            addLink(src);
            getAttribute("name", name);
            decodeEntities(name);
            setLinkName(name, true);
        }
    } else if (isTag("IMG")) {
        getAttribute("alt", alt);
        addAltText(alt);
        if (collectResources && getAddressAttribute("src", src) && !src.empty()) {
            decodeEntities(alt);
            addResourceFromImg(src, alt);
        }
    } else if (isTag("META")) {
        analyzeMetaAttribute();
    } else if (isTag("OBJECT")) {
        if (collectResources)
            addResourceFromObject();
    } else if (isTag("SCRIPT")) {
        setState(ScanState::script);
        endTagMatched = 0;
    } else if (isTag("STYLE")) {
        setState(ScanState::style);
        endTagMatched = 0;
    } else if (isTag("TITLE")) {
        setState(ScanState::title);
        titleCollected.clear();
        titleMatching = false;
    }
    return true;
}

bool clsHtmlScanner::putAnchorText(Byte byte)
{
    if (!inAnchor)
        return true;
    // A block break ends the name, and so does the limit; a double-byte character that
    // would not fit whole is not split.
    bool full = anchorTextLength >= anchorTextLimit ||
                (!midDbcs && platform::isLeadByte(byte) && anchorTextLength + 2 > anchorTextLimit);
    if (blockBreakSeen || full)
        return closeAnchor();
    if (midDbcs) {
        anchorText[anchorTextLength++] = static_cast<char>(byte);
        midDbcs = false;
        lastWasSpace = false;
        return true;
    }
    if (byte == '\r' || byte == ' ' || byte == '\t') {
        if (!lastWasSpace)
            anchorText[anchorTextLength++] = ' ';
        lastWasSpace = true;
        return true;
    }
    if (byte == '\n')
        return true;
    anchorText[anchorTextLength++] = static_cast<char>(byte);
    midDbcs = platform::isLeadByte(byte);
    lastWasSpace = false;
    return true;
}

bool clsHtmlScanner::closeAnchor()
{
    inAnchor = false;
    anchorName.assign(anchorText.data(), anchorTextLength);
    anchorTextLength = 0;
    decodeEntities(anchorName);
    return setLinkName(anchorName, false);
}

bool clsHtmlScanner::addAltText(const std::string& text)
{
    if (!inAnchor)
        return true;
    for (char c : text)
        putAnchorText(static_cast<Byte>(c));
    return true;
}

const std::string& clsHtmlScanner::baseAddress(int& kind) const
{
    if (baseSeen) {
        kind = 0; // the kind follows from the BASE address itself
        return baseHref;
    }
    kind = pageKind;
    return pageAddress;
}

bool clsHtmlScanner::addLink(const std::string& href)
{
    // The link of an anchor still open is reported before a new one takes its place.
    if (inAnchor)
        closeAnchor();
    int kind = 0;
    const std::string& base = baseAddress(kind);
    resolveUrl(kind, base, href, lastLinkUrl);
    lastHref = href;
    return true;
}

bool clsHtmlScanner::setLinkName(const std::string& name, bool isFrame)
{
    if (!lastHref.empty() && lastHref[0] == '#')
        return true;
    if (startsWithNoCase(lastLinkUrl, "javascript:"))
        return true;
    reportLink(isFrame ? 18 : 0, lastLinkUrl, name, lastHref);
    bool hasFileName = false;
    std::string extension;
    reportedFileParts(lastLinkUrl, hasFileName, extension);
    if (!hasFileName)
        return true;
    for (const char* page : pageExtensions) {
        if (equalsNoCase(extension, page))
            return true;
    }
    return addResourceFromLink(lastLinkUrl, name.empty() ? lastHref : name);
}

bool clsHtmlScanner::reportedFileParts(const std::string& url, bool& hasFileName,
                                       std::string& extension)
{
    std::string decoded;
    std::string_view fileName, host;
    clsUrlInformation::readLinkParts(url, decoded, fileName, host);
    hasFileName = !fileName.empty();
    extension.assign(clsUrlInformation::extensionOfFileName(fileName));
    return true;
}

bool clsHtmlScanner::addResourceFromLink(const std::string& url, const std::string& name)
{
    int kind = 0;
    const std::string& base = baseAddress(kind);
    resolveUrl(kind, base, url, resourceUrl);
    return reportResource(0, resourceUrl, name);
}

bool clsHtmlScanner::addResourceFromImg(const std::string& src, const std::string& alt)
{
    int kind = 0;
    const std::string& base = baseAddress(kind);
    resolveUrl(kind, base, src, resourceUrl);
    return reportResource(0, resourceUrl, alt);
}

bool clsHtmlScanner::addResourceFromApplet()
{
    return true;
}

bool clsHtmlScanner::addResourceFromObject()
{
    return true;
}

bool clsHtmlScanner::analyzeMetaAttribute()
{
    std::string equiv, content, name, charset;
    getAttribute("http-equiv", equiv);
    getAttribute("content", content);
    if (getAttribute("charset", charset)) {
        if (int code = utlKanjiConverter::codeOfCharset(charset))
            metaCharsetCode = code;
    }
    if (equalsNoCase(equiv, "Content-Type")) {
        std::string lower = lowerSjis(content);
        std::size_t at = lower.find("charset");
        std::size_t equals = at == std::string::npos ? at : lower.find('=', at);
        if (equals != std::string::npos) {
            std::string value = lower.substr(equals + 1);
            std::size_t end = value.find_first_of(" \t\r\n;\"'");
            value = value.substr(0, end);
            trimWhite(value);
            if (int code = utlKanjiConverter::codeOfCharset(value))
                metaCharsetCode = code;
        }
    } else if (equalsNoCase(equiv, "Refresh")) {
        // The address inside is read from the decoded value, as a browser reads it.
        if (content.find('&') != std::string::npos)
            decodeCharacterReferences(content, ReferenceTarget::address);
        std::size_t separator = content.find_first_of(",;");
        std::size_t equals =
            separator == std::string::npos ? separator : content.find('=', separator);
        if (equals != std::string::npos) {
            std::string address = content.substr(equals + 1);
            trimWhite(address);
            if (!address.empty() && (address[0] == '\'' || address[0] == '"')) {
                char quote = address[0];
                address.erase(0, 1);
                if (!address.empty() && address.back() == quote &&
                    platform::sjisBoundary(address, address.size() - 1) == address.size() - 1)
                    address.pop_back();
            }
            if (!address.empty() && collectLinks) {
                addLink(address);
                setLinkName("", false);
            }
        }
    }
    if (getAttribute("name", name) &&
        (equalsNoCase(name, "Keywords") || equalsNoCase(name, "Keyword")) &&
        getAttribute("content", content)) {
        decodeEntities(content);
        if (!keywords.empty())
            keywords += ',';
        keywords += content;
    }
    return true;
}

TagClass clsHtmlScanner::lookupStartTag(const std::string& name)
{
    const HtmlTag* row = findTag(name);
    return row == nullptr ? none : row->startClass;
}

TagClass clsHtmlScanner::lookupEndTag(const std::string& name)
{
    const HtmlTag* row = findTag(name);
    if (row == nullptr || !row->endTagAllowed)
        return none;
    return row->endClass != asStart ? row->endClass : row->startClass;
}

bool clsHtmlScanner::decodeEntities(std::string& text)
{
    // Most names hold no reference at all; they read the same decoded.
    if (text.find('&') == std::string::npos)
        return true;
    decodeHtmlText(text);
    return true;
}

bool clsHtmlScanner::getAddressAttribute(const char* name, std::string& value)
{
    if (!getAttribute(name, value))
        return false;
    if (value.find('&') != std::string::npos)
        decodeCharacterReferences(value, ReferenceTarget::address);
    return true;
}

void clsHtmlScanner::reportDecodedTitle()
{
    if (title.find('&') == std::string::npos) {
        reportTitle(title);
        return;
    }
    // The raw text stays: a later TITLE adds to it.
    std::string decoded = title;
    decodeEntities(decoded);
    reportTitle(decoded);
}

// Reads the attributes of the current tag as name[=value] pairs, each consumed whole, so a
// value ending in a blank or holding another name never hides the attributes after it.
// The pairs that have a value are indexed once per tag action, which asks for several names.
void clsHtmlScanner::indexAttributes()
{
    attributeSpans.clear();
    const std::string& a = attributes;
    const std::size_t n = a.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && isWhite(static_cast<Byte>(a[i])))
            ++i;
        std::size_t nameStart = i;
        while (i < n && !isWhite(static_cast<Byte>(a[i])) && a[i] != '=')
            i += platform::isLeadByte(static_cast<Byte>(a[i])) && i + 1 < n ? 2 : 1;
        std::size_t afterName = i;
        while (i < n && isWhite(static_cast<Byte>(a[i])))
            ++i;
        if (i >= n || a[i] != '=') {
            i = afterName;
            if (i == nameStart)
                ++i;
            continue;
        }
        ++i;
        while (i < n && isWhite(static_cast<Byte>(a[i])))
            ++i;
        std::size_t start = i;
        std::size_t end = i;
        bool hasValue = false;
        if (i < n && (a[i] == '"' || a[i] == '\'')) {
            char quote = a[i++];
            start = i;
            while (i < n && a[i] != quote)
                i += platform::isLeadByte(static_cast<Byte>(a[i])) && i + 1 < n ? 2 : 1;
            if (i < n) {
                end = i;
                hasValue = true;
                ++i;
            }
            while (start < end && isWhite(static_cast<Byte>(a[start])))
                ++start;
        } else {
            while (i < n && !isWhite(static_cast<Byte>(a[i])) && a[i] != '>' && a[i] != '\0')
                ++i;
            end = i;
            hasValue = true;
        }
        if (hasValue)
            attributeSpans.push_back(
                AttributeSpan{nameStart, afterName - nameStart, start, end - start});
    }
}

bool clsHtmlScanner::getAttribute(const char* name, std::string& value)
{
    value.clear();
    if (!attributeSpansValid)
        indexAttributes();
    // Outside a tag action the attributes may change before the next question.
    attributeSpansValid = inTagAction;
    for (const AttributeSpan& span : attributeSpans) {
        if (equalsNoCase(std::string_view(attributes.data() + span.name, span.nameLength), name)) {
            value.assign(attributes, span.value, span.valueLength);
            return true;
        }
    }
    return false;
}
