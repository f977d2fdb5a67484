#pragma once

#include <string>
#include <vector>

// The cabinet files of one cabinet folder, as the open-cabinet window lists them.
class tviCabinetDirectory {
public:
    struct Entry {
        std::string path;  // full path
        std::string title; // the file's TITLE, decoded (Shift_JIS)
    };
    // Every regular *.scb file of folder that has a complete title, sorted by file name. A
    // folder that does not exist or cannot be read gives none. Files are only read.
    static std::vector<Entry> list(const std::string& folder);
    // The title of a cabinet file; false when it cannot be read or has no complete TITLE.
    static bool titleOf(const std::string& path, std::string& title);
};
