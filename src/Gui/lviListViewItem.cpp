#include "Gui/lviListViewItem.h"

#include "Common/utlInstanceCounter.h"
#include "QtBridge/guiText.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

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

lviListViewItem::lviListViewItem(std::string fileName, std::string name, std::string address, std::string extension)
    : fileName_(std::move(fileName)), name_(std::move(name)), address_(std::move(address)),
      extension_(std::move(extension))
{
    countCreated("lviListViewItem");
    lookUpType();
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
        std::string dotted = !extension_.empty() && extension_[0] != '.' ? "." + extension_ : extension_;
        QString probe = QStringLiteral("QuillaraItemIconByFileExt") + gui::toQt(dotted);
        QMimeType mime = db.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
        FileType type;
        type.typeName = gui::fromQt(mime.comment());
        QIcon fallback = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        type.icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), fallback));
        it = types.emplace(extension_, std::move(type)).first;
    }
    typeName_ = it->second.typeName;
    icon_ = it->second.icon;
}

const std::string& lviListViewItem::columnText(int column) const
{
    switch (column) {
    case 0: return fileName_;
    case 1: return name_;
    case 2: return typeName_;
    default: return address_;
    }
}

bool lviListViewItem::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    switch (code) {
    case 5002:
    case 5003:
        handled = opener_ != nullptr;
        if (!handled || query)
            return true;
        return opener_(address_, code == 5003);
    case 5004:
        handled = true;
        if (!query && contextMenu)
            contextMenu();
        return true;
    default:
        return true;
    }
}
