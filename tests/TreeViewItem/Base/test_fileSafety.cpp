// Every file the program writes, by kind: the writer is killed (SIGKILL) at random points of
// its writes, 100 times each, through the QUILLARA_KILL_AT hook of the atomic writes. Each time
// every file reads back byte for byte as the old or the new version, the program's own reader
// takes it whole, and no temporary file outlives that reader. And two programs on one file:
// this test's tree as the window, quillara-cli as the other program.
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Platform/AtomicFile.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetImport.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <thread>
#include <fcntl.h>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One kind of file and the program's own steps around it.
struct Writer {
    const char* kind;
    std::vector<std::string> files;
    // In the test: the old files put back, opened as the program opens them, a change made.
    std::function<void()> prepare;
    // In the child that is killed: the write.
    std::function<void()> write;
    // In the test afterwards: the program's reader; false when it cannot read the file whole.
    std::function<bool()> reopen;
    // Where write runs another program: the same write in this process, to count its points
    // and to stand in for the program in three kills out of four (a start costs more than
    // the write).
    std::function<void()> count;
};

std::vector<std::string> temporariesIn(const fs::path& directory)
{
    std::vector<std::string> out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(directory))
        if (e.path().filename().string().find(".tmp-") != std::string::npos)
            out.push_back(e.path().string());
    return out;
}

// Runs write in a child with the kill point set; the points its writes passed come back
// through a pipe when it was not killed. True when the child was killed.
bool runChild(const Writer& w, long long killAt, long long* passed)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        setenv("QUILLARA_KILL_AT", std::to_string(killAt).c_str(), 1);
        w.write();
        long long count = platform::crashPointsPassed();
        [[maybe_unused]] ssize_t told = ::write(pipeFds[1], &count, sizeof count);
        _exit(0);
    }
    close(pipeFds[1]);
    long long count = -1;
    if (read(pipeFds[0], &count, sizeof count) == static_cast<ssize_t>(sizeof count) &&
        passed != nullptr)
        *passed = count;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

void killAtRandomPoints(const Writer& w, const fs::path& home, std::mt19937& random)
{
    std::vector<std::string> old;
    for (const std::string& f : w.files)
        old.push_back(fs::exists(f) ? testsupport::readFile(f) : std::string());
    // A run to its end: how many points the write passes, and the new version of each file.
    w.prepare();
    long long points = 0;
    Writer counting = w;
    if (w.count)
        counting.write = w.count;
    ASSERT_FALSE(runChild(counting, 1LL << 60, &points)) << w.kind;
    ASSERT_GT(points, 0) << w.kind << ": nothing was written";
    std::vector<std::string> fresh;
    for (const std::string& f : w.files)
        fresh.push_back(testsupport::readFile(f));
    if (w.count) {
        for (size_t i = 0; i < w.files.size(); ++i)
            testsupport::writeFile(w.files[i], old[i]);
        ASSERT_FALSE(runChild(w, 1LL << 60, nullptr)) << w.kind;
        for (size_t i = 0; i < w.files.size(); ++i)
            ASSERT_EQ(fresh[i], testsupport::readFile(w.files[i]))
                << w.kind << ": the program wrote another file";
    }
    ASSERT_NE(old, fresh) << w.kind;
    // Half the kills anywhere (most land in the bytes), half in the last steps: sync, link,
    // rename, the directory's sync, or none.
    std::uniform_int_distribution<long long> anywhere(0, points);
    std::uniform_int_distribution<long long> lastSteps(std::max(0LL, points - 4), points);
    int killed = 0;
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 100; ++round) {
        for (size_t i = 0; i < w.files.size(); ++i)
            testsupport::writeFile(w.files[i], old[i]);
        w.prepare();
        long long point = round % 2 == 0 ? anywhere(random) : lastSteps(random);
        killed += runChild(w.count && round % 4 != 0 ? counting : w, point, nullptr) ? 1 : 0;
        for (size_t i = 0; i < w.files.size(); ++i) {
            std::string now = testsupport::readFile(w.files[i]);
            ASSERT_TRUE(now == old[i] || now == fresh[i])
                << w.kind << ", " << w.files[i] << ": killed at point " << point << " of " << points
                << ", neither old nor new (" << now.size() << " bytes)";
            sawOld += now == old[i] && old[i] != fresh[i] ? 1 : 0;
            sawNew += now == fresh[i] && old[i] != fresh[i] ? 1 : 0;
        }
        ASSERT_TRUE(w.reopen()) << w.kind << ": killed at point " << point;
        ASSERT_EQ(std::vector<std::string>{}, temporariesIn(home))
            << w.kind << ": killed at point " << point;
    }
    // Most runs were killed, some before the new version arrived and some after.
    EXPECT_GT(killed, 60) << w.kind;
    EXPECT_GT(sawOld, 0) << w.kind;
    EXPECT_GT(sawNew, 0) << w.kind;
}

} // namespace

TEST(CrashSafety, EveryFileIsOldOrNewWhenItsWriterIsKilled)
{
    // In memory where the machine has it: a kill leaves the page cache as it is, and 500 runs
    // that sync to a shared disk would take their time for nothing this test looks at.
    const char* oldTemp = std::getenv("TMPDIR");
    std::string keptTemp = oldTemp != nullptr ? oldTemp : "";
    if (::access("/dev/shm", W_OK) == 0)
        setenv("TMPDIR", "/dev/shm", 1);
    testsupport::TempHome home;
    if (oldTemp != nullptr)
        setenv("TMPDIR", keptTemp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    std::string dir = home.dir();
    fs::create_directories(home.path() / "Data");
    std::mt19937 random(20261207);
    std::unique_ptr<ctrlMemoryTreeView> tree;

    // A cabinet, written by the window's autosave after a change.
    std::string cabinetPath = dir + "Autosave.scb";
    testsupport::writeFile(cabinetPath,
                           tviCabinetFile::write(tviCabinetGenerator::generate(100, 1)));
    auto openCabinet = [&]() -> tviCabinet* {
        tree = std::make_unique<ctrlMemoryTreeView>();
        auto* opened =
            static_cast<tviCabinet*>(tree->adopt(std::make_unique<tviCabinet>(tree.get())));
        opened->setPath(cabinetPath);
        return opened->insertAndLoad(kTreeRoot, kTreeLast) && !opened->isReadOnly() ? opened
                                                                                    : nullptr;
    };
    Writer cabinet{"cabinet",
                   {cabinetPath},
                   [&] {
                       tviCabinet* c = openCabinet();
                       ASSERT_NE(nullptr, c);
                       ASSERT_TRUE(c->fromDocument(tviCabinetGenerator::generate(150, 2)));
                       tree->noteChanged(c->getHandle());
                   },
                   [&] { (void)tree->saveDueCabinets(INT64_MAX / 2); },
                   [&] { return openCabinet() != nullptr; },
                   {}};

    // Data/Footprint.scb: taking a footprint writes it.
    std::string footprintPath = dir + "Data/Footprint.scb";
    std::time_t startedAt = std::time(nullptr);
    tviRouteSnapshot* route = nullptr;
    tviCabinetItem* page = nullptr;
    auto openFootprints = [&] {
        tree = std::make_unique<ctrlMemoryTreeView>();
        route = static_cast<tviRouteSnapshot*>(
            tree->adopt(std::make_unique<tviRouteSnapshot>(tree.get())));
        route->insertItem(kTreeRoot, kTreeLast);
        route->setFilePath(footprintPath);
        // One creation time for every run, so that each finished write is the same file.
        route->setClock([startedAt] { return startedAt; });
        bool read = route->load();
        page =
            static_cast<tviCabinetItem*>(tree->adopt(std::make_unique<tviCabinetItem>(tree.get())));
        page->setName("page");
        page->setUrl("http://127.0.0.1/page");
        page->insertItem(kTreeRoot, kTreeFirst);
        return read;
    };
    openFootprints();
    for (int i = 0; i < 60; ++i)
        ASSERT_NE(nullptr, route->addFootprint(page, "footprint " + std::to_string(i), false));
    Writer footprints{"footprints",
                      {footprintPath},
                      [&] { ASSERT_TRUE(openFootprints()); },
                      [&] { route->addFootprint(page, "the new footprint", false); },
                      [&] { return openFootprints(); },
                      {}};

    // The snapshot List and every snapshot's own file, written by one save of the cabinet.
    tviPageSnapshot* snapshots = nullptr;
    auto openSnapshots = [&] {
        tree = std::make_unique<ctrlMemoryTreeView>();
        snapshots = tviPageSnapshot::openDefault(tree.get(), dir + "Data/", nullptr);
        return snapshots != nullptr;
    };
    ASSERT_TRUE(openSnapshots());
    std::vector<std::string> snapshotFiles{dir + "Data/Snapshot/List"};
    for (int i = 0; i < 8; ++i) {
        tviPSSItem* item = snapshots->addSnapshot("http://127.0.0.1/" + std::to_string(i),
                                                  "about " + std::to_string(i),
                                                  "snapshot " + std::to_string(i), false);
        ASSERT_NE(nullptr, item);
        item->endDownload();
        snapshotFiles.push_back(item->getFullPath() + "snapshot");
    }
    ASSERT_TRUE(snapshots->save());
    Writer snapshotWriter{
        "snapshot List and files",
        snapshotFiles,
        [&] {
            ASSERT_TRUE(openSnapshots());
            for (TreeNode n = tree->getFirstChild(snapshots->getHandle()); n != nullptr;
                 n = tree->getNextSibling(n)) {
                auto* item = dynamic_cast<tviPSSItem*>(tree->getItem(n));
                ASSERT_NE(nullptr, item);
                item->setName(item->getName() + " (renamed)");
                item->setDescription(std::string(300, 'd'));
            }
        },
        [&] { (void)snapshots->save(); },
        [&] { return openSnapshots() && tree->getFirstChild(snapshots->getHandle()) != nullptr; },
        {}};

    // Quillara.ini.
    std::unique_ptr<utlIniInfo> ini;
    auto openIni = [&] {
        ini = std::make_unique<utlIniInfo>();
        return ini->init() && ini->load();
    };
    ASSERT_TRUE(openIni());
    ASSERT_TRUE(ini->save());
    Writer settings{"Quillara.ini",
                    {ini->getIniFilePath()},
                    [&] {
                        ASSERT_TRUE(openIni());
                        ini->setString(IniKey::BrowserCommand, "browser " + std::string(200, 'a'));
                    },
                    [&] { ini->save(); },
                    [&] { return openIni(); },
                    {}};

    // An import target, through quillara-cli import as a user runs it.
    std::string target = dir + "Target.scb";
    std::string source = dir + "Source.scb";
    testsupport::writeFile(target, tviCabinetFile::write(tviCabinetGenerator::generate(200, 3)));
    testsupport::writeFile(source, tviCabinetFile::write(tviCabinetGenerator::generate(100, 4)));
    Writer import{"import target",
                  {target},
                  [] {},
                  [&] {
                      int quiet = open("/dev/null", O_WRONLY);
                      dup2(quiet, 1);
                      dup2(quiet, 2);
                      const char* cli = QUILLARA_CLI;
                      execl(cli, cli, "import", source.c_str(), "--to", target.c_str(), nullptr);
                      _exit(127);
                  },
                  [&] {
                      std::string bytes;
                      std::string error;
                      tviCabinetDocument doc;
                      return platform::readSavedFile(target, bytes, &error) &&
                             tviCabinetFile::read(bytes, doc, error) && doc.entries.size() >= 200;
                  },
                  [&] {
                      tviCabinetImport::Result result;
                      std::string error;
                      // Killed part-way or not, the check below reads what the file holds.
                      (void)tviCabinetImport::importInto(source, target, "", result, error);
                  }};

    for (const Writer* w : {&cabinet, &footprints, &snapshotWriter, &settings, &import}) {
        killAtRandomPoints(*w, home.path(), random);
        if (testing::Test::HasFatalFailure())
            return;
    }
}

namespace {

// Runs quillara-cli with arguments; its exit code, with stdout and stderr in out.
int runCli(const std::string& arguments, std::string& out,
           const std::function<void()>& meanwhile = {})
{
    FILE* pipe = popen((std::string(QUILLARA_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    if (meanwhile)
        meanwhile();
    out.clear();
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

tviCabinetDocument readCabinet(const std::string& path)
{
    tviCabinetDocument doc;
    std::string error;
    EXPECT_TRUE(tviCabinetFile::read(testsupport::readFile(path), doc, error))
        << path << ": " << error;
    return doc;
}

size_t countNamed(const tviCabinetDocument& doc, const std::string& name)
{
    return static_cast<size_t>(
        std::count_if(doc.entries.begin(), doc.entries.end(),
                      [&](const tviCabinetEntry& e) { return e.name == name; }));
}

// The window's tree: it merges what another program wrote, as the Qt tree does.
struct WindowTree : ctrlMemoryTreeView {
    WindowTree() { mergeChangedFiles = true; }
};

tviCabinetFolder* addFolder(ctrlTreeView& tree, tviCabinet* cabinet, const std::string& name)
{
    auto* folder =
        static_cast<tviCabinetFolder*>(tree.adopt(std::make_unique<tviCabinetFolder>(&tree)));
    folder->setName(name);
    if (!folder->insertItem(cabinet->getHandle(), kTreeLast))
        return nullptr;
    tree.noteChanged(folder->getHandle());
    return folder;
}

size_t subtreeSize(ctrlTreeView& tree, TreeNode node)
{
    return tree.subtreeNodes(node).size() - 1;
}

} // namespace

// The window holds a cabinet with a change of its own while quillara-cli imports into it: the
// window's save keeps both; with no change of its own the window reads the file again; and
// quillara-cli check --save refuses (exit 2) to write over what the window wrote after it read.
TEST(TwoPrograms, WindowAndCommandLineOnOneCabinet)
{
    testsupport::TempHome home;
    std::string path = home.dir() + "Mine.scb";
    std::string source = home.dir() + "Other.scb";
    tviCabinetDocument mine = tviCabinetGenerator::generate(20, 5);
    tviCabinetDocument other = tviCabinetGenerator::generate(7, 6);
    testsupport::writeFile(path, tviCabinetFile::write(mine));
    testsupport::writeFile(source, tviCabinetFile::write(other));
    WindowTree tree;
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    cabinet->setPath(path);
    ASSERT_TRUE(cabinet->insertAndLoad(kTreeRoot, kTreeLast));
    ASSERT_NE(nullptr, addFolder(tree, cabinet, "the window's folder"));
    std::string out;
    ASSERT_EQ(0, runCli("import " + source + " --to " + path, out)) << out;
    ASSERT_TRUE(tree.saveDueCabinets(INT64_MAX / 2));
    tviCabinetDocument saved = readCabinet(path);
    EXPECT_EQ(mine.entries.size() + 1 + other.entries.size(), saved.entries.size());
    EXPECT_EQ(1u, countNamed(saved, "the window's folder"));
    EXPECT_EQ(saved.entries.size(), subtreeSize(tree, cabinet->getHandle()));

    // Nothing changed in the window: its tree follows the file at the next tick.
    ASSERT_EQ(0, runCli("import " + source + " --to " + path, out)) << out;
    ASSERT_TRUE(tree.saveDueCabinets(INT64_MAX / 2));
    EXPECT_EQ(saved.entries.size() + other.entries.size(), subtreeSize(tree, cabinet->getHandle()));

    // check --save read the cabinet, then the window wrote it while a page was still loading.
    testsupport::TestHttpServer server(60);
    tviCabinetDocument checked;
    checked.name = "checked";
    tviCabinetEntry entry;
    entry.name = "slow page";
    entry.url = server.url("/slow-once?key=a&ms=4000");
    checked.entries.push_back(entry);
    std::string checkedPath = home.dir() + "Checked.scb";
    testsupport::writeFile(checkedPath, tviCabinetFile::write(checked));
    auto* second = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    second->setPath(checkedPath);
    ASSERT_TRUE(second->insertAndLoad(kTreeRoot, kTreeLast));
    int code = runCli("check --save --timeout 30 " + checkedPath, out, [&] {
        for (int i = 0; i < 2000 && server.arrivalCount("/slow-once") == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_NE(nullptr, addFolder(tree, second, "written by the window"));
        ASSERT_TRUE(second->save());
    });
    EXPECT_EQ(2, code) << out;
    EXPECT_NE(std::string::npos, out.find("changed by another program")) << out;
    EXPECT_EQ(1u, countNamed(readCabinet(checkedPath), "written by the window"));
}

// A snapshot taken by quillara-cli while the window has the snapshot cabinet open stays in the
// List when the window saves, and shows in the window's tree.
TEST(TwoPrograms, SnapshotTakenByTheCommandLineStaysListed)
{
    testsupport::TempHome home;
    testsupport::TestHttpServer server(60);
    utlIniInfo ini;
    ASSERT_TRUE(ini.init());
    WindowTree tree;
    tviPageSnapshot* cabinet = tviPageSnapshot::openDefault(&tree, ini.getDataDirectory(), nullptr);
    ASSERT_NE(nullptr, cabinet);
    tviPSSItem* mine =
        cabinet->addSnapshot("http://127.0.0.1/", "", "the window's snapshot", false);
    ASSERT_NE(nullptr, mine);
    mine->endDownload();
    std::string out;
    ASSERT_EQ(0, runCli("snapshot --name from-the-command-line " + server.url("/page"), out))
        << out;
    mine->setName("renamed in the window");
    ASSERT_TRUE(cabinet->save());
    std::string list = testsupport::readFile(cabinet->getFolderPath() + "List");
    EXPECT_NE(std::string::npos, list.find("from-the-command-line")) << list;
    EXPECT_NE(std::string::npos, list.find("renamed in the window")) << list;
    EXPECT_EQ(2u, subtreeSize(tree, cabinet->getHandle()));
}
