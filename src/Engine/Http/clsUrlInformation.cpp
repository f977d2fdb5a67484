#include "Engine/Http/clsUrlInformation.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Url/utlUrlParts.h"
#include "Platform/platformText.h"

#include <cassert>
#include <cstdlib>
#include <string_view>

namespace {

const char* const typeUnknown = utlTexts::sjis(utlText::unknownInParentheses);
constexpr std::size_t statusCodeLimit = 255;
constexpr std::size_t headerValueLimit = 1023;

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix)
{
    if (text.size() - at < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[at + i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// The length of text without its trailing spaces and tabs; a double-byte character is stepped
// over whole, so that its trail byte is never taken for a blank.
std::size_t trimmedLength(std::string_view text)
{
    // A trail byte is never a blank, so text that does not end in one keeps its length.
    if (text.empty() || (text.back() != ' ' && text.back() != '\t'))
        return text.size();
    std::size_t keep = 0;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (platform::isLeadByte(c) && i + 1 < text.size()) {
            i += 2;
            keep = i;
            continue;
        }
        ++i;
        if (c != ' ' && c != '\t')
            keep = i;
    }
    return keep;
}

std::string trimTrailingBlanks(const std::string& text)
{
    return text.substr(0, trimmedLength(text));
}

bool isDriveLetterPath(std::string_view text)
{
    unsigned char first = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return letter && text.size() >= 2 && text[1] == ':';
}

// How an address is read: a path (network share or local), a "file:" address, a network
// address, or none of them.
enum class AddressForm { remotePath, localPath, fileUrl, network, notParsed };

AddressForm formOf(std::string_view trimmed, utlUrlViews& views)
{
    if (trimmed.starts_with("\\\\") || trimmed.starts_with("//"))
        return AddressForm::remotePath;
    if (isDriveLetterPath(trimmed) || trimmed.starts_with("/"))
        return AddressForm::localPath;
    if (!crackUrlViews(trimmed, views))
        return AddressForm::notParsed;
    return views.scheme.size() == 4 && startsWithNoCase(views.scheme, 0, "file")
               ? AddressForm::fileUrl
               : AddressForm::network;
}

// Where the file name of a path starts: after its last separator, else after a drive.
std::size_t fileNameStart(std::string_view file)
{
    std::size_t separator = file.find_last_of("/\\");
    return separator == std::string_view::npos ? (isDriveLetterPath(file) ? 2 : 0) : separator + 1;
}

// The file name of a path, without a fragment.
std::string_view fileNameOfPath(std::string_view file)
{
    std::string_view name = file.substr(fileNameStart(file));
    return name.substr(0, name.find('#'));
}

// Only a hierarchical address names a file: "mailto:a@b.com" has no extension ".com".
std::string_view fileNameOfUrlPath(std::string_view urlPath)
{
    std::size_t slash = urlPath.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : urlPath.substr(slash + 1);
}

std::string_view extensionOf(std::string_view fileName)
{
    std::size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : fileName.substr(dot);
}

// "file:///p", "file://localhost/p" and "file:/p" name the local path /p, "file:///C:/p" a
// drive path, and "file://server/share/p" a file on a share. The kind of path, or
// addressNotParsed when the address names none.
int decodeFileUrl(std::string_view text, std::string& file)
{
    std::string_view rest = text.substr(5);
    if (rest.starts_with("//localhost/"))
        rest = rest.substr(11);
    else if (rest.starts_with("///"))
        rest = rest.substr(2);
    file = percentDecode(std::string(rest));
    if (file.size() >= 3 && file[0] == '/' && isDriveLetterPath(std::string_view(file).substr(1)))
        file.erase(0, 1);
    if (file.starts_with("//"))
        return addressRemoteFile;
    if (file.starts_with("/") || isDriveLetterPath(file))
        return addressLocalFile;
    return addressNotParsed;
}

// The header value of name (with its colon) in a raw header, as getHeader finds it.
bool findHeader(const std::string& raw, const std::string& name, std::string& value)
{
    std::size_t at = 0;
    while (at < raw.size()) {
        std::size_t end = raw.find('\n', at);
        if (end == std::string::npos)
            end = raw.size();
        std::size_t lineEnd = (end > at && raw[end - 1] == '\r') ? end - 1 : end;
        if (lineEnd == at)
            return false;
        if (startsWithNoCase(raw, at, name) && at + name.size() <= lineEnd) {
            std::size_t from = at + name.size();
            while (from < lineEnd && (raw[from] == ' ' || raw[from] == '\t'))
                ++from;
            value = raw.substr(from, std::min(lineEnd - from, headerValueLimit));
            return true;
        }
        at = end + 1;
    }
    return false;
}

} // namespace

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsUrlInformation");
    return slot;
}

} // namespace

clsUrlInformation::clsUrlInformation()
{
    countCreated(instances());
}

clsUrlInformation::clsUrlInformation(clsQuillaraEngine* owner) : clsUrlInformation()
{
    engine = owner;
}

clsUrlInformation::~clsUrlInformation()
{
    // A record that is deleted while it still holds a node (a link record, or one deleted by
    // its only owner) takes the node with it.
    delete node;
    countDestroyed(instances());
}

int clsUrlInformation::addRef()
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    return ++accessCount;
}

int clsUrlInformation::addQueueRef()
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    return ++queueCount;
}

int clsUrlInformation::release()
{
    return dropReference(true);
}

int clsUrlInformation::releaseQueueRef()
{
    return dropReference(false);
}

// Most drops leave the record alive and need only the reference lock; a drop that may end
// it takes the registry lock first, so that no lookup finds a record that is going.
int clsUrlInformation::dropReference(bool access)
{
    clsQuillaraItem* deadNode = nullptr;
    clsUrlInformation* deadRecord = nullptr;
    int left = 0;
    bool dropped = false;
    {
        std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
        dropped = dropWithoutRegistry(access, left, deadNode);
    }
    if (dropped) {
        delete deadNode;
        return left;
    }
    {
        std::lock_guard<std::recursive_mutex> registry(clsQuillaraEngine::RegistryLock());
        std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
        left = dropLocked(access, deadNode, deadRecord);
    }
    delete deadNode;
    delete deadRecord;
    return left;
}

int clsUrlInformation::dropLocked(bool access, clsQuillaraItem*& deadNode,
                                  clsUrlInformation*& deadRecord)
{
    int& count = access ? accessCount : queueCount;
    assert(count > 0);
    if (count <= 0) {
        logError("reference count below zero");
        return 0;
    }
    int left = --count;
    if (accessCount == 0 && node != nullptr) {
        node->detach(this, 0);
        deadNode = node;
        node = nullptr;
    }
    if (accessCount == 0 && queueCount == 0) {
        if (clsQuillaraEngine* owner = engine.load())
            owner->eraseEntries(this);
        deadRecord = this;
    }
    return left;
}

bool clsUrlInformation::dropWithoutRegistry(bool access, int& left, clsQuillaraItem*& deadNode)
{
    int& count = access ? accessCount : queueCount;
    int other = access ? queueCount : accessCount;
    if (count <= 1 && other <= 0)
        return false;
    left = --count;
    if (accessCount == 0 && node != nullptr) {
        node->detach(this, 0);
        deadNode = node;
        node = nullptr;
    }
    return true;
}

bool clsUrlInformation::createNode(clsQuillaraItem* fresh)
{
    assert(fresh != nullptr);
    fresh->setUrlInformation(this);
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    if (node != nullptr) {
        // The replaced read keeps the status it ended with; a read cut short keeps none.
        std::uint64_t end = lastEnd;
        auto ended = (end >> 8) == node->getReadNumber() ? static_cast<clsRequestStatus>(end & 0xff)
                                                         : clsRequestStatus::registered;
        node->detach(this, accessCount, ended);
    }
    fresh->setReadNumber(++nodesMade);
    node = fresh;
    accessCount = 1;
    return true;
}

bool clsUrlInformation::admitRead(std::uint64_t readNumber)
{
    if (readNumber < readDelivered)
        return false;
    readDelivered = readNumber;
    return true;
}

clsQuillaraItem* clsUrlInformation::getNode()
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    if (node == nullptr)
        return nullptr;
    ++accessCount;
    return node;
}

std::string clsUrlInformation::normaliseAddress(const std::string& text)
{
    return trimTrailingBlanks(text);
}

bool clsUrlInformation::set(int newId, int newKind, const std::string& text)
{
    id = newId;
    linkKind = newKind;
    std::lock_guard<std::mutex> guard(fieldLock);
    address.assign(text, 0, trimmedLength(text));
    const std::string& trimmed = address;
    if (originalAddress.empty())
        originalAddress = trimmed;
    addressKind = addressNotParsed;
    protocol.clear();
    scheme.clear();
    directory.clear();
    path.clear();
    fileName.clear();
    extension.clear();
    host.clear();
    port = 0;
    userName.clear();
    password.clear();
    urlPath.clear();
    extraInfo.clear();
    utlUrlViews views;
    switch (formOf(trimmed, views)) {
    case AddressForm::remotePath: parseFilePath(trimmed, addressRemoteFile); return true;
    case AddressForm::localPath: parseFilePath(trimmed, addressLocalFile); return true;
    case AddressForm::notParsed: path = trimmed; return true;
    case AddressForm::fileUrl: {
        std::string file;
        int kind = decodeFileUrl(trimmed, file);
        if (kind != addressNotParsed)
            parseFilePath(file, kind);
        return true;
    }
    case AddressForm::network: break;
    }
    addressKind = addressNetwork;
    scheme.assign(views.scheme);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    protocol = scheme;
    path = trimmed;
    fileName.assign(fileNameOfUrlPath(views.urlPath));
    extension.assign(extensionOf(fileName));
    host.assign(views.host);
    port = views.port;
    userName.assign(views.userName);
    password.assign(views.password);
    urlPath.assign(views.urlPath);
    extraInfo.assign(views.extraInfo);
    return true;
}

int clsUrlInformation::readLinkParts(std::string_view text, std::string& decoded,
                                     std::string_view& fileName, std::string_view& host)
{
    std::string_view trimmed = text.substr(0, trimmedLength(text));
    fileName = {};
    host = {};
    utlUrlViews views;
    switch (formOf(trimmed, views)) {
    case AddressForm::remotePath: fileName = fileNameOfPath(trimmed); return addressRemoteFile;
    case AddressForm::localPath: fileName = fileNameOfPath(trimmed); return addressLocalFile;
    case AddressForm::notParsed: return addressNotParsed;
    case AddressForm::fileUrl: {
        int kind = decodeFileUrl(trimmed, decoded);
        if (kind != addressNotParsed)
            fileName = fileNameOfPath(decoded);
        return kind;
    }
    case AddressForm::network: break;
    }
    fileName = fileNameOfUrlPath(views.urlPath);
    host = views.host;
    return addressNetwork;
}

std::string_view clsUrlInformation::extensionOfFileName(std::string_view fileName)
{
    return extensionOf(fileName);
}

std::size_t clsUrlInformation::normalisedLength(std::string_view text)
{
    return trimmedLength(text);
}

void clsUrlInformation::parseFilePath(const std::string& file, int kind)
{
    addressKind = kind;
    protocol = kind == addressRemoteFile ? "Remote File" : "Local File";
    path = file;
    directory.assign(file, 0, fileNameStart(file));
    fileName.assign(fileNameOfPath(file));
    extension.assign(extensionOf(fileName));
}

bool clsUrlInformation::setHeaders(const std::string& text)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    rawHeader = text;
    std::size_t lineEnd = text.find("\r\n");
    std::string firstLine = text.substr(0, lineEnd);
    std::size_t space = firstLine.find(' ');
    statusCode =
        space == std::string::npos ? std::string() : firstLine.substr(space + 1, statusCodeLimit);
    std::string value;
    lastModified = kivaTime();
    lastModifiedText.clear();
    if (findHeader(rawHeader, "Last-Modified:", value) && lastModified.fromHttpDate(value))
        lastModifiedText = lastModified.toDisplayText();
    contentLength = findHeader(rawHeader, "Content-Length:", value) ? std::atoi(value.c_str()) : -1;
    // A page fetched over FTP says so: "ftp(text/html)" beside "http(text/html)".
    std::string prefix = scheme == "ftp" || scheme == "ftps" ? scheme : std::string("http");
    protocol = findHeader(rawHeader, "Content-Type:", value) ? prefix + "(" + value + ")"
                                                             : prefix + typeUnknown;
    return true;
}

bool clsUrlInformation::getHeader(const std::string& name, std::string& value) const
{
    std::lock_guard<std::mutex> guard(fieldLock);
    return findHeader(rawHeader, name, value);
}

std::string clsUrlInformation::getContentType() const
{
    std::string value;
    getHeader("Content-Type:", value);
    return value;
}

int clsUrlInformation::getId() const
{
    return id;
}
int clsUrlInformation::getLinkKind() const
{
    return linkKind;
}
clsRequestStatus clsUrlInformation::getStatus() const
{
    return status;
}
int clsUrlInformation::getResultCode() const
{
    return resultCode;
}
int clsUrlInformation::getContentLength() const
{
    return contentLength;
}
std::int64_t clsUrlInformation::getReceivedBytes() const
{
    return receivedBytes;
}
clsQuillaraEngine* clsUrlInformation::getEngine() const
{
    return engine.load();
}

#define FIELD_GETTER(type, name, field)                                                            \
    type clsUrlInformation::name() const                                                           \
    {                                                                                              \
        std::lock_guard<std::mutex> guard(fieldLock);                                              \
        return field;                                                                              \
    }

FIELD_GETTER(std::string, getAddress, address)
FIELD_GETTER(int, getAddressKind, addressKind)
FIELD_GETTER(std::string, getProtocol, protocol)
FIELD_GETTER(std::string, getScheme, scheme)
FIELD_GETTER(std::string, getDirectory, directory)
FIELD_GETTER(std::string, getPath, path)
FIELD_GETTER(std::string, getFileName, fileName)
FIELD_GETTER(std::string, getExtension, extension)
FIELD_GETTER(kivaTime, getLastModified, lastModified)
FIELD_GETTER(std::string, getLastModifiedText, lastModifiedText)
FIELD_GETTER(std::string, getLocalFile, localFile)
FIELD_GETTER(std::string, getRawHeader, rawHeader)
FIELD_GETTER(std::string, getStatusCode, statusCode)
FIELD_GETTER(std::string, getHost, host)
FIELD_GETTER(int, getPort, port)
FIELD_GETTER(std::string, getUserName, userName)
FIELD_GETTER(std::string, getPassword, password)
FIELD_GETTER(std::string, getUrlPath, urlPath)
FIELD_GETTER(std::string, getExtraInfo, extraInfo)
FIELD_GETTER(std::string, getOriginalAddress, originalAddress)
FIELD_GETTER(std::vector<std::string>, getRedirects, redirects)

#undef FIELD_GETTER

int clsUrlInformation::getAccessCount() const
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    return accessCount;
}

int clsUrlInformation::getQueueCount() const
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    return queueCount;
}

// The end is noted before the status changes: a thread that sees the request ended and
// reads it again (createNode) must find how the replaced read ended.
void clsUrlInformation::setStatus(clsRequestStatus value)
{
    if (value == clsRequestStatus::complete || value == clsRequestStatus::failed ||
        value == clsRequestStatus::unchecked)
        lastEnd = (nodesMade.load() << 8) | static_cast<std::uint64_t>(value);
    status = value;
}
void clsUrlInformation::setResultCode(int code)
{
    resultCode = code;
}
void clsUrlInformation::setContentLength(int length)
{
    contentLength = length;
}
void clsUrlInformation::addReceivedBytes(std::int64_t count)
{
    receivedBytes += count;
}
void clsUrlInformation::resetReceivedBytes()
{
    receivedBytes = 0;
}
void clsUrlInformation::forgetEngine()
{
    engine = nullptr;
}

void clsUrlInformation::setLocalFile(const char* file)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    localFile = file == nullptr ? std::string() : std::string(file);
}

void clsUrlInformation::setLastModified(const kivaTime* time)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    if (time == nullptr) {
        lastModified = kivaTime();
        lastModifiedText.clear();
        return;
    }
    lastModified = *time;
    lastModifiedText = lastModified.toDisplayText();
}

void clsUrlInformation::addRedirect(const std::string& target)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    redirects.push_back(target);
}

void clsUrlInformation::clearRedirects()
{
    std::lock_guard<std::mutex> guard(fieldLock);
    redirects.clear();
    originalAddress = address;
}

int clsUrlInformation::getAttempts() const
{
    return attempts;
}
int clsUrlInformation::getRetryAfterRefused() const
{
    return retryAfterRefused;
}
bool clsUrlInformation::isRedirectLoop() const
{
    return redirectLoop;
}
bool clsUrlInformation::isNotModified() const
{
    return notModified;
}
std::int64_t clsUrlInformation::getWireBytes() const
{
    return wireBytes;
}
void clsUrlInformation::addAttempt()
{
    ++attempts;
}
void clsUrlInformation::setRetryAfterRefused(int seconds)
{
    retryAfterRefused = seconds;
}
void clsUrlInformation::setRedirectLoop(bool loop)
{
    redirectLoop = loop;
}
void clsUrlInformation::setNotModified(bool served)
{
    notModified = served;
}
void clsUrlInformation::setWireBytes(std::int64_t bytes)
{
    wireBytes = bytes;
}

std::string clsUrlInformation::getAcceptDatetime() const
{
    std::lock_guard<std::mutex> guard(fieldLock);
    return acceptDatetime;
}

void clsUrlInformation::setAcceptDatetime(const std::string& date)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    acceptDatetime = date;
}

std::string clsUrlInformation::getMovedAddress() const
{
    std::lock_guard<std::mutex> guard(fieldLock);
    return movedAddress;
}

void clsUrlInformation::setMovedAddress(const std::string& target)
{
    std::lock_guard<std::mutex> guard(fieldLock);
    movedAddress = target;
}

void clsUrlInformation::resetFetchReport()
{
    attempts = 0;
    retryAfterRefused = 0;
    redirectLoop = false;
    notModified = false;
    wireBytes = 0;
    std::lock_guard<std::mutex> guard(fieldLock);
    movedAddress.clear();
}
