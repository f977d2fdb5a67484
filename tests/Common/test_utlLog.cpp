#include "Common/utlLog.h"

#include "Platform/RegistryStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { TermUtlLog(); }

    // Sets the three registry values and starts a fresh log.
    void configure(int mode, int level, const std::string& file)
    {
        platform::RegistryStore store(platform::RegistryStore::defaultPath());
        store.setDword(utlLog::registryKey(), "OutputMode", static_cast<uint32_t>(mode));
        store.setDword(utlLog::registryKey(), "OutputLevel", static_cast<uint32_t>(level));
        store.setString(utlLog::registryKey(), "OutputFilePath", file);
        InitUtlLog("QuillaG");
    }
    std::string logPath() const { return home.dir() + "quillara.log"; }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        std::istringstream in(testsupport::readFile(logPath()));
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
    void writeAllLevels()
    {
        utlLog* log = GetUtlLog();
        log->error("e");
        log->warning("w");
        log->information("i");
        log->traceEnd(log->traceStart("s"), "t");
    }

    testsupport::TempHome home;
};

TEST_F(LogTest, WritesNothingWithoutTheKey)
{
    InitUtlLog("QuillaG");
    testing::internal::CaptureStderr();
    writeAllLevels();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(GetUtlLog()->getOutputMode(), 0u);
}

TEST_F(LogTest, LevelDecidesWhichLinesAreWritten)
{
    const std::pair<int, std::string> cases[] = {
        {0, ""},
        {1, "ERROR"},
        {2, "ERROR WARNNING"},
        {3, "ERROR WARNNING INFORMATION"},
        {4, "ERROR WARNNING INFORMATION TRACESTART TRACEEND"},
        {5, ""},
    };
    const std::regex field(
        R"(^QuillaG,[0-9A-F]{8},\d{4}/\d{2}/\d{2}/,\d{2}:\d{2}:\d{2},([A-Z]+)(\(-?\d+\))?,[ewist]$)");
    for (const auto& [level, expected] : cases) {
        std::filesystem::remove(logPath());
        configure(2, level, logPath());
        writeAllLevels();
        std::string names;
        for (const std::string& line : lines()) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, field)) << line;
            if (!names.empty())
                names += ' ';
            names += m[1].str();
            EXPECT_EQ(m[2].matched, m[1] == "TRACEEND") << line;
        }
        EXPECT_EQ(names, expected) << level;
    }
}

// The file holds lines and nothing else: no NUL after a line, long lines cut to 1024 bytes,
// and an empty path writes no file at all.
TEST_F(LogTest, FileLinesCarryNoNulAndAreCut)
{
    configure(2, 1, logPath());
    GetUtlLog()->error("short");
    GetUtlLog()->error(std::string(3000, 'x'));
    std::string bytes = testsupport::readFile(logPath());
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].size(), 1023u); // 1024 with its newline
    TermUtlLog();

    std::filesystem::remove(logPath());
    configure(2, 4, "");
    writeAllLevels();
    EXPECT_FALSE(std::filesystem::exists(logPath()));
}

TEST_F(LogTest, ConcurrentWritersLoseNoLine)
{
    configure(2, 1, logPath());
    constexpr int threads = 8;
    constexpr int perThread = 250;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                GetUtlLog()->error("thread" + std::to_string(t) + "-" + std::to_string(i));
        });
    for (auto& w : writers)
        w.join();
    std::set<std::string> messages;
    for (const std::string& line : lines())
        messages.insert(line.substr(line.rfind(',') + 1));
    EXPECT_EQ(messages.size(), static_cast<size_t>(threads * perThread));
    EXPECT_EQ(lines().size(), static_cast<size_t>(threads * perThread));
}

// What GCC gives as a function's name, for each shape of function that logs.
TEST(LogName, KeepsOnlyClassAndFunction)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"bool tviCabinet::load()", "tviCabinet::load"},
        {"virtual bool clsX::f(int, std::vector<int>) const", "clsX::f"},
        {"static bool clsX::s()", "clsX::s"},
        {"clsX::clsX(int)", "clsX::clsX"},
        {"clsX::~clsX()", "clsX::~clsX"},
        {"bool InitUtlHelp()", "InitUtlHelp"},
        {"bool {anonymous}::helper(int)", "helper"},
        {"void ns::Y::g() const", "ns::Y::g"},
        {"clsX::v()::<lambda(int)>", "clsX::v"},
        {"std::pair<int, T> clsX::t(T) [with T = double]", "clsX::t"},
        {"static void Z<T>::f(T) [with T = std::pair<int, int>]", "Z<T>::f"},
        {"std::vector<std::pair<int, int> > clsX::r(const std::vector<int>&) const &", "clsX::r"},
        {"bool clsX::operator()(int)", "clsX::operator()"},
        {"bool clsX::operator<(const clsX&) const", "clsX::operator<"},
        {"bool clsX::operator<<(int)", "clsX::operator<<"},
        {"clsX& clsX::operator=(const clsX&)", "clsX::operator="},
        {"clsX::operator bool() const", "clsX::operator bool"},
        {"bool clsX::operatorName(int)", "clsX::operatorName"},
        {"void (* clsX::fp())(int)", "clsX::fp"},
        {"no brackets", "no brackets"},
        {"", ""},
    };
    for (const auto& [signature, expected] : cases)
        EXPECT_EQ(qualifiedFunctionName(signature), expected) << signature;
}

struct LogCaller {
    bool fails() { return logError("m"); }
};

TEST_F(LogTest, ErrorNamesTheCallingFunction)
{
    configure(2, 1, logPath());
    EXPECT_FALSE(LogCaller().fails());
    EXPECT_FALSE(logErrorAs("dlgX::OnOK", "n"));
    auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(all[0].ends_with(",ERROR,LogCaller::fails m")) << all[0];
    EXPECT_TRUE(all[1].ends_with(",ERROR,dlgX::OnOK n")) << all[1];
}

} // namespace
