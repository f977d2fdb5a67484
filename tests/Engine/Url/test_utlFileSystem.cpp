#include "Engine/Url/utlFileSystem.h"

#include "Common/utlLog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitUtlLog("test");
        data = home.path() / "Data";
        outside = home.path() / "Outside";
        fs::create_directories(data / "Snapshot" / "one" / "deep");
        fs::create_directories(outside);
        testsupport::writeFile(data / "Snapshot" / "one" / "a.html", "a");
        testsupport::writeFile(data / "Snapshot" / "one" / "deep" / "b.gif", "b");
        testsupport::writeFile(outside / "keep.txt", "keep");
    }
    void TearDown() override { TermUtlLog(); }

    testsupport::TempHome home;
    fs::path data;
    fs::path outside;
};

TEST_F(FileSystemTest, DeletesTreeButNeverThroughLinks)
{
    fs::create_directory_symlink(outside, data / "Snapshot" / "one" / "deep" / "link");
    fs::create_symlink(outside / "keep.txt", data / "Snapshot" / "one" / "file-link");
    EXPECT_TRUE(deleteDirectoryTree((data / "Snapshot" / "one").string() + "/", data.string()));
    EXPECT_FALSE(fs::exists(data / "Snapshot" / "one"));
    EXPECT_TRUE(fs::exists(data / "Snapshot"));
    EXPECT_EQ(testsupport::readFile(outside / "keep.txt"), "keep");
}

TEST_F(FileSystemTest, RefusesFoldersOutsideTheDataDirectory)
{
    fs::create_directory_symlink(outside, data / "Snapshot" / "escape");
    const fs::path refused[] = {
        outside,                                     // a sibling of the root
        data,                                        // the root itself
        data / "Snapshot" / ".." / ".." / "Outside", // dots that climb out
        data / "Snapshot" / "escape",                // a link pointing out
        data / "Snapshot" / "missing",
    };
    for (const fs::path& folder : refused) {
        EXPECT_FALSE(deleteDirectoryTree(folder.string(), data.string())) << folder;
    }
    EXPECT_EQ(testsupport::readFile(outside / "keep.txt"), "keep");
    EXPECT_TRUE(fs::exists(data / "Snapshot" / "one" / "a.html"));
}

TEST_F(FileSystemTest, LinkToAFolderInsideIsRefusedNotFollowed)
{
    fs::create_directory_symlink(data / "Snapshot" / "one", data / "alias");
    EXPECT_FALSE(deleteDirectoryTree((data / "alias").string(), data.string()));
    EXPECT_TRUE(fs::exists(data / "Snapshot" / "one" / "deep" / "b.gif"));
}

TEST(MimeTypeForExtension, AcceptsOnlyShortPlainExtensions)
{
    const std::pair<const char*, const char*> cases[] = {
        {"html", "text/html"},
        {"GIF", "image/gif"},
        {"Jpeg", "image/jpeg"},
        {"abcdefghijklmno1", "application/octet-stream"}, // 16 characters
        {"abcdefghijklmnop2", ""},                        // 17
        {"", ""},
        {".\\..\\..\\x", ""},
        {"../x", ""},
        {"a.b", ""},
        {"a b", ""},
        {"\x83\x65", ""},
    };
    for (const auto& [extension, type] : cases)
        EXPECT_EQ(mimeTypeForExtension(extension), type) << extension;
}

TEST(MimeTypeForExtension, CreatesNoFile)
{
    testsupport::TempHome tmp;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);
    mimeTypeForExtension("html");
    mimeTypeForExtension("zzz");
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_TRUE(fs::is_empty(tmp.path()));
}

TEST(GetLongPathName, ResolvesExistingPathsAndKeepsOthers)
{
    testsupport::TempHome home;
    fs::path real = fs::canonical(home.path());
    fs::create_directories(real / "a" / "b");
    fs::create_directory_symlink(real / "a" / "b", real / "link");
    EXPECT_EQ(getLongPathName((real / "a" / ".." / "link").string() + "/"),
              (real / "a" / "b").string() + "/");
    EXPECT_EQ(getLongPathName((real / "link").string()), (real / "a" / "b").string());
    EXPECT_EQ(getLongPathName("/no/such/dir/"), "/no/such/dir/");
}

} // namespace
