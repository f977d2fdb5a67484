#pragma once

#include <string>

// Owns the per-user key Software\Tornavi\Quillara, created at start-up.
class utlEnvInfo {
public:
    utlEnvInfo();
    virtual ~utlEnvInfo();
    virtual bool init();
    virtual bool term();
    static const char* registryKey();

private:
    bool open_ = false;
};

bool InitUtlEnvInfo();
utlEnvInfo* GetUtlEnvInfo();
bool TermUtlEnvInfo();
