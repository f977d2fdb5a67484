#include "Engine/Core/clsQuillaraItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Http/clsUrlInformation.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A local file is read in blocks of this size; larger files are refused, so that a link to
// a device or a huge file cannot exhaust memory.
constexpr std::size_t localBlockSize = 1 << 20;
constexpr off_t localFileLimit = off_t(256) << 20;

// The file path of a local address: the fragment after the last separator is not part of it.
std::string localPathOf(const std::string& path)
{
    std::size_t separator = path.find_last_of("/\\");
    std::size_t hash = path.find('#', separator == std::string::npos ? 0 : separator);
    return path.substr(0, hash);
}

} // namespace

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsQuillaraItem");
    return slot;
}

} // namespace

clsQuillaraItem::clsQuillaraItem()
{
    countCreated(instances());
}

clsQuillaraItem::~clsQuillaraItem()
{
    countDestroyed(instances());
}

bool clsQuillaraItem::setUrlInformation(clsUrlInformation* newOwner)
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    owner = newOwner;
    return true;
}

clsUrlInformation* clsQuillaraItem::getOwner() const
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    return owner;
}

std::string clsQuillaraItem::getTitle() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return title;
}

bool clsQuillaraItem::setTitle(const std::string& text)
{
    std::lock_guard<std::mutex> guard(nodeLock);
    title = text;
    return true;
}

bool clsQuillaraItem::makeDisplayText(std::string& out)
{
    (void)out;
    return true;
}

bool clsQuillaraItem::clear()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    transferEnded = false;
    analysedCount = 0;
    blocks.clear();
    links.clear();
    resources.clear();
    return true;
}

bool clsQuillaraItem::appendBlock(std::unique_ptr<char[]> data, std::size_t length)
{
    if (!data)
        return false;
    std::lock_guard<std::mutex> guard(nodeLock);
    blocks.push_back(Block{std::move(data), length});
    receivedLength += length;
    return true;
}

bool clsQuillaraItem::setTransferEnded()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    transferEnded = true;
    return true;
}

bool clsQuillaraItem::read(bool& needsNetwork, bool reload)
{
    (void)reload;
    needsNetwork = false;
    return true;
}

bool clsQuillaraItem::analyze(bool& complete)
{
    complete = true;
    return true;
}

int clsQuillaraItem::getCodeKind() const
{
    return 0;
}

bool clsQuillaraItem::setCodeKind(int kind)
{
    (void)kind;
    return true;
}

const std::string* clsQuillaraItem::getKeywords() const
{
    return nullptr;
}

bool clsQuillaraItem::addLink(int kind, const std::string& address, const std::string& name,
                              const std::string& href)
{
    return makeLinkRecord(kind, address, name, &href, false);
}

bool clsQuillaraItem::addResource(int kind, const std::string& address, const std::string& name)
{
    return makeLinkRecord(kind, address, name, nullptr, true);
}

int clsQuillaraItem::addRef()
{
    std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
    if (owner != nullptr)
        return ++owner->accessCount;
    return ++refCount;
}

// The owner test and the count change happen under one hold of the locks, so a reference
// taken before a detach is given back to the node's own count, never to the request's next
// node.
int clsQuillaraItem::release()
{
    clsQuillaraItem* deadNode = nullptr;
    clsUrlInformation* deadRecord = nullptr;
    int left = 0;
    bool dropped = false;
    {
        std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
        dropped = owner != nullptr && owner->dropWithoutRegistry(true, left, deadNode);
    }
    if (dropped) {
        delete deadNode;
        return left;
    }
    {
        std::lock_guard<std::recursive_mutex> registry(clsQuillaraEngine::RegistryLock());
        std::lock_guard<std::mutex> ref(clsQuillaraEngine::ReferenceLock());
        if (owner != nullptr) {
            left = owner->dropLocked(true, deadNode, deadRecord);
        } else {
            assert(refCount > 0);
            if (refCount <= 0)
                return logError("reference count below zero");
            left = --refCount;
            if (left == 0)
                deadNode = this;
        }
    }
    delete deadNode;
    delete deadRecord;
    return left;
}

// Called under the reference lock.
void clsQuillaraItem::detach(clsUrlInformation* from, int count, clsRequestStatus endedStatus)
{
    if (from != owner)
        return;
    toldStatus = endedStatus;
    owner = nullptr;
    refCount = count;
}

bool clsQuillaraItem::RequestNode(clsRequestMode mode, int kind, const std::string& address,
                                  int& id)
{
    clsQuillaraEngine* engine = clsQuillaraEngine::getEngine();
    clsUrlInformation* info = nullptr;
    if (engine == nullptr || !engine->requestItem(mode, kind, address, info) || info == nullptr)
        return logError(utlTexts::sjis(utlText::itemRequestFailed));
    id = info->getId();
    info->releaseQueueRef();
    return true;
}

clsNodeProperties clsQuillaraItem::getProperties() const
{
    clsNodeProperties out;
    out.title = getTitle();
    out.codeKind = getCodeKind();
    const std::string* keywords = getKeywords();
    out.keywords = keywords == nullptr ? std::string() : *keywords;
    clsUrlInformation* info = getOwner();
    if (info == nullptr)
        return out;
    out.id = info->getId();
    out.linkKind = info->getLinkKind();
    out.address = info->getAddress();
    out.protocol = info->getProtocol();
    out.host = info->getHost();
    return out;
}

clsRequestStatus clsQuillaraItem::getStatus() const
{
    clsUrlInformation* info = getOwner();
    return info == nullptr ? toldStatus.load() : info->getStatus();
}

int clsQuillaraItem::getLinkCount() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return static_cast<int>(links.size());
}

int clsQuillaraItem::getResourceCount() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return static_cast<int>(resources.size());
}

bool clsQuillaraItem::getLink(int index, clsLinkProperties& out) const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    assert(index >= 0 && static_cast<std::size_t>(index) < links.size());
    if (index < 0 || static_cast<std::size_t>(index) >= links.size())
        return false;
    return linkProperties(links[index], out);
}

bool clsQuillaraItem::getResource(int index, clsLinkProperties& out) const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    assert(index >= 0 && static_cast<std::size_t>(index) < resources.size());
    if (index < 0 || static_cast<std::size_t>(index) >= resources.size())
        return false;
    return linkProperties(resources[index], out);
}

std::size_t clsQuillaraItem::getBlockCount() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return blocks.size();
}

bool clsQuillaraItem::getBlock(std::size_t index, const char*& data, std::size_t& length) const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    if (index >= blocks.size())
        return false;
    data = blocks[index].data.get();
    length = blocks[index].length;
    return true;
}

std::size_t clsQuillaraItem::getReceivedLength() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return receivedLength;
}

bool clsQuillaraItem::isTransferEnded() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return transferEnded;
}

int clsQuillaraItem::getAnalysedCount() const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return analysedCount;
}

void clsQuillaraItem::setAnalysedCount(int count)
{
    std::lock_guard<std::mutex> guard(nodeLock);
    analysedCount = count;
}

void clsQuillaraItem::freeBlocks()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    blocks.clear();
}

bool clsQuillaraItem::markAnalysisQueued()
{
    return !analysisQueued.exchange(true);
}

void clsQuillaraItem::clearAnalysisQueued()
{
    analysisQueued = false;
}

bool clsQuillaraItem::readLocalFile()
{
    clsUrlInformation* info = getOwner();
    if (info == nullptr)
        return false;
    std::string file = localPathOf(info->getPath());
    // A FIFO would hold the worker at the open; it is refused below, as is any file but a
    // regular one.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    bool usable =
        fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= localFileLimit;
    bool readAll = usable;
    off_t total = 0;
    while (usable) {
        std::size_t want =
            static_cast<std::size_t>(std::clamp<off_t>(st.st_size - total, 1, localBlockSize));
        std::unique_ptr<char[]> block(new char[want + 1]);
        ssize_t got = ::read(fd, block.get(), want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            readAll = got == 0;
            break;
        }
        block[got] = 0;
        total += got;
        appendBlock(std::move(block), static_cast<std::size_t>(got));
        info->addReceivedBytes(got);
    }
    if (fd >= 0)
        ::close(fd);
    setTransferEnded();
    if (!readAll) {
        logError(utlTexts::sjis(utlText::cannotOpenFile) + file);
        info->setResultCode(resultTransportError);
        info->setStatus(clsRequestStatus::failed);
        return true;
    }
    info->setStatus(clsRequestStatus::complete);
    return true;
}

bool clsQuillaraItem::getLastLinkFileParts(std::string& fileName, std::string& extension) const
{
    std::lock_guard<std::mutex> guard(nodeLock);
    if (links.empty())
        return false;
    fileName.assign(links.back().getFileName());
    extension.assign(links.back().getExtension());
    return true;
}

// Registers the address with the engine (nothing is fetched), so that the tree finds one
// record per address, and keeps a record of the link with the parts of its address.
bool clsQuillaraItem::makeLinkRecord(int kind, const std::string& address, const std::string& name,
                                     const std::string* href, bool resource)
{
    clsUrlInformation* info = getOwner();
    clsQuillaraEngine* engine = info != nullptr ? info->getEngine() : nullptr;
    clsUrlInformation* registered = nullptr;
    if (engine != nullptr &&
        engine->requestItem(clsRequestMode::registerOnly, kind, address, registered) &&
        registered != nullptr)
        registered->releaseQueueRef();
    std::lock_guard<std::mutex> guard(nodeLock);
    auto& list = resource ? resources : links;
    // A page holds links by the dozen: one allocation for the first sixteen.
    if (list.capacity() == 0)
        list.reserve(16);
    list.emplace_back(kind, address, name, href);
    return true;
}

bool clsQuillaraItem::linkProperties(const clsLink& link, clsLinkProperties& out)
{
    out.linkKind = link.getLinkKind();
    out.address.assign(link.getAddress());
    out.name.assign(link.getName());
    out.href.assign(link.getHref());
    out.fileName.assign(link.getFileName());
    out.extension.assign(link.getExtension());
    out.host.assign(link.getHost());
    return true;
}

void clsQuillaraItem::markFinalTold()
{
    finalTold = true;
}

bool clsQuillaraItem::isFinalTold() const
{
    return finalTold;
}

bool clsQuillaraItem::admitDelivery(clsNodePhase phase)
{
    int delivered = deliveredPhase;
    bool inOrder =
        phase == clsNodePhase::complete ||
        (phase == clsNodePhase::analysed && delivered < static_cast<int>(clsNodePhase::complete)) ||
        (phase == clsNodePhase::started && delivered == 0);
    if (inOrder)
        deliveredPhase = static_cast<int>(phase);
    return inOrder;
}

std::uint64_t clsQuillaraItem::getReadNumber() const
{
    return readNumber;
}

void clsQuillaraItem::setReadNumber(std::uint64_t number)
{
    readNumber = number;
}
