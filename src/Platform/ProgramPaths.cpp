#include "Platform/ProgramPaths.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace platform {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string xdgDirectory(const char* variable, const char* fallbackUnderHome)
{
    std::string base = environment(variable);
    if (base.empty() || base.front() != '/')
        base = environment("HOME") + fallbackUnderHome;
    return withTrailingSlash(base) + "quillara/";
}

bool isWritableDirectory(const std::string& path)
{
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::string withTrailingSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string executableDirectory()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return withTrailingSlash(std::filesystem::current_path(ec).string());
    return withTrailingSlash(exe.parent_path().string());
}

ProgramPaths resolveProgramPaths()
{
    ProgramPaths paths;
    std::string home = environment("QUILLARA_HOME");
    if (!home.empty()) {
        std::error_code ec;
        paths.programDirectory =
            withTrailingSlash(std::filesystem::absolute(home, ec).lexically_normal().string());
    } else {
        paths.programDirectory = executableDirectory();
    }
    if (isWritableDirectory(paths.programDirectory)) {
        paths.configDirectory = paths.programDirectory;
        paths.dataDirectory = paths.programDirectory + "Data/";
        return paths;
    }
    paths.configDirectory = xdgDirectory("XDG_CONFIG_HOME", "/.config");
    paths.dataDirectory = xdgDirectory("XDG_DATA_HOME", "/.local/share");
    return paths;
}

bool makeDirectories(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

} // namespace platform
