#pragma once

#include "Platform/MessageTarget.h"

#include <cstddef>
#include <string>

class clsEngineTarget;
class clsQuillaraEngine;

// The fetch engine for one command, with the queue its notifications wait in until the command
// pumps them on its own thread.
class CliEngine {
public:
    explicit CliEngine(clsEngineTarget* target);
    ~CliEngine();
    CliEngine(const CliEngine&) = delete;
    CliEngine& operator=(const CliEngine&) = delete;

    // Null when the engine could not be started.
    clsQuillaraEngine* engine() const { return engine_; }
    std::size_t pump(int timeoutMs) { return window_.pump(timeoutMs); }
    // Gives the engine back. Notifications still queued carry node references: they are given
    // back unheard.
    void stop();

    // The address an argument names: an existing file named by a relative path becomes its
    // absolute path; a local path stays as the file system's bytes.
    static std::string addressOf(const std::string& argument);

private:
    platform::QueueMessageTarget window_;
    clsQuillaraEngine* engine_ = nullptr;
};
