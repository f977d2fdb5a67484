#include "CliContext.h"

#include "Common/utlEnvInfo.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"

#include <cstdio>

CliContext::~CliContext()
{
    stopServices();
}

bool CliContext::startServices()
{
    if (started_)
        return true;
    InitUtlLog("QuillaC");
    if (!InitUtlEnvInfo() || !InitUtlIniInfo() || !GetUtlIniInfo()->load()) {
        fail("cannot start: the configuration directory is not usable");
        TermUtlIniInfo();
        TermUtlEnvInfo();
        TermUtlLog();
        return false;
    }
    started_ = true;
    return true;
}

void CliContext::stopServices()
{
    if (!started_)
        return;
    // The command line never saves settings: it only reads what the window keeps.
    TermUtlIniInfo();
    TermUtlEnvInfo();
    TermUtlLog();
    started_ = false;
}

int CliContext::fail(const std::string& message)
{
    std::fprintf(stderr, "quillara-cli: %s\n", message.c_str());
    exitCode = ExitError;
    return ExitError;
}
