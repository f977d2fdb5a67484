#include "Common/utlIniInfo.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/FileLock.h"
#include "Platform/ProfileFile.h"
#include "Platform/ProgramPaths.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<utlIniInfo> g_iniInfo;

constexpr int kNotStored = INT_MIN;
constexpr int kMaxListEntries = 100;
const std::string kWriteFailed = utlTexts::sjis(utlText::iniWriteFailed);

IniKeyInfo intKey(IniKey key, const char* section, const char* name, int fallback)
{
    return IniKeyInfo{key, section, name, false, fallback, "", 0, true};
}

IniKeyInfo textKey(IniKey key, const char* section, const char* name, const char* fallback,
                   unsigned maxBytes)
{
    return IniKeyInfo{key, section, name, true, 0, fallback, maxBytes, true};
}

std::vector<IniKeyInfo> buildTable()
{
    using K = IniKey;
    std::vector<IniKeyInfo> t;
    IniKeyInfo agent =
        textKey(K::HttpAgentName, "Communication", "HttpAgentName", "Tornavi Quillara V1.0", 0);
    agent.written = false;
    t.push_back(agent);
    t.push_back(intKey(K::ConnectTimeout, "Communication", "ConnectTimeout", 10));
    t.push_back(intKey(K::ReceiveTimeout, "Communication", "ReceiveTimeout", 10));
    t.push_back(intKey(K::PacePerHost, "Communication", "PacePerHost", 0));
    t.push_back(intKey(K::RetryCount, "Communication", "RetryCount", 2));
    t.push_back(intKey(K::RetryMaxWait, "Communication", "RetryMaxWait", 60));
    t.push_back(intKey(K::MaxTransfers, "Communication", "MaxTransfers", 64));
    // The Memento TimeGate asked for archived copies of dead links; empty asks none.
    t.push_back(textKey(K::ArchiveTimeGate, "Communication", "ArchiveTimeGate",
                        "https://web.archive.org/web/", 0));
    t.push_back(intKey(K::MainWinLeft, "MainWin", "MainWinLeft", kNotStored));
    t.push_back(intKey(K::MainWinTop, "MainWin", "MainWinTop", kNotStored));
    t.push_back(intKey(K::MainWinRight, "MainWin", "MainWinRight", 0));
    t.push_back(intKey(K::MainWinBottom, "MainWin", "MainWinBottom", 0));
    t.push_back(intKey(K::MainWinMaxim, "MainWin", "MainWinMaxim", 0));
    t.push_back(intKey(K::MainWinTreeViewWidth, "MainWin", "MainWinTreeViewWidth", kNotStored));
    t.push_back(intKey(K::MainWinTreeViewHeight, "MainWin", "MainWinTreeViewHeight", kNotStored));
    t.push_back(intKey(K::RebarFirst, "Rebar", "First", 1));
    t.push_back(intKey(K::ToolbarCX, "Rebar", "ToolbarCX", 0));
    t.push_back(intKey(K::UrlBoxCX, "Rebar", "UrlBoxCX", 0));
    t.push_back(intKey(K::RebarLines, "Rebar", "Lines", 2));
    t.push_back(intKey(K::OpenCabinetWidth, "OpenCabinet", "OpenCabinetWidth", 50));
    t.push_back(intKey(K::OpenCabinetHeight, "OpenCabinet", "OpenCabinetHeight", 50));
    t.push_back(intKey(K::SearchLeft, "Search", "SearchLeft", -65535));
    t.push_back(intKey(K::SearchTop, "Search", "SearchTop", -65535));
    t.push_back(intKey(K::SearchRight, "Search", "SearchRight", 50));
    t.push_back(intKey(K::SearchBottom, "Search", "SearchBottom", 50));
    t.push_back(intKey(K::TreeView, "PrefView", "TreeView", 1));
    t.push_back(intKey(K::ListView, "PrefView", "ListView", 1));
    t.push_back(intKey(K::HTMLView, "PrefView", "HTMLView", 1));
    t.push_back(textKey(K::FontName, "PrefView", "FontName",
                        utlTexts::sjis(utlText::defaultFontName), 127));
    t.push_back(intKey(K::FontSize, "PrefView", "FontSize", 9));
    t.push_back(intKey(K::ShowRes, "PrefTreeView", "ShowRes", 2));
    t.push_back(intKey(K::ShowDupLink, "PrefTreeView", "ShowDupLink", 3));
    t.push_back(intKey(K::ShowLink, "PrefTreeView", "ShowLink", 1));
    t.push_back(intKey(K::AutoExp, "PrefTreeView", "AutoExp", 1));
    t.push_back(intKey(K::NewPage, "PrefTreeView", "NewPage", 1));
    t.push_back(intKey(K::EmptyURL, "PrefTreeView", "EmptyURL", 0));
    t.push_back(intKey(K::ByNowURL, "PrefTreeView", "ByNowURL", 1));
    t.push_back(intKey(K::HostNameLimit, "PrefTreeView", "HostNameLimit", 1));
    t.push_back(intKey(K::TreeNode, "PrefTreeView", "TreeNode", 0));
    t.push_back(intKey(K::MarkColor, "PrefTreeView", "MarkColor", 255));
    static const char* const checkNames[] = {"CheckItem00", "CheckItem01", "CheckItem02",
                                             "CheckItem03", "CheckItem04", "CheckItem05",
                                             "CheckItem06"};
    for (int i = 0; i < 7; ++i)
        t.push_back(intKey(indexed(K::CheckItem00, i), "PrefListView", checkNames[i], 1));
    static const char* const itemNames[] = {"Item00", "Item01", "Item02", "Item03",
                                            "Item04", "Item05", "Item06"};
    static const char* const itemDefaults[] = {
        "URL",
        utlTexts::sjis(utlText::columnName),
        utlTexts::sjis(utlText::columnProtocol),
        utlTexts::sjis(utlText::columnDescription),
        utlTexts::sjis(utlText::columnFileType),
        utlTexts::sjis(utlText::columnSize),
        utlTexts::sjis(utlText::columnModified),
    };
    for (int i = 0; i < 7; ++i)
        t.push_back(
            textKey(indexed(K::Item00, i), "PrefListView", itemNames[i], itemDefaults[i], 31));
    static const char* const sortNames[] = {"SortOrder00", "SortOrder01", "SortOrder02",
                                            "SortOrder03"};
    static const char* const widthNames[] = {"ColumnWidth00", "ColumnWidth01", "ColumnWidth02",
                                             "ColumnWidth03"};
    static const int widthDefaults[] = {50, 100, 100, 100};
    for (int i = 0; i < 4; ++i)
        t.push_back(intKey(indexed(K::SortOrder00, i), "PrefListView", sortNames[i], i * 2));
    for (int i = 0; i < 4; ++i)
        t.push_back(
            intKey(indexed(K::ColumnWidth00, i), "PrefListView", widthNames[i], widthDefaults[i]));
    t.push_back(textKey(K::SaveRSP, "PrefFile", "SaveRSP", "Footprint/", 511));
    t.push_back(textKey(K::SavePSP, "PrefFile", "SavePSP", "Snapshot/", 511));
    t.push_back(intKey(K::CRLimitColor, "PrefFile", "CRLimitColor", 1));
    t.push_back(intKey(K::CPLimitColor, "PrefFile", "CPLimitColor", 1));
    t.push_back(intKey(K::ERLimitColor, "PrefFile", "ERLimitColor", 25));
    t.push_back(intKey(K::EPLimitColor, "PrefFile", "EPLimitColor", 25));
    t.push_back(intKey(K::CRLimitDay, "PrefFile", "CRLimitDay", 1));
    t.push_back(intKey(K::CPLimitDay, "PrefFile", "CPLimitDay", 1));
    t.push_back(intKey(K::ERLimitDay, "PrefFile", "ERLimitDay", 35));
    t.push_back(intKey(K::EPLimitDay, "PrefFile", "EPLimitDay", 35));
    t.push_back(intKey(K::RouteMarkColor, "PrefFile", "RouteMarkColor", 0x808080));
    t.push_back(intKey(K::PageMarkColor, "PrefFile", "PageMarkColor", 0x808080));
    t.push_back(intKey(K::CacheLimitMB, "PrefFile", "CacheLimitMB", 64));
    t.push_back(intKey(K::SnapshotFileLimitMB, "PrefFile", "SnapshotFileLimitMB", 50));
    t.push_back(intKey(K::SnapshotLimitMB, "PrefFile", "SnapshotLimitMB", 500));
    t.push_back(intKey(K::SnapshotScripts, "PrefFile", "SnapshotScripts", 0));
    t.push_back(intKey(K::IEBK, "PrefSync", "IEBK", 1));
    t.push_back(intKey(K::NNBK, "PrefSync", "NNBK", 0));
    t.push_back(textKey(K::NNBKName, "PrefSync", "NNBKName", "~/bookmarks.html", 511));
    t.push_back(textKey(K::FavoritesFolder, "PrefSync", "FavoritesFolder", "~/Favorites/", 511));
    t.push_back(textKey(K::BrowserCommand, "PrefSync", "BrowserCommand", "", 511));
    return t;
}

bool isAbsolute(const std::string& path)
{
    return !path.empty() && path.front() == '/';
}

// "CabinetFolder" + two digits → the number; -1 for keys that are not of that form.
int numberedKey(const std::string& key, const std::string& word)
{
    if (key.size() != word.size() + 2 || key.compare(0, word.size(), word) != 0)
        return -1;
    char a = key[word.size()];
    char b = key[word.size() + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return -1;
    return (a - '0') * 10 + (b - '0');
}

std::string twoDigits(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

// A cabinet file value "MM:rest" names folder MM; false for a full path.
bool splitFolderValue(const std::string& value, int& folder, std::string& rest)
{
    bool named = value.size() > 3 && value[0] >= '0' && value[0] <= '9' && value[1] >= '0' &&
                 value[1] <= '9' && value[2] == ':';
    if (!named)
        return false;
    folder = (value[0] - '0') * 10 + (value[1] - '0');
    rest = value.substr(3);
    return true;
}

} // namespace

utlIniInfo::utlIniInfo()
{
    countCreated("utlIniInfo");
    const auto& keys = table();
    ints_.resize(keys.size());
    texts_.resize(keys.size());
    for (const IniKeyInfo& key : keys) {
        ints_[static_cast<std::size_t>(key.key)] = key.intDefault;
        texts_[static_cast<std::size_t>(key.key)] = key.textDefault;
    }
}

utlIniInfo::~utlIniInfo()
{
    countDestroyed("utlIniInfo");
}

const std::vector<IniKeyInfo>& utlIniInfo::table()
{
    static const std::vector<IniKeyInfo> keys = buildTable();
    return keys;
}

const IniKeyInfo& utlIniInfo::info(IniKey key)
{
    const auto& keys = table();
    assert(static_cast<std::size_t>(key) < keys.size());
    return keys[static_cast<std::size_t>(key)];
}

bool utlIniInfo::init()
{
    platform::ProgramPaths paths = platform::resolveProgramPaths();
    programDirectory_ = paths.programDirectory;
    configDirectory_ = paths.configDirectory;
    dataDirectory_ = paths.dataDirectory;
    iniFilePath_ = configDirectory_ + "Quillara.ini";
    // A data directory that cannot be made is reported by whoever writes into it.
    platform::makeDirectories(dataDirectory_);
    return true;
}

bool utlIniInfo::term()
{
    return true;
}

int utlIniInfo::getInt(IniKey key) const
{
    return ints_[static_cast<std::size_t>(key)];
}

const std::string& utlIniInfo::getString(IniKey key) const
{
    return texts_[static_cast<std::size_t>(key)];
}

void utlIniInfo::setInt(IniKey key, int value)
{
    ints_[static_cast<std::size_t>(key)] = value;
}

void utlIniInfo::setString(IniKey key, const std::string& value)
{
    const IniKeyInfo& meta = info(key);
    std::string text = value;
    if (meta.maxBytes != 0)
        text.resize(platform::sjisBoundary(text, meta.maxBytes));
    if (key == IniKey::SaveRSP || key == IniKey::SavePSP)
        text = isAbsolute(text) ? text : programDirectory_ + text;
    texts_[static_cast<std::size_t>(key)] = text;
}

bool utlIniInfo::load()
{
    platform::ProfileFile file;
    std::string error;
    if (!file.load(iniFilePath_, &error))
        logError(error); // unreadable: the defaults hold
    loadValues(file);
    loadCabinetFolders(file);
    loadCabinetFiles(file);
    return true;
}

void utlIniInfo::loadValues(const platform::ProfileFile& file)
{
    for (const IniKeyInfo& key : table()) {
        if (key.isText)
            setString(key.key, file.getString(key.section, key.name, key.textDefault));
        else
            setInt(key.key, file.getInt(key.section, key.name, key.intDefault));
    }
}

std::string utlIniInfo::resolveFolderPath(const std::string& value) const
{
    std::string path = isAbsolute(value) ? value : programDirectory_ + value;
    return platform::withTrailingSlash(path);
}

void utlIniInfo::loadCabinetFolders(const platform::ProfileFile& file)
{
    cabinetFolders_.clear();
    for (const auto& [key, value] : file.section("Cabinet Folders")) {
        int number = numberedKey(key, "CabinetFolder");
        if (number < 0 || value.empty())
            continue;
        cabinetFolders_.push_back(CabinetFolder{number, resolveFolderPath(value)});
    }
    if (!cabinetFolders_.empty())
        return;
    std::string folder = dataDirectory_ + "Cabinet/";
    platform::makeDirectories(folder);
    cabinetFolders_.push_back(CabinetFolder{0, folder});
}

void utlIniInfo::loadCabinetFiles(const platform::ProfileFile& file)
{
    cabinetFiles_.clear();
    for (const auto& [key, value] : file.section("Cabinet Files")) {
        int number = numberedKey(key, "CabinetFile");
        if (number < 0 || value.empty())
            continue;
        CabinetFile entry{number, -1, value};
        splitFolderValue(value, entry.folderNumber, entry.path);
        cabinetFiles_.push_back(entry);
    }
}

const utlIniInfo::CabinetFolder* utlIniInfo::findFolder(int number) const
{
    for (const CabinetFolder& folder : cabinetFolders_)
        if (folder.number == number)
            return &folder;
    return nullptr;
}

// A file of a folder that is not listed has no path on disk: it stays as written ("05:x.scb"),
// so that it is saved as it came and found again once the folder is listed. Taken as a path
// it would be a bare relative name, resolved against whatever directory the program runs in.
std::string utlIniInfo::fullCabinetPath(const CabinetFile& file) const
{
    if (file.folderNumber < 0)
        return file.path;
    if (const CabinetFolder* folder = findFolder(file.folderNumber))
        return folder->path + file.path;
    return twoDigits(file.folderNumber) + ":" + file.path;
}

bool utlIniInfo::isCabinetFileResolved(std::size_t index) const
{
    if (index >= cabinetFiles_.size())
        return false;
    const CabinetFile& file = cabinetFiles_[index];
    return file.folderNumber < 0 || findFolder(file.folderNumber) != nullptr;
}

bool utlIniInfo::getCabinetFilePath(std::size_t index, std::string& out) const
{
    if (index >= cabinetFiles_.size())
        return false;
    out = fullCabinetPath(cabinetFiles_[index]);
    return true;
}

std::string utlIniInfo::relativeToProgram(const std::string& path) const
{
    if (path.size() > programDirectory_.size() &&
        path.compare(0, programDirectory_.size(), programDirectory_) == 0)
        return path.substr(programDirectory_.size());
    return path;
}

void utlIniInfo::saveLists(platform::ProfileFile& file) const
{
    std::vector<platform::ProfileFile::Entry> folders;
    for (const CabinetFolder& folder : cabinetFolders_)
        folders.emplace_back("CabinetFolder" + twoDigits(folder.number),
                             relativeToProgram(folder.path));
    std::vector<platform::ProfileFile::Entry> files;
    for (std::size_t i = 0; i < cabinetFiles_.size(); ++i) {
        std::string full = fullCabinetPath(cabinetFiles_[i]);
        const CabinetFolder* best = nullptr;
        for (const CabinetFolder& folder : cabinetFolders_) {
            bool inside = full.size() > folder.path.size() &&
                          full.compare(0, folder.path.size(), folder.path) == 0;
            if (inside && (!best || folder.path.size() > best->path.size()))
                best = &folder;
        }
        std::string key = "CabinetFile" + twoDigits(static_cast<int>(i));
        if (best)
            files.emplace_back(key, twoDigits(best->number) + ":" + full.substr(best->path.size()));
        else
            files.emplace_back(key, full);
    }
    file.replaceSection("Cabinet Folders", folders);
    file.replaceSection("Cabinet Files", files);
}

bool utlIniInfo::save()
{
    platform::ProfileFile file;
    std::string error;
    platform::FileLock lock;
    if (!platform::makeDirectories(configDirectory_) ||
        !lock.lock(iniFilePath_, platform::FileLock::defaultWaitMs, &error))
        return logError(kWriteFailed + error);
    // Keep whatever else the file holds (comments, keys of other versions); a file that is
    // there but cannot be read is not written over, or its other contents would be lost.
    if (!file.load(iniFilePath_, &error))
        return logError(kWriteFailed + error);
    for (const IniKeyInfo& key : table()) {
        if (!key.written)
            continue;
        if (!key.isText) {
            file.setInt(key.section, key.name, getInt(key.key));
            continue;
        }
        std::string value = getString(key.key);
        if (key.key == IniKey::SaveRSP || key.key == IniKey::SavePSP)
            value = relativeToProgram(value);
        file.setString(key.section, key.name, value);
    }
    saveLists(file);
    if (!platform::makeDirectories(configDirectory_) || !file.save(iniFilePath_, &error))
        return logError(kWriteFailed + error);
    return true;
}

bool utlIniInfo::addCabinetFolder(const std::string& path, int& number)
{
    std::string resolved = resolveFolderPath(path);
    for (const CabinetFolder& folder : cabinetFolders_) {
        if (folder.path == resolved) {
            number = folder.number;
            return true;
        }
    }
    for (int candidate = 0; candidate < kMaxListEntries; ++candidate) {
        bool used = false;
        for (const CabinetFolder& folder : cabinetFolders_)
            used = used || folder.number == candidate;
        if (used)
            continue;
        cabinetFolders_.push_back(CabinetFolder{candidate, resolved});
        number = candidate;
        return true;
    }
    return false;
}

bool utlIniInfo::removeCabinetFolder(int number)
{
    auto folder = std::find_if(cabinetFolders_.begin(), cabinetFolders_.end(),
                               [number](const CabinetFolder& f) { return f.number == number; });
    if (folder == cabinetFolders_.end())
        return false;
    // Files stored against the folder keep their place as full paths.
    for (CabinetFile& file : cabinetFiles_) {
        if (file.folderNumber != number)
            continue;
        file.path = folder->path + file.path;
        file.folderNumber = -1;
    }
    cabinetFolders_.erase(folder);
    return true;
}

bool utlIniInfo::setCabinetFolders(const std::vector<std::string>& paths)
{
    std::vector<std::string> resolved;
    for (const std::string& path : paths)
        resolved.push_back(resolveFolderPath(path));
    std::vector<int> gone;
    for (const CabinetFolder& folder : cabinetFolders_)
        if (std::find(resolved.begin(), resolved.end(), folder.path) == resolved.end())
            gone.push_back(folder.number);
    for (int number : gone)
        removeCabinetFolder(number);
    std::vector<CabinetFolder> ordered;
    bool ok = true;
    for (const std::string& path : resolved) {
        int number = -1;
        if (!addCabinetFolder(path, number)) {
            ok = false;
            continue;
        }
        auto it = std::find_if(cabinetFolders_.begin(), cabinetFolders_.end(),
                               [number](const CabinetFolder& f) { return f.number == number; });
        if (std::none_of(ordered.begin(), ordered.end(),
                         [number](const CabinetFolder& f) { return f.number == number; }))
            ordered.push_back(*it);
    }
    cabinetFolders_ = ordered;
    return ok;
}

bool utlIniInfo::addCabinetFile(const std::string& fullPath)
{
    if (cabinetFiles_.size() >= static_cast<std::size_t>(kMaxListEntries))
        return false;
    for (std::size_t i = 0; i < cabinetFiles_.size(); ++i)
        if (fullCabinetPath(cabinetFiles_[i]) == fullPath)
            return true;
    CabinetFile entry{static_cast<int>(cabinetFiles_.size()), -1, fullPath};
    // A file of an unlisted folder comes back as it was written.
    if (splitFolderValue(fullPath, entry.folderNumber, entry.path)) {
        cabinetFiles_.push_back(entry);
        return true;
    }
    const CabinetFolder* best = nullptr;
    for (const CabinetFolder& folder : cabinetFolders_) {
        bool inside = fullPath.size() > folder.path.size() &&
                      fullPath.compare(0, folder.path.size(), folder.path) == 0;
        if (inside && (!best || folder.path.size() > best->path.size()))
            best = &folder;
    }
    if (best) {
        entry.folderNumber = best->number;
        entry.path = fullPath.substr(best->path.size());
    }
    cabinetFiles_.push_back(entry);
    return true;
}

bool utlIniInfo::removeCabinetFile(std::size_t index)
{
    if (index >= cabinetFiles_.size())
        return false;
    cabinetFiles_.erase(cabinetFiles_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool InitUtlIniInfo()
{
    g_iniInfo = std::make_unique<utlIniInfo>();
    if (g_iniInfo->init())
        return true;
    g_iniInfo.reset();
    return logError(utlTexts::sjis(utlText::iniInfoInitFailed));
}

utlIniInfo* GetUtlIniInfo()
{
    assert(g_iniInfo != nullptr);
    return g_iniInfo.get();
}

utlIniInfo* FindUtlIniInfo()
{
    return g_iniInfo.get();
}

bool TermUtlIniInfo()
{
    if (!g_iniInfo)
        return true;
    bool ok = g_iniInfo->term();
    g_iniInfo.reset();
    if (!ok) {
        logError(utlTexts::sjis(utlText::iniInfoTermFailed));
    }
    return ok;
}
