#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One folder (type 3) or URL item (type 4) of a cabinet file. Entries are kept in document
// order (a folder before its contents), each naming its parent by index, so that reading,
// writing and walking never recurse however deep the nesting.
struct tviCabinetEntry {
    int type = 4;
    int parent = -1; // index of the enclosing folder, -1 for the cabinet itself
    std::string name;
    std::string url;
    std::string keyword;
    std::string title;
    std::string description; // lines separated by CR LF
    bool marked = false;
    int status = 0;
    // Unix seconds, 0 when unknown: when a bookmark was added and last changed, kept from
    // imported bookmark files (add_date, last_modified; written only when set).
    std::int64_t addDate = 0;
    std::int64_t lastModified = 0;
    // An archived copy of a dead item's page (a memento) and its date (Unix seconds), as a
    // check with archived copies found them (archived, archived_date; written only when set).
    std::string archived{};
    std::int64_t archivedDate = 0;
};

struct tviCabinetDocument {
    std::string name;
    std::string description;
    bool productMark = false;  // META name="quillara" was present
    bool newerVersion = false; // version META above 01.00.XX
    bool convertedFromUtf8 = false;
    std::vector<tviCabinetEntry> entries;
};

// How far a read got. Anything but complete means the tree is a part of the file only.
enum class tviCabinetReadState {
    complete,
    partial,
};

// The .scb reader and writer: Shift_JIS, CR LF, byte-wise and lead-byte aware (characters
// as tviTagCursor counts them), no line length limit, no recursion.
class tviCabinetFile {
public:
    // Folders nested deeper than this end the read with an error: no view can show them and
    // every walk below stays bounded.
    static constexpr int maxDepth = 1024;

    // Reads as much of bytes as is sound. Returns false (with a reason in error) when the
    // file could not be read whole; doc then holds what was read up to that point.
    [[nodiscard]] static bool read(std::string_view bytes, tviCabinetDocument& doc,
                                   std::string& error);
    // The same, but each entry goes to onEntry as soon as it is read instead of into
    // doc.entries, which stays empty; the head of doc is filled before the first entry comes.
    // onEntry may take the entry's texts.
    using EntrySink = std::function<void(tviCabinetEntry& entry)>;
    [[nodiscard]] static bool read(std::string_view bytes, tviCabinetDocument& doc,
                                   std::string& error, const EntrySink& onEntry);
    static std::string write(const tviCabinetDocument& doc);

    // Addresses are written with &, ", < and > as entities and read back with exactly
    // those four entities decoded, so that any address survives, and raw files still read.
    static std::string encodeAddress(std::string_view url);
    static std::string decodeAddress(std::string_view text);

private:
    [[nodiscard]] static bool readInto(std::string_view bytes, tviCabinetDocument& doc,
                                       std::string& error, const EntrySink* onEntry);
};
