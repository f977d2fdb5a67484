#pragma once

#include <filesystem>
#include <sys/resource.h>
#include <string>

namespace testsupport {

// A fresh directory for one test, set as QUILLARA_HOME so that nothing reaches $HOME.
// The directory and everything in it are removed when the object goes.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as the program writes it: with a trailing '/'.
    std::string dir() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
    std::string previousHome_;
    std::string previousUserHome_;
    std::string userHome_;
    bool hadPreviousHome_ = false;
};

// Holds the file-size limit low for the scope, so that a write fails even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Runs a shell command line: its exit status (-1 when it did not exit), and in out what it
// wrote on standard output.
int runCommand(const std::string& command, std::string& out);

#ifdef QUILLARA_CLI
// Runs quillara-cli (QUILLARA_CLI, set for the tests that run it) with its standard error
// dropped.
inline int runCli(const std::string& arguments, std::string& out)
{
    return runCommand(std::string(QUILLARA_CLI) + " " + arguments + " 2>/dev/null", out);
}
#endif

} // namespace testsupport
