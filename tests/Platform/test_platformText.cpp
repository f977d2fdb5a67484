#include "Platform/platformText.h"
#include "Platform/SafePath.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(PlatformText, ConvertsAtTheBoundaryWithoutLosingTheRest)
{
    EXPECT_EQ(platform::sjisToUtf8("\x82\xA0\x83\x5C" "a"), "\xE3\x81\x82\xE3\x82\xBD" "a"); // あソa
    EXPECT_EQ(platform::utf8ToSjis("\xE3\x81\x82\xE3\x82\xBD" "a"), "\x82\xA0\x83\x5C" "a");
    // A cut character or an unmappable one is replaced, and what follows still arrives.
    EXPECT_EQ(platform::sjisToUtf8("\x82 a\x82\xA0"), "\xEF\xBF\xBD a\xE3\x81\x82");
    EXPECT_EQ(platform::utf8ToSjis("\xF0\x9F\x98\x80" "b"), "\x81\xAC" "b"); // emoji -> 〓
    EXPECT_EQ(platform::utf8ToSjis("\xE3\x81"), "\x81\xAC");
}

TEST(PlatformText, CutsOnlyOnCharacterBoundaries)
{
    const std::string text = "a\x82\xA0" "b";
    EXPECT_EQ(platform::sjisBoundary(text, 2), 1u);
    EXPECT_EQ(platform::sjisBoundary(text, 3), 3u);
    EXPECT_EQ(platform::sjisBoundary(text, 99), 4u);
    EXPECT_EQ(platform::sjisBoundary("\x82", 1), 1u); // a lone lead byte is one byte
}

TEST(SafePath, MakesOneHarmlessComponent)
{
    const std::pair<std::string, std::string> cases[] = {
        {"..", "__"},
        {"../../etc/passwd", "_._.._etc_passwd"},
        {std::string("a\0b", 3), "a_b"},
        {"", "_"},
        {"\x83\x5C" "x", "\x83\x5C" "x"}, // ソ: its trail byte 0x5C is no separator
        {".hidden", "_hidden"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(platform::safeFileComponent(name), expected);
    EXPECT_EQ(platform::safeFileComponent(std::string(50, '\x82') + "x", 5).size(), 4u);
}

TEST(SafePath, TellsWhetherAPathStaysInside)
{
    testsupport::TempHome home;
    std::filesystem::create_directories(home.path() / "Data" / "Snapshot");
    std::filesystem::create_directory_symlink("/tmp", home.path() / "Data" / "out");
    const std::string data = home.dir() + "Data/";
    EXPECT_TRUE(platform::isPathInside(data, data + "Snapshot/new/page.html"));
    EXPECT_FALSE(platform::isPathInside(data, data));
    EXPECT_FALSE(platform::isPathInside(data, data + "Snapshot/../../x"));
    EXPECT_FALSE(platform::isPathInside(data, data + "out/x"));
    EXPECT_FALSE(platform::isPathInside(data, home.dir() + "DataX/y"));
}

} // namespace
