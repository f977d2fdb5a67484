// quillara-cli export: a cabinet as the bookmark file the browsers import.
#include "cmdExport.h"

#include "CliContext.h"
#include "CliJson.h"
#include "TreeViewItem/Cabinet/tviCabinetExport.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

namespace {

struct ExportOptions {
    std::string source;
    std::string target;
    bool json = false;
};

void runExport(CliContext& context, const ExportOptions& o)
{
    if (!context.startServices()) {
        return;
    }
    tviCabinetExport::Result result;
    std::string error;
    if (!tviCabinetExport::exportFile(o.source, o.target, result, error)) {
        context.fail(error);
        return;
    }
    if (!result.warning.empty()) {
        std::fprintf(stderr, "quillara-cli: warning: %s\n", result.warning.c_str());
    }
    if (o.json) {
        CliJson out;
        out.beginObject().key("path").utf8(result.path);
        out.key("folders").number(static_cast<long long>(result.folders));
        out.key("items").number(static_cast<long long>(result.items));
        out.key("warning").utf8(result.warning).endObject();
        std::printf("%s\n", out.text().c_str());
    } else {
        std::printf("exported %zu folders and %zu items: %s\n", result.folders, result.items,
                    result.path.c_str());
    }
    context.exitCode = CliContext::ExitOk;
}

} // namespace

void addExportCommand(CLI::App& app, CliContext& context)
{
    auto o = std::make_shared<ExportOptions>();
    CLI::App* command =
        app.add_subcommand("export", "Write a cabinet (or a bookmark file, a Favorites directory) "
                                     "as a bookmark file browsers import");
    command
        ->add_option("CABINET", o->source,
                     "Cabinet file, bookmark HTML file or Favorites directory")
        ->required();
    command->add_option("--to", o->target, "Bookmark file to write (Netscape format, UTF-8)")
        ->required();
    command->add_flag("--json", o->json, "Print the result as a JSON object");
    command->callback([&context, o] { runExport(context, *o); });
}
