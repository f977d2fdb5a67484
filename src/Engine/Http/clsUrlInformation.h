#pragma once

#include "Common/kivaTime.h"
#include "Engine/Core/clsQueueItem.h"
#include "Engine/Core/clsRequestStatus.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class clsQuillaraEngine;
class clsQuillaraItem;

// Result codes besides an HTTP status of 300 and above.
constexpr int resultTransportError = -1;
constexpr int resultCancelled = -2;

// Address kinds.
enum clsAddressKind {
    addressNotParsed = 0,
    addressLocalFile = 1,
    addressRemoteFile = 2,
    addressNetwork = 3,
};

// One requested address of one link kind: the parsed address, the response header and the
// state of the request. Registered records belong to an engine and are reference counted;
// link records (clsLink) own a record of their own that no engine knows.
//
// Two counts, both under the process-wide reference lock (and, when they may reach zero,
// under the registry lock first, so that no lookup can find a record that is going):
// the access count (node references: nodes, notifications, readers) and the queue count
// (callers of requestItem and queue jobs). At an access count of 0 the node is detached and
// deleted; when both are 0 the record removes its own registry entries and deletes itself.
//
// Text fields are guarded by the record's own lock: a worker rewrites them on a redirect
// while the user-interface thread may read them. Accessors return copies.
class clsUrlInformation : public clsQueueItem {
public:
    clsUrlInformation();
    explicit clsUrlInformation(clsQuillaraEngine* engine);
    ~clsUrlInformation() override;
    clsUrlInformation(const clsUrlInformation&) = delete;
    clsUrlInformation& operator=(const clsUrlInformation&) = delete;

    int releaseQueueRef() override;
    virtual int addRef();
    virtual int release();
    virtual int addQueueRef();

    // The registry's form of an address: trailing blanks cut.
    static std::string normaliseAddress(const std::string& address);
    // Parses address (trailing blanks cut). Keeps status, counts, node and redirect chain.
    bool set(int id, int linkKind, const std::string& address);
    // What a link record keeps of an address, read as set reads it but without a record: the
    // address kind, the file name and the host, as views into text or, for a "file:" address,
    // into decoded.
    static int readLinkParts(std::string_view text, std::string& decoded,
                             std::string_view& fileName, std::string_view& host);
    // The extension of a file name as set takes it: from its last '.'.
    static std::string_view extensionOfFileName(std::string_view fileName);
    // The length of address without its trailing blanks (normaliseAddress's length).
    static std::size_t normalisedLength(std::string_view address);
    bool setHeaders(const std::string& text);
    bool getHeader(const std::string& name, std::string& value) const;

    // Makes fresh (from the engine's node factory) the node, with one access reference for
    // the read that follows; the old node is detached and lives on as long as its holders
    // keep it.
    bool createNode(clsQuillaraItem* fresh);
    // The node with one access reference for the caller, or null.
    clsQuillaraItem* getNode();
    // User-interface thread, registry lock held, as a notification of read number readNumber
    // is about to be handed on: false when a newer read has been handed on already.
    bool admitRead(std::uint64_t readNumber);

    int getId() const;
    int getLinkKind() const;
    std::string getAddress() const;
    int getAddressKind() const;
    std::string getProtocol() const;
    // The scheme of a network address ("http", "https"); kept apart from the protocol text,
    // which a response header replaces by "http(...)".
    std::string getScheme() const;
    std::string getDirectory() const;
    std::string getPath() const;
    std::string getFileName() const;
    std::string getExtension() const;
    int getContentLength() const;
    kivaTime getLastModified() const;
    std::string getLastModifiedText() const;
    std::string getLocalFile() const;
    std::string getRawHeader() const;
    std::string getStatusCode() const;
    // The value of "Content-Type:", empty when absent.
    std::string getContentType() const;
    clsRequestStatus getStatus() const;
    int getResultCode() const;
    std::string getHost() const;
    int getPort() const;
    std::string getUserName() const;
    std::string getPassword() const;
    std::string getUrlPath() const;
    std::string getExtraInfo() const;
    // The address that was requested before the first redirect, and every address followed.
    std::string getOriginalAddress() const;
    std::vector<std::string> getRedirects() const;
    std::int64_t getReceivedBytes() const;
    clsQuillaraEngine* getEngine() const;
    int getAccessCount() const;
    int getQueueCount() const;

    void setStatus(clsRequestStatus status);
    void setResultCode(int code);
    void setLocalFile(const char* file);
    void setLastModified(const kivaTime* time);
    void setContentLength(int length);
    void addRedirect(const std::string& address);
    void clearRedirects();
    void addReceivedBytes(std::int64_t count);
    void resetReceivedBytes();
    // Called by the engine at shut-down: the record outlives it and must not reach it again.
    void forgetEngine();

    // What the last fetch went through, written by the transport and read by reports:
    // attempts made (1 without retries), the Retry-After (seconds) that was too long to
    // wait for, a redirect chain stopped as a loop or as too long, the address reached by
    // the permanent redirects (301, 308) at the head of the chain, a page served from the
    // cache after a 304, and the bytes that crossed the network (headers and body).
    int getAttempts() const;
    int getRetryAfterRefused() const;
    bool isRedirectLoop() const;
    std::string getMovedAddress() const;
    bool isNotModified() const;
    std::int64_t getWireBytes() const;
    void resetFetchReport();
    void addAttempt();
    void setRetryAfterRefused(int seconds);
    void setRedirectLoop(bool loop);
    void setMovedAddress(const std::string& target);
    void setNotModified(bool served);
    void setWireBytes(std::int64_t bytes);

    // An HTTP-date sent as Accept-Datetime with every request of the record (a Memento
    // TimeGate answers with the copy closest to it); empty for none. Set before the record
    // is queued.
    std::string getAcceptDatetime() const;
    void setAcceptDatetime(const std::string& date);

private:
    friend class clsQuillaraEngine;
    friend class clsQuillaraItem;
    // Lowers one count; both locks held. What must be deleted is returned in the outs and
    // deleted by the caller once the locks are left.
    int dropLocked(bool access, clsQuillaraItem*& deadNode, clsUrlInformation*& deadRecord);
    // The same without the registry lock, when the drop cannot end the record (the reference
    // lock held); false, and nothing changed, when it might.
    bool dropWithoutRegistry(bool access, int& left, clsQuillaraItem*& deadNode);
    int dropReference(bool access);
    void parseFilePath(const std::string& path, int kind);

    // Guarded by the reference lock.
    int accessCount = 0;
    int queueCount = 0;
    clsQuillaraItem* node = nullptr;
    std::atomic<std::uint64_t> nodesMade{0};
    // The last end of a read: (read number << 8) | the status it ended with.
    std::atomic<std::uint64_t> lastEnd{0};
    // User-interface thread, under the registry lock: the newest read delivered.
    std::uint64_t readDelivered = 0;
    std::atomic<clsQuillaraEngine*> engine{nullptr};

    std::atomic<int> id{-1};
    std::atomic<int> linkKind{-1};
    std::atomic<clsRequestStatus> status{clsRequestStatus::registered};
    std::atomic<int> resultCode{0};
    std::atomic<int> contentLength{-1};
    std::atomic<std::int64_t> receivedBytes{0};
    std::atomic<int> attempts{0};
    std::atomic<int> retryAfterRefused{0};
    std::atomic<bool> redirectLoop{false};
    std::atomic<bool> notModified{false};
    std::atomic<std::int64_t> wireBytes{0};

    mutable std::mutex fieldLock;
    std::string address;
    int addressKind = addressNotParsed;
    std::string protocol;
    std::string scheme;
    std::string directory;
    std::string path;
    std::string fileName;
    std::string extension;
    kivaTime lastModified;
    std::string lastModifiedText;
    std::string localFile;
    std::string rawHeader;
    std::string statusCode;
    std::string host;
    int port = 0;
    std::string userName;
    std::string password;
    std::string urlPath;
    std::string extraInfo;
    std::string originalAddress;
    std::vector<std::string> redirects;
    std::string acceptDatetime;
    std::string movedAddress;
};
