#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Turns text taken from a URL, an item name or a file's content into one safe path
// component: no separators, no "." or "..", no NUL or control bytes, no leading dot,
// at most maxBytes long (cut on a Shift_JIS character boundary), never empty.
std::string safeFileComponent(std::string_view name, std::size_t maxBytes = 100);

// True when path, made absolute and normalised, lies strictly inside directory
// (symbolic links in existing parts are resolved first).
bool isPathInside(const std::string& directory, const std::string& path);

// The path with symbolic links, "." and ".." resolved and made absolute, for telling whether
// two spellings name one file; parts that do not exist are kept as written. Case counts.
std::string realPathOf(const std::string& path);

} // namespace platform
