#include "Engine/Core/clsEngineOptions.h"

#include "Common/utlIniInfo.h"

#include <algorithm>

namespace {

// Seconds from the settings to milliseconds; nonsense values fall back to the default.
int secondsToMs(int seconds, int defaultMs)
{
    if (seconds <= 0 || seconds > 24 * 3600)
        return defaultMs;
    return seconds * 1000;
}

// Megabytes from the settings to bytes; nonsense values fall back to the default.
std::int64_t megabytesToBytes(int megabytes, std::int64_t defaultBytes)
{
    if (megabytes <= 0 || megabytes > 1024 * 1024)
        return defaultBytes;
    return std::int64_t{megabytes} << 20;
}

} // namespace

clsEngineOptions clsEngineOptions::fromSettings()
{
    clsEngineOptions options;
    utlIniInfo* ini = GetUtlIniInfo();
    if (ini == nullptr)
        return options;
    const std::string& agent = ini->getString(IniKey::HttpAgentName);
    if (!agent.empty())
        options.agentName = agent;
    options.connectTimeoutMs =
        secondsToMs(ini->getInt(IniKey::ConnectTimeout), options.connectTimeoutMs);
    options.receiveTimeoutMs =
        secondsToMs(ini->getInt(IniKey::ReceiveTimeout), options.receiveTimeoutMs);
    options.paceMode =
        ini->getInt(IniKey::PacePerHost) != 0 ? clsPaceMode::perHost : clsPaceMode::programWide;
    options.retryCount = std::clamp(ini->getInt(IniKey::RetryCount), 0, 10);
    options.retryMaxWaitSeconds = std::clamp(ini->getInt(IniKey::RetryMaxWait), 0, 24 * 3600);
    options.maxTransfers = std::clamp(ini->getInt(IniKey::MaxTransfers), 1, 1024);
    options.snapshotFileLimitBytes =
        megabytesToBytes(ini->getInt(IniKey::SnapshotFileLimitMB), options.snapshotFileLimitBytes);
    options.snapshotLimitBytes =
        megabytesToBytes(ini->getInt(IniKey::SnapshotLimitMB), options.snapshotLimitBytes);
    return options;
}
