// The bookmark file reader takes any bytes without crashing or over-reading; what it read is a
// sound document (parents before children), and written as a cabinet it reads back whole.
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tviCabinetDocument doc;
    std::string error;
    tviBookmarkStats stats;
    // A read that fails still leaves what it read, which must write and read back.
    (void)tviBookmarkFile::read(bytes, doc, error, &stats);
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        if (doc.entries[i].parent >= static_cast<int>(i)) {
            std::abort();
        }
    }
    tviCabinetDocument back;
    if (!tviCabinetFile::read(tviCabinetFile::write(doc), back, error) ||
        back.entries.size() != doc.entries.size()) {
        std::abort();
    }
    return 0;
}
