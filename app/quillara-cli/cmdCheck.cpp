#include "cmdCheck.h"

#include "CliContext.h"
#include "CliJson.h"
#include "CliProgress.h"
#include "Engine/clsEngineOptions.h"
#include "Platform/platformText.h"
#include "TreeViewItem/tviCabinet.h"
#include "TreeViewItem/tviCabinetCheck.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

namespace {

struct CheckOptions {
    std::string file;
    bool json = false;
    bool save = false;
    int timeoutSeconds = 600;
};

void printJson(const tviCabinetCheck& check)
{
    CliJson json;
    json.beginArray();
    for (const tviCheckResult& r : check.results()) {
        if (!r.failed()) {
            continue;
        }
        json.beginObject().key("path").sjis(r.path).key("name").sjis(r.name).key("url").sjis(r.url);
        json.key("status").number(r.status).key("result").number(r.result);
        json.key("status_text").sjis(r.statusText).endObject();
    }
    json.endArray();
    std::printf("%s\n", json.text().c_str());
}

void printText(const tviCabinetCheck& check)
{
    size_t dead = 0;
    for (const tviCheckResult& r : check.results()) {
        if (!r.failed()) {
            continue;
        }
        dead += (r.result == 404 || r.result == 410) ? 1 : 0;
        std::string where = r.path.empty() ? r.name : r.path + "/" + r.name;
        std::printf("%s  <%s>  status %d result %d  %s\n", platform::sjisToUtf8(where).c_str(),
                    platform::sjisToUtf8(r.url).c_str(), r.status, r.result,
                    platform::sjisToUtf8(r.statusText).c_str());
    }
    size_t failed = check.failedCount();
    std::printf("%zu items checked: %zu loaded, %zu failed (%zu gone: 404 or 410)\n",
                check.results().size(), check.results().size() - failed, failed, dead);
}

void runCheck(CliContext& context, const CheckOptions& options)
{
    if (!context.startServices()) {
        return;
    }
    tviCabinetCheck check(clsEngineOptions::fromSettings());
    if (!check.open(options.file)) {
        context.fail(options.file + ": " + check.loadError());
        return;
    }
    if (!check.loadError().empty()) {
        std::fprintf(stderr, "quillara-cli: %s: %s\n", options.file.c_str(), check.loadError().c_str());
    }
    std::unique_ptr<CliProgress> progress;
    check.run(options.timeoutSeconds * 1000, [&progress](size_t done, size_t total) {
        if (!progress) {
            progress = std::make_unique<CliProgress>(total);
        }
        progress->update(done);
    });
    if (progress) {
        progress->finish();
    }
    if (options.json) {
        printJson(check);
    } else {
        printText(check);
    }
    context.exitCode = check.failedCount() > 0 ? CliContext::ExitFound : CliContext::ExitOk;
    if (options.save && !check.save()) {
        context.fail(options.file + ": statuses not saved (" +
                     (check.cabinet()->isReadOnly() ? std::string("read-only cabinet") : std::string("write failed")) + ")");
    }
}

} // namespace

void addCheckCommand(CLI::App& app, CliContext& context)
{
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand("check", "Load every item of a cabinet and report the dead or failed ones");
    command->add_option("CABINET", options->file, "Cabinet file")->required();
    command->add_flag("--json", options->json, "Print the failed items as a JSON array");
    command->add_flag("--save", options->save, "Write the statuses back into the cabinet");
    command->add_option("--timeout", options->timeoutSeconds, "Give up on what has not ended after this many seconds")
        ->check(CLI::Range(1, 86400));
    command->callback([&context, options] { runCheck(context, *options); });
}
