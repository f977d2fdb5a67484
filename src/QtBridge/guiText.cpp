#include "QtBridge/guiText.h"

#include "Platform/platformText.h"

#include <QFile>

namespace gui {

QString toQt(const std::string& sjis)
{
    return QString::fromStdString(platform::sjisToUtf8(sjis));
}

std::string fromQt(const QString& text)
{
    return platform::utf8ToSjis(text.toStdString());
}

QString pathToQt(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string pathFromQt(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool isLocalAddress(const std::string& address)
{
    return address.starts_with('/') || address.starts_with("file:");
}

QString addressToQt(const std::string& address)
{
    return isLocalAddress(address) ? pathToQt(address) : toQt(address);
}

std::string addressFromQt(const QString& address)
{
    QString trimmed = address.trimmed();
    if (trimmed.startsWith(QLatin1Char('/')) || trimmed.startsWith(QLatin1String("file:")))
        return pathFromQt(address);
    // A character beyond ASCII goes to the server as UTF-8, as a browser sends it; a reference
    // would end the address at its '#'.
    return platform::utf8AddressToPercent(trimmed.toStdString());
}

} // namespace gui
