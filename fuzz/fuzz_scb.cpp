// The .scb reader takes any bytes without crashing or over-reading. Whatever it read, written
// out it reads back whole, and writing that again gives the same bytes.
#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/tviTagCursor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tviCabinetDocument doc;
    std::string error;
    tviCabinetFile::read(bytes, doc, error);
    if (doc.entries.size() > size) {
        std::abort();
    }

    std::string once = tviCabinetFile::write(doc);
    tviCabinetDocument again;
    if (!tviCabinetFile::read(once, again, error)) {
        std::abort();
    }
    if (again.entries.size() != doc.entries.size() || tviCabinetFile::write(again) != once) {
        std::abort();
    }
    (void)tviTagCursor::getAttribute(bytes, "href");
    return 0;
}
