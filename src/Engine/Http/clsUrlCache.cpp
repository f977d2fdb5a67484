#include "Engine/Http/clsUrlCache.h"

#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Platform/AtomicFile.h"
#include "Platform/ProgramPaths.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <vector>

namespace {

std::unique_ptr<clsUrlCache> g_urlCache;
std::mutex g_urlCacheLock;

constexpr std::uint64_t defaultLimitMB = 64;
// The meta file's third line; absent in entries of older versions.
const char* const etagField = "ETag: ";

} // namespace

clsUrlCache::clsUrlCache(const std::string& directory_, std::uint64_t limitBytes)
    : directory(platform::withTrailingSlash(directory_)), limit(limitBytes)
{
}

std::string clsUrlCache::nameOf(const std::string& address)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a
    for (unsigned char c : address) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool clsUrlCache::store(const std::string& address, std::string_view body,
                        const std::string& header, const std::string& lastModified,
                        const std::string& etag)
{
    if (body.size() > limit)
        return false;
    if (!write(address, body, header, lastModified, etag))
        return false;
    std::lock_guard<std::mutex> guard(lock);
    if (sizeOnDisk() > limit)
        trimLocked();
    return true;
}

std::uint64_t& clsUrlCache::sizeOnDisk()
{
    if (sizeKnown)
        return size;
    std::error_code ignored;
    size = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        if (entry.is_regular_file(ignored))
            size += entry.file_size(ignored);
    }
    sizeKnown = true;
    return size;
}

namespace {

std::uint64_t fileSize(const std::string& path)
{
    std::error_code ignored;
    std::uintmax_t bytes = std::filesystem::file_size(path, ignored);
    return ignored ? 0 : bytes;
}

} // namespace

bool clsUrlCache::write(const std::string& address, std::string_view body,
                        const std::string& header, const std::string& lastModified,
                        const std::string& etag)
{
    // A field with a line break could not be told from the next field of the meta file.
    for (const std::string* field : {&address, &lastModified, &etag})
        if (field->find_first_of("\r\n") != std::string::npos)
            return false;
    std::lock_guard<std::mutex> guard(lock);
    if (!platform::makeDirectories(directory))
        return logError("cannot create " + directory);
    std::uint64_t& total = sizeOnDisk();
    std::string stem = directory + nameOf(address);
    std::string error;
    std::string meta = address + "\n" + lastModified + "\n" + etagField + etag + "\n" + header;
    for (const auto& [path, bytes] :
         {std::pair<std::string, std::string_view>{stem + ".body", body},
          std::pair<std::string, std::string_view>{stem + ".meta", meta}}) {
        std::uint64_t old = fileSize(path);
        if (!platform::atomicWriteFile(path, bytes, &error, platform::Durability::Unsynced))
            return logError(error);
        total = total - std::min(total, old) + bytes.size();
    }
    return true;
}

bool clsUrlCache::lookup(const std::string& address, std::string& bodyPath, std::string* header,
                         std::string* lastModified) const
{
    Entry entry;
    if (!lookup(address, entry))
        return false;
    bodyPath = entry.bodyPath;
    if (header != nullptr)
        *header = entry.header;
    if (lastModified != nullptr)
        *lastModified = entry.lastModified;
    return true;
}

bool clsUrlCache::lookup(const std::string& address, Entry& entry) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::string stem = directory + nameOf(address);
    std::string meta;
    if (!platform::readWholeFile(stem + ".meta", meta))
        return false;
    std::size_t first = meta.find('\n');
    if (first == std::string::npos || meta.compare(0, first, address) != 0)
        return false;
    std::size_t second = meta.find('\n', first + 1);
    if (second == std::string::npos)
        return false;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(stem + ".body", ignored))
        return false;
    entry.lastModified = meta.substr(first + 1, second - first - 1);
    entry.etag.clear();
    std::size_t rest = second + 1;
    // Entries written before ETags were kept go straight on with the header.
    if (meta.compare(rest, std::strlen(etagField), etagField) == 0) {
        std::size_t end = meta.find('\n', rest);
        if (end == std::string::npos)
            return false;
        entry.etag =
            meta.substr(rest + std::strlen(etagField), end - rest - std::strlen(etagField));
        rest = end + 1;
    }
    entry.header = meta.substr(rest);
    entry.bodyPath = stem + ".body";
    return true;
}

bool clsUrlCache::trim()
{
    std::lock_guard<std::mutex> guard(lock);
    return trimLocked();
}

bool clsUrlCache::trimLocked()
{
    struct Entry {
        std::filesystem::path stem;
        std::filesystem::file_time_type time;
        std::uintmax_t size = 0;
    };
    std::vector<Entry> entries;
    std::map<std::filesystem::path, std::size_t> indexOf;
    std::uintmax_t total = 0;
    std::error_code error;
    for (const auto& file : std::filesystem::directory_iterator(directory, error)) {
        if (!file.is_regular_file(error) || file.is_symlink(error))
            continue;
        std::uintmax_t size = file.file_size(error);
        total += size;
        std::filesystem::path path = file.path();
        if (path.extension() != ".meta" && path.extension() != ".body")
            continue;
        std::filesystem::path stem = path;
        stem.replace_extension();
        auto [slot, added] = indexOf.emplace(stem, entries.size());
        if (added) {
            entries.push_back(Entry{stem, file.last_write_time(error), size});
            continue;
        }
        Entry& found = entries[slot->second];
        found.size += size;
        found.time = std::max(found.time, file.last_write_time(error));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.time < b.time; });
    for (const Entry& entry : entries) {
        if (total <= limit)
            break;
        std::filesystem::path meta = entry.stem;
        std::filesystem::remove(meta.replace_extension(".meta"), error);
        std::filesystem::path body = entry.stem;
        std::filesystem::remove(body.replace_extension(".body"), error);
        total -= std::min(total, entry.size);
    }
    size = total;
    sizeKnown = true;
    return total <= limit;
}

bool InitUrlCache(const std::string& directory, std::uint64_t limitBytes)
{
    std::lock_guard<std::mutex> guard(g_urlCacheLock);
    g_urlCache = std::make_unique<clsUrlCache>(directory, limitBytes);
    return true;
}

bool InitUrlCache()
{
    std::uint64_t limitMB = defaultLimitMB;
    utlIniInfo* settings = GetUtlIniInfo();
    std::string data = settings->getDataDirectory();
    int value = settings->getInt(IniKey::CacheLimitMB);
    if (value > 0)
        limitMB = static_cast<std::uint64_t>(value);
    return InitUrlCache(data + "Cache/", limitMB * 1024 * 1024);
}

clsUrlCache* GetUrlCache()
{
    assert(g_urlCache != nullptr);
    return g_urlCache.get();
}

clsUrlCache* FindUrlCache()
{
    std::lock_guard<std::mutex> guard(g_urlCacheLock);
    return g_urlCache.get();
}

bool TermUrlCache()
{
    std::lock_guard<std::mutex> guard(g_urlCacheLock);
    g_urlCache.reset();
    return true;
}
