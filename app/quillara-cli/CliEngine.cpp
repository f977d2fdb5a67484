#include "CliEngine.h"

#include "Engine/Core/clsQuillaraEngine.h"
#include "Platform/platformText.h"

#include <filesystem>
#include <system_error>

CliEngine::CliEngine(clsEngineTarget* target)
{
    if (!clsQuillaraEngine::acquireEngine(target, &window_))
        return;
    engine_ = clsQuillaraEngine::getEngine();
    window_.setHandler(
        [engine = engine_](const platform::Message& m) { engine->handleMessage(m); });
}

CliEngine::~CliEngine()
{
    stop();
}

void CliEngine::stop()
{
    if (engine_ == nullptr)
        return;
    engine_ = nullptr;
    clsQuillaraEngine::releaseEngine();
    window_.setHandler(&clsQuillaraEngine::DiscardMessage);
    while (window_.pump(0) > 0) {
    }
}

std::string CliEngine::addressOf(const std::string& argument)
{
    std::error_code error;
    bool relativeFile = argument.find(':') == std::string::npos && !argument.starts_with("/") &&
                        std::filesystem::is_regular_file(argument, error);
    std::string text =
        relativeFile ? std::filesystem::absolute(argument, error).string() : argument;
    // A local file's address is its path: the file system's bytes, not Shift_JIS.
    bool local = text.starts_with("/") || text.starts_with("file:");
    return local ? text : platform::utf8AddressToPercent(text);
}
