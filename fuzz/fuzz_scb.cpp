// The .scb reader takes any bytes without crashing or over-reading. Whatever it read, written
// out it reads back whole, and writing that again gives the same bytes.
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Formats/tviTagCursor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tviCabinetDocument doc;
    std::string error;
    // A read that fails still leaves what it read, which must write and read back.
    (void)tviCabinetFile::read(bytes, doc, error);
    if (doc.entries.size() > size) {
        std::abort();
    }
    // Handed on as read, the entries are the document's, with the same result and error.
    {
        tviCabinetDocument head;
        std::string streamError;
        std::vector<tviCabinetEntry> got;
        bool whole = tviCabinetFile::read(bytes, head, streamError,
                                          [&](tviCabinetEntry& e) { got.push_back(e); });
        std::string again;
        bool wholeAgain = tviCabinetFile::read(bytes, head, again);
        std::string collected = tviCabinetFile::write(head);
        size_t count = head.entries.size();
        head.entries = std::move(got);
        if (whole != wholeAgain || streamError != again || head.entries.size() != count ||
            tviCabinetFile::write(head) != collected) {
            std::abort();
        }
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
