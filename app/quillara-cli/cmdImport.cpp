#include "cmdImport.h"

#include "CliContext.h"
#include "CliJson.h"
#include "Common/utlIniInfo.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetImport.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

namespace {

struct FileOptions {
    std::string source;
    std::string target;
    std::string folder;
    std::string name;
    std::string description;
    bool json = false;
};

void printResult(const tviCabinetImport::Result& r, bool json, const char* verb)
{
    if (json) {
        CliJson out;
        out.beginObject().key("path").utf8(r.path).key("created").boolean(r.created);
        out.key("folders")
            .number(static_cast<long long>(r.folders))
            .key("items")
            .number(static_cast<long long>(r.items));
        out.key("warning").utf8(r.warning).endObject();
        std::printf("%s\n", out.text().c_str());
        return;
    }
    std::printf("%s %zu folders and %zu items: %s%s\n", verb, r.folders, r.items, r.path.c_str(),
                r.created ? " (new cabinet)" : "");
}

void warn(const tviCabinetImport::Result& r)
{
    if (!r.warning.empty()) {
        std::fprintf(stderr, "quillara-cli: warning: %s\n", r.warning.c_str());
    }
}

void runImport(CliContext& context, const FileOptions& o)
{
    if (!context.startServices()) {
        return;
    }
    tviCabinetImport::Result result;
    std::string error;
    if (!tviCabinetImport::importInto(o.source, o.target, platform::utf8ToSjis(o.folder), result,
                                      error)) {
        context.fail(error);
        return;
    }
    warn(result);
    printResult(result, o.json, "imported");
    context.exitCode = CliContext::ExitOk;
}

void runCreate(CliContext& context, FileOptions o)
{
    if (!context.startServices()) {
        return;
    }
    if (o.folder.empty()) {
        const auto& folders = GetUtlIniInfo()->getCabinetFolders();
        if (folders.empty()) {
            context.fail("no cabinet folder in the settings; give --folder");
            return;
        }
        o.folder = folders.front().path;
    }
    tviCabinetDocument doc;
    doc.name = platform::utf8ToSjis(o.name);
    doc.description = platform::utf8ToSjis(o.description);
    std::string path;
    std::string error;
    if (!tviCabinetImport::createCabinet(o.folder, doc, path, error)) {
        context.fail(error);
        return;
    }
    if (o.json) {
        CliJson out;
        out.beginObject().key("path").utf8(path).key("name").sjis(doc.name).endObject();
        std::printf("%s\n", out.text().c_str());
    } else {
        std::printf("%s\n", path.c_str());
    }
    context.exitCode = CliContext::ExitOk;
}

void runCopy(CliContext& context, const FileOptions& o)
{
    if (!context.startServices()) {
        return;
    }
    tviCabinetImport::Result result;
    std::string error;
    if (!tviCabinetImport::copyCabinet(o.source, o.target, platform::utf8ToSjis(o.name), result,
                                       error)) {
        context.fail(error);
        return;
    }
    warn(result);
    printResult(result, o.json, "copied");
    context.exitCode = CliContext::ExitOk;
}

} // namespace

void addImportCommand(CLI::App& app, CliContext& context)
{
    auto o = std::make_shared<FileOptions>();
    CLI::App* command =
        app.add_subcommand("import", "Copy a bookmark file, a Favorites directory or a cabinet "
                                     "into a cabinet (created when missing)");
    command->add_option("SOURCE", o->source, "Bookmark HTML file, Favorites directory or .scb")
        ->required();
    command->add_option("--to", o->target, "Cabinet file to add to")->required();
    command->add_option("--folder", o->folder,
                        "Put everything into a new top-level folder of this name");
    command->add_flag("--json", o->json, "Print the result as a JSON object");
    command->callback([&context, o] { runImport(context, *o); });
}

void addCreateCommand(CLI::App& app, CliContext& context)
{
    auto o = std::make_shared<FileOptions>();
    CLI::App* command = app.add_subcommand("create", "Make a new empty cabinet and print its path");
    command->add_option("NAME", o->name, "Cabinet name (the file is named after it)")->required();
    command->add_option("--folder", o->folder,
                        "Directory for the file (default: the first cabinet folder)");
    command->add_option("--description", o->description, "Description of the cabinet");
    command->add_flag("--json", o->json, "Print the result as a JSON object");
    command->callback([&context, o] { runCreate(context, *o); });
}

void addCopyCommand(CLI::App& app, CliContext& context)
{
    auto o = std::make_shared<FileOptions>();
    CLI::App* command = app.add_subcommand(
        "copy", "Copy every folder and item of a cabinet into a new cabinet file");
    command->add_option("SOURCE", o->source, "Cabinet to copy")->required();
    command->add_option("TARGET", o->target, "New cabinet file (must not exist)")->required();
    command->add_option("--name", o->name, "Title of the copy (default: the source's)");
    command->add_flag("--json", o->json, "Print the result as a JSON object");
    command->callback([&context, o] { runCopy(context, *o); });
}
