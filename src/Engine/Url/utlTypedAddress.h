#pragma once

#include <string>

// What a user typed into the address box, as an address to load: http, https and ftp
// addresses, file: addresses and absolute paths as they are; a host name (with a dot, or
// "localhost") or an IPv4 address with an optional port and path gets "http://". Text with
// blanks or control characters, another scheme or no host is no address: false.
[[nodiscard]] bool addressFromTyped(const std::string& typed, std::string& address);
