#pragma once

#include <string>
#include <string_view>

// A small JSON writer for the --json outputs: strings are taken as Shift_JIS from the core
// unless marked UTF-8, and always written as valid UTF-8 JSON.
class CliJson {
public:
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

    const std::string& text() const { return out_; }
    static std::string quote(std::string_view utf8);

private:
    void separate();

    std::string out_;
    bool needComma_ = false;
};
