#include "TreeViewItem/Formats/tviInternetShortcut.h"

#include "Engine/Text/utlUnicodeText.h"

#include <algorithm>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto up = [](char c) {
                   return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
               };
               return up(x) == up(y);
           });
}

std::string asciiAddress(std::string_view value)
{
    if (!isValidUtf8(value)) {
        return std::string(value);
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 0xF];
    }
    return out;
}

} // namespace

bool tviInternetShortcut::read(std::string_view bytes, std::string& url, std::string& error)
{
    url.clear();
    error.clear();
    if (bytes.size() > maxBytes) {
        error = "too large for a shortcut";
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    for (unsigned char c : bytes) {
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            error = "binary file";
            return false;
        }
    }
    bool inSection = false;
    bool sectionSeen = false;
    while (!bytes.empty()) {
        size_t end = bytes.find_first_of("\r\n");
        std::string_view line = trimmed(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        equalsNoCase(trimmed(line.substr(1, close - 1)), "InternetShortcut");
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos ||
            !equalsNoCase(trimmed(line.substr(0, eq)), "URL")) {
            continue;
        }
        std::string_view value = trimmed(line.substr(eq + 1));
        if (value.empty()) {
            continue;
        }
        url = asciiAddress(value);
        return true;
    }
    error = sectionSeen ? "no URL in [InternetShortcut]" : "no [InternetShortcut] section";
    return false;
}
