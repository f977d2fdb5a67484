#pragma once

#include <QString>

#include <string>

// The Qt boundary: the program holds Shift_JIS, the screen speaks Unicode. A character the
// program keeps as a reference ("&#128512;") is shown as the character, and what is typed
// comes back with every character kept.
namespace gui {

QString toQt(const std::string& sjis);
std::string fromQt(const QString& text);

// File paths are the file system's bytes (UTF-8): they never pass the Shift_JIS conversion.
QString pathToQt(const std::string& path);
std::string pathFromQt(const QString& path);

// An address is ASCII, a typed character beyond it percent-encoded as UTF-8, except a local
// file (an absolute path or a "file:" URL), whose bytes are the file system's.
bool isLocalAddress(const std::string& address);
QString addressToQt(const std::string& address);
std::string addressFromQt(const QString& address);

} // namespace gui
