#include "Engine/Analysis/clsHtmlItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Text/utlDisplayText.h"
#include "Platform/AtomicFile.h"

#include <cstring>
#include <ctime>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const char* const notYetRead = utlTexts::sjis(utlText::notYetRead);

// The charset parameter of a Content-Type value, as a code kind (0 when none is named).
int codeOfContentType(const std::string& contentType)
{
    std::string lower;
    for (char c : contentType)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::size_t at = lower.find("charset=");
    if (at == std::string::npos)
        return 0;
    std::string value = lower.substr(at + 8);
    if (!value.empty() && (value[0] == '"' || value[0] == '\''))
        value.erase(0, 1);
    value = value.substr(0, value.find_first_of(" \t;\"'"));
    return utlKanjiConverter::codeOfCharset(value);
}

std::string httpDateNow()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

} // namespace

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsHtmlItem");
    return slot;
}

} // namespace

clsHtmlItem::clsHtmlItem()
{
    countCreated(instances());
}

clsHtmlItem::~clsHtmlItem()
{
    countDestroyed(instances());
}

bool clsHtmlItem::read(bool& needsNetwork, bool reload)
{
    (void)reload; // an HTTP page is always fetched; the cache only serves the HTML view
    clsUrlInformation* info = getOwner();
    int kind = info == nullptr ? addressNotParsed : info->getAddressKind();
    if (kind == addressLocalFile || kind == addressRemoteFile) {
        needsNetwork = false;
        return readLocalFile();
    }
    if (kind == addressNetwork) {
        storeToCachePending = true;
        cachedCopy = false;
        needsNetwork = true;
    }
    return true;
}

void clsHtmlItem::startAnalysis()
{
    analysisStarted = true;
    clsUrlInformation* info = getOwner();
    if (info == nullptr)
        return;
    setPageAddress(info->getAddressKind(), info->getAddress());
    setDeclaredCode(codeOfContentType(info->getContentType()));
}

bool clsHtmlItem::analyze(bool& complete)
{
    complete = false;
    if (getAnalysedCount() < 0) {
        complete = true;
        return true;
    }
    if (!analysisStarted)
        startAnalysis();
    // The end flag is read before the count, so that no block that arrives meanwhile is
    // taken for analysed.
    bool ended = isTransferEnded();
    std::size_t count = getBlockCount();
    for (std::size_t index = static_cast<std::size_t>(getAnalysedCount()); index < count; ++index) {
        const char* data = nullptr;
        std::size_t length = 0;
        if (!getBlock(index, data, length))
            break;
        if (int meta = getMetaCharsetCode())
            setDeclaredCode(meta);
        analyzeBlock(data, length);
        publishedCode = getConverterCode();
    }
    setAnalysedCount(static_cast<int>(count));
    if (!ended)
        return true;
    complete = true;
    completeAnalysis();
    return true;
}

namespace {

// Where the piece of a block that starts at at ends: after the last '>' before the next 64
// bytes without a '<' (a long text, which the scanner may pass over), or at the end of the
// block. Any end gives the same result; this one keeps pieces few, and finds it with one
// branch for 64 bytes.
std::size_t pieceEnd(const char* data, std::size_t at, std::size_t length)
{
    std::size_t window = at + 64;
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('<');
    for (; window + 64 <= length; window += 64) {
        const auto* bytes = reinterpret_cast<const __m128i*>(data + window);
        __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(bytes), open),
                                                 _mm_cmpeq_epi8(_mm_loadu_si128(bytes + 1), open)),
                                    _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(bytes + 2), open),
                                                 _mm_cmpeq_epi8(_mm_loadu_si128(bytes + 3), open)));
        if (_mm_movemask_epi8(hits) == 0)
            break;
    }
#else
    while (window + 64 <= length && std::memchr(data + window, '<', 64) != nullptr)
        window += 64;
#endif
    if (window + 64 > length)
        return length;
    const void* close = memrchr(data + at, '>', window - at);
    if (close == nullptr) {
        // No tag ends before the long text, so the scanner cannot pass over it (a long tag,
        // comment, script, title or anchor text): the piece goes on to the next '>', rather
        // than ending every 64 bytes.
        close = std::memchr(data + window, '>', length - window);
        if (close == nullptr)
            return length;
    }
    return static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
}

} // namespace

// A UTF-8 page's text outside anchors and the title is not converted: the scanner would pass
// over it up to the next '<', which the converter writes as it stands (never as part of a
// character), and nothing written before it (CP932 pairs, single bytes, '?' for a broken
// character, line ends) changes a thing there. The rest is converted a tag at a time, so
// that the text after each tag can be passed over again. Conversion and scanning give the
// same whatever the cuts, so the block may be taken in pieces.
void clsHtmlItem::analyzeBlock(const char* data, std::size_t length)
{
    // A block that cannot be converted is skipped; the converter has logged why.
    std::size_t at = 0;
    if (getConverterCode() == codeUnknown || getConverterCode() == codeAscii) {
        bool converted = convertUntilDecided(data, length, at);
        if (converted)
            scanBlock(lastOutput().data(), lastOutput().size());
        discardOutput();
        if (!converted)
            return;
    }
    if (at == length)
        return;
    if (getConverterCode() != codeUtf8) {
        if (convertCode(data + at, length - at))
            scanBlock(lastOutput().data(), lastOutput().size());
        discardOutput();
        return;
    }
    while (at < length) {
        if (skipsToNextTag()) {
            const void* open = std::memchr(data + at, '<', length - at);
            dropHeldText();
            if (open == nullptr)
                return;
            at = static_cast<std::size_t>(static_cast<const char*>(open) - data);
        }
        std::size_t end = pieceEnd(data, at, length);
        if (!convertCode(data + at, end - at)) {
            discardOutput();
            return;
        }
        scanBlock(lastOutput().data(), lastOutput().size());
        discardOutput();
        at = end;
    }
}

void clsHtmlItem::completeAnalysis()
{
    if (int meta = getMetaCharsetCode())
        setDeclaredCode(meta);
    if (finishCode())
        scanBlock(lastOutput().data(), lastOutput().size());
    publishedCode = getConverterCode();
    finishScan();
    freeBlocks();
    reset();
    setAnalysedCount(-1);
    if (!keywordsPublished) {
        publishedKeywords = getKeywordText();
        keywordsPublished = true;
    }
    cachedCopy = true;
    storeToCachePending = false;
    analysisStarted = false;
}

bool clsHtmlItem::setTransferEnded()
{
    if (storeToCachePending)
        storeToCache();
    return clsQuillaraItem::setTransferEnded();
}

bool clsHtmlItem::storeToCache()
{
    storeToCachePending = false;
    clsUrlCache* cache = FindUrlCache();
    clsUrlInformation* info = getOwner();
    if (cache == nullptr || info == nullptr)
        return false;
    // A page the server said is unchanged came from the cache: its entry is still whole.
    if (info->isNotModified()) {
        cachedCopy = true;
        return true;
    }
    std::string body;
    body.reserve(getReceivedLength());
    for (std::size_t index = 0, count = getBlockCount(); index < count; ++index) {
        const char* data = nullptr;
        std::size_t length = 0;
        if (getBlock(index, data, length))
            body.append(data, length);
    }
    std::string lastModified;
    if (!info->getHeader("Last-Modified:", lastModified) || lastModified.empty())
        lastModified = httpDateNow();
    std::string etag;
    info->getHeader("ETag:", etag);
    if (!cache->store(info->getAddress(), body, info->getRawHeader(), lastModified, etag))
        return false;
    cachedCopy = true;
    return true;
}

bool clsHtmlItem::readSource(std::string& bytes)
{
    clsUrlInformation* info = getOwner();
    int kind = info->getAddressKind();
    std::string path;
    if (kind == addressLocalFile || kind == addressRemoteFile) {
        path = info->getPath();
        std::size_t separator = path.find_last_of("/\\");
        path = path.substr(0, path.find('#', separator == std::string::npos ? 0 : separator));
    } else {
        clsUrlCache* cache = FindUrlCache();
        if (cache == nullptr || !cache->lookup(info->getAddress(), path))
            return false;
    }
    return platform::readWholeFile(path, bytes);
}

bool clsHtmlItem::makeDisplayText(std::string& out)
{
    out.clear();
    clsUrlInformation* info = getOwner();
    if (info == nullptr || (info->getAddressKind() == addressNetwork && !cachedCopy)) {
        out = notYetRead;
        return true;
    }
    std::string bytes;
    if (!readSource(bytes))
        return true;
    // The engine thread may be converting with this node's own converter right now.
    utlKanjiConverter converter;
    converter.setConverterCode(getCodeKind() >= utlKanjiConverter::codeSjis ? getCodeKind() : 0);
    std::string sjis;
    if (converter.convertCode(bytes.data(), bytes.size()))
        sjis = converter.lastOutput();
    if (converter.finishCode())
        sjis += converter.lastOutput();
    out = renderDisplayText(sjis);
    return true;
}

void clsHtmlItem::makeHeaderText(std::string& out)
{
    clsUrlInformation* info = getOwner();
    out = info == nullptr ? std::string() : info->getRawHeader();
    if (out.empty())
        out = "No Http Response Header Information.";
}

bool clsHtmlItem::clear()
{
    utlKanjiConverter::reset();
    clearScanner();
    linkReported = false;
    cachedCopy = true;
    storeToCachePending = false;
    analysisStarted = false;
    return clsQuillaraItem::clear();
}

int clsHtmlItem::getCodeKind() const
{
    return publishedCode;
}

bool clsHtmlItem::setCodeKind(int kind)
{
    setConverterCode(kind);
    publishedCode = kind;
    return true;
}

const std::string* clsHtmlItem::getKeywords() const
{
    return keywordsPublished ? &publishedKeywords : nullptr;
}

bool clsHtmlItem::reportLink(int kind, const std::string& address, const std::string& name,
                             const std::string& href)
{
    linkReported = clsQuillaraItem::addLink(kind, address, name, href);
    return linkReported;
}

// The record holds the same address parsed; its link kind does not change the parts.
bool clsHtmlItem::reportedFileParts(const std::string& url, bool& hasFileName,
                                    std::string& extension)
{
    bool reported = linkReported;
    linkReported = false;
    std::string& fileName = reportedFileName;
    if (!reported || !getLastLinkFileParts(fileName, extension))
        return clsHtmlScanner::reportedFileParts(url, hasFileName, extension);
    hasFileName = !fileName.empty();
    if (!hasFileName)
        extension.clear();
    return true;
}

bool clsHtmlItem::reportResource(int kind, const std::string& address, const std::string& name)
{
    return clsQuillaraItem::addResource(kind, address, name);
}

bool clsHtmlItem::reportTitle(const std::string& title)
{
    return setTitle(title);
}
