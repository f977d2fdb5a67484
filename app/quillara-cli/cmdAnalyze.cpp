// quillara-cli analyze: the page analyzer on one address or file, for scripts and checks.
#include "cmdAnalyze.h"

#include "CliContext.h"
#include "CliEngine.h"
#include "CliJson.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Http/clsUrlCache.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Text/utlKanjiConverter.h"
#include "Platform/AtomicFile.h"
#include "Platform/platformText.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct AnalyzeRun {
    std::string argument;
    bool json = false;
    std::size_t blockSize = 2048;
};

// Keeps the node of the request when its final notification arrives.
class AnalyzeListener : public clsEngineTarget {
public:
    explicit AnalyzeListener(int wanted) : wanted(wanted) {}
    ~AnalyzeListener() override
    {
        if (node != nullptr)
            node->release();
    }
    void onNodeNotify(int id, clsQuillaraItem* notified, clsNodePhase phase) override
    {
        if (phase != clsNodePhase::complete || id != wanted || node != nullptr)
            return;
        notified->addRef();
        node = notified;
    }
    int wanted;
    clsQuillaraItem* node = nullptr;
};

bool isWebAddress(const std::string& argument)
{
    std::size_t scheme = argument.find("://");
    return scheme != std::string::npos && !argument.starts_with("file:");
}

void printText(const std::string& argument, const clsQuillaraItem& node)
{
    clsNodeProperties properties = node.getProperties();
    std::printf("url: %s\n", argument.c_str());
    std::printf("code: %s (%d)\n", utlKanjiConverter::nameOfCode(properties.codeKind),
                properties.codeKind);
    std::printf("title: %s\n", platform::sjisToUtf8(properties.title).c_str());
    std::printf("keywords: %s\n", platform::sjisToUtf8(properties.keywords).c_str());
    for (int k = 0; k < 2; ++k) {
        int count = k == 0 ? node.getLinkCount() : node.getResourceCount();
        std::printf("%s: %d\n", k == 0 ? "links" : "resources", count);
        for (int index = 0; index < count; ++index) {
            clsLinkProperties link;
            if (k == 0 ? !node.getLink(index, link) : !node.getResource(index, link))
                continue;
            std::printf("  %2d %s  <%s>\n", link.linkKind, platform::sjisToUtf8(link.name).c_str(),
                        platform::sjisToUtf8(link.address).c_str());
        }
    }
}

void printJson(const std::string& argument, const clsQuillaraItem& node)
{
    clsNodeProperties properties = node.getProperties();
    CliJson json;
    json.beginObject();
    json.key("url").utf8(argument);
    json.key("code").utf8(utlKanjiConverter::nameOfCode(properties.codeKind));
    json.key("code_kind").number(properties.codeKind);
    json.key("title").sjis(properties.title);
    json.key("keywords").sjis(properties.keywords);
    for (int k = 0; k < 2; ++k) {
        json.key(k == 0 ? "links" : "resources").beginArray();
        int count = k == 0 ? node.getLinkCount() : node.getResourceCount();
        for (int index = 0; index < count; ++index) {
            clsLinkProperties link;
            if (k == 0 ? !node.getLink(index, link) : !node.getResource(index, link))
                continue;
            json.beginObject();
            json.key("name").sjis(link.name);
            json.key("url").sjis(link.address);
            json.key("kind").number(link.linkKind);
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
    std::printf("%s\n", json.text().c_str());
}

void print(const AnalyzeRun& run, const clsQuillaraItem& node)
{
    if (run.json)
        printJson(run.argument, node);
    else
        printText(run.argument, node);
}

// A file is cut into blocks of the given size, each analysed as it would be on arrival.
int analyzeFile(const AnalyzeRun& run, CliContext& context)
{
    std::string path = run.argument.starts_with("file://") ? run.argument.substr(7) : run.argument;
    std::error_code error;
    std::string absolute = std::filesystem::absolute(path, error).string();
    std::string bytes;
    std::string why;
    if (!std::filesystem::is_regular_file(absolute, error) ||
        !platform::readWholeFile(absolute, bytes, &why))
        return context.fail("cannot read " + run.argument + (why.empty() ? "" : ": " + why));
    clsUrlInformation owner;
    owner.set(1, 0, absolute); // a path: the file system's bytes
    auto item = std::make_unique<clsHtmlItem>();
    item->setUrlInformation(&owner);
    bool complete = false;
    for (std::size_t at = 0; at < bytes.size(); at += run.blockSize) {
        std::size_t n = std::min(run.blockSize, bytes.size() - at);
        std::unique_ptr<char[]> block(new char[n + 1]);
        std::memcpy(block.get(), bytes.data() + at, n);
        block[n] = 0;
        item->appendBlock(std::move(block), n);
        item->analyze(complete);
    }
    item->setTransferEnded();
    item->analyze(complete);
    print(run, *item);
    item->setUrlInformation(nullptr);
    return CliContext::ExitOk;
}

int analyzeAddress(const AnalyzeRun& run, CliContext& context)
{
    InitUrlCache();
    clsUrlInformation* info = nullptr;
    AnalyzeListener listener(-1);
    CliEngine session(&listener);
    clsQuillaraEngine* engine = session.engine();
    if (engine == nullptr)
        return context.fail("cannot start the fetch engine");
    int exitCode = CliContext::ExitOk;
    std::string address = CliEngine::addressOf(run.argument);
    if (!engine->requestItem(clsRequestMode::read, 0, address, info) || info == nullptr) {
        exitCode = context.fail("cannot request " + run.argument);
    } else {
        listener.wanted = info->getId();
        while (listener.node == nullptr)
            session.pump(100);
        if (info->getStatus() != clsRequestStatus::complete)
            exitCode = context.fail(run.argument + ": status " +
                                    std::to_string(static_cast<int>(info->getStatus())) +
                                    ", result " + std::to_string(info->getResultCode()));
        else
            print(run, *listener.node);
        info->releaseQueueRef();
    }
    if (listener.node != nullptr) {
        listener.node->release();
        listener.node = nullptr;
    }
    session.stop();
    TermUrlCache();
    return exitCode;
}

int runAnalyze(const AnalyzeRun& run, CliContext& context)
{
    if (run.blockSize == 0)
        return context.fail("--block-size must be at least 1");
    if (!context.startServices())
        return CliContext::ExitError;
    return isWebAddress(run.argument) ? analyzeAddress(run, context) : analyzeFile(run, context);
}

} // namespace

void addAnalyzeCommand(CLI::App& app, CliContext& context)
{
    auto run = std::make_shared<AnalyzeRun>();
    CLI::App* command = app.add_subcommand(
        "analyze", "Analyse one page: code, title, keywords, links and resources");
    command
        ->add_option("TARGET", run->argument,
                     "A web address (fetched through the engine) or a file")
        ->required();
    command->add_flag("--json", run->json, "Print one JSON object");
    command->add_option("--block-size", run->blockSize,
                        "Cut a file into blocks of this many bytes (default 2048)");
    command->callback([&context, run] { context.exitCode = runAnalyze(*run, context); });
}
