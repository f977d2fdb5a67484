#include "cmdFootprints.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Common/kivaTime.h"
#include "Common/utlIniInfo.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Footprint/tviRSSItem.h"
#include "TreeViewItem/Footprint/tviRSSItemSet.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

namespace {

struct Footprint {
    std::string folder; // folder names joined by '/'
    const tviRSSItemSet* set = nullptr;
    std::vector<const tviRSSItem*> pages;
};

std::vector<Footprint> collect(ctrlTreeView& tree, const tviRouteSnapshot& route)
{
    std::vector<Footprint> out;
    for (TreeNode n : tree.subtreeNodes(route.getHandle())) {
        const tviTreeViewItem* item = tree.getItem(n);
        if (item->getType() != typeRSSItemSet) {
            continue;
        }
        Footprint f;
        f.set = static_cast<const tviRSSItemSet*>(item);
        for (const tviTreeViewItem* p = item->parentItem();
             p != nullptr && p->getType() == typeRSSFolder; p = p->parentItem()) {
            f.folder = f.folder.empty() ? p->getText() : p->getText() + "/" + f.folder;
        }
        for (TreeNode page = tree.getFirstChild(n); page != nullptr;) {
            const tviTreeViewItem* pageItem = tree.getItem(page);
            if (pageItem->getType() != typeRSSItem) {
                break;
            }
            f.pages.push_back(static_cast<const tviRSSItem*>(pageItem));
            TreeNode next = tree.getFirstChild(page);
            while (next != nullptr && tree.getItem(next)->getType() != typeRSSItem) {
                next = tree.getNextSibling(next);
            }
            page = next;
        }
        out.push_back(std::move(f));
    }
    return out;
}

std::string httpDate(std::time_t seconds)
{
    kivaTime t;
    std::string text;
    if (seconds > 0 && t.fromCalendarSeconds(seconds)) {
        t.toHttpDate(text);
    }
    return text;
}

std::string displayDate(std::time_t seconds)
{
    kivaTime t;
    return seconds > 0 && t.fromCalendarSeconds(seconds) ? t.toDisplayText() : std::string();
}

void run(CliContext& context, bool json)
{
    if (!context.startServices()) {
        return;
    }
    utlIniInfo* ini = GetUtlIniInfo();
    ctrlMemoryTreeView tree;
    auto* route =
        static_cast<tviRouteSnapshot*>(tree.adopt(std::make_unique<tviRouteSnapshot>(&tree)));
    route->insertItem(kTreeRoot, kTreeLast);
    route->setFilePath(ini->getDataDirectory() + "Footprint.scb");
    route->applySettings(*ini);
    route->load();
    std::vector<Footprint> footprints = collect(tree, *route);
    std::time_t now = route->now();
    if (json) {
        CliJson out;
        out.beginObject()
            .key("path")
            .utf8(route->getFilePath())
            .key("read_only")
            .boolean(route->isReadOnly());
        out.key("error").utf8(route->getLoadError()).key("footprints").beginArray();
        for (const Footprint& f : footprints) {
            out.beginObject().key("name").sjis(f.set->getName()).key("folder").sjis(f.folder);
            out.key("comment").sjis(f.set->getDescription()).key("mark").boolean(f.set->isMarked());
            out.key("created")
                .utf8(httpDate(f.set->getCreated()))
                .key("auto_delete")
                .boolean(f.set->getAutoDelete());
            out.key("expired").boolean(route->deleteOn() &&
                                       f.set->isExpired(now, route->getDeleteDay()));
            out.key("aged").boolean(f.set->isSpecial()).key("pages").beginArray();
            for (const tviRSSItem* p : f.pages) {
                out.beginObject().key("name").sjis(p->getName()).key("url").sjis(p->getUrl());
                out.key("title")
                    .sjis(p->getTitle())
                    .key("status")
                    .number(static_cast<int>(p->getStatus()))
                    .endObject();
            }
            out.endArray().endObject();
        }
        out.endArray().endObject();
        std::printf("%s\n", out.text().c_str());
    } else {
        std::printf("%s  %zu footprints%s\n", route->getFilePath().c_str(), footprints.size(),
                    route->isReadOnly() ? "  (read-only)" : "");
        for (const Footprint& f : footprints) {
            std::string where = f.folder.empty() ? "" : "[" + platform::sjisToUtf8(f.folder) + "] ";
            std::printf(
                "%s%s  %s%s%s\n", where.c_str(), platform::sjisToUtf8(f.set->getName()).c_str(),
                platform::sjisToUtf8(displayDate(f.set->getCreated())).c_str(),
                f.set->getAutoDelete() ? "  auto-delete" : "", f.set->isSpecial() ? "  aged" : "");
            std::string indent = "  ";
            for (const tviRSSItem* p : f.pages) {
                std::printf("%s%s  <%s>\n", indent.c_str(),
                            platform::sjisToUtf8(p->getName()).c_str(),
                            platform::sjisToUtf8(p->getUrl()).c_str());
                indent += "  ";
            }
        }
    }
    // A damaged or foreign file is shown as far as it was read, and the command says it failed.
    if (!route->getLoadError().empty()) {
        context.fail(route->getFilePath() + ": " + route->getLoadError());
        return;
    }
    context.exitCode = CliContext::ExitOk;
}

} // namespace

void addFootprintsCommand(CLI::App& app, CliContext& context)
{
    auto json = std::make_shared<bool>(false);
    CLI::App* command = app.add_subcommand(
        "footprints", "List the footprints (routes to pages) kept in Footprint.scb");
    command->add_flag("--json", *json, "Print the footprints as JSON");
    command->callback([&context, json] { run(context, *json); });
}
