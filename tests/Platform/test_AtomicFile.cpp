#include "Platform/AtomicFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A file given to read whole may be anything a path names: a device is refused, a FIFO that
// nobody writes to reads empty instead of holding the reader, and a pipe is read to its end.
TEST(ReadWholeFile, RefusesDevicesAndWaitsForNoWriter)
{
    testsupport::TempHome home;
    std::string out = "old";
    std::string error;
    // /dev/null, whose end comes at once, stands for /dev/zero, which has none.
    EXPECT_FALSE(platform::readWholeFile("/dev/null", out, &error));
    EXPECT_NE(error.find("not a file"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());

    std::string fifo = home.dir() + "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] {
        std::string text;
        return platform::readWholeFile(fifo, text) && text.empty();
    });
    bool ended = reading.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!ended)
        ::close(::open(fifo.c_str(), O_WRONLY)); // lets the held reader go
    EXPECT_TRUE(ended);
    EXPECT_TRUE(reading.get());

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "<TITLE>", 7), 7);
    ::close(ends[1]);
    EXPECT_TRUE(platform::readWholeFile("/proc/self/fd/" + std::to_string(ends[0]), out));
    EXPECT_EQ(out, "<TITLE>");
    ::close(ends[0]);
}

// A file kept behind a symbolic link (a synced folder) is replaced where it lies: the link
// stays a link, its target gets the new content in its own directory with its permissions
// kept, whatever the umask; a file named from outside replaces the link instead.
TEST(AtomicWriteFile, FollowsLinksToTheRealFileAndKeepsItsMode)
{
    namespace fs = std::filesystem;
    testsupport::TempHome home;
    fs::create_directories(home.path() / "synced" / "deep");
    fs::create_directories(home.path() / "data");
    struct Case {
        const char* link;   // relative to data/
        const char* target; // what the link holds
        const char* real;   // the file that must change, relative to home
        mode_t mode;
    } cases[] = {
        {"Footprint.scb", "../synced/Footprint.scb", "synced/Footprint.scb", 0600},
        {"a.scb", "chain.scb", "synced/deep/a.scb", 0664},
        {"chain.scb", "../synced/deep/a.scb", "synced/deep/a.scb", 0664},
        {"Quillara.ini", "../synced/Quillara.ini", "synced/Quillara.ini", 0640},
    };
    mode_t oldMask = ::umask(022);
    for (const Case& c : cases) {
        fs::path real = home.path() / c.real;
        testsupport::writeFile(real, "old");
        ::chmod(real.c_str(), c.mode);
        fs::path link = home.path() / "data" / c.link;
        if (!fs::is_symlink(link))
            fs::create_symlink(c.target, link);
    }
    for (const Case& c : cases) {
        fs::path link = home.path() / "data" / c.link;
        fs::path real = home.path() / c.real;
        std::string text = std::string("new ") + c.link;
        ASSERT_TRUE(platform::atomicWriteFile(
            link.string(), text, nullptr, platform::Durability::Synced, platform::Links::Follow))
            << c.link;
        EXPECT_TRUE(fs::is_symlink(link)) << c.link;
        EXPECT_EQ(text, testsupport::readFile(real)) << c.link;
        struct stat st {};
        ASSERT_EQ(0, ::stat(real.c_str(), &st));
        EXPECT_EQ(c.mode, st.st_mode & 07777) << c.link;
    }
    ::umask(oldMask);
    // Names that come from outside never write through a link.
    fs::path outside = home.path() / "synced" / "Footprint.scb";
    std::string kept = testsupport::readFile(outside);
    fs::path page = home.path() / "data" / "page.html";
    fs::create_symlink(outside, page);
    ASSERT_TRUE(platform::atomicWriteFile(page.string(), "page"));
    EXPECT_FALSE(fs::is_symlink(page));
    EXPECT_EQ(kept, testsupport::readFile(outside));
    // Only temporaries of writers that are gone are swept; nothing else of the directory.
    for (const fs::directory_entry& e : fs::directory_iterator(home.path() / "synced"))
        EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp-")) << e.path();
}

TEST(AtomicWriteFile, RemovesTemporariesOfWritersThatAreGone)
{
    namespace fs = std::filesystem;
    testsupport::TempHome home;
    std::string path = home.dir() + "c.scb";
    pid_t gone = fork();
    ASSERT_NE(-1, gone);
    if (gone == 0)
        _exit(0);
    int status = 0;
    waitpid(gone, &status, 0);
    std::string stale = path + ".tmp-" + std::to_string(gone) + "-7";
    std::string live = path + ".tmp-" + std::to_string(getppid()) + "-7";
    std::string other = home.dir() + "d.scb.tmp-" + std::to_string(gone) + "-7";
    for (const std::string& p : {stale, live, other})
        testsupport::writeFile(p, "x");
    ASSERT_TRUE(platform::atomicWriteFile(path, "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
}

} // namespace

#include "Platform/FileLock.h"

namespace {

// A writer's lock is seen by another process, through a symbolic link too, and goes with the
// process that held it however it ends.
TEST(FileLock, OneWriterAtATimeAcrossProcesses)
{
    testsupport::TempHome home;
    std::string path = home.dir() + "c.scb";
    testsupport::writeFile(path, "x");
    std::filesystem::create_symlink(path, home.dir() + "link.scb");
    int held[2];
    ASSERT_EQ(0, pipe(held));
    pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        platform::FileLock lock;
        bool locked = lock.lock(path, 0);
        [[maybe_unused]] ssize_t told = write(held[1], locked ? "1" : "0", 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(1, read(held[0], &byte, 1));
    ASSERT_EQ('1', byte);
    platform::FileLock mine;
    std::string error;
    EXPECT_FALSE(mine.lock(home.dir() + "link.scb", 50, &error));
    EXPECT_NE(std::string::npos, error.find("another program")) << error;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(mine.lock(home.dir() + "link.scb", 0, &error)) << error;
    EXPECT_TRUE(mine.isLocked());
    close(held[0]);
    close(held[1]);
}

} // namespace
