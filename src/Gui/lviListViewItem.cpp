#include "Gui/lviListViewItem.h"

#include "Common/utlCommand.h"
#include "Common/utlInstanceCounter.h"
#include "QtBridge/guiText.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <map>
#include <utility>

namespace {

struct FileType {
    std::string typeName;
    QIcon icon;
};

// Extension to type name and icon, learnt in order of first use and kept for the program's life.
std::map<std::string, FileType>& fileTypes()
{
    static std::map<std::string, FileType> types;
    return types;
}

} // namespace

lviListViewItem::lviListViewItem(std::string fileName, std::string name, std::string address,
                                 std::string extension)
    : fileName_(std::move(fileName)), name_(std::move(name)), address_(std::move(address)),
      extension_(std::move(extension))
{
    countCreated("lviListViewItem");
    lookUpType();
    lookUpFile();
}

lviListViewItem::~lviListViewItem()
{
    countDestroyed("lviListViewItem");
}

void lviListViewItem::lookUpType()
{
    auto& types = fileTypes();
    auto it = types.find(extension_);
    if (it == types.end()) {
        QMimeDatabase db;
        std::string dotted =
            !extension_.empty() && extension_[0] != '.' ? "." + extension_ : extension_;
        QString probe = QStringLiteral("QuillaraItemIconByFileExt") + gui::toQt(dotted);
        QMimeType mime = db.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
        FileType type;
        type.typeName = gui::fromQt(mime.comment());
        QIcon fallback = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        type.icon =
            QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), fallback));
        it = types.emplace(extension_, std::move(type)).first;
    }
    typeName_ = it->second.typeName;
    icon_ = it->second.icon;
}

void lviListViewItem::lookUpFile()
{
    std::size_t colon = address_.find("://");
    std::string path;
    if (!address_.empty() && address_[0] == '/') {
        protocol_ = "file";
        path = address_;
    } else if (colon != std::string::npos) {
        protocol_ = address_.substr(0, colon);
        std::transform(protocol_.begin(), protocol_.end(), protocol_.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        if (protocol_ == "file")
            path = QByteArray::fromPercentEncoding(
                       QByteArray::fromStdString(address_.substr(colon + 3)))
                       .toStdString();
    }
    // Only a local resource can be looked at without a transfer; the list never fetches one.
    if (path.empty())
        return;
    QFileInfo info(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!info.isFile())
        return;
    size_ = info.size();
    QLocale numbers = QLocale::c();
    numbers.setNumberOptions(QLocale::DefaultNumberOptions); // with thousands separators
    sizeText_ = gui::fromQt(numbers.toString(size_) + QStringLiteral(" B"));
    modifiedText_ = gui::fromQt(info.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
}

const std::string& lviListViewItem::columnText(int field) const
{
    switch (field) {
    case fieldUrl: return address_;
    case fieldName: return fileName_;
    case fieldProtocol: return protocol_;
    case fieldDescription: return name_;
    case fieldType: return typeName_;
    case fieldSize: return sizeText_;
    default: return modifiedText_;
    }
}

int lviListViewItem::compare(const lviListViewItem& a, const lviListViewItem& b, int field)
{
    if (field == fieldSize)
        return a.size_ == b.size_ ? 0 : (a.size_ < b.size_ ? -1 : 1);
    // Byte-wise without regard to ASCII case; the double-byte characters of Shift_JIS compare
    // by their bytes, which is what the comparison of the list control does as well.
    const std::string& x = a.columnText(field);
    const std::string& y = b.columnText(field);
    auto lower = [](char c) {
        return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    };
    std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (lower(x[i]) != lower(y[i]))
            return lower(x[i]) < lower(y[i]) ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

bool lviListViewItem::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    switch (code) {
    case codeOf(utlCommand::showInBrowser):
    case codeOf(utlCommand::showInNewBrowser):
        handled = opener_ != nullptr;
        if (!handled || query)
            return true;
        return opener_(address_, code == codeOf(utlCommand::showInNewBrowser));
    case codeOf(utlCommand::contextMenu):
        handled = true;
        if (!query && contextMenu)
            contextMenu();
        return true;
    default: return true;
    }
}
