#pragma once

#include <cstdint>
#include <mutex>
#include <source_location>
#include <string>
#include <string_view>

// The process-wide diagnostic log. What is written and where comes from the values
// OutputMode, OutputLevel and OutputFilePath of the key Software\Tornavi\Quillara\Log
// in registry.ini; with no such key nothing is written.
class utlLog {
public:
    enum Level {
        LevelError = 0,
        LevelWarning = 1,
        LevelInformation = 2,
        LevelTraceStart = 3,
        LevelTraceEnd = 4
    };
    enum OutputMode { OutputNone = 0, OutputDebugger = 1, OutputFile = 2 };

    utlLog();
    virtual ~utlLog();

    virtual bool init(const std::string& name);
    virtual bool term();
    virtual bool reset();
    virtual void error(const std::string& message);
    virtual void warning(const std::string& message);
    virtual void information(const std::string& message);
    // Returns the counter value to hand to traceEnd, or 0 when nothing was written.
    virtual std::uint64_t traceStart(const std::string& message);
    virtual void traceEnd(std::uint64_t start, const std::string& message);
    virtual std::uint32_t getOutputMode();
    virtual std::uint32_t getOutputLevel();
    virtual std::string getOutputFilePath();
    virtual std::uint64_t getFrequency();
    virtual void write(int levelIndex, int number, const std::string& message);

    // The registry key the three values live under.
    static const char* registryKey();

private:
    bool enabled(int levelIndex);
    std::string formatLine(int levelIndex, int number, const std::string& message) const;
    void emit(const std::string& line);

    bool initialised_ = false;
    std::string name_;
    std::mutex cacheMutex_;
    bool outputModeRead_ = false;
    std::uint32_t outputMode_ = 0;
    bool outputLevelRead_ = false;
    std::uint32_t outputLevel_ = 0;
    bool outputFilePathRead_ = false;
    std::string outputFilePath_;
    bool frequencyRead_ = false;
    std::uint64_t frequency_ = 0;
    // Lines from the UI, engine and worker threads go out one at a time, so none is lost.
    std::mutex writeMutex_;
};

bool InitUtlLog(const std::string& name);
utlLog* GetUtlLog();
bool TermUtlLog();

// Logs "Class::function message" as an error, naming the function that calls it, and returns
// false, for the common failure path.
bool logError(const std::string& message,
              std::source_location where = std::source_location::current());

// Logs "method message" as an error and returns false, for a helper that reports on behalf of
// its caller or a failure whose log name is fixed apart from the function it happens in.
bool logErrorAs(const std::string& method, const std::string& message);

// The older form, naming the method by hand; it goes once its last callers move to the above.
bool logError(const std::string& method, const std::string& message);

// "Class::function" out of a compiler's function signature ("bool Class::function(int) const"):
// no return type, parameters, qualifiers or template bindings; a lambda gives the function it
// is written in.
std::string qualifiedFunctionName(std::string_view signature);

// Debug builds log each change of a named state machine's state; release builds nothing.
void logStateChange(std::string_view machine, std::string_view from, std::string_view to);
