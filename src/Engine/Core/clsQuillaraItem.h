#pragma once

#include "Engine/Core/clsEnginePhase.h"
#include "Engine/Core/clsLink.h"
#include "Engine/Core/clsRequestMode.h"
#include "Engine/Core/clsRequestStatus.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class clsUrlInformation;

// What the tree reads of a node (getProperties); fields the node cannot know stay empty.
struct clsNodeProperties {
    int id = -1;
    int linkKind = -1;
    std::string address;
    std::string protocol;
    std::string title;
    std::string host;
    int codeKind = 0;
    std::string keywords;
};

// One link or resource found in a page, as getLink and getResource hand it out.
struct clsLinkProperties {
    int linkKind = -1;
    std::string address;
    std::string name;
    std::string href;
    std::string fileName;
    std::string extension;
    std::string host;
};

// The base of analysis nodes: the blocks of one read of a page as they arrive, the title and
// the links and resources found in them.
//
// Threads: a transfer worker appends blocks, the engine thread analyses them, the
// user-interface thread reads title, links and resources after each notification. The node's
// own lock guards the block list, the title and both link vectors, so each accessor is safe
// from any thread; block data never moves once appended.
//
// References: while the node has an owner, addRef and release count on the owner's access
// count; once detached (a newer read replaced it) on the node's own count. A reference is
// always released through the node it was taken on, never through the request.
class clsQuillaraItem {
public:
    clsQuillaraItem();
    virtual ~clsQuillaraItem();
    clsQuillaraItem(const clsQuillaraItem&) = delete;
    clsQuillaraItem& operator=(const clsQuillaraItem&) = delete;

    virtual bool setUrlInformation(clsUrlInformation* owner);
    virtual std::string getTitle() const;
    virtual bool setTitle(const std::string& text);
    virtual bool makeDisplayText(std::string& out);
    virtual bool clear();
    // Takes ownership of data, which holds length bytes and one more, always 0.
    virtual bool appendBlock(std::unique_ptr<char[]> data, std::size_t length);
    virtual bool setTransferEnded();
    // Engine thread, start of a read. Sets needsNetwork when the page must be fetched.
    virtual bool read(bool& needsNetwork, bool reload);
    // Engine thread, after each block and once after the transfer ended.
    virtual bool analyze(bool& complete);
    virtual int getCodeKind() const;
    virtual bool setCodeKind(int kind);
    // The joined META keywords, or null when the node keeps none.
    virtual const std::string* getKeywords() const;
    virtual bool addLink(int kind, const std::string& address, const std::string& name,
                         const std::string& href);
    virtual bool addResource(int kind, const std::string& address, const std::string& name);

    int addRef();
    int release();
    // Forgets owner (only when it is this node's owner) and takes count as the node's own.
    // endedStatus: the status the node's read ended with (registered when it had not ended), which the
    // node tells from then on, also to a final notification still on its way.
    void detach(clsUrlInformation* owner, int count,
                clsRequestStatus endedStatus = clsRequestStatus::registered);
    // The owner, or null once detached. Only the holder of a reference may use it, and only
    // until it releases that reference.
    clsUrlInformation* getOwner() const;

    // Asks the engine for an address and keeps only the request id (the returned reference is
    // given back at once).
    static bool RequestNode(clsRequestMode mode, int kind, const std::string& address, int& id);

    clsNodeProperties getProperties() const;
    clsRequestStatus getStatus() const;
    int getLinkCount() const;
    int getResourceCount() const;
    bool getLink(int index, clsLinkProperties& out) const;
    bool getResource(int index, clsLinkProperties& out) const;

    // The received blocks, for the analyser on the engine thread.
    std::size_t getBlockCount() const;
    bool getBlock(std::size_t index, const char*& data, std::size_t& length) const;
    std::size_t getReceivedLength() const;
    bool isTransferEnded() const;
    int getAnalysedCount() const;
    void setAnalysedCount(int count);
    void freeBlocks();

    // A worker queues an analysis pass only when none is waiting: the waiting pass will see
    // every block that arrived before it starts. markAnalysisQueued returns false when one
    // is already waiting; the engine clears the mark as a pass starts.
    bool markAnalysisQueued();
    void clearAnalysisQueued();

    // The read's final notification (3027) has been posted. Until then a complete request is
    // not told again: the final notification on its way tells every caller.
    void markFinalTold();
    bool isFinalTold() const;

    // User-interface thread, as a notification of this node is about to be handed on: true
    // when it keeps the read's order (started only first, analysed only before complete,
    // after complete only another complete), and then it is noted as delivered. A notification that would break the
    // order (a pass's 3026 that lost the race against the worker's failure) is not handed on.
    bool admitDelivery(clsNodePhase phase);
    // Which read of its request this node serves: 1 for the first, higher for each newer one.
    std::uint64_t getReadNumber() const;
    void setReadNumber(std::uint64_t number);

protected:
    // Reads the owner's local file (absolute path or file: address) as the read's data:
    // status 4 when it was read, 5 with result -1 when it cannot be opened or read.
    bool readLocalFile();
    // The file name and extension of the link record appended last; false when there is none.
    bool getLastLinkFileParts(std::string& fileName, std::string& extension) const;

    mutable std::mutex nodeLock;

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t length = 0;
    };

    bool makeLinkRecord(int kind, const std::string& address, const std::string& name,
                        const std::string* href, bool resource);
    static bool linkProperties(const clsLink& link, clsLinkProperties& out);

    int refCount = 0;
    clsUrlInformation* owner = nullptr;
    std::string title;
    bool transferEnded = false;
    int analysedCount = 0;
    std::vector<Block> blocks;
    std::size_t receivedLength = 0;
    std::vector<clsLink> links;
    std::vector<clsLink> resources;
    std::atomic<bool> analysisQueued{false};
    std::atomic<bool> finalTold{false};
    // Nothing delivered yet is phase 0, before started.
    std::atomic<int> deliveredPhase{0};
    std::atomic<clsRequestStatus> toldStatus{clsRequestStatus::registered};
    std::atomic<std::uint64_t> readNumber{0};
};

// Makes the analysis node of a new read for one of the link kinds 0, 4, 8, 11, 14, 17, 18.
clsQuillaraItem* createAnalysisNode(int linkKind);
