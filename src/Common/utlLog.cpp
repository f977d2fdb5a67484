#include "Common/utlLog.h"

#include "Platform/RegistryStore.h"
#include "Platform/platformText.h"

#include <cassert>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::unique_ptr<utlLog> g_log;

constexpr const char* kLevelNames[] = {"ERROR", "WARNNING", "INFORMATION", "TRACESTART",
                                       "TRACEEND"};
constexpr std::uint32_t kLevelThreshold[] = {1, 2, 3, 4, 4};
constexpr std::size_t kMaxLineText = 1024;

std::uint64_t counterNow()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

utlLog::utlLog() = default;
utlLog::~utlLog() = default;

const char* utlLog::registryKey()
{
    return "Software\\Tornavi\\Quillara\\Log";
}

bool utlLog::init(const std::string& name)
{
    std::lock_guard lock(cacheMutex_);
    name_ = name;
    outputModeRead_ = outputLevelRead_ = outputFilePathRead_ = frequencyRead_ = false;
    outputMode_ = outputLevel_ = 0;
    outputFilePath_.clear();
    frequency_ = 0;
    initialised_ = true;
    return true;
}

bool utlLog::term()
{
    std::lock_guard lock(cacheMutex_);
    name_.clear();
    outputFilePath_.clear();
    initialised_ = false;
    return true;
}

bool utlLog::reset()
{
    std::lock_guard lock(cacheMutex_);
    name_.clear();
    outputFilePath_.clear();
    outputLevelRead_ = outputFilePathRead_ = frequencyRead_ = false;
    return true;
}

std::uint32_t utlLog::getOutputMode()
{
    std::lock_guard lock(cacheMutex_);
    if (!outputModeRead_) {
        auto value = platform::RegistryStore(platform::RegistryStore::defaultPath())
                         .queryDword(registryKey(), "OutputMode");
        outputMode_ = (value && (*value == OutputDebugger || *value == OutputFile))
                          ? *value
                          : static_cast<std::uint32_t>(OutputNone);
        outputModeRead_ = true;
    }
    return outputMode_;
}

std::uint32_t utlLog::getOutputLevel()
{
    std::lock_guard lock(cacheMutex_);
    if (!outputLevelRead_) {
        auto value = platform::RegistryStore(platform::RegistryStore::defaultPath())
                         .queryDword(registryKey(), "OutputLevel");
        outputLevel_ = (value && *value >= 1 && *value <= 4) ? *value : 0;
        outputLevelRead_ = true;
    }
    return outputLevel_;
}

std::string utlLog::getOutputFilePath()
{
    std::lock_guard lock(cacheMutex_);
    if (!outputFilePathRead_) {
        auto value = platform::RegistryStore(platform::RegistryStore::defaultPath())
                         .queryString(registryKey(), "OutputFilePath");
        outputFilePath_ = value ? *value : std::string();
        outputFilePathRead_ = true;
    }
    return outputFilePath_;
}

std::uint64_t utlLog::getFrequency()
{
    std::lock_guard lock(cacheMutex_);
    if (!frequencyRead_) {
        frequency_ = 1000000000ull; // the steady clock counts nanoseconds
        frequencyRead_ = true;
    }
    return frequency_;
}

bool utlLog::enabled(int levelIndex)
{
    return initialised_ && getOutputMode() != OutputNone &&
           getOutputLevel() >= kLevelThreshold[levelIndex];
}

void utlLog::error(const std::string& message)
{
    if (enabled(LevelError))
        write(LevelError, 0, message);
}

void utlLog::warning(const std::string& message)
{
    if (enabled(LevelWarning))
        write(LevelWarning, 0, message);
}

void utlLog::information(const std::string& message)
{
    if (enabled(LevelInformation))
        write(LevelInformation, 0, message);
}

std::uint64_t utlLog::traceStart(const std::string& message)
{
    if (!enabled(LevelTraceStart))
        return 0;
    write(LevelTraceStart, 0, message);
    return getFrequency() == 0 ? 0 : counterNow();
}

void utlLog::traceEnd(std::uint64_t start, const std::string& message)
{
    if (!enabled(LevelTraceEnd))
        return;
    std::uint64_t frequency = getFrequency();
    int elapsed = -1;
    if (frequency >= 1000)
        elapsed = static_cast<int>(
            static_cast<std::int64_t>((counterNow() - start) / (frequency / 1000)));
    write(LevelTraceEnd, elapsed, message);
}

std::string utlLog::formatLine(int levelIndex, int number, const std::string& message) const
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    unsigned thread = static_cast<unsigned>(::syscall(SYS_gettid));
    char head[160];
    int headLength = 0;
    if (levelIndex == LevelTraceEnd) {
        headLength =
            std::snprintf(head, sizeof head, ",%08X,%04d/%02d/%02d/,%02d:%02d:%02d,%s(%d),", thread,
                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, kLevelNames[levelIndex], number);
    } else {
        headLength =
            std::snprintf(head, sizeof head, ",%08X,%04d/%02d/%02d/,%02d:%02d:%02d,%s,", thread,
                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, kLevelNames[levelIndex]);
    }
    std::string line =
        name_ + std::string(head, static_cast<std::size_t>(headLength)) + message + "\n";
    // At most 1024 characters of text, as the fixed line buffer allows; the cut keeps the newline.
    if (line.size() > kMaxLineText) {
        line.resize(platform::sjisBoundary(line, kMaxLineText - 1));
        line += '\n';
    }
    return line;
}

void utlLog::write(int levelIndex, int number, const std::string& message)
{
    if (levelIndex < 0 || levelIndex > LevelTraceEnd)
        return;
    emit(formatLine(levelIndex, number, message));
}

void utlLog::emit(const std::string& line)
{
    std::uint32_t mode = getOutputMode();
    std::string path = mode == OutputFile ? getOutputFilePath() : std::string();
    std::lock_guard lock(writeMutex_);
    if (mode == OutputDebugger) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        return;
    }
    if (mode != OutputFile || path.empty())
        return;
    // O_APPEND keeps lines from other processes whole too; the line carries no NUL byte.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_DSYNC, 0644);
    if (fd < 0)
        return;
    writeAll(fd, line);
    ::close(fd);
}

bool InitUtlLog(const std::string& name)
{
    g_log = std::make_unique<utlLog>();
    return g_log->init(name);
}

utlLog* GetUtlLog()
{
    assert(g_log != nullptr);
    return g_log.get();
}

bool TermUtlLog()
{
    if (!g_log)
        return true;
    bool result = g_log->term();
    g_log.reset();
    return result;
}

void logStateChange([[maybe_unused]] std::string_view machine,
                    [[maybe_unused]] std::string_view from, [[maybe_unused]] std::string_view to)
{
#ifndef NDEBUG
    if (g_log)
        g_log->information(std::string(machine) + ": " + std::string(from) + " -> " +
                           std::string(to));
#endif
}

bool logError(const std::string& message, std::source_location where)
{
    if (g_log)
        g_log->error(qualifiedFunctionName(where.function_name()) + " " + message);
    return false;
}

bool logError(const std::string& method, const std::string& message)
{
    return logErrorAs(method, message);
}

bool logErrorAs(const std::string& method, const std::string& message)
{
    if (g_log)
        g_log->error(method + " " + message);
    return false;
}

namespace {

// The length of an operator's symbol after the word "operator" ("()" of a call operator, "<<",
// " bool" of a conversion), so that its brackets are not read as the parameter list.
std::size_t operatorSymbolLength(std::string_view rest)
{
    if (rest.starts_with("()"))
        return 2;
    std::size_t paren = rest.find('(');
    return paren == std::string_view::npos ? rest.size() : paren;
}

bool startsOperator(std::string_view signature, std::size_t at, std::size_t tokenStart)
{
    constexpr std::string_view word = "operator";
    if (signature.substr(at, word.size()) != word)
        return false;
    if (at != tokenStart && (at < 2 || signature.substr(at - 2, 2) != "::"))
        return false;
    char next = at + word.size() < signature.size() ? signature[at + word.size()] : '\0';
    return !(std::isalnum(static_cast<unsigned char>(next)) || next == '_');
}

void eraseAll(std::string& text, std::string_view part)
{
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
}

} // namespace

std::string qualifiedFunctionName(std::string_view signature)
{
    signature = signature.substr(0, signature.find(" [with "));
    int angles = 0;
    std::size_t tokenStart = 0;
    for (std::size_t i = 0; i < signature.size(); ++i) {
        char c = signature[i];
        if (c == '<') {
            ++angles;
        } else if (c == '>') {
            angles -= angles > 0 ? 1 : 0;
        } else if (angles > 0) {
            continue;
        } else if (c == ' ') {
            tokenStart = i + 1;
        } else if (startsOperator(signature, i, tokenStart)) {
            i += 8 + operatorSymbolLength(signature.substr(i + 8)) - 1;
        } else if (c == '(' && i == tokenStart) {
            // A declarator's bracket, as in "void (* Class::function())(int)".
            while (i + 1 < signature.size() &&
                   (signature[i + 1] == '*' || signature[i + 1] == '&' || signature[i + 1] == ' '))
                ++i;
            tokenStart = i + 1;
        } else if (c == '(') {
            std::string name(signature.substr(tokenStart, i - tokenStart));
            eraseAll(name, "{anonymous}::");
            return name;
        }
    }
    return std::string(signature);
}
