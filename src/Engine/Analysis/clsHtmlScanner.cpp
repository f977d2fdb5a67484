#include "Engine/Analysis/clsHtmlScanner.h"

#include "Common/utlInstanceCounter.h"
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

struct HtmlTag {
    const char* name;
    int endTagAllowed;
    int startClass;
    int endClass; // 0: as startClass
};

// Classes: 1 inline, 2 line break (neither changes the analysis), 3 block break (ends an
// anchor's text), 32 handled by name.
const HtmlTag HtmlTagTable[] = {
    {"A", 1, 32, 32}, {"ABBR", 1, 1, 0}, {"ACRONYM", 1, 1, 0}, {"ADDRESS", 1, 3, 0}, {"APPLET", 1, 32, 1},
    {"AREA", 0, 32, 0}, {"B", 1, 1, 0}, {"BASE", 0, 32, 0}, {"BASEFONT", 0, 1, 0}, {"BDO", 1, 1, 0},
    {"BIG", 1, 1, 0}, {"BLOCKQUOTE", 1, 3, 0}, {"BODY", 1, 3, 0}, {"BR", 0, 2, 0}, {"BUTTON", 1, 1, 0},
    {"CAPTION", 1, 3, 0}, {"COL", 0, 1, 0}, {"COLGROUP", 1, 1, 0}, {"DD", 1, 2, 0}, {"DIR", 1, 3, 0},
    {"DIV", 1, 1, 0}, {"DL", 1, 3, 0}, {"DT", 1, 2, 0}, {"CENTER", 1, 3, 0}, {"CITE", 1, 1, 0},
    {"CODE", 1, 1, 0}, {"DEL", 1, 32, 0}, {"DFN", 1, 1, 0}, {"EM", 1, 1, 0}, {"FIELDSET", 1, 3, 0},
    {"FONT", 1, 1, 0}, {"FORM", 1, 3, 0}, {"FRAME", 0, 32, 0}, {"FRAMESET", 1, 1, 0}, {"H1", 1, 3, 0},
    {"H2", 1, 3, 0}, {"H3", 1, 3, 0}, {"H4", 1, 3, 0}, {"H5", 1, 3, 0}, {"H6", 1, 3, 0},
    {"HEAD", 1, 1, 0}, {"HR", 0, 1, 0}, {"HTML", 1, 32, 3}, {"I", 1, 1, 0}, {"IFRAME", 1, 32, 1},
    {"IMG", 0, 32, 0}, {"INPUT", 0, 1, 0}, {"INS", 1, 1, 0}, {"ISINDEX", 0, 1, 0}, {"KBD", 1, 1, 0},
    {"LABEL", 1, 1, 0}, {"LEGEND", 1, 2, 0}, {"LI", 1, 2, 0}, {"LINK", 0, 32, 0}, {"MAP", 1, 2, 0},
    {"MENU", 1, 3, 0}, {"META", 0, 32, 0}, {"NOFRAMES", 1, 3, 0}, {"NOSCRIPT", 1, 1, 0}, {"OBJECT", 1, 32, 1},
    {"OL", 1, 3, 0}, {"OPTGROUP", 1, 2, 0}, {"OPTION", 1, 2, 0}, {"P", 1, 3, 0}, {"PARAM", 0, 1, 0},
    {"PRE", 1, 32, 0}, {"Q", 1, 1, 0}, {"S", 1, 1, 0}, {"SAMP", 1, 1, 0}, {"SCRIPT", 1, 32, 1},
    {"SELECT", 1, 2, 0}, {"SMALL", 1, 1, 0}, {"SPAN", 1, 1, 0}, {"STRIKE", 1, 1, 0}, {"STRONG", 1, 1, 0},
    {"STYLE", 0, 32, 0}, {"SUB", 1, 1, 0}, {"SUP", 1, 1, 0}, {"TABLE", 1, 3, 0}, {"TBODY", 1, 3, 0},
    {"TD", 1, 2, 0}, {"TEXTAREA", 1, 1, 0}, {"TFOOT", 1, 3, 0}, {"TH", 1, 2, 0}, {"THEAD", 1, 3, 0},
    {"TITLE", 0, 32, 0}, {"TR", 1, 3, 0}, {"TT", 1, 1, 0}, {"U", 1, 1, 0}, {"UL", 1, 3, 0},
    {"VAR", 1, 1, 0}, {nullptr, 0, 0, 0},
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
std::size_t findCharacter(const Byte* in, std::size_t i, std::size_t length, Byte stop, bool& trailAtEnd)
{
    std::size_t boundary = i;
    for (;;) {
        const void* hit = i < length ? std::memchr(in + i, stop, length - i) : nullptr;
        std::size_t at = hit == nullptr ? length : static_cast<std::size_t>(static_cast<const Byte*>(hit) - in);
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

void clsHtmlScanner::resetStates()
{
    scanState = stateText;
    subState = 0;
    trailNext = false;
    tagNameLength = 0;
    tagClass = -1;
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

bool clsHtmlScanner::finishScan()
{
    if (inAnchor)
        closeAnchor();
    resetStates();
    collectLinks = true;
    collectResources = true;
    return true;
}

bool clsHtmlScanner::clearScanner()
{
    resetStates();
    keywords.clear();
    metaCharsetCode = 0;
    collectLinks = false;
    collectResources = true;
    return true;
}

bool clsHtmlScanner::scanBlock(const char* bytes, std::size_t length)
{
    const auto* in = reinterpret_cast<const Byte*>(bytes);
    std::size_t i = 0;
    while (i < length) {
        // Text outside an anchor changes nothing: run to the next '<', stepping over
        // double-byte characters so that a trail byte is never taken for one.
        if (scanState == stateText && !inAnchor) {
            if (trailNext) {
                trailNext = false;
                ++i;
                continue;
            }
            i = findCharacter(in, i, length, '<', trailNext);
            if (i == length)
                return true;
            scanState = stateOpen; // as parseHtml takes a '<' in text
            ++i;
            continue;
        } else if (scanState == stateText) {
            // Text inside an anchor becomes its name: taken in bulk up to the next '<' or
            // up to a byte that closes the anchor, which the byte path handles.
            i = takeAnchorText(in, i, length);
            if (i == length)
                return true;
        } else if (scanState == stateOpen && (isLetter(in[i]) || in[i] == '/')) {
            // The start of a tag name, as parseHtml takes it; the name follows in bulk.
            scanState = in[i] == '/' ? stateEndTag : stateStartTag;
            subState = 0;
            tagNameLength = 0;
            if (scanState == stateEndTag)
                ++i;
            continue;
        } else if ((scanState == stateStartTag || scanState == stateEndTag) && subState == 0) {
            // A tag name: letters and digits, kept upper-cased up to the buffer's size.
            while (i < length && (isLetter(in[i]) || isDigit(in[i]))) {
                if (tagNameLength < tagNameSize - 1)
                    tagName[tagNameLength++] = static_cast<char>(upper(in[i]));
                ++i;
            }
            if (i == length)
                return true;
        } else if (!trailNext && (skipsToTagEnd() || (isRawText() && endTagMatched == 0))) {
            // Inside a tag, and in STYLE and SCRIPT, nothing but the pairing of double-byte
            // characters matters up to the next '>' or '<'; the tag's own bytes are kept for
            // the tags read by name.
            std::size_t start = i;
            i = findCharacter(in, i, length, isRawText() ? '<' : '>', trailNext);
            if (scanState == stateStartTag && tagClass == 32 && attributes.size() < attributesLimit)
                attributes.append(bytes + start, std::min(i - start, attributesLimit - attributes.size()));
            if (i == length)
                return true;
        }
        if (!parseHtml(in[i++]))
            return true;
    }
    return true;
}

// What parseHtml and putAnchorText do with each byte of text inside an anchor, for the
// bytes that neither open a tag nor close the anchor; returns where such a byte stands.
std::size_t clsHtmlScanner::takeAnchorText(const unsigned char* in, std::size_t i, std::size_t length)
{
    for (; i < length; ++i) {
        Byte byte = in[i];
        bool trail = trailNext;
        if (!trail && byte == '<')
            return i;
        bool full = anchorTextLength >= anchorTextLimit ||
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
    return scanState == stateSkip || (scanState == stateStartTag && subState == 4) ||
           (scanState == stateEndTag && subState == 2);
}

bool clsHtmlScanner::isRawText() const
{
    return scanState == stateStyle || scanState == stateScript;
}

bool clsHtmlScanner::parseComment(Byte byte)
{
    if (subState == 0) {
        if (isLetter(byte)) {
            subState = 6; // a declaration such as a document type
            return true;
        }
        commentWindow.fill(0);
        subState = 7;
    }
    if (subState == 6) {
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
            scanState = stateText;
            return true;
        }
    } else if (platform::isLeadByte(byte)) {
        trailNext = true;
    }
    std::memmove(commentWindow.data(), commentWindow.data() + 1, 3);
    commentWindow[3] = static_cast<char>(byte);
    return true;
}

// STYLE and SCRIPT run to their end tag. A '<' that does not begin it is content like any
// other, and the comparison starts afresh at the byte that broke it.
// Steps over a tag's rest up to its '>', which never hides in the second byte of a character.
void clsHtmlScanner::skipToTagEnd(unsigned char byte)
{
    if (trailNext)
        trailNext = false;
    else if (platform::isLeadByte(byte))
        trailNext = true;
    else if (byte == '>')
        scanState = stateText;
}

bool clsHtmlScanner::parseRawText(Byte byte, const char* endTag, std::size_t endTagLength)
{
    if (endTagMatched > 0) {
        if (upper(byte) == static_cast<Byte>(endTag[endTagMatched])) {
            if (++endTagMatched == endTagLength) {
                endTagMatched = 0;
                scanState = stateText;
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
                    scanState = stateText;
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
        case stateText:
            if (trailNext) {
                trailNext = false;
                return putAnchorText(byte);
            }
            if (byte == '<') {
                scanState = stateOpen;
                return true;
            }
            trailNext = platform::isLeadByte(byte);
            return putAnchorText(byte);
        case stateOpen:
            if (byte == '!') {
                scanState = stateBang;
                subState = 0;
                return true;
            }
            if (byte == '/') {
                scanState = stateEndTag;
                subState = 0;
                tagNameLength = 0;
                return true;
            }
            if (isLetter(byte)) {
                scanState = stateStartTag;
                subState = 0;
                tagNameLength = 0;
                continue;
            }
            if (byte == '?') {
                scanState = stateSkip;
                return true;
            }
            // "a < b": a '<' that opens nothing is text.
            scanState = stateText;
            putAnchorText('<');
            continue;
        case stateBang:
            return parseComment(byte);
        case stateEndTag:
            if (subState == 0) {
                if (isLetter(byte) || isDigit(byte)) {
                    if (tagNameLength < tagNameSize - 1)
                        tagName[tagNameLength++] = static_cast<char>(upper(byte));
                    return true;
                }
                if (byte != '>' && !isWhite(byte)) {
                    scanState = stateSkip;
                    continue;
                }
                tagClass = lookupEndTag(std::string(tagName.data(), tagNameLength));
                if (tagClass == -1) {
                    scanState = stateSkip;
                    continue;
                }
                subState = 2;
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
            scanState = stateText;
            return actOnEndTag();
        case stateStartTag:
            if (subState == 0) {
                if (isLetter(byte) || isDigit(byte)) {
                    if (tagNameLength < tagNameSize - 1)
                        tagName[tagNameLength++] = static_cast<char>(upper(byte));
                    return true;
                }
                if (byte != '>' && !isWhite(byte))
                    return true;
                tagClass = lookupStartTag(std::string(tagName.data(), tagNameLength));
                if (tagClass == -1) {
                    scanState = stateSkip;
                    continue;
                }
                subState = 4;
                attributes.clear();
                if (byte == '>')
                    continue;
                return true;
            }
            if (trailNext) {
                trailNext = false;
            } else if (byte == '>') {
                scanState = stateText;
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
            if (tagClass == 32 && attributes.size() < attributesLimit)
                attributes += static_cast<char>(byte);
            return true;
        case stateSkip:
            skipToTagEnd(byte);
            return true;
        case stateStyle:
            return parseRawText(byte, "</STYLE>", 8);
        case stateScript:
            return parseRawText(byte, "</SCRIPT>", 9);
        case stateTitle:
            return parseTitle(byte);
        default:
            scanState = stateText;
            return true;
        }
    }
}

bool clsHtmlScanner::isTag(const char* name) const
{
    return std::string_view(tagName.data(), tagNameLength) == name;
}

bool clsHtmlScanner::actOnEndTag()
{
    if (tagClass == 3)
        blockBreakSeen = true;
    else if (tagClass == 32 && tagNameLength > 0 && tagName[0] == 'A' && inAnchor)
        closeAnchor();
    return true;
}

bool clsHtmlScanner::actOnStartTag()
{
    if (tagClass == 3) {
        blockBreakSeen = true;
        return true;
    }
    if (tagClass != 32)
        return true;
    std::string href, alt, src, name;
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
        scanState = stateScript;
        endTagMatched = 0;
    } else if (isTag("STYLE")) {
        scanState = stateStyle;
        endTagMatched = 0;
    } else if (isTag("TITLE")) {
        scanState = stateTitle;
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

bool clsHtmlScanner::reportedFileParts(const std::string& url, bool& hasFileName, std::string& extension)
{
    if (!linkParser)
        linkParser = std::make_unique<clsUrlInformation>();
    linkParser->set(0, 0, url);
    hasFileName = !linkParser->getFileName().empty();
    extension = hasFileName ? linkParser->getExtension() : std::string();
    return true;
}

bool clsHtmlScanner::addResourceFromLink(const std::string& url, const std::string& name)
{
    int kind = 0;
    const std::string& base = baseAddress(kind);
    std::string absolute;
    resolveUrl(kind, base, url, absolute);
    return reportResource(0, absolute, name);
}

bool clsHtmlScanner::addResourceFromImg(const std::string& src, const std::string& alt)
{
    int kind = 0;
    const std::string& base = baseAddress(kind);
    std::string absolute;
    resolveUrl(kind, base, src, absolute);
    return reportResource(0, absolute, alt);
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
        std::size_t equals = separator == std::string::npos ? separator : content.find('=', separator);
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
    if (getAttribute("name", name) && (equalsNoCase(name, "Keywords") || equalsNoCase(name, "Keyword")) &&
        getAttribute("content", content)) {
        decodeEntities(content);
        if (!keywords.empty())
            keywords += ',';
        keywords += content;
    }
    return true;
}

int clsHtmlScanner::lookupStartTag(const std::string& name)
{
    const HtmlTag* row = findTag(name);
    return row == nullptr ? -1 : row->startClass;
}

int clsHtmlScanner::lookupEndTag(const std::string& name)
{
    const HtmlTag* row = findTag(name);
    if (row == nullptr || row->endTagAllowed == 0)
        return -1;
    return row->endClass != 0 ? row->endClass : row->startClass;
}

bool clsHtmlScanner::decodeEntities(std::string& text)
{
    // Most names hold no reference at all; they read the same decoded.
    if (text.find('&') == std::string::npos)
        return true;
    return decodeHtmlText(text);
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
            attributeSpans.push_back(AttributeSpan{nameStart, afterName - nameStart, start, end - start});
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
