#include "cmdSearch.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Base/tviTreeSearch.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SearchOptions {
    std::string file;
    std::string text;
    bool textGiven = false;
    bool mark = false;
    bool dead = false;
    std::string fields = "name,url,comment,title,keywords";
    bool backward = false;
    bool json = false;
};

struct FieldName {
    const char* name;
    int option;
};

constexpr FieldName fieldNames[] = {
    {"name", searchName},   {"url", searchUrl},           {"comment", searchComment},
    {"title", searchTitle}, {"keywords", searchKeywords},
};

// The option bits of a comma-separated field list; -1 names the first unknown field.
int parseFields(const std::string& list, std::string& unknown)
{
    int options = 0;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string field = list.substr(start, end - start);
        start = end + 1;
        if (field.empty()) {
            continue;
        }
        int option = 0;
        for (const FieldName& f : fieldNames) {
            option = field == f.name ? f.option : option;
        }
        if (option == 0) {
            unknown = field;
            return -1;
        }
        options |= option;
    }
    return options;
}

// The folder names from the cabinet down to node's parent, joined by '/'.
std::string folderPath(const ctrlTreeView& tree, TreeNode node, TreeNode cabinetNode)
{
    std::vector<std::string> names;
    for (TreeNode p = tree.getParent(node); p != kTreeRoot && p != cabinetNode;
         p = tree.getParent(p)) {
        names.push_back(tree.getItem(p)->getText());
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += (path.empty() ? "" : "/") + *it;
    }
    return path;
}

// Every match below the cabinet, in walk order or its reverse.
std::vector<TreeNode> findAll(const ctrlTreeView& tree, TreeNode cabinetNode,
                              const tviSearchRequest& request)
{
    std::vector<TreeNode> found;
    bool down = request.direction == tviSearchDirection::down;
    // Going up, the walk starts behind the last node so that the last node is tested too.
    TreeNode from = down ? cabinetNode : kTreeRoot;
    for (TreeNode n = tviTreeSearch::find(tree, from, request); n != nullptr && n != cabinetNode;
         n = tviTreeSearch::find(tree, n, request)) {
        found.push_back(n);
    }
    return found;
}

void print(const ctrlTreeView& tree, TreeNode cabinetNode, const std::vector<TreeNode>& found,
           bool asJson)
{
    if (asJson) {
        CliJson json;
        json.beginArray();
        for (TreeNode n : found) {
            const tviTreeViewItem* item = tree.getItem(n);
            json.beginObject().key("path").sjis(folderPath(tree, n, cabinetNode));
            json.key("name").sjis(item->getText()).key("url").sjis(item->getUrl());
            json.key("type").number(item->getType()).endObject();
        }
        json.endArray();
        std::printf("%s\n", json.text().c_str());
        return;
    }
    for (TreeNode n : found) {
        const tviTreeViewItem* item = tree.getItem(n);
        std::string path = folderPath(tree, n, cabinetNode);
        std::string where = path.empty() ? item->getText() : path + "/" + item->getText();
        std::string url = item->getUrl();
        std::printf("%s%s\n", platform::sjisToUtf8(where).c_str(),
                    url.empty() ? "" : ("  <" + platform::sjisToUtf8(url) + ">").c_str());
    }
}

void runSearch(CliContext& context, const SearchOptions& options)
{
    if (static_cast<int>(options.textGiven) + options.mark + options.dead != 1) {
        context.fail("search: give exactly one of --text, --mark and --dead");
        return;
    }
    tviSearchRequest request;
    request.direction = options.backward ? tviSearchDirection::up : tviSearchDirection::down;
    request.mode = options.mark   ? tviSearchMode::mark
                   : options.dead ? tviSearchMode::deadLink
                                  : tviSearchMode::text;
    if (options.textGiven) {
        request.text = platform::utf8ToSjis(options.text);
        if (tviTreeViewItem::searchWords(request.text).empty()) {
            context.fail("search: --text needs at least one word");
            return;
        }
        std::string unknown;
        request.options = parseFields(options.fields, unknown);
        if (request.options <= 0) {
            context.fail(unknown.empty() ? "search: --fields names no field"
                                         : "search: unknown field '" + unknown +
                                               "' (name, url, comment, title, keywords)");
            return;
        }
    }
    if (!context.startServices()) {
        return;
    }
    ctrlMemoryTreeView tree;
    auto* cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
    cabinet->setPath(options.file);
    cabinet->insertItem(kTreeRoot, kTreeLast);
    cabinet->load();
    if (cabinet->isUnreadable()) {
        context.fail(options.file + ": " + cabinet->getLoadError());
        return;
    }
    if (!cabinet->getLoadError().empty()) {
        std::fprintf(stderr, "quillara-cli: %s: %s\n", options.file.c_str(),
                     cabinet->getLoadError().c_str());
    }
    std::vector<TreeNode> found = findAll(tree, cabinet->getHandle(), request);
    print(tree, cabinet->getHandle(), found, options.json);
    context.exitCode = found.empty() ? CliContext::ExitFound : CliContext::ExitOk;
}

} // namespace

void addSearchCommand(CLI::App& app, CliContext& context)
{
    auto options = std::make_shared<SearchOptions>();
    CLI::App* command =
        app.add_subcommand("search", "Find items of a cabinet by text, by mark or as dead links "
                                     "(exit 0 found, 1 none, 2 error)");
    command->add_option("CABINET", options->file, "Cabinet file (.scb)")->required();
    command->add_option(
        "--text", options->text,
        "Words separated by blanks; an item matches when any word occurs in a selected field "
        "(case, width and the long vowel mark do not matter)");
    command->add_flag("--mark", options->mark, "Marked items");
    command->add_flag("--dead", options->dead, "Items whose last load failed");
    command->add_option("--fields", options->fields,
                        "Fields of --text: name,url,comment,title,keywords (all)");
    command->add_flag("--backward", options->backward,
                      "List the matches from the end of the cabinet upwards");
    command->add_flag("--json", options->json, "Print a JSON array of {path, name, url, type}");
    command->callback([&context, options, command] {
        options->textGiven = command->count("--text") > 0;
        runSearch(context, *options);
    });
}
