#pragma once

#include <string>

namespace platform {

// Where the program keeps its files. Every directory ends with '/'.
struct ProgramPaths {
    std::string programDirectory; // QUILLARA_HOME, or the executable's directory
    std::string configDirectory;  // Quillara.ini and registry.ini
    std::string dataDirectory;    // Data/: cabinets, footprints, snapshots, cache
};

// QUILLARA_HOME when set, else the executable's directory. When that directory cannot be
// written (an installed program), Quillara.ini goes to $XDG_CONFIG_HOME/quillara/ and
// Data/ to $XDG_DATA_HOME/quillara/. Nothing is created here.
ProgramPaths resolveProgramPaths();

// The directory of the running executable, with a trailing '/'.
std::string executableDirectory();

// Creates a directory and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

// Adds the trailing '/' that directory strings carry.
std::string withTrailingSlash(std::string path);

} // namespace platform
