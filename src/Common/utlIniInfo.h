#pragma once

#include <string>
#include <vector>

namespace platform {
class ProfileFile;
}

// Every setting of Quillara.ini, by section and key. The order is the order of the table
// in utlIniInfo.cpp and of `quillara-cli config`.
enum class IniKey {
    HttpAgentName,
    ConnectTimeout,
    ReceiveTimeout,
    PacePerHost,
    RetryCount,
    RetryMaxWait,
    MaxTransfers,
    ArchiveTimeGate,
    MainWinLeft,
    MainWinTop,
    MainWinRight,
    MainWinBottom,
    MainWinMaxim,
    MainWinTreeViewWidth,
    MainWinTreeViewHeight,
    RebarFirst,
    ToolbarCX,
    UrlBoxCX,
    RebarLines,
    OpenCabinetWidth,
    OpenCabinetHeight,
    SearchLeft,
    SearchTop,
    SearchRight,
    SearchBottom,
    TreeView,
    ListView,
    HTMLView,
    FontName,
    FontSize,
    ShowRes,
    ShowDupLink,
    ShowLink,
    AutoExp,
    NewPage,
    EmptyURL,
    ByNowURL,
    HostNameLimit,
    TreeNode,
    MarkColor,
    CheckItem00,
    CheckItem01,
    CheckItem02,
    CheckItem03,
    CheckItem04,
    CheckItem05,
    CheckItem06,
    Item00,
    Item01,
    Item02,
    Item03,
    Item04,
    Item05,
    Item06,
    SortOrder00,
    SortOrder01,
    SortOrder02,
    SortOrder03,
    ColumnWidth00,
    ColumnWidth01,
    ColumnWidth02,
    ColumnWidth03,
    SaveRSP,
    SavePSP,
    CRLimitColor,
    CPLimitColor,
    ERLimitColor,
    EPLimitColor,
    CRLimitDay,
    CPLimitDay,
    ERLimitDay,
    EPLimitDay,
    RouteMarkColor,
    PageMarkColor,
    CacheLimitMB,
    SnapshotScripts,
    SnapshotFileLimitMB,
    SnapshotLimitMB,
    IEBK,
    NNBK,
    NNBKName,
    FavoritesFolder,
    BrowserCommand,
    Count
};

// The n-th key of a numbered run, e.g. indexed(IniKey::Item00, 3) is Item03.
constexpr IniKey indexed(IniKey first, int n)
{
    return static_cast<IniKey>(static_cast<int>(first) + n);
}

struct IniKeyInfo {
    IniKey key;
    const char* section;
    const char* name;
    bool isText;
    int intDefault;
    const char* textDefault; // Shift_JIS
    unsigned maxBytes;       // text only; 0 = no limit
    bool written;            // false: read only, never saved
};

// Holds the settings in memory; loaded once at start-up, saved at shut-down.
class utlIniInfo {
public:
    struct CabinetFolder {
        int number = 0;   // 0-99
        std::string path; // absolute, ends with '/'
    };
    struct CabinetFile {
        int number = 0;
        int folderNumber = -1; // -1: path is absolute
        std::string path;
    };

    utlIniInfo();
    virtual ~utlIniInfo();

    // Fills the program, configuration and data directories and creates the data directory.
    virtual bool init();
    virtual bool term();
    // Reads every key (defaults where missing or unreadable) and builds the cabinet lists.
    virtual bool load();
    // Writes every key but the read-only ones and the two lists, atomically; false and a
    // log line when the file cannot be written, and then the old file stays whole.
    virtual bool save();

    int getInt(IniKey key) const;
    const std::string& getString(IniKey key) const;
    void setInt(IniKey key, int value);
    void setString(IniKey key, const std::string& value);
    static const IniKeyInfo& info(IniKey key);
    static const std::vector<IniKeyInfo>& table();

    const std::string& getProgramDirectory() const { return programDirectory_; }
    const std::string& getConfigDirectory() const { return configDirectory_; }
    const std::string& getDataDirectory() const { return dataDirectory_; }
    const std::string& getIniFilePath() const { return iniFilePath_; }

    const std::vector<CabinetFolder>& getCabinetFolders() const { return cabinetFolders_; }
    const std::vector<CabinetFile>& getCabinetFiles() const { return cabinetFiles_; }
    // Full path of the index-th cabinet file; false past the end of the list. A file of a
    // folder that is not listed gives its value as written ("05:x.scb"), which is no path.
    bool getCabinetFilePath(std::size_t index, std::string& out) const;
    // False for a file of a folder that is not listed (and past the end of the list).
    bool isCabinetFileResolved(std::size_t index) const;
    // Adds a folder under the lowest free number (returned); false when all 100 are taken.
    bool addCabinetFolder(const std::string& path, int& number);
    bool removeCabinetFolder(int number);
    // Makes the folder list these paths in this order: folders that stay keep their numbers
    // (the file list refers to them), new ones get free numbers, removed ones go.
    bool setCabinetFolders(const std::vector<std::string>& paths);
    // Adds a file, stored against the deepest listed folder holding it; false when the list is full.
    bool addCabinetFile(const std::string& fullPath);
    bool removeCabinetFile(std::size_t index);

private:
    void loadValues(const platform::ProfileFile& file);
    void loadCabinetFolders(const platform::ProfileFile& file);
    void loadCabinetFiles(const platform::ProfileFile& file);
    void saveLists(platform::ProfileFile& file) const;
    std::string resolveFolderPath(const std::string& value) const;
    std::string relativeToProgram(const std::string& path) const;
    std::string fullCabinetPath(const CabinetFile& file) const;
    const CabinetFolder* findFolder(int number) const;

    std::string programDirectory_;
    std::string configDirectory_;
    std::string dataDirectory_;
    std::string iniFilePath_;
    std::vector<int> ints_;
    std::vector<std::string> texts_;
    std::vector<CabinetFolder> cabinetFolders_;
    std::vector<CabinetFile> cabinetFiles_;
};

bool InitUtlIniInfo();
utlIniInfo* GetUtlIniInfo();
// The settings when they exist, else null (the engine runs without them in tests).
utlIniInfo* FindUtlIniInfo();
bool TermUtlIniInfo();
