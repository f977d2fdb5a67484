#include "Platform/AtomicFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

TEST(AtomicWriteFile, KeepsOldFileWhenWriteFails)
{
    testsupport::TempHome home;
    std::string path = home.dir() + "Quillara.ini";
    ASSERT_TRUE(platform::atomicWriteFile(path, "old"));
    std::string error;
    {
        testsupport::FileSizeLimit limit(1024);
        EXPECT_FALSE(platform::atomicWriteFile(path, std::string(4096, 'n'), &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testsupport::readFile(path), "old");
    // No temporary file is left behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(AtomicWriteFile, FailsWhereTheParentIsAFile)
{
    testsupport::TempHome home;
    testsupport::writeFile(home.path() / "plain", "x");
    std::string error;
    EXPECT_FALSE(platform::atomicWriteFile(home.dir() + "plain/a.ini", "new", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testsupport::readFile(home.path() / "plain"), "x");
}

} // namespace
