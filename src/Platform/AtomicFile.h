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
// What a symbolic link at path means. Follow: the user's own files (cabinets, footprints,
// settings), often links into a synced folder; the link's target is replaced in its own
// directory and the link stays. Replace: files whose names come from outside (snapshot
// pages, the cache): a link there is replaced, never written through.
enum class Links { Replace, Follow };
[[nodiscard]] bool atomicWriteFile(const std::string& path, std::string_view bytes,
                                   std::string* error = nullptr,
                                   Durability durability = Durability::Synced,
                                   Links links = Links::Replace);

// Creates path with bytes, whole or not at all, and never over an existing file: the content
// is written and synced first, then given its name in one step that fails when the name is
// taken (then existed is set). Nothing is left behind on failure.
[[nodiscard]] bool atomicCreateFile(const std::string& path, std::string_view bytes,
                                    std::string* error = nullptr, bool* existed = nullptr);

// Reads a file the program saves (a cabinet, the footprints, the settings, the snapshot
// records): a temporary that a writer killed between naming and renaming it left is removed
// first, so that none outlives the next reader.
[[nodiscard]] bool readSavedFile(const std::string& path, std::string& out,
                                 std::string* error = nullptr);

// Reads a whole file; false (with error) when it cannot be opened or read.
[[nodiscard]] bool readWholeFile(const std::string& path, std::string& out,
                                 std::string* error = nullptr);

// The file a path names once its symbolic links are followed (a chain of at most 40; relative
// targets are taken from the link's directory). A path that is no link, or a dangling link's
// missing target, is returned as it stands; every directory part stays as written.
std::string resolveLinks(const std::string& path);

// Where a writer killed between naming its temporary file and renaming it may have left one:
// the temporaries of path whose writing process is gone are removed. Every write does this
// first; readers that want a tidy directory may call it too.
void removeStaleTemporaries(const std::string& path);

// Crash tests: with QUILLARA_KILL_AT=N in the environment the process kills itself (SIGKILL)
// at point N of its atomic writes, counted from the first write after the variable got that
// value: every byte of content is a point, and so is each step between sync, link, rename and
// the directory's sync. This tells how many points the writes since then passed.
long long crashPointsPassed();

} // namespace platform
