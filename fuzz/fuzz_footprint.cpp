// The footprint file reader takes any bytes without crashing or over-reading; what it read,
// written out, reads back whole with as many entries, and writing that again gives the same bytes.
#include "TreeViewItem/Formats/tviFootprintFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tviFootprintDocument doc;
    std::string error;
    // A read that fails still leaves what it read, which must write and read back.
    (void)tviFootprintFile::read(bytes, doc, error);
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        if (doc.entries[i].parent >= static_cast<int>(i)) {
            std::abort();
        }
    }
    std::string once = tviFootprintFile::write(doc);
    tviFootprintDocument back;
    if (!tviFootprintFile::read(once, back, error) || back.entries.size() != doc.entries.size()) {
        std::abort();
    }
    if (tviFootprintFile::write(back) != once) {
        std::abort();
    }
    return 0;
}
