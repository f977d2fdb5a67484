#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// Pages fetched over HTTP, kept so that the HTML view can show them without a new fetch.
// One directory under the data directory; each entry is two files named after a hash of the
// address: NAME.body (the page as received) and NAME.meta (the address, the Last-Modified
// time, the ETag and the response header). Last-Modified and ETag let a later fetch ask the
// server whether the page changed. Both are written atomically, the meta file last, so a
// reader sees a whole entry or none. They are not synced to disk: a cache entry lost to a
// power failure costs only a new fetch. The directory is kept below a size limit by removing
// the oldest entries.
class clsUrlCache {
public:
    struct Entry {
        std::string bodyPath;
        std::string header;
        std::string lastModified; // the server's Last-Modified, else the time of the fetch
        std::string etag;         // the server's ETag as sent (quotes and W/ kept), or empty
    };

    clsUrlCache(const std::string& directory, std::uint64_t limitBytes);

    // Stores a page; false (and the old entry, if any, stays) when it cannot be written or
    // is larger than the whole cache may be.
    bool store(const std::string& address, std::string_view body, const std::string& header,
               const std::string& lastModified, const std::string& etag = {});
    // The body file of the address's entry, when there is one for exactly this address.
    bool lookup(const std::string& address, std::string& bodyPath, std::string* header = nullptr,
                std::string* lastModified = nullptr) const;
    bool lookup(const std::string& address, Entry& entry) const;
    // Removes the oldest entries until the directory is within the limit.
    bool trim();

    const std::string& getDirectory() const { return directory; }
    std::uint64_t getLimit() const { return limit; }
    // The file name stem of an address: 16 hexadecimal digits of a 64-bit hash.
    static std::string nameOf(const std::string& address);

private:
    bool write(const std::string& address, std::string_view body, const std::string& header,
               const std::string& lastModified, const std::string& etag);
    // Bytes in the directory: measured once, then kept up to date by write and trim, so that
    // a store costs no walk over the whole directory. Called with the lock held.
    std::uint64_t& sizeOnDisk();
    bool trimLocked();

    std::string directory;
    std::uint64_t limit;
    mutable std::mutex lock;
    bool sizeKnown = false;
    std::uint64_t size = 0;
};

// The process-wide cache under the data directory ("Cache/"), bounded by
// PrefFile/CacheLimitMB when the settings are loaded (64 MB otherwise).
bool InitUrlCache();
// For a given directory and limit (tests and tools).
bool InitUrlCache(const std::string& directory, std::uint64_t limitBytes);
clsUrlCache* GetUrlCache();
// The cache, or null while none exists.
clsUrlCache* FindUrlCache();
bool TermUrlCache();
