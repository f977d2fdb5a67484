// quillara-cli: the Quillara core without a window, for scripts and servers.
#include "CliContext.h"
#include "cmdCheck.h"
#include "cmdAnalyze.h"
#include "cmdConfig.h"
#include "cmdFetch.h"
#include "cmdSearch.h"
#include "cmdSnapshot.h"
#include "cmdFootprints.h"
#include "cmdExport.h"
#include "cmdImport.h"
#include "cmdTree.h"

#include <CLI/CLI.hpp>
#include <cstdio>

int main(int argc, char** argv)
{
    CliContext context;
    CLI::App app{"Quillara: checks, analyses and organises web addresses kept in cabinets",
                 "quillara-cli"};
    app.set_version_flag("--version", std::string("quillara-cli ") + QUILLARA_VERSION);
    app.require_subcommand(0, 1);

    addConfigCommand(app, context);
    addTreeCommand(app, context);
    addCheckCommand(app, context);
    addFetchCommand(app, context);
    addAnalyzeCommand(app, context);
    addSearchCommand(app, context);
    addSnapshotCommands(app, context);
    addImportCommand(app, context);
    addCreateCommand(app, context);
    addCopyCommand(app, context);
    addExportCommand(app, context);
    addFootprintsCommand(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "quillara-cli: %s\n", e.what());
        return CliContext::ExitError;
    }
    if (app.get_subcommands().empty()) {
        std::printf("%s", app.help().c_str());
        return CliContext::ExitOk;
    }
    return context.exitCode;
}
