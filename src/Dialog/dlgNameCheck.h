#pragma once

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

// Names typed into a dialog that end up as a file or directory name, checked before anything
// is created or renamed: no separator, no NUL or other control character, not "." or "..",
// and a file name that fits the file system. The message tells the user which rule failed.
class dlgNameCheck {
public:
    static constexpr std::size_t nameMax = NAME_MAX;

    // The message for a name (Shift_JIS) that cannot be used, empty when it can. fileBytes is
    // the length of the longest file name the name becomes; 0 when the caller's rule cuts it.
    static std::string problem(const std::string& name, std::size_t fileBytes);
    // The length of the file name a name becomes by the rule of cabinet files and snapshot
    // directories (every single-byte character but letters and digits made '_', double-byte
    // ones kept, in UTF-8) with suffix behind it, before any cut.
    static std::size_t fileNameBytes(const std::string& name, std::string_view suffix);
    // The longest suffixes those names get: a number against a clash, the extension.
    static constexpr std::string_view cabinetSuffix = "(9999).scb";
    static constexpr std::string_view directorySuffix = "(9999)";
    // problem() shown to the user in a box titled "注意"; true when the name can be used.
    static bool accept(const std::string& name, std::size_t fileBytes);
};
