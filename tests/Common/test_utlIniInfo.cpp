#include "Common/utlIniInfo.h"

#include "Common/utlLog.h"
#include "Platform/RegistryStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

class IniInfoTest : public ::testing::Test {
protected:
    void SetUp() override { InitUtlLog("QuillaG"); }
    void TearDown() override
    {
        TermUtlIniInfo();
        TermUtlLog();
    }
    utlIniInfo& loaded()
    {
        EXPECT_TRUE(InitUtlIniInfo());
        EXPECT_TRUE(GetUtlIniInfo()->load());
        return *GetUtlIniInfo();
    }
    std::string iniPath() const { return home.dir() + "Quillara.ini"; }

    testsupport::TempHome home;
};

TEST_F(IniInfoTest, FreshInstallationHasDefaultsAndOneCabinetFolder)
{
    utlIniInfo& ini = loaded();
    for (const IniKeyInfo& key : utlIniInfo::table()) {
        if (!key.isText) {
            EXPECT_EQ(ini.getInt(key.key), key.intDefault) << key.name;
            continue;
        }
        bool programRelative = key.key == IniKey::SaveRSP || key.key == IniKey::SavePSP;
        EXPECT_EQ(ini.getString(key.key), (programRelative ? home.dir() : "") + key.textDefault)
            << key.name;
    }
    ASSERT_EQ(ini.getCabinetFolders().size(), 1u);
    EXPECT_EQ(ini.getCabinetFolders()[0].number, 0);
    EXPECT_EQ(ini.getCabinetFolders()[0].path, home.dir() + "Data/Cabinet/");
    EXPECT_TRUE(fs::is_directory(home.path() / "Data" / "Cabinet"));
    EXPECT_TRUE(ini.getCabinetFiles().empty());
    EXPECT_EQ(ini.getIniFilePath(), iniPath());
}

TEST_F(IniInfoTest, CabinetListsResolveAndSaveBack)
{
    testsupport::writeFile(iniPath(), "[Cabinet Folders]\r\n"
                                      "CabinetFolder00=/Box\r\n"
                                      "CabinetFolder03=Cabinets\r\n"
                                      "CabinetFolder04=" +
                                          home.dir() +
                                          "Deep/\r\n"
                                          "CabinetFolder07=" +
                                          home.dir() +
                                          "Deep/Inner/\r\n"
                                          "CabinetFolderX1=/skipped/\r\n"
                                          "Other=/skipped/\r\n"
                                          "[Cabinet Files]\r\n"
                                          "CabinetFile00=00:Mine.scb\r\n"
                                          "CabinetFile01=/elsewhere/x.scb\r\n"
                                          "CabinetFile02=" +
                                          home.dir() +
                                          "Deep/Inner/y.scb\r\n"
                                          "CabinetFile3=/skipped.scb\r\n");
    utlIniInfo& ini = loaded();
    ASSERT_EQ(ini.getCabinetFolders().size(), 4u);
    EXPECT_EQ(ini.getCabinetFolders()[0].path, "/Box/");
    EXPECT_EQ(ini.getCabinetFolders()[1].number, 3);
    EXPECT_EQ(ini.getCabinetFolders()[1].path, home.dir() + "Cabinets/");
    std::string path;
    ASSERT_TRUE(ini.getCabinetFilePath(0, path));
    EXPECT_EQ(path, "/Box/Mine.scb");
    ASSERT_TRUE(ini.getCabinetFilePath(1, path));
    EXPECT_EQ(path, "/elsewhere/x.scb");
    EXPECT_EQ(ini.getCabinetFiles()[1].folderNumber, -1);
    EXPECT_FALSE(ini.getCabinetFilePath(3, path));

    ASSERT_TRUE(ini.save());
    std::string saved = testsupport::readFile(iniPath());
    EXPECT_NE(saved.find("CabinetFile00=00:Mine.scb\r\n"), std::string::npos);
    EXPECT_NE(saved.find("CabinetFile02=07:y.scb\r\n"),
              std::string::npos); // the deeper folder wins
    EXPECT_NE(saved.find("CabinetFolder03=Cabinets/\r\n"), std::string::npos);
    EXPECT_NE(saved.find("CabinetFolder04=Deep/\r\n"),
              std::string::npos);                              // relative to the program
    EXPECT_EQ(saved.find("HttpAgentName"), std::string::npos); // read only
    EXPECT_EQ(saved.find('\0'), std::string::npos);
}

// A file of a folder that is not listed is no relative path: it stays as written and is saved
// back as written, also through the window's round trip of removing every file and adding
// each path back.
TEST_F(IniInfoTest, KeepsFileOfUnlistedFolderAsWritten)
{
    testsupport::writeFile(iniPath(), "[Cabinet Folders]\r\n"
                                      "CabinetFolder00=/Box\r\n"
                                      "[Cabinet Files]\r\n"
                                      "CabinetFile00=05:x.scb\r\n"
                                      "CabinetFile01=00:Mine.scb\r\n");
    utlIniInfo& ini = loaded();
    std::string path;
    ASSERT_TRUE(ini.getCabinetFilePath(0, path));
    EXPECT_EQ(path, "05:x.scb");
    EXPECT_FALSE(ini.isCabinetFileResolved(0));
    EXPECT_TRUE(ini.isCabinetFileResolved(1));
    EXPECT_FALSE(ini.isCabinetFileResolved(2));

    std::vector<std::string> paths;
    for (std::size_t i = 0; ini.getCabinetFilePath(i, path); ++i)
        paths.push_back(path);
    while (ini.removeCabinetFile(0)) {
    }
    for (const std::string& open : paths)
        ASSERT_TRUE(ini.addCabinetFile(open));
    EXPECT_FALSE(ini.isCabinetFileResolved(0));
    ASSERT_TRUE(ini.save());
    std::string saved = testsupport::readFile(iniPath());
    EXPECT_NE(saved.find("CabinetFile00=05:x.scb\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("CabinetFile01=00:Mine.scb\r\n"), std::string::npos) << saved;
}

TEST_F(IniInfoTest, SetCabinetFoldersKeepsNumbersOfFoldersThatStay)
{
    testsupport::writeFile(iniPath(), "[Cabinet Folders]\r\n"
                                      "CabinetFolder00=/A\r\n"
                                      "CabinetFolder01=/B\r\n"
                                      "[Cabinet Files]\r\n"
                                      "CabinetFile00=00:a.scb\r\n"
                                      "CabinetFile01=01:b.scb\r\n");
    utlIniInfo& ini = loaded();
    // A goes, B moves behind the new C and keeps its number, C takes the lowest free one.
    ASSERT_TRUE(ini.setCabinetFolders({"/C/", "/B/"}));
    ASSERT_EQ(ini.getCabinetFolders().size(), 2u);
    EXPECT_EQ(ini.getCabinetFolders()[0].path, "/C/");
    EXPECT_EQ(ini.getCabinetFolders()[0].number, 0);
    EXPECT_EQ(ini.getCabinetFolders()[1].path, "/B/");
    EXPECT_EQ(ini.getCabinetFolders()[1].number, 1);
    std::string path;
    ASSERT_TRUE(ini.getCabinetFilePath(0, path));
    EXPECT_EQ(path, "/A/a.scb"); // a file of a removed folder keeps its full path
    ASSERT_TRUE(ini.getCabinetFilePath(1, path));
    EXPECT_EQ(path, "/B/b.scb");
}

TEST_F(IniInfoTest, ReadsListSectionsLongerThanTheOldBuffer)
{
    std::string bytes = "[Cabinet Files]\r\n";
    const std::string longName(500, 'n');
    for (int i = 0; i < 99; ++i)
        bytes += "CabinetFile" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "=/c/" +
                 longName + ".scb\r\n";
    ASSERT_GT(bytes.size(), 32767u);
    testsupport::writeFile(iniPath(), bytes);
    utlIniInfo& ini = loaded();
    ASSERT_EQ(ini.getCabinetFiles().size(), 99u);
    std::string last;
    ASSERT_TRUE(ini.getCabinetFilePath(98, last));
    EXPECT_EQ(last, "/c/" + longName + ".scb");
}

// Junk, NULs, a 10 MB line and unreadable numbers: the defaults stand in, texts are cut to
// their limit on a character boundary.
TEST_F(IniInfoTest, BadSettingsFileLoadsWithDefaults)
{
    const char head[] = "\xFF\xFE junk\r\n[PrefView]\r\nFontSize=abc\r\nTreeView=\0\0\r\n";
    std::string bytes(head, sizeof head - 1);
    bytes += std::string(10 * 1024 * 1024, '\x82') + "\r\n";
    bytes += "FontName=";
    for (int i = 0; i < 100; ++i)
        bytes += "\x82\xA0";
    bytes += "\r\n[PrefView]\r\nFontSize=20\r\n[Rebar]\r\nLines=4";
    testsupport::writeFile(iniPath(), bytes);
    utlIniInfo& ini = loaded();
    EXPECT_EQ(ini.getInt(IniKey::FontSize), 9);
    EXPECT_EQ(ini.getInt(IniKey::TreeView), 1);
    EXPECT_EQ(ini.getString(IniKey::FontName).size(), 126u); // 127 would split a character
    EXPECT_EQ(ini.getInt(IniKey::RebarLines), 4);            // no final newline
}

TEST_F(IniInfoTest, FailedSaveIsReportedAndKeepsTheOldFile)
{
    platform::RegistryStore store(platform::RegistryStore::defaultPath());
    store.setDword(utlLog::registryKey(), "OutputMode", 2);
    store.setDword(utlLog::registryKey(), "OutputLevel", 1);
    store.setString(utlLog::registryKey(), "OutputFilePath", home.dir() + "log.txt");
    InitUtlLog("QuillaG");
    const std::string old = "[PrefView]\r\nFontSize=12\r\n";
    testsupport::writeFile(iniPath(), old);
    utlIniInfo& ini = loaded();
    for (int i = 0; i < 40; ++i)
        ini.addCabinetFile("/cabinets/" + std::string(200, 'c') + std::to_string(i) + ".scb");
    {
        testsupport::FileSizeLimit limit(4096);
        EXPECT_FALSE(ini.save());
    }
    EXPECT_EQ(testsupport::readFile(iniPath()), old);
    EXPECT_NE(testsupport::readFile(home.path() / "log.txt").find("utlIniInfo::save "),
              std::string::npos);
    TermUtlIniInfo();

    // A settings directory that cannot exist: its parent is a regular file.
    testsupport::writeFile(home.path() / "plain", "x");
    setenv("QUILLARA_HOME", (home.dir() + "plain/sub").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.dir() + "plain/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home.dir() + "plain/data").c_str(), 1);
    utlIniInfo& unwritable = loaded();
    EXPECT_FALSE(unwritable.save());
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(testsupport::readFile(home.path() / "plain"), "x");
}

TEST_F(IniInfoTest, UnreadableSettingsFileIsNeverWrittenOver)
{
    // A settings path that exists but cannot be read as a file; a rename would replace the link.
    fs::create_directory(home.path() / "elsewhere");
    fs::create_directory_symlink(home.path() / "elsewhere", iniPath());
    utlIniInfo& ini = loaded();
    EXPECT_EQ(ini.getInt(IniKey::FontSize), 9);
    EXPECT_FALSE(ini.save());
    EXPECT_TRUE(fs::is_symlink(iniPath()));
}

} // namespace
