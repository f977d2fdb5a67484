#include "Platform/ProfileFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using platform::ProfileFile;

namespace {

ProfileFile parsed(const std::string& bytes)
{
    ProfileFile file;
    file.parse(bytes);
    return file;
}

TEST(ProfileFile, FollowsTheWindowsProfileRules)
{
    ProfileFile file = parsed("; comment\r\n"
                              "[Main]\r\n"
                              "  Width = 120 \r\n"
                              "Name=\"  quoted  \"\r\n"
                              "width=999\r\n"
                              "Neg=-42px\r\n"
                              "Junk=abc\r\n"
                              "[main]\r\n"
                              "Width=7\r\n"
                              "Later=1\r\n");
    EXPECT_EQ(file.getInt("MAIN", "WIDTH", 0), 120); // names ignore case; first key wins
    EXPECT_EQ(file.getString("Main", "Name", ""), "  quoted  "); // one pair of quotes removed
    EXPECT_EQ(file.getInt("Main", "Neg", 0), -42); // leading digits, as GetPrivateProfileInt
    EXPECT_EQ(file.getInt("Main", "Junk", 5), 5);
    EXPECT_EQ(file.getInt("Main", "Later", 0), 0); // the first of duplicate sections wins
    EXPECT_FALSE(file.getString("Main", "; comment").has_value());
    EXPECT_EQ(file.getInt("Missing", "Width", -1), -1);
}

// Junk bytes, NULs, a 10 MB line, no final newline, duplicate and unterminated sections:
// everything readable is read, the rest falls back to defaults.
TEST(ProfileFile, LoadsBadInputWithDefaults)
{
    std::string bytes = "\xFF\xFE\x00\x01junk\n";
    bytes += std::string(10 * 1024 * 1024, 'x') + "=1\n";
    const char tail[] =
        "[S]\nA=1\0\0\nB=\x82\xA0\n[S]\nA=2\n[Open\nC=3\n[T]\nInt=99999999999\nLast=end";
    bytes.append(tail, sizeof tail - 1);
    ProfileFile file = parsed(bytes);
    EXPECT_EQ(file.getInt("S", "A", 0), 1);
    EXPECT_EQ(file.getString("S", "B", ""), "\x82\xA0");
    EXPECT_EQ(file.getInt("Open", "C", 0), 3);
    EXPECT_EQ(file.getInt("T", "Int", 8), 8); // out of range: the default
    EXPECT_EQ(file.getString("T", "Last", ""), "end");
}

TEST(ProfileFile, ReadsSectionsOfAnySizeWhole)
{
    std::string bytes = "[Cabinet Files]\r\n";
    const std::string longPath(600, 'p');
    for (int i = 0; i < 99; ++i)
        bytes += "CabinetFile" + std::to_string(i) + "=" + longPath + std::to_string(i) + "\r\n";
    ASSERT_GT(bytes.size(), 32767u * 1.5);
    auto entries = parsed(bytes).section("Cabinet Files");
    ASSERT_EQ(entries.size(), 99u);
    EXPECT_EQ(entries[98].second, longPath + "98");
}

// A value holding a line break must not turn into new lines of the file.
TEST(ProfileFile, ValuesCannotInjectLines)
{
    ProfileFile file;
    file.setString("PrefView", "FontName", "A\r\n[Communication]\r\nHttpAgentName=evil");
    file.setString("Sec\n[X]", "Key", "v");
    ProfileFile again = parsed(file.serialize());
    EXPECT_FALSE(again.getString("Communication", "HttpAgentName").has_value());
    EXPECT_FALSE(again.getString("X", "Key").has_value());
    EXPECT_EQ(again.sectionNames().size(), 2u);
}

TEST(ProfileFile, SavesShiftJisWithCrLfAndReloads)
{
    testsupport::TempHome home;
    std::string path = home.dir() + "a.ini";
    ProfileFile file;
    file.setString("PrefView", "FontName",
                   "\x82l\x82r \x82o\x83S\x83V\x83"
                   "b\x83N");
    file.setInt("PrefView", "FontSize", 9);
    std::string error;
    ASSERT_TRUE(file.save(path, &error)) << error;
    EXPECT_EQ(testsupport::readFile(path), "[PrefView]\r\nFontName=\x82l\x82r \x82o\x83S\x83V\x83"
                                           "b\x83N\r\nFontSize=9\r\n");
    ProfileFile loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.getInt("prefview", "fontsize", 0), 9);
    EXPECT_TRUE(loaded.load(home.dir() + "missing.ini")); // a missing file is an empty profile
    EXPECT_FALSE(loaded.load(home.dir()));                // a directory is not
}

} // namespace
