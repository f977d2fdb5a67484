#include "Gui/guiIcons.h"

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include <cmath>

namespace {

constexpr int treeIconSize = 16;
constexpr int logoSize = 20;

QPixmap withOverlay(const QIcon& base, int overlay)
{
    QPixmap pixmap = base.pixmap(treeIconSize, treeIconSize);
    if (overlay == 0)
        return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (overlay == overlayError) {
        // A red cross in the lower right corner, as the error overlay.
        p.setBrush(QColor(200, 0, 0));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(7, 7, 9, 9));
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 9.5), QPointF(9.5, 13.5));
    } else if (overlay == overlayArchived) {
        // A dead page with an archived copy: a blue disc with a white page in it.
        p.setBrush(QColor(30, 90, 200));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(7, 7, 9, 9));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9.5, 9, 4, 5));
    } else {
        // A small padlock for read-only.
        p.setPen(QPen(QColor(90, 90, 90), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 6.5, 5, 6), 0, 180 * 16);
        p.setBrush(QColor(230, 180, 40));
        p.drawRect(QRectF(8, 9.5, 7, 6));
    }
    return pixmap;
}

} // namespace

QIcon guiIcons::themed(const char* name, int standardPixmap)
{
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (!icon.isNull())
        return icon;
    return QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap));
}

QIcon guiIcons::baseIcon(int image)
{
    switch (image) {
    case imageCabinetClosed:
    case imageQuillaraCabinetClosed: return themed("folder-documents", QStyle::SP_DriveHDIcon);
    case imageCabinetOpen:
    case imageQuillaraCabinetOpen: return themed("folder-documents-open", QStyle::SP_DriveHDIcon);
    case imageFolderClosed: return themed("folder", QStyle::SP_DirClosedIcon);
    case imageFolderOpen: return themed("folder-open", QStyle::SP_DirOpenIcon);
    case imagePageClosed:
    case imagePageSelectedUnread: return themed("text-x-generic", QStyle::SP_FileIcon);
    case imagePageOpen:
    case imagePageClosedRequested:
    case imagePageOpenRequested:
    case imagePageSelected:
    case imageLinkPage: return themed("text-html", QStyle::SP_FileLinkIcon);
    case imageFrame: return themed("view-split-left-right", QStyle::SP_FileDialogDetailedView);
    case imageMail: return themed("mail-message", QStyle::SP_MessageBoxInformation);
    case imageLinkFile: return themed("application-octet-stream", QStyle::SP_FileIcon);
    default: return themed("text-x-generic", QStyle::SP_FileIcon);
    }
}

QIcon guiIcons::treeIcon(int image, int overlay)
{
    static std::map<std::pair<int, int>, QIcon> cache;
    auto key = std::make_pair(image, overlay);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    QIcon icon(withOverlay(baseIcon(image), overlay));
    cache.emplace(key, icon);
    return icon;
}

QIcon guiIcons::toolIcon(int index)
{
    switch (index) {
    case toolBrowser: return themed("internet-web-browser", QStyle::SP_ComputerIcon);
    case toolStop: return themed("process-stop", QStyle::SP_BrowserStop);
    case toolReload: return themed("view-refresh", QStyle::SP_BrowserReload);
    case toolUp: return themed("go-up", QStyle::SP_ArrowUp);
    case toolDown: return themed("go-down", QStyle::SP_ArrowDown);
    case toolProperties: return themed("document-properties", QStyle::SP_FileDialogInfoView);
    default: return {};
    }
}

QPixmap guiIcons::logoFrame(int frame)
{
    QPixmap pixmap(logoSize, logoSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF ring(2.5, 2.5, logoSize - 5, logoSize - 5);
    p.setPen(QPen(QColor(120, 150, 200), 2));
    p.drawEllipse(ring);
    if (frame > 0) {
        // A bright arc that goes once round in the 30 frames.
        int start = 90 * 16 - (frame - 1) * 12 * 16;
        p.setPen(QPen(QColor(20, 90, 220), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, start, -90 * 16);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 90, 220));
        p.drawEllipse(QRectF(7, 7, 6, 6));
    }
    return pixmap;
}
