#pragma once

#include "Common/utlIniInfo.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// The values the preference sheet edits: a copy of the settings taken when the sheet opens,
// changed by the pages and stored back only when the sheet is confirmed.
class dlgPrefValues {
public:
    void load(const utlIniInfo& ini);
    // Writes back the keys the pages edit (and the cabinet folders when a page edits them).
    void store(utlIniInfo& ini) const;

    int getInt(IniKey key) const;
    void setInt(IniKey key, int value);
    const std::string& getString(IniKey key) const;
    void setString(IniKey key, const std::string& value);
    // The key is edited by a page and is stored on confirmation.
    void edits(IniKey key) { edited_.insert(key); }

    std::vector<std::string> cabinetFolders;
    bool editsCabinetFolders = false;

private:
    std::map<IniKey, int> ints_;
    std::map<IniKey, std::string> texts_;
    std::set<IniKey> edited_;
};
