#pragma once

#include <string>

// What every subcommand shares: the common services, started as the window starts them,
// and the exit code (0 success, 1 dead links or failed addresses found, 2 error).
class CliContext {
public:
    enum ExitCode { ExitOk = 0, ExitFound = 1, ExitError = 2 };

    ~CliContext();
    // Log, registry key, settings (loaded); false after a one-line message on stderr.
    bool startServices();
    void stopServices();
    // Prints "quillara-cli: message" on stderr and returns ExitError.
    int fail(const std::string& message);

    int exitCode = ExitOk;

private:
    bool started_ = false;
};
