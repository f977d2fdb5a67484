#include "Common/utlEnvInfo.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/ProgramPaths.h"
#include "Platform/RegistryStore.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<utlEnvInfo> g_envInfo;

} // namespace

utlEnvInfo::utlEnvInfo()
{
    countCreated("utlEnvInfo");
}

utlEnvInfo::~utlEnvInfo()
{
    countDestroyed("utlEnvInfo");
}

const char* utlEnvInfo::registryKey()
{
    return "Software\\Tornavi\\Quillara";
}

bool utlEnvInfo::init()
{
    platform::RegistryStore store(platform::RegistryStore::defaultPath());
    errno = 0;
    std::string directory = platform::resolveProgramPaths().configDirectory;
    if (!platform::makeDirectories(directory) || !store.createKey(registryKey())) {
        char message[160];
        std::snprintf(message, sizeof message, utlTexts::sjis(utlText::registryOpenFailed),
                      static_cast<unsigned>(errno));
        return logError(message);
    }
    open_ = true;
    return true;
}

bool utlEnvInfo::term()
{
    open_ = false;
    return true;
}

bool InitUtlEnvInfo()
{
    g_envInfo = std::make_unique<utlEnvInfo>();
    if (g_envInfo->init())
        return true;
    g_envInfo.reset();
    logError(utlTexts::sjis(utlText::envInfoInitFailed));
    return false;
}

utlEnvInfo* GetUtlEnvInfo()
{
    assert(g_envInfo != nullptr);
    return g_envInfo.get();
}

bool TermUtlEnvInfo()
{
    if (!g_envInfo)
        return true;
    bool ok = g_envInfo->term();
    g_envInfo.reset();
    if (!ok) {
        logError(utlTexts::sjis(utlText::envInfoTermFailed));
    }
    return ok;
}
