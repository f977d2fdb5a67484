#pragma once

#include "Common/kivaTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of a snapshot cabinet's or folder's List file.
struct tviSnapshotListEntry {
    bool folder = false;
    std::string dirName; // one directory name, ending with '/'
    std::string name;    // the display name (Shift_JIS; may contain ':')
};

// The attributes a snapshot folder or a snapshot keeps in its `snapshot` file.
struct tviSnapshotRecord {
    std::string description;
    bool mark = false;
    std::string source; // snapshots only
    std::string top;    // snapshots only: the top page's file name
    kivaTime created;   // snapshots only, UTC; year 0 when unknown
    bool autoDelete = false;
};

// Where a snapshot or folder in the trash came from, kept in its directory (`.origin`) so that
// undo can put it back, in this run or a later one.
struct tviTrashOrigin {
    bool folder = false;
    std::string name;    // the display name (Shift_JIS)
    std::string dirName; // its directory name before, ending with '/'
    std::string parent;  // its parent's directory inside the cabinet's ("" the cabinet, "a/b/")
    std::string after;   // the directory name of the sibling it stood behind ("" first)
    std::int64_t deleted = 0; // when, in milliseconds: the latest deletion is undone first
};

// The two small files of the snapshot cabinet, read from and written to bytes, and the rule
// that turns a name into a directory name. All text is Shift_JIS.
//
// List: one line per child in tree order, "F:" (folder) or "I:" (snapshot), the directory
// name with its trailing separator, ':', the name, CR LF. The reader skips lines that begin
// with another letter, ends at a line without ':' or CR, and refuses (skips and counts)
// any directory name that could lead out of its parent: only one plain component is taken.
// `snapshot`: "key=value" entries each ended by one NUL byte. Neither reader has a size limit.
class tviSnapshotFiles {
public:
    static std::vector<tviSnapshotListEntry> readList(std::string_view bytes,
                                                      std::size_t* refused = nullptr);
    static std::string writeList(const std::vector<tviSnapshotListEntry>& entries);

    // Unknown keys are ignored, entries not ended by NUL are left out; folder records take
    // only Description and Mark.
    static tviSnapshotRecord readRecord(std::string_view bytes, bool folder);
    static std::string writeRecord(const tviSnapshotRecord& record, bool folder);

    // The directory name a display name becomes, without the trailing '/': Shift_JIS
    // characters are kept whole, written in UTF-8 as the file system expects, ASCII letters
    // and digits too, every other byte becomes '_'; at most 100 bytes.
    static std::string directoryNameOf(const std::string& name);
    // True for a directory name (with or without its trailing '/' or '\') that names one
    // plain directory inside its parent: not empty, not "." or "..", no separator, no ':',
    // no control byte, at most 255 bytes, and not the trash directory.
    static bool isSafeDirectoryName(std::string_view dirName);

    // The name the snapshot dialog proposes for an item: its text when that can name a
    // snapshot (no '/', no control character, not "." or "..", short enough), else the page
    // title made so, else the address made so ("http://h/a/b" gives "h_a_b").
    static std::string proposeName(const std::string& text, const std::string& title,
                                   const std::string& address);

    static std::string writeOrigin(const tviTrashOrigin& origin);
    // False for a record without a safe directory name or a parent path that could lead out.
    [[nodiscard]] static bool readOrigin(std::string_view bytes, tviTrashOrigin& origin);

    static constexpr const char* trashName = "_ Delete _";
    static constexpr const char* originName = ".origin";
};
