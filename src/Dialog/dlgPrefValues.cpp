#include "Dialog/dlgPrefValues.h"

void dlgPrefValues::load(const utlIniInfo& ini)
{
    for (const IniKeyInfo& key : utlIniInfo::table()) {
        if (key.isText)
            texts_[key.key] = ini.getString(key.key);
        else
            ints_[key.key] = ini.getInt(key.key);
    }
    cabinetFolders.clear();
    for (const utlIniInfo::CabinetFolder& folder : ini.getCabinetFolders())
        cabinetFolders.push_back(folder.path);
}

void dlgPrefValues::store(utlIniInfo& ini) const
{
    for (IniKey key : edited_) {
        if (utlIniInfo::info(key).isText)
            ini.setString(key, getString(key));
        else
            ini.setInt(key, getInt(key));
    }
    if (editsCabinetFolders)
        ini.setCabinetFolders(cabinetFolders);
}

int dlgPrefValues::getInt(IniKey key) const
{
    auto found = ints_.find(key);
    return found != ints_.end() ? found->second : utlIniInfo::info(key).intDefault;
}

void dlgPrefValues::setInt(IniKey key, int value)
{
    ints_[key] = value;
}

const std::string& dlgPrefValues::getString(IniKey key) const
{
    static const std::string empty;
    auto found = texts_.find(key);
    return found != texts_.end() ? found->second : empty;
}

void dlgPrefValues::setString(IniKey key, const std::string& value)
{
    texts_[key] = value;
}
