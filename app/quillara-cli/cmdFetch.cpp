#include "cmdFetch.h"

#include "CliContext.h"
#include "CliEngine.h"
#include "CliJson.h"
#include "CliProgress.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/platformText.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* statusName(clsRequestStatus status)
{
    switch (status) {
    case clsRequestStatus::registered: return "registered";
    case clsRequestStatus::headRequested: return "head-requested";
    case clsRequestStatus::headRead: return "head-read";
    case clsRequestStatus::reading: return "reading";
    case clsRequestStatus::complete: return "complete";
    case clsRequestStatus::failed: return "failed";
    case clsRequestStatus::unchecked: return "unchecked";
    }
    return "unknown";
}

// Remembers which requests have had their final notification.
class FetchListener : public clsEngineTarget {
public:
    void onNodeNotify(int id, clsQuillaraItem*, clsNodePhase phase) override
    {
        if (phase == clsNodePhase::complete)
            ended.insert(id);
    }
    std::set<int> ended;
};

void printLine(const std::string& argument, const clsUrlInformation& info)
{
    std::string line = "status=" + std::to_string(static_cast<int>(info.getStatus())) + "(" +
                       statusName(info.getStatus()) +
                       ") result=" + std::to_string(info.getResultCode()) +
                       " protocol=" + platform::sjisToUtf8(info.getProtocol()) +
                       " type=" + platform::sjisToUtf8(info.getContentType()) +
                       " length=" + std::to_string(info.getContentLength()) +
                       " received=" + std::to_string(info.getReceivedBytes()) + " " + argument;
    for (const std::string& hop : info.getRedirects())
        line += " -> " + platform::sjisToUtf8(hop);
    std::printf("%s\n", line.c_str());
}

void addJson(CliJson& json, const std::string& argument, const clsUrlInformation& info)
{
    json.beginObject();
    json.key("url").utf8(argument);
    json.key("final_url").sjis(info.getAddress());
    json.key("status").number(static_cast<int>(info.getStatus()));
    json.key("result").number(info.getResultCode());
    json.key("protocol").sjis(info.getProtocol());
    json.key("content_type").sjis(info.getContentType());
    json.key("length").number(info.getContentLength());
    json.key("received").number(info.getReceivedBytes());
    json.key("redirects").beginArray();
    for (const std::string& hop : info.getRedirects())
        json.sjis(hop);
    json.endArray();
    json.endObject();
}

struct FetchRun {
    std::vector<std::string> arguments;
    bool json = false;
};

int runFetch(const FetchRun& run, CliContext& context)
{
    if (!context.startServices())
        return CliContext::ExitError;
    FetchListener listener;
    CliEngine session(&listener);
    clsQuillaraEngine* engine = session.engine();
    if (engine == nullptr)
        return context.fail("cannot start the fetch engine");

    std::vector<clsUrlInformation*> requests;
    bool requested = true;
    for (const std::string& argument : run.arguments) {
        clsUrlInformation* info = nullptr;
        requested =
            engine->requestItem(clsRequestMode::read, 0, CliEngine::addressOf(argument), info) &&
            requested;
        requests.push_back(info);
    }
    CliProgress progress(requests.size());
    auto endedCount = [&] {
        std::size_t count = 0;
        for (clsUrlInformation* info : requests)
            count += info != nullptr && listener.ended.count(info->getId()) != 0 ? 1 : 0;
        return count;
    };
    std::size_t wanted = 0;
    for (clsUrlInformation* info : requests)
        wanted += info != nullptr ? 1 : 0;
    for (std::size_t done = endedCount(); done < wanted; done = endedCount()) {
        progress.update(done);
        session.pump(100);
    }
    progress.finish();

    bool allComplete = requested;
    CliJson json;
    json.beginArray();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        clsUrlInformation* info = requests[i];
        if (info == nullptr) {
            std::fprintf(stderr, "quillara-cli: cannot request %s\n", run.arguments[i].c_str());
            continue;
        }
        // An address nobody fetches was not checked: that is no failure.
        clsRequestStatus status = info->getStatus();
        allComplete = allComplete && (status == clsRequestStatus::complete ||
                                      status == clsRequestStatus::unchecked);
        if (run.json)
            addJson(json, run.arguments[i], *info);
        else
            printLine(run.arguments[i], *info);
    }
    json.endArray();
    if (run.json)
        std::printf("%s\n", json.text().c_str());

    for (clsUrlInformation* info : requests)
        if (info != nullptr)
            info->releaseQueueRef();
    session.stop();
    if (!requested)
        return CliContext::ExitError;
    return allComplete ? CliContext::ExitOk : CliContext::ExitFound;
}

} // namespace

void addFetchCommand(CLI::App& app, CliContext& context)
{
    auto run = std::make_shared<FetchRun>();
    CLI::App* command =
        app.add_subcommand("fetch", "Fetch addresses through the engine and print how each ended");
    command->add_option("URL", run->arguments, "Web addresses, absolute paths or file: addresses")
        ->required();
    command->add_flag("--json", run->json, "Print a JSON array");
    command->callback([&context, run] { context.exitCode = runFetch(*run, context); });
}
