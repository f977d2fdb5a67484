#pragma once

#include <QString>

#include <string>

// The Qt boundary: the program holds Shift_JIS, the screen speaks Unicode.
namespace gui {

QString toQt(const std::string& sjis);
std::string fromQt(const QString& text);

} // namespace gui
