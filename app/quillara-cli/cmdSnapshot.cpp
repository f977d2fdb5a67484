#include "cmdSnapshot.h"

#include "CliContext.h"
#include "CliEngine.h"
#include "CliJson.h"
#include "CliProgress.h"
#include "Common/utlIniInfo.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Snapshot/tviAgeing.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

// The tree of the command: it relays the snapshot notifications to the items as the window's
// tree does, and keeps the last report for the progress bar and the listing.
class SnapshotTree : public ctrlMemoryTreeView {
public:
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        ctrlMemoryTreeView::onSnapshotNotify(id, report, phase);
        last = report;
        ended = ended || phase == clsSnapshotPhase::ended;
    }
    clsSnapshotReport last;
    bool ended = false;
};

struct SnapshotRun {
    std::string url;
    std::string name;
    bool autoDelete = false;
    bool keepScripts = false;
    bool json = false;
};

const char* kindName(int kind)
{
    return kind == 0 ? "page" : (kind == 2 ? "stylesheet" : "resource");
}

bool scriptsKept()
{
    return GetUtlIniInfo()->getInt(IniKey::SnapshotScripts) != 0;
}

void printReport(const clsSnapshotReport& report, bool json)
{
    if (json) {
        CliJson out;
        out.beginObject();
        out.key("url").sjis(report.url);
        out.key("directory").utf8(report.folder);
        out.key("top").utf8(report.topFile);
        out.key("complete")
            .boolean(report.topSaved && report.failedCount == 0 && !report.stopped &&
                     !report.cancelled);
        out.key("limit_reached").boolean(report.limitReached);
        out.key("scripts_kept").boolean(scriptsKept());
        out.key("files").beginArray();
        for (const clsSnapshotEntry& entry : report.entries) {
            out.beginObject();
            out.key("name").sjis(entry.name);
            out.key("url").sjis(entry.url);
            out.key("kind").utf8(kindName(entry.kind));
            out.key("saved").boolean(entry.saved);
            out.key("size").number(entry.size);
            out.key("result").number(entry.result);
            if (!entry.saved)
                out.key("error").sjis(entry.error);
            out.endObject();
        }
        out.endArray();
        out.endObject();
        std::printf("%s\n", out.text().c_str());
        return;
    }
    std::printf("directory %s\n", report.folder.c_str());
    for (const clsSnapshotEntry& entry : report.entries) {
        if (entry.saved)
            std::printf("saved  %10lld  %s  <- %s\n", static_cast<long long>(entry.size),
                        platform::sjisToUtf8(entry.name).c_str(),
                        platform::sjisToUtf8(entry.url).c_str());
        else
            std::printf(
                "FAILED %10s  %s  <- %s (%s)\n", "-", platform::sjisToUtf8(entry.name).c_str(),
                platform::sjisToUtf8(entry.url).c_str(), platform::sjisToUtf8(entry.error).c_str());
    }
    if (report.limitReached)
        std::printf("the entry limit was reached: further references are removed\n");
    std::printf(scriptsKept() ? "scripts kept (saved locally); the saved page contacts no server\n"
                              : "scripts removed; the saved page contacts no server\n");
}

int runSnapshot(const SnapshotRun& run, CliContext& context)
{
    if (!context.startServices())
        return CliContext::ExitError;
    utlIniInfo* ini = GetUtlIniInfo();
    // Only for this run: the command line never saves the settings.
    if (run.keepScripts)
        ini->setInt(IniKey::SnapshotScripts, 1);
    SnapshotTree tree;
    CliEngine session(&tree);
    if (session.engine() == nullptr)
        return context.fail("cannot start the fetch engine");
    tree.setEngine(session.engine());

    std::string address = CliEngine::addressOf(run.url);
    tviPageSnapshot* cabinet = tviPageSnapshot::openDefault(&tree, ini->getDataDirectory(), ini);
    tviPSSItem* item = nullptr;
    if (cabinet != nullptr)
        item = cabinet->takeSnapshot(address, {},
                                     run.name.empty() ? address : platform::utf8ToSjis(run.name),
                                     run.autoDelete, 0);
    if (item == nullptr || item->getSnapshotId() < 0) {
        session.stop();
        return context.fail("cannot take a snapshot into " +
                            (cabinet ? cabinet->getFolderPath() : std::string()));
    }
    std::unique_ptr<CliProgress> progress;
    std::size_t shownTotal = 0;
    while (!tree.ended) {
        session.pump(100);
        const clsSnapshotReport& last = tree.last;
        std::size_t done = static_cast<std::size_t>(last.savedCount + last.failedCount);
        std::size_t total = done + static_cast<std::size_t>(last.waitingCount);
        if (total != shownTotal) {
            progress = std::make_unique<CliProgress>(total);
            shownTotal = total;
        }
        if (progress)
            progress->update(done, platform::sjisToUtf8(item->getTop()));
    }
    if (progress)
        progress->finish();
    clsSnapshotReport report = tree.last;
    bool listed = cabinet->save();
    session.stop();
    printReport(report, run.json);
    if (!listed)
        return context.fail(cabinet->getFolderPath() +
                            "List: the snapshot list could not be written");
    if (!report.topSaved)
        return CliContext::ExitError;
    return report.failedCount == 0 && !report.stopped ? CliContext::ExitOk : CliContext::ExitFound;
}

std::string dateText(const kivaTime& time)
{
    return time.wYear == 0 ? std::string() : platform::sjisToUtf8(time.toDisplayText());
}

void listItems(ctrlTreeView& tree, TreeNode parent, const std::string& folderName,
               const tviPageSnapshot& cabinet, CliJson& json, bool asJson)
{
    for (TreeNode n = tree.getFirstChild(parent); n != nullptr; n = tree.getNextSibling(n)) {
        tviTreeViewItem* child = tree.getItem(n);
        if (auto* folder = dynamic_cast<tviPSSFolder*>(child)) {
            listItems(tree, n, folderName + folder->getName() + "/", cabinet, json, asJson);
            continue;
        }
        auto* item = dynamic_cast<tviPSSItem*>(child);
        if (item == nullptr)
            continue;
        kivaTime colour = tviAgeing::addDays(item->getCreated(), cabinet.getColorDay());
        kivaTime deletion = tviAgeing::addDays(item->getCreated(), cabinet.getLimitDay());
        if (asJson) {
            json.beginObject();
            json.key("name").sjis(folderName + item->getName());
            json.key("source").sjis(item->getSource());
            json.key("directory").utf8(item->getFullPath());
            json.key("top").utf8(item->getUrl());
            json.key("created").utf8(dateText(item->getCreated()));
            json.key("colour_date").utf8(dateText(colour));
            json.key("deletion_date")
                .utf8(item->getAutoDelete() ? dateText(deletion) : std::string());
            json.key("auto_delete").boolean(item->getAutoDelete());
            json.endObject();
            continue;
        }
        std::printf(
            "%s\n  source    %s\n  directory %s\n  created   %s\n  colour    %s\n  deletion  %s\n",
            platform::sjisToUtf8(folderName + item->getName()).c_str(),
            platform::sjisToUtf8(item->getSource()).c_str(), item->getFullPath().c_str(),
            dateText(item->getCreated()).c_str(), dateText(colour).c_str(),
            item->getAutoDelete() ? dateText(deletion).c_str() : "(kept)");
    }
}

// Empties the trash the command line way: no question, the option is the answer.
int emptyTrash(tviPageSnapshot& cabinet, bool asJson, CliContext& context)
{
    std::size_t count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(cabinet.getTrashPath(), error);
         it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    if (!cabinet.emptyTrash())
        return context.fail("cannot empty " + cabinet.getTrashPath());
    if (asJson)
        std::printf("{\"emptied\":%zu}\n", count);
    else
        std::printf("emptied the trash: %zu deleted snapshots and folders removed\n", count);
    return CliContext::ExitOk;
}

int runSnapshots(bool asJson, bool emptyTheTrash, CliContext& context)
{
    if (!context.startServices())
        return CliContext::ExitError;
    const utlIniInfo* ini = GetUtlIniInfo();
    ctrlMemoryTreeView tree;
    tviPageSnapshot* cabinet = tviPageSnapshot::openDefault(&tree, ini->getDataDirectory(), ini);
    if (cabinet == nullptr)
        return context.fail("cannot open the snapshot cabinet");
    if (emptyTheTrash)
        return emptyTrash(*cabinet, asJson, context);
    CliJson json;
    json.beginArray();
    listItems(tree, cabinet->getHandle(), {}, *cabinet, json, asJson);
    json.endArray();
    if (asJson)
        std::printf("%s\n", json.text().c_str());
    return CliContext::ExitOk;
}

} // namespace

void addSnapshotCommands(CLI::App& app, CliContext& context)
{
    auto run = std::make_shared<SnapshotRun>();
    CLI::App* snapshot =
        app.add_subcommand("snapshot", "Take a snapshot of a page into the snapshot cabinet");
    snapshot->add_option("URL", run->url, "Web address, absolute path or file: address of the page")
        ->required();
    snapshot->add_option("--name", run->name, "Name of the snapshot (default: the address)");
    snapshot->add_flag("--auto-delete", run->autoDelete,
                       "Delete the snapshot once it is older than EPLimitDay days");
    snapshot->add_flag(
        "--keep-scripts", run->keepScripts,
        "Keep the page's scripts and save their files (default: PrefFile/SnapshotScripts, "
        "else scripts are removed); the saved page still contacts no server");
    snapshot->add_flag("--json", run->json, "Print a JSON object");
    snapshot->callback([&context, run] { context.exitCode = runSnapshot(*run, context); });

    auto json = std::make_shared<bool>(false);
    auto empty = std::make_shared<bool>(false);
    CLI::App* list = app.add_subcommand("snapshots", "List the snapshot cabinet");
    list->add_flag("--json", *json, "Print a JSON array");
    list->add_flag("--empty-trash", *empty,
                   "Remove the deleted snapshots and folders for good (no undo)");
    list->callback(
        [&context, json, empty] { context.exitCode = runSnapshots(*json, *empty, context); });
}
