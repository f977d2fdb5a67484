#pragma once

#include <string>
#include <string_view>

// The reader of Internet Shortcut (.url) files: an INI text whose section [InternetShortcut]
// holds the address under URL. Section and key names ignore case; nothing else is read.
class tviInternetShortcut {
public:
    // Larger files are no shortcuts (and are not read whole).
    static constexpr size_t maxBytes = 64 * 1024;

    // The address of the shortcut in bytes. False with a reason for a binary file, a file
    // without the section or without an address. An address in UTF-8 comes back with its
    // bytes above ASCII percent-encoded; other bytes are kept (a Shift_JIS address).
    [[nodiscard]] static bool read(std::string_view bytes, std::string& url, std::string& error);
};
