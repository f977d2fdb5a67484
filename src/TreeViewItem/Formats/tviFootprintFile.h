#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// One folder (type 6), footprint (type 7) or page (type 8) of the footprint file, in document
// order with the index of its parent (-1 the cabinet). A footprint's first page has the
// footprint as parent; each further page the page before it.
struct tviFootprintEntry {
    int type = 8;
    int parent = -1;
    std::string name;
    std::string description; // lines separated by CR LF
    bool marked = false;
    // Footprints:
    bool autoDelete = false;
    std::time_t created = 0; // UTC seconds; 0 unknown
    int deleteDay = 0;
    int colorDay = 0;
    // Pages:
    std::string url;
    std::string keyword;
    std::string title;
    int status = 0;
};

struct tviFootprintDocument {
    std::string name;
    std::string description;
    bool productMark = false;  // META name="quillara" was present
    bool newerVersion = false; // version META above 01.00.XX
    std::vector<tviFootprintEntry> entries;
};

// The reader and writer of Footprint.scb: the cabinet file's shape with its own marker
// ("footprint"), H4 headings for footprints and pages nested without lists. Addresses are
// written encoded as in cabinet files (& " < > as entities) and read back the same, so any
// address survives. Byte-wise and lead-byte aware, no recursion.
class tviFootprintFile {
public:
    static constexpr int maxDepth = 1024;

    // False (with a reason) when the file could not be read whole; doc holds what was read.
    [[nodiscard]] static bool read(std::string_view bytes, tviFootprintDocument& doc,
                                   std::string& error);
    static std::string write(const tviFootprintDocument& doc);
};
