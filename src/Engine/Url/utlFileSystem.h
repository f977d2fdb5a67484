#pragma once

#include <string>

// Deletes folder and everything below it. Symbolic links are removed, never followed; a
// folder that is not strictly inside allowedRoot (after resolving links in both paths), or that
// is itself a link, is refused. Returns false, with a log line, when anything is left.
[[nodiscard]] bool deleteDirectoryTree(const std::string& folder, const std::string& allowedRoot);

// The MIME type for a file extension ("html" -> "text/html"), from which the window picks its
// icon. Only 1-16 ASCII letters and digits are taken as an extension; anything else (a dot, a
// slash, "..") gives an empty result. Unknown extensions give "application/octet-stream".
std::string mimeTypeForExtension(const std::string& extension);

// The MIME type the window shows a folder with.
std::string folderMimeType();

// The path with links, "." and ".." resolved (realpath); the path unchanged when it does not
// exist. A trailing '/' is kept.
std::string getLongPathName(const std::string& path);
