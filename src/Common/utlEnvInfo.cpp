#include "Common/utlEnvInfo.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlLog.h"
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
        // レジストリのオープンに失敗しました(CODE=0x%08X)
        std::snprintf(message, sizeof message,
                      "\x83\x8C\x83W\x83X\x83g\x83\x8A\x82\xCC\x83I\x81[\x83v\x83\x93\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC"
                      "\x82\xB5\x82\xBD(CODE=0x%08X)",
                      static_cast<unsigned>(errno));
        return logError("utlEnvInfo::init", message);
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
    // Class utlEnvInfoの初期化に失敗しました
    logError("InitUtlEnvInfo", "Class utlEnvInfo\x82\xCC\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD");
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
        // Class utlEnvInfoの終期化に失敗しました
        logError("TermUtlEnvInfo", "Class utlEnvInfo\x82\xCC\x8FI\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD");
    }
    return ok;
}
