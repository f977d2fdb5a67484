#pragma once

#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <cstddef>
#include <string>

struct tviFavoritesStats {
    size_t skipped = 0;   // .url files that could not be read or held no address
    size_t replaced = 0;  // characters of names that Shift_JIS cannot hold (kept as "&#N;")
    size_t flattened = 0; // directories nested deeper than a cabinet holds, not read
};

// Reads a Favorites directory: every sub-directory a folder (type 3), every Internet
// Shortcut (.url, any case) an item (type 4) named after its file without the extension.
// File names on disk are UTF-8 and come back in Shift_JIS. Nothing is written, symbolic
// links to directories are not followed, and the walk keeps its own stack (no recursion).
// Folders come before shortcuts, each sorted by name, since the directory's own order means
// nothing on Linux.
class tviFavoritesFolder {
public:
    [[nodiscard]] static bool read(const std::string& directory, tviCabinetDocument& doc,
                                   std::string& error, tviFavoritesStats* stats = nullptr);
    // A name from the disk in Shift_JIS (UTF-8 converted, anything else kept as bytes).
    static std::string nameFromDisk(const std::string& name, size_t* replaced = nullptr);
};
