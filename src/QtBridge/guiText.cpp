#include "QtBridge/guiText.h"

#include "Platform/platformText.h"

namespace gui {

QString toQt(const std::string& sjis)
{
    return QString::fromStdString(platform::sjisToUtf8(sjis));
}

std::string fromQt(const QString& text)
{
    return platform::utf8ToSjis(text.toStdString());
}

} // namespace gui
