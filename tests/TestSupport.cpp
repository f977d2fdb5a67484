#include "TestSupport.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempHome::TempHome()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillara-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = std::getenv("QUILLARA_HOME")) {
        hadPreviousHome_ = true;
        previousHome_ = old;
    }
    setenv("QUILLARA_HOME", path_.c_str(), 1);
    // What defaults to the home directory (~/Favorites, ~/bookmarks.html) must not reach the
    // user's own files either.
    if (const char* old = std::getenv("HOME"))
        previousUserHome_ = old;
    // Beside the temporary directory, not in it: tests count the files they leave there.
    userHome_ = path_.string() + "-home";
    std::filesystem::create_directories(userHome_);
    setenv("HOME", userHome_.c_str(), 1);
}

TempHome::~TempHome()
{
    if (hadPreviousHome_)
        setenv("QUILLARA_HOME", previousHome_.c_str(), 1);
    else
        unsetenv("QUILLARA_HOME");
    if (previousUserHome_.empty())
        unsetenv("HOME");
    else
        setenv("HOME", previousUserHome_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::remove_all(userHome_, ignored);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved_;
    low.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &low);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

int runCommand(const std::string& command, std::string& out)
{
    out.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testsupport
