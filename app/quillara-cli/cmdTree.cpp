#include "cmdTree.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Appends sjis as UTF-8 up to its first NUL, as "%s" printed it.
void appendUtf8(std::string& line, const std::string& sjis)
{
    size_t from = line.size();
    platform::appendSjisAsUtf8(line, sjis);
    size_t nul = line.find('\0', from);
    if (nul != std::string::npos) {
        line.resize(nul);
    }
}

std::string statusText(const tviTreeViewItem* item)
{
    std::string text;
    bool isError = false;
    item->getStatusText(text, isError);
    return text;
}

// Each line is made in one reused buffer and handed to stdout whole: the same bytes reach the
// same stdio stream in the same order as when printed field by field.
void writeLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void printText(ctrlTreeView& tree, const tviCabinet* cabinet)
{
    std::string line;
    appendUtf8(line, cabinet->getText());
    line += cabinet->isReadOnly() ? "  (read-only)\n" : "\n";
    writeLine(line);
    // Items share a handful of status texts: the last one's UTF-8 is kept.
    std::string lastStatus, lastStatusUtf8;
    std::vector<std::pair<TreeNode, int>> work;
    auto pushChildren = [&](TreeNode node, int depth) {
        size_t first = work.size();
        for (TreeNode c = tree.getFirstChild(node); c != nullptr; c = tree.getNextSibling(c)) {
            work.emplace_back(c, depth);
        }
        std::reverse(work.begin() + static_cast<std::ptrdiff_t>(first), work.end());
    };
    pushChildren(cabinet->getHandle(), 1);
    while (!work.empty()) {
        auto [node, depth] = work.back();
        work.pop_back();
        const tviTreeViewItem* item = tree.getItem(node);
        line.assign(static_cast<size_t>(depth) * 2, ' ');
        const char* mark = item->isMarked() ? " *" : "";
        if (item->getType() == typeCabinetFolder) {
            line += '[';
            appendUtf8(line, item->getText());
            line += ']';
            line += mark;
            line += '\n';
            writeLine(line);
            pushChildren(node, depth + 1);
            continue;
        }
        appendUtf8(line, item->getText());
        line += mark;
        line += "  <";
        appendUtf8(line, item->getUrl());
        line += ">  ";
        std::string status = statusText(item);
        if (status != lastStatus || lastStatusUtf8.empty()) {
            lastStatusUtf8.clear();
            appendUtf8(lastStatusUtf8, status);
            lastStatus = std::move(status);
        }
        line += lastStatusUtf8;
        line += '\n';
        writeLine(line);
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
        json.key("status").number(static_cast<int>(item->getStatus()));
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
    CLI::App* command =
        app.add_subcommand("tree", "Print the folders and items of a cabinet (.scb), a bookmark "
                                   "file or a Favorites directory");
    command->add_option("CABINET", *file, "Cabinet file, bookmark HTML file or Favorites directory")
        ->required();
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
            std::fprintf(stderr, "quillara-cli: %s: %s\n", file->c_str(),
                         cabinet->getLoadError().c_str());
            bool foreign = cabinet->getLoadError().find("opened read-only") != std::string::npos;
            context.exitCode = foreign ? CliContext::ExitOk : CliContext::ExitError;
        }
    });
}
