// The snapshot cabinet's List and snapshot readers take any bytes: every directory name they
// accept is one plain component, and what they read, written out, reads back the same.
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t refused = 0;
    std::vector<tviSnapshotListEntry> entries = tviSnapshotFiles::readList(bytes, &refused);
    for (const tviSnapshotListEntry& entry : entries)
        if (!tviSnapshotFiles::isSafeDirectoryName(entry.dirName) || entry.dirName.back() != '/')
            std::abort();
    std::string once = tviSnapshotFiles::writeList(entries);
    std::vector<tviSnapshotListEntry> again = tviSnapshotFiles::readList(once);
    if (again.size() != entries.size() || tviSnapshotFiles::writeList(again) != once)
        std::abort();

    for (bool folder : {false, true}) {
        tviSnapshotRecord record = tviSnapshotFiles::readRecord(bytes, folder);
        std::string written = tviSnapshotFiles::writeRecord(record, folder);
        tviSnapshotRecord back = tviSnapshotFiles::readRecord(written, folder);
        if (back.description != record.description || back.source != record.source ||
            back.top != record.top || back.mark != record.mark ||
            back.autoDelete != record.autoDelete)
            std::abort();
    }
    (void)tviSnapshotFiles::directoryNameOf(std::string(bytes));
    return 0;
}
