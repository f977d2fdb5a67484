#include "cmdTree.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Platform/platformText.h"
#include "TreeViewItem/ctrlMemoryTreeView.h"
#include "TreeViewItem/tviCabinet.h"
#include "TreeViewItem/tviCabinetItem.h"
#include "TreeViewItem/tviCabinetSource.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::string utf8(const std::string& sjis)
{
    return platform::sjisToUtf8(sjis);
}

std::string statusText(const tviTreeViewItem* item)
{
    std::string text;
    bool isError = false;
    item->getStatusText(text, isError);
    return text;
}

void printText(ctrlTreeView& tree, const tviCabinet* cabinet)
{
    std::printf("%s%s\n", utf8(cabinet->getText()).c_str(), cabinet->isReadOnly() ? "  (read-only)" : "");
    std::vector<std::pair<TreeNode, int>> work;
    auto pushChildren = [&](TreeNode node, int depth) {
        std::vector<TreeNode> children;
        for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            work.emplace_back(*it, depth);
        }
    };
    pushChildren(cabinet->getHandle(), 1);
    while (!work.empty()) {
        auto [node, depth] = work.back();
        work.pop_back();
        const tviTreeViewItem* item = tree.getItem(node);
        std::string indent(static_cast<size_t>(depth) * 2, ' ');
        std::string mark = item->isMarked() ? " *" : "";
        if (item->getType() == typeCabinetFolder) {
            std::printf("%s[%s]%s\n", indent.c_str(), utf8(item->getText()).c_str(), mark.c_str());
            pushChildren(node, depth + 1);
            continue;
        }
        std::printf("%s%s%s  <%s>  %s\n", indent.c_str(), utf8(item->getText()).c_str(), mark.c_str(),
                    utf8(item->getUrl()).c_str(), utf8(statusText(item)).c_str());
    }
}

void writeNode(CliJson& json, const tviTreeViewItem* item)
{
    json.key("name").sjis(item->getText()).key("type").number(item->getType());
    if (item->getType() == typeCabinetItem) {
        const auto* ci = static_cast<const tviCabinetItem*>(item);
        json.key("url").sjis(ci->getUrl()).key("title").sjis(ci->getTitle());
        json.key("keywords").sjis(ci->getKeywords());
    }
    json.key("comment").sjis(item->getDescription()).key("mark").boolean(item->isMarked());
    if (item->getType() == typeCabinetItem) {
        json.key("status").number(item->getStatus());
    }
}

// Nested objects without recursion: a stack of nodes whose children array is open.
void printJson(ctrlTreeView& tree, const tviCabinet* cabinet)
{
    CliJson json;
    json.beginObject();
    writeNode(json, cabinet);
    json.key("read_only").boolean(cabinet->isReadOnly());
    json.key("children").beginArray();
    std::vector<TreeNode> open{tree.getFirstChild(cabinet->getHandle())};
    while (!open.empty()) {
        TreeNode node = open.back();
        if (node == nullptr) {
            open.pop_back();
            json.endArray().endObject();
            if (!open.empty()) {
                open.back() = tree.getNextSibling(open.back());
            }
            continue;
        }
        const tviTreeViewItem* item = tree.getItem(node);
        json.beginObject();
        writeNode(json, item);
        json.key("children").beginArray();
        if (item->getType() == typeCabinetFolder) {
            open.push_back(tree.getFirstChild(node));
            continue;
        }
        json.endArray().endObject();
        open.back() = tree.getNextSibling(node);
    }
    std::printf("%s\n", json.text().c_str());
}

} // namespace

void addTreeCommand(CLI::App& app, CliContext& context)
{
    auto file = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* command = app.add_subcommand("tree", "Print the folders and items of a cabinet (.scb), a bookmark file or a Favorites directory");
    command->add_option("CABINET", *file, "Cabinet file, bookmark HTML file or Favorites directory")->required();
    command->add_flag("--json", *json, "Print nested JSON objects");
    command->callback([&context, file, json] {
        if (!context.startServices()) {
            return;
        }
        ctrlMemoryTreeView tree;
        auto owned = std::make_unique<tviCabinetSource>(&tree);
        owned->setPath(*file);
        auto* cabinet = static_cast<tviCabinetSource*>(tree.adopt(std::move(owned)));
        cabinet->insertItem(kTreeRoot, kTreeLast);
        cabinet->loadSource();
        if (cabinet->isUnreadable()) {
            context.fail(*file + ": " + cabinet->getLoadError());
            return;
        }
        if (*json) {
            printJson(tree, cabinet);
        } else {
            printText(tree, cabinet);
        }
        context.exitCode = CliContext::ExitOk;
        if (!cabinet->getLoadError().empty()) {
            // A file read only in part is shown as far as it is sound, and is an error.
            std::fprintf(stderr, "quillara-cli: %s: %s\n", file->c_str(), cabinet->getLoadError().c_str());
            bool foreign = cabinet->getLoadError().find("opened read-only") != std::string::npos;
            context.exitCode = foreign ? CliContext::ExitOk : CliContext::ExitError;
        }
    });
}
