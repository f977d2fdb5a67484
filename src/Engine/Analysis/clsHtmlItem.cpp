#include "Engine/Analysis/clsHtmlItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Text/utlDisplayText.h"
#include "Platform/AtomicFile.h"

#include <ctime>

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
        // A block that cannot be converted is skipped; the converter has logged why.
        if (convertCode(data, length))
            scanBlock(lastOutput().data(), lastOutput().size());
        discardOutput();
        publishedCode = getConverterCode();
    }
    setAnalysedCount(static_cast<int>(count));
    if (!ended)
        return true;
    complete = true;
    completeAnalysis();
    return true;
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
