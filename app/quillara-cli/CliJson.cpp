#include "CliJson.h"

#include "Platform/platformText.h"

#include <cstdio>

void CliJson::separate()
{
    if (needComma_)
        out_ += ',';
    needComma_ = true;
}

CliJson& CliJson::beginObject()
{
    separate();
    out_ += '{';
    needComma_ = false;
    return *this;
}

CliJson& CliJson::endObject()
{
    out_ += '}';
    needComma_ = true;
    return *this;
}

CliJson& CliJson::beginArray()
{
    separate();
    out_ += '[';
    needComma_ = false;
    return *this;
}

CliJson& CliJson::endArray()
{
    out_ += ']';
    needComma_ = true;
    return *this;
}

CliJson& CliJson::key(std::string_view name)
{
    separate();
    out_ += quote(name);
    out_ += ':';
    needComma_ = false;
    return *this;
}

CliJson& CliJson::sjis(std::string_view value)
{
    return utf8(platform::sjisToUtf8(value));
}

CliJson& CliJson::utf8(std::string_view value)
{
    separate();
    out_ += quote(value);
    return *this;
}

CliJson& CliJson::number(long long value)
{
    separate();
    out_ += std::to_string(value);
    return *this;
}

CliJson& CliJson::boolean(bool value)
{
    separate();
    out_ += value ? "true" : "false";
    return *this;
}

CliJson& CliJson::null()
{
    separate();
    out_ += "null";
    return *this;
}

std::string CliJson::quote(std::string_view utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}
