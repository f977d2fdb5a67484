#pragma once

#include <cstddef>
#include <string>

struct tviCabinetDocument;

// Export of a cabinet, or of any source the program reads, to the bookmark file that the
// browsers import (tviBookmarkFile::write). The file is written whole or not at all, and never
// over the source, a directory or a file that is not a bookmark file already.
class tviCabinetExport {
public:
    struct Result {
        std::string path;   // the file written
        size_t folders = 0; // folders and items written
        size_t items = 0;
        std::string warning; // what the source could not give whole
    };

    // Reads source (a .scb, a bookmark file, a Favorites directory) and writes it to target.
    [[nodiscard]] static bool exportFile(const std::string& source, const std::string& target,
                                         Result& result, std::string& error);
    // Writes doc to target; source names the file doc was read from (empty for none), which
    // target must not be.
    [[nodiscard]] static bool exportDocument(const tviCabinetDocument& doc,
                                             const std::string& source, const std::string& target,
                                             Result& result, std::string& error);
};
