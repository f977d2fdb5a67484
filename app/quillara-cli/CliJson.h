#pragma once

#include <memory>
#include <string>
#include <string_view>

// Builds the --json outputs on nlohmann-json, call by call: strings are taken as Shift_JIS
// from the core unless marked UTF-8, and always written as valid UTF-8 JSON (bytes that are
// not UTF-8 become U+FFFD). Keys keep the order in which they were written.
class CliJson {
public:
    CliJson();
    ~CliJson();
    CliJson(const CliJson&) = delete;
    CliJson& operator=(const CliJson&) = delete;

    CliJson& beginObject();
    CliJson& endObject();
    CliJson& beginArray();
    CliJson& endArray();
    CliJson& key(std::string_view name);
    CliJson& sjis(std::string_view value);
    CliJson& utf8(std::string_view value);
    CliJson& number(long long value);
    CliJson& boolean(bool value);
    CliJson& null();

    // The finished document, compact.
    const std::string& text() const;
    static std::string quote(std::string_view utf8);

private:
    struct State;
    std::unique_ptr<State> state_;
};
