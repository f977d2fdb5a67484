#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The byte-at-a-time HTML scanner of an analysis node: title, META keywords, BASE, links
// (A, AREA, FRAME, IFRAME, META refresh) with their visible names, and resources (IMG, and
// links to files that are not pages). It reads Shift_JIS, stepping over double-byte
// characters whole, and keeps only fixed buffers and the attributes of the current tag, so
// that it can be fed any number of blocks cut anywhere.
//
// What it finds goes to the report operations, which an analysis node (clsHtmlItem) turns
// into its title, links and resources; the scanner itself needs no engine.
class clsHtmlScanner {
public:
    static constexpr std::size_t tagNameSize = 64;
    static constexpr std::size_t anchorTextSize = 256;
    static constexpr std::size_t anchorTextLimit = 254;
    static constexpr std::size_t attributesLimit = 64 * 1024;
    static constexpr std::size_t titleLimit = 1024;

    // What a tag does to the analysis, by the tag table.
    enum class TagClass {
        none = -1,      // not in the table: the tag is skipped
        inlineTag = 1,  // changes nothing
        lineBreak = 2,  // changes nothing either
        blockBreak = 3, // ends an anchor's text
        byName = 32,    // acted on by name (A, IMG, META, TITLE, ...); its attributes are kept
    };

    clsHtmlScanner();
    virtual ~clsHtmlScanner();
    clsHtmlScanner(const clsHtmlScanner&) = delete;
    clsHtmlScanner& operator=(const clsHtmlScanner&) = delete;

    // The address of the page (its kind as clsUrlInformation gives it); links resolve against it.
    void setPageAddress(int addressKind, const std::string& address);
    // Scans one block of converted text.
    void scanBlock(const char* bytes, std::size_t length);
    // End of the page: reports an anchor still open, then returns every scanner state to its
    // start (keywords stay).
    void finishScan();
    // Forgets everything, keywords included; link collection stays off until finishScan.
    void clearScanner();

    // Whether the bytes up to the next '<' would change nothing: text outside an anchor, at
    // the start of a character.
    bool skipsToNextTag() const { return scanState == ScanState::text && !inAnchor && !trailNext; }

    const std::string& getKeywordText() const { return keywords; }
    // The code kind a META charset names (utlKanjiConverter's numbers), 0 when none.
    int getMetaCharsetCode() const { return metaCharsetCode; }

    virtual bool parseHtml(unsigned char byte);
    virtual bool analyzeMetaAttribute();
    virtual bool addResourceFromLink(const std::string& url, const std::string& name);
    virtual bool addResourceFromApplet();
    virtual bool addResourceFromImg(const std::string& src, const std::string& alt);
    virtual bool addResourceFromObject();
    virtual bool addAltText(const std::string& text);
    virtual bool putAnchorText(unsigned char byte);
    virtual bool addLink(const std::string& href);
    virtual bool setLinkName(const std::string& name, bool isFrame);
    virtual TagClass lookupStartTag(const std::string& name);
    virtual TagClass lookupEndTag(const std::string& name);
    virtual bool decodeEntities(std::string& text);
    virtual bool getAttribute(const char* name, std::string& value);

protected:
    // kind 18 for frames, 0 otherwise; href is the address as written.
    virtual bool reportLink(int kind, const std::string& address, const std::string& name,
                            const std::string& href) = 0;
    virtual bool reportResource(int kind, const std::string& address, const std::string& name) = 0;
    virtual bool reportTitle(const std::string& title) = 0;
    // Whether the link just reported names a file, and its extension. The scanner alone
    // parses the address; an analysis node reads them from the record it made of the link,
    // so that each address is parsed once.
    virtual bool reportedFileParts(const std::string& url, bool& hasFileName,
                                   std::string& extension);

    // The state machine of parseHtml; throughout, the byte after a Shift_JIS lead byte is
    // the trail of its character and never markup.
    enum class ScanState {
        text = 0,     // outside markup: inside an anchor the text is its name; '<' opens markup
        open = 2,     // after '<': a letter starts a tag, '/' an end tag, '!' a comment or
                      // declaration, '?' a processing instruction; anything else leaves '<' as text
        bang = 3,     // after "<!": see the sub-states
        endTag = 4,   // "</NAME ...>": a block break ends an anchor's text, </A> closes the anchor
        startTag = 5, // "<NAME ...>": tags acted on by name keep their attributes up to '>'
        skip = 6,     // an unknown tag or a processing instruction, up to its '>'
        style = 7,    // raw text up to "</STYLE>", matched progressively
        title = 8,    // the title up to "</TITLE>"; tags inside it vanish
        script = 9,   // raw text up to "</SCRIPT>", matched progressively
    };
    enum class SubState {
        start = 0,       // a tag's name; in bang, the byte after "<!"
        endTagRest = 2,  // after an end tag's name, up to '>'
        attributes = 4,  // after a start tag's name, up to '>'
        declaration = 6, // "<!LETTER...": a document type or the like, up to '>'
        comment = 7,     // "<!...": ends at a '>' with two dashes among the four bytes before it
    };

    // In debug builds, every change of state while traceStates is set; by default it goes to
    // the log as information.
    virtual void traceState(ScanState from, SubState fromSub, ScanState to, SubState toSub);
    static const char* stateName(ScanState state);
    static const char* subStateName(SubState sub);

    bool collectLinks = true;
    bool collectResources = true;
    bool traceStates = false;

private:
    // The one place the state changes (a new state starts at its first sub-state).
    void setState(ScanState next, SubState sub = SubState::start);
    void resetStates();
    bool actOnStartTag();
    bool actOnEndTag();
    bool closeAnchor();
    bool parseRawText(unsigned char byte, const char* endTag, std::size_t endTagLength);
    void skipToTagEnd(unsigned char byte);
    bool parseTitle(unsigned char byte);
    void appendTitle(unsigned char byte, bool trail);
    void flushTitleCollected();
    bool parseComment(unsigned char byte);
    const std::string& baseAddress(int& kind) const;
    bool isTag(const char* name) const;
    // getAttribute for an address: character references decoded as a browser does.
    bool getAddressAttribute(const char* name, std::string& value);
    void reportDecodedTitle();
    // States in which bytes up to the next '>' (or '<') change nothing but character pairing.
    bool skipsToTagEnd() const;
    void indexAttributes();
    std::size_t takeAnchorText(const unsigned char* in, std::size_t i, std::size_t length);
    bool isRawText() const;

    int pageKind = 0;
    std::string pageAddress;

    ScanState scanState = ScanState::text;
    SubState subState = SubState::start;
    bool trailNext = false; // the next byte is the trail of a double-byte character
    std::array<char, tagNameSize> tagName{};
    std::size_t tagNameLength = 0;
    TagClass tagClass = TagClass::none;
    bool baseSeen = false;
    std::string baseHref;
    std::string title;
    bool titleFull = false;
    std::string titleCollected; // bytes from a '<' inside TITLE, not yet known to be text
    bool titleMatching = false;
    std::size_t endTagMatched = 0; // bytes of "</STYLE>" or "</SCRIPT>" matched so far
    std::array<char, anchorTextSize> anchorText{};
    std::size_t anchorTextLength = 0;
    std::string anchorName; // the closed anchor's text, decoded; its buffer serves every link
    bool lastWasSpace = false;
    bool midDbcs = false;
    bool blockBreakSeen = false;
    bool inAnchor = false;
    std::array<char, 5> commentWindow{};
    std::string attributes;
    struct AttributeSpan {
        std::size_t name, nameLength, value, valueLength;
    };
    std::vector<AttributeSpan> attributeSpans; // pairs with a value, in order
    bool attributeSpansValid = false;
    bool inTagAction = false;
    std::string lastHref;
    std::string lastLinkUrl;
    // The attribute values a tag action reads, and the address of the resource reported
    // last: kept, so that their buffers serve every tag.
    struct TagValues {
        std::string href, alt, src, name;
    } tagValues;
    std::string resourceUrl;
    std::string keywords;
    int metaCharsetCode = 0;
};
