#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes a whole file so that readers see either the old or the new content, never a mix:
// a temporary file in the same directory, flushed and synced, renamed over the old one.
// On failure the old file is untouched and error (when given) says why.
// Unsynced keeps the all-or-nothing rename but skips the flush to disk, for files whose loss
// in a power failure costs nothing (the page cache).
enum class Durability { Synced, Unsynced };
bool atomicWriteFile(const std::string& path, std::string_view bytes, std::string* error = nullptr,
                     Durability durability = Durability::Synced);

// Creates path with bytes, whole or not at all, and never over an existing file: the content
// is written and synced first, then given its name in one step that fails when the name is
// taken (then existed is set). Nothing is left behind on failure.
bool atomicCreateFile(const std::string& path, std::string_view bytes, std::string* error = nullptr,
                      bool* existed = nullptr);

// Reads a whole file; false (with error) when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& out, std::string* error = nullptr);

} // namespace platform
