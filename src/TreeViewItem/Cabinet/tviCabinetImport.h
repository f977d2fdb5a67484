#pragma once

#include <cstddef>
#include <string>

struct tviCabinetDocument;

// The cabinet file operations of the command line and the window that make or extend files:
// importing any source into a cabinet, creating a cabinet by the file-name rule, copying one.
// Every file is written whole or not at all, and an existing file is never replaced by a
// create or a copy.
class tviCabinetImport {
public:
    struct Result {
        std::string path;   // the file written
        size_t folders = 0; // folders and items added
        size_t items = 0;
        bool created = false; // the target did not exist before
        std::string warning;  // what the source could not give whole
    };

    // Adds every folder and item of source (a .scb, a bookmark file, a Favorites directory)
    // to target, under a new top-level folder named folder (Shift_JIS) when it is not empty.
    // A missing target is created, named after the source. A target that is not a whole,
    // writable cabinet of ours is refused and left as it is.
    [[nodiscard]] static bool importInto(const std::string& source, const std::string& target,
                                         const std::string& folder, Result& result,
                                         std::string& error);

    // The file name of a cabinet named name (Shift_JIS): every single-byte character that is not
    // a letter or a digit becomes '_', double-byte characters stay; in UTF-8 for the disk,
    // without the extension. "My Links!" gives "My_Links_".
    static std::string fileNameOf(const std::string& name);
    // Writes doc as a new cabinet in folder under the file-name rule: NAME.scb, else
    // NAME(1).scb, NAME(2).scb, ... (the first name not taken).
    [[nodiscard]] static bool createCabinet(const std::string& folder,
                                            const tviCabinetDocument& doc, std::string& path,
                                            std::string& error);
    // Copies every folder and item of the cabinet source into the new file target (refused
    // when target exists), titled name (Shift_JIS) or, when that is empty, as the source.
    [[nodiscard]] static bool copyCabinet(const std::string& source, const std::string& target,
                                          const std::string& name, Result& result,
                                          std::string& error);
};
