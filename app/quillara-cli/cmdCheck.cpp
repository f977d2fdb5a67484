#include "cmdCheck.h"

#include "CliCheckReport.h"
#include "CliContext.h"
#include "CliProgress.h"
#include "Common/utlIniInfo.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Http/clsUrlCache.h"
#include "Platform/AtomicFile.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetCheck.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

struct CheckOptions {
    std::string file;
    bool json = false;
    std::string format = "text";
    std::string output;
    bool save = false;
    bool updateMoved = false;
    bool noCache = false;
    bool archived = false;
    bool updateArchived = false;
    int timeoutSeconds = 600;
};

// The page cache for the run of one check: pages kept by an earlier check (or the window) are
// asked for conditionally, and what this check loads is kept for the next. Without a cache
// the check still runs, only unconditionally.
class CheckCache {
public:
    explicit CheckCache(bool wanted) : open_(wanted && InitUrlCache())
    {
        if (wanted && !open_)
            std::fprintf(
                stderr,
                "quillara-cli: the page cache cannot be opened; every page is fetched whole\n");
    }
    ~CheckCache()
    {
        if (open_)
            TermUrlCache();
    }
    CheckCache(const CheckCache&) = delete;
    CheckCache& operator=(const CheckCache&) = delete;

private:
    bool open_;
};

void listChanges(const std::vector<std::pair<std::string, std::string>>& changes)
{
    for (const auto& [from, to] : changes)
        std::fprintf(stderr, "updated: <%s> -> <%s>\n", platform::sjisToUtf8(from).c_str(),
                     platform::sjisToUtf8(to).c_str());
}

// Writes the archived copies found (and with --update-archived their addresses as the items'
// own), the moved items' new addresses, and with --save the statuses into the cabinet,
// listing each changed address on stderr.
bool writeChanges(CliContext& context, tviCabinetCheck& check, const CheckOptions& options)
{
    auto why = [&] {
        if (check.cabinet()->isReadOnly())
            return std::string("read-only cabinet");
        const std::string& error = check.cabinet()->getSaveError();
        return error.empty() ? std::string("write failed") : error;
    };
    // A bookmark file or a Favorites folder is only read: its copies are in the report alone.
    if (options.archived && check.archivedCount() > 0 && check.cabinet()->isReadOnly() &&
        !options.updateArchived && !options.save) {
        std::fprintf(stderr, "quillara-cli: %s: archived copies listed only (read-only cabinet)\n",
                     options.file.c_str());
    } else if (options.archived && check.archivedCount() > 0) {
        std::vector<std::pair<std::string, std::string>> changes;
        bool written = options.updateArchived ? check.updateArchived(changes, options.save)
                                              : check.saveFound(options.save);
        if (!written) {
            context.fail(options.file + ": archived copies not written (" + why() + ")");
            return false;
        }
        listChanges(changes);
    }
    if (options.updateMoved) {
        std::vector<std::pair<std::string, std::string>> changes;
        if (!check.updateMoved(changes, options.save)) {
            context.fail(options.file + ": moved addresses not written (" + why() + ")");
            return false;
        }
        listChanges(changes);
        if (!changes.empty() || !options.save)
            return true;
    }
    if (options.save && !check.save()) {
        context.fail(options.file + ": statuses not saved (" + why() + ")");
        return false;
    }
    return true;
}

void runCheck(CliContext& context, const CheckOptions& options)
{
    CliCheckReport::Format format = CliCheckReport::Format::text;
    if (!CliCheckReport::parseFormat(options.json ? "json" : options.format, format)) {
        context.fail("unknown report format: " + options.format);
        return;
    }
    if (!context.startServices()) {
        return;
    }
    // Made before the check, so that the engine has stopped before the cache closes.
    CheckCache cache(!options.noCache);
    tviCabinetCheck check(clsEngineOptions::fromSettings());
    if (!check.open(options.file)) {
        context.fail(options.file + ": " + check.loadError());
        return;
    }
    if (!check.loadError().empty()) {
        std::fprintf(stderr, "quillara-cli: %s: %s\n", options.file.c_str(),
                     check.loadError().c_str());
    }
    auto start = std::chrono::steady_clock::now();
    std::unique_ptr<CliProgress> progress;
    bool ran = check.run(options.timeoutSeconds * 1000, [&progress](size_t done, size_t total) {
        if (!progress) {
            progress = std::make_unique<CliProgress>(total);
        }
        progress->update(done);
    });
    if (!ran) {
        // No engine to ask: nothing was checked, which must not read as "no dead links".
        context.fail(options.file + ": the check could not start");
        return;
    }
    if (progress) {
        progress->finish();
    }
    if (options.archived) {
        const std::string& timeGate = GetUtlIniInfo()->getString(IniKey::ArchiveTimeGate);
        if (timeGate.empty())
            std::fprintf(stderr, "quillara-cli: Communication/ArchiveTimeGate is empty: no "
                                 "archived copies asked for\n");
        check.findArchived(timeGate, options.timeoutSeconds * 1000);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CliCheckReport report(check, std::filesystem::path(options.file).filename().string(), seconds);
    std::string text = report.render(format);
    context.exitCode = check.failedCount() > 0 ? CliContext::ExitFound : CliContext::ExitOk;
    if (!options.output.empty()) {
        std::string error;
        if (!platform::atomicWriteFile(options.output, text, &error, platform::Durability::Synced,
                                       platform::Links::Follow)) {
            context.fail(options.output + ": report not written (" + error + ")");
            return;
        }
        std::printf("%s\n", report.summaryLine().c_str());
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        // The machine-read formats keep standard output to themselves.
        if (format == CliCheckReport::Format::json || format == CliCheckReport::Format::junit)
            std::fprintf(stderr, "%s\n", report.summaryLine().c_str());
    }
    std::fflush(stdout);
    writeChanges(context, check, options);
}

} // namespace

void addCheckCommand(CLI::App& app, CliContext& context)
{
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Load every item of a cabinet and report the dead or failed ones");
    command
        ->add_option("CABINET", options->file,
                     "Cabinet file, bookmark HTML file or Favorites directory")
        ->required();
    command->add_option("--format", options->format, "Report format: text, json, junit or markdown")
        ->check(CLI::IsMember({"text", "json", "junit", "markdown"}));
    command->add_flag("--json", options->json, "Short for --format json");
    command->add_option("--output", options->output,
                        "Write the report to this file (atomically) instead of stdout");
    command->add_flag("--save", options->save, "Write the statuses back into the cabinet");
    command->add_flag(
        "--update-moved", options->updateMoved,
        "Write the final address of every permanently moved item (301, 308) into the cabinet");
    command->add_flag("--archived", options->archived,
                      "Ask the Memento TimeGate (Communication/ArchiveTimeGate) for an archived "
                      "copy of every dead "
                      "item, closest to the day it was added, and keep it in the cabinet");
    command->add_flag("--update-archived", options->updateArchived,
                      "With --archived: write the archived copy's address as the item's address");
    command->add_flag(
        "--no-cache", options->noCache,
        "Fetch every page whole: neither ask with the page cache's validators nor fill it");
    command
        ->add_option("--timeout", options->timeoutSeconds,
                     "Give up on what has not ended after this many seconds")
        ->check(CLI::Range(1, 86400));
    command->callback([&context, options] {
        options->archived = options->archived || options->updateArchived;
        runCheck(context, *options);
    });
}
