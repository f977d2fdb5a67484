#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// An INI file with the rules of the Windows profile functions: sections and keys are found
// case-insensitively (ASCII), the first of duplicate sections or keys wins, values are
// trimmed of blanks and of one pair of enclosing quotes, lines beginning with ';' are
// comments. Bytes stay as they are (Shift_JIS); lines are written with CR LF.
class ProfileFile {
public:
    using Entry = std::pair<std::string, std::string>;

    // A missing file is an empty profile (true); an unreadable one is false and empty.
    [[nodiscard]] bool load(const std::string& path, std::string* error = nullptr);
    void parse(std::string_view bytes);
    std::string serialize() const;
    // Atomic: a failed save leaves the old file as it was.
    bool save(const std::string& path, std::string* error = nullptr) const;

    std::optional<std::string> getString(std::string_view section, std::string_view key) const;
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;
    // Decimal with an optional sign, as GetPrivateProfileInt reads it; fallback when no digit leads.
    int getInt(std::string_view section, std::string_view key, int fallback) const;

    void setString(std::string_view section, std::string_view key, std::string_view value);
    void setInt(std::string_view section, std::string_view key, int value);
    void removeKey(std::string_view section, std::string_view key);
    void removeSection(std::string_view section);

    std::vector<std::string> sectionNames() const;
    bool hasSection(std::string_view name) const { return findSection(name) != nullptr; }
    // Every key line of the section, in file order, whatever its length.
    std::vector<Entry> section(std::string_view name) const;
    void replaceSection(std::string_view name, const std::vector<Entry>& entries);

private:
    struct Line {
        std::string key; // empty for comments and lines without '='
        std::string value;
        std::string raw; // the line as read, for lines that are not key lines
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    Section& sectionForWrite(std::string_view name);

    std::vector<Line> preamble_;
    std::vector<Section> sections_;
};

} // namespace platform
