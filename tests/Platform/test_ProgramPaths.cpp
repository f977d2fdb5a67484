#include "Platform/ProgramPaths.h"
#include "Platform/RegistryStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(ProgramPaths, UsesQuillaraHomeAndFallsBackWhenItIsNotWritable)
{
    testsupport::TempHome home;
    platform::ProgramPaths paths = platform::resolveProgramPaths();
    EXPECT_EQ(paths.programDirectory, home.dir());
    EXPECT_EQ(paths.configDirectory, home.dir());
    EXPECT_EQ(paths.dataDirectory, home.dir() + "Data/");

    // A program directory that cannot be written sends settings and data to the XDG places.
    testsupport::writeFile(home.path() / "plain", "x");
    setenv("QUILLARA_HOME", (home.dir() + "plain/sub").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.dir() + "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home.dir() + "share").c_str(), 1);
    paths = platform::resolveProgramPaths();
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(paths.configDirectory, home.dir() + "config/quillara/");
    EXPECT_EQ(paths.dataDirectory, home.dir() + "share/quillara/");
}

TEST(RegistryStore, KeepsTypedValues)
{
    testsupport::TempHome home;
    platform::RegistryStore store(platform::RegistryStore::defaultPath());
    const std::string key = "Software\\Tornavi\\Quillara\\Log";
    EXPECT_FALSE(store.keyExists(key));
    ASSERT_TRUE(store.setDword(key, "OutputMode", 2));
    ASSERT_TRUE(store.setString(key, "OutputFilePath", "/x/dword:1"));
    EXPECT_EQ(store.queryDword(key, "OutputMode"), 2u);
    EXPECT_FALSE(store.queryString(key, "OutputMode").has_value()); // the other type
    EXPECT_EQ(store.queryString(key, "OutputFilePath"), "/x/dword:1");
    EXPECT_FALSE(store.queryDword(key, "OutputFilePath").has_value());
    EXPECT_TRUE(store.keyExists(key));
    EXPECT_EQ(store.path(), home.dir() + "registry.ini");
}

} // namespace
