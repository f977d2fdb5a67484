#include "Gui/wndTreeView.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Engine/Text/utlUnicodeText.h"
#include "Dialog/dlgCopyCabinet.h"
#include "Dialog/dlgCreateCabinet.h"
#include "Dialog/dlgCreateFolder.h"
#include "Dialog/dlgCreateItem.h"
#include "Dialog/dlgSSRoute.h"
#include "Dialog/wndOpenCabinet.h"
#include "Gui/wndApplication.h"
#include "TreeViewItemProperty/tviPropertySheet.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiMenus.h"
#include "Platform/ProgramPaths.h"
#include "Platform/platformText.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetExport.h"
#include "TreeViewItem/Cabinet/tviCabinetImport.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"
#include "TreeViewItem/Browser/tviSourceCabinets.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {

const char* const nodeMime = "application/x-quillara-node";

} // namespace

wndTreeView::wndTreeView(ctrlQtTreeView* tree, QWidget* parent) : QTreeView(parent), tree_(tree)
{
    setModel(tree_);
    setHeaderHidden(true);
    // Every row has the same height: the view need not measure 100,000 rows to scroll.
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setExpandsOnDoubleClick(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setAutoScroll(true);
    setAutoScrollMargin(20);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    connect(tree_, &ctrlQtTreeView::expansionRequested, this,
            [this](const QModelIndex& index, bool expanded) {
                syncing_ = true;
                setExpanded(index, expanded);
                syncing_ = false;
            });
    connect(tree_, &ctrlQtTreeView::selectionRequested, this, [this](const QModelIndex& index) {
        if (index.isValid() && currentIndex() != index) {
            setCurrentIndex(index);
            scrollTo(index);
        }
    });
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { tree_->noteExpanded(index, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { tree_->noteExpanded(index, false); });
    tree_->contextMenuHandler = [this](tviTreeViewItem* item) { showItemMenu(item); };
    tree_->dialogHandler = [this](tviDialog dialog, tviTreeViewItem* item,
                                  const std::string& name) {
        if (dialog == tviDialog::footprint)
            showFootprintDialog(item, name);
        else
            openItemDialog(dialog, item, name);
    };
}

wndTreeView::~wndTreeView()
{
    tree_->contextMenuHandler = nullptr;
    tree_->dialogHandler = nullptr;
    delete searchDialog_;
    delete itemDialog_;
    delete folderDialog_;
    delete openCabinetWindow_;
    delete createCabinetDialog_;
    delete copyCabinetDialog_;
    delete footprintDialog_;
}

tviTreeViewItem* wndTreeView::selectedItem() const
{
    return tree_->getItem(tree_->getSelection());
}

void wndTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    tree_->noteSelected(current);
    tviTreeViewItem* item = selectedItem();
    requestOnSelection(item);
    Q_EMIT selectionChangedTo(item);
}

void wndTreeView::requestOnSelection(tviTreeViewItem* item)
{
    // Selecting an item that has an address and has not been asked for yet loads it; the engine
    // does the reading, the tree hears of it through the notifications.
    if (item == nullptr || item->getUrl().empty() || item->getRequestNumber() >= 0 ||
        tree_->engine() == nullptr)
        return;
    tree_->request(item, clsRequestMode::read);
}

bool wndTreeView::executeItemCommand(tviTreeViewItem* item, int code, bool query, bool& handled)
{
    if (code != codeOf(utlCommand::deleteItem) || query)
        return item->executeCommand(code, query, handled);
    bool canDelete = false;
    if (!item->executeCommand(code, true, canDelete))
        return false;
    if (!canDelete)
        return true;
    handled = true;
    // A cabinet, the Favorites and the bookmarks only leave the tree: their files stay.
    int type = item->getType();
    bool closes =
        type == typeCabinet || type == typeInternetExplorer || type == typeNetscapeNavigator;
    std::string question =
        gui::fromQt(closes ? tr("キャビネットを閉じますか？\nファイルは削除されません。")
                           : tr("削除してもよろしいですか？"));
    std::string title = gui::fromQt(closes ? tr("キャビネットを閉じる") : tr("削除の確認"));
    // Closing is a question of yes or no (はい/いいえ); deleting keeps OK and キャンセル.
    if (!tree_->askYesNo(question, title, closes ? tviButtons::yesNo : tviButtons::okCancel))
        return true;
    return item->executeCommand(code, false, handled);
}

bool wndTreeView::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    bool ok = true;
    // The footprint dialog's answer goes to the item it was opened for, wherever the
    // selection went meanwhile.
    if (code == codeOf(utlCommand::footprintConfirmed) && footprintDialog_ != nullptr &&
        footprintDialog_->isAnswering())
        return answerFootprint(query, handled);
    // So do the new-item and new-folder dialogs' answers.
    bool itemAnswer = code == codeOf(utlCommand::newItemConfirmed) && itemDialog_ != nullptr &&
                      itemDialog_->isAnswering();
    bool folderAnswer = code == codeOf(utlCommand::newFolderConfirmed) &&
                        folderDialog_ != nullptr && folderDialog_->isAnswering();
    if (itemAnswer || folderAnswer)
        return answerNewDialog(code, query, handled);
    if (tviTreeViewItem* item = selectedItem())
        ok = executeItemCommand(item, code, query, handled);
    // The item only says whether its name may change; the view opens the editor.
    if (code == codeOf(utlCommand::labelEdit) && handled && !query)
        edit(currentIndex());
    // The menu ticks the character code the page was last read with.
    if (!query && handled &&
        (code == codeOf(utlCommand::charsetAuto) || code == codeOf(utlCommand::charsetSjis) ||
         code == codeOf(utlCommand::charsetEuc) || code == codeOf(utlCommand::charsetUtf8)))
        tree_->noteCharsetChoice(selectedItem(), code == codeOf(utlCommand::charsetUtf8)
                                                     ? 3
                                                     : code - codeOf(utlCommand::charsetAuto));
    if (ok && !handled)
        ok = executeOwnCommand(code, query, handled);
    if (!query)
        forgetClipboardAfter(code, handled);
    return ok;
}

bool wndTreeView::executeOwnCommand(int code, bool query, bool& handled)
{
    switch (code) {
    case codeOf(utlCommand::createCabinet):
        handled = true;
        if (query)
            return true;
        if (createCabinetDialog_ != nullptr && createCabinetDialog_->isAnswering())
            return !createCabinetDialog_->isAccepted() ||
                   createCabinet(createCabinetDialog_->name(), createCabinetDialog_->description(),
                                 createCabinetDialog_->folder());
        return showCreateCabinetDialog();
    case codeOf(utlCommand::copyCabinet):
        if (copyCabinetDialog_ != nullptr && copyCabinetDialog_->isAnswering()) {
            handled = true;
            return query || !copyCabinetDialog_->isAccepted() ||
                   copyCabinet(copySourceOf(copyCabinetDialog_->source()),
                               copyCabinetDialog_->name(), copyCabinetDialog_->folder());
        }
        handled = !openCabinets().empty();
        return query || !handled || showCopyCabinetDialog();
    case codeOf(utlCommand::openCabinet): handled = true; return query || showOpenCabinetWindow();
    case codeOf(utlCommand::exportCabinet):
        handled = selectedCabinet() != nullptr;
        return query || !handled || showExportDialog();
    case codeOf(utlCommand::openCabinetChosen):
        handled = openCabinetWindow_ != nullptr && openCabinetWindow_->isAnswering();
        if (query || !handled || !openCabinetWindow_->isChosen())
            return true;
        return openCabinetHere(openCabinetWindow_->chosenPath());
    case codeOf(utlCommand::openFile): {
        handled = tree_->getFirstChild(kTreeRoot) != nullptr;
        if (query || !handled)
            return true;
        QString chosen = chooseFile();
        return chosen.isEmpty() || goToAddress(QFile::encodeName(chosen).toStdString());
    }
    case codeOf(utlCommand::toggleFavorites):
    case codeOf(utlCommand::toggleBookmarks): {
        int type = code == codeOf(utlCommand::toggleFavorites) ? typeInternetExplorer
                                                               : typeNetscapeNavigator;
        handled = tviSourceCabinets::canToggle(*tree_, *GetUtlIniInfo(), type);
        return query || !handled || tviSourceCabinets::toggle(*tree_, *GetUtlIniInfo(), type);
    }
    case codeOf(utlCommand::undoDelete): {
        // After the last deletion, whatever the snapshot cabinet's trash still holds.
        auto* snapshots = static_cast<tviPageSnapshot*>(tree_->snapshotCabinet());
        bool buffered = tree_->deletedItem() != nullptr;
        handled = buffered || (snapshots != nullptr && snapshots->canRestoreFromTrash());
        if (query || !handled)
            return true;
        return buffered ? tree_->undoDelete() : snapshots->restoreLatestFromTrash() != nullptr;
    }
    case codeOf(utlCommand::emptySnapshotTrash): {
        auto* snapshots = static_cast<tviPageSnapshot*>(tree_->snapshotCabinet());
        bool enabled = false;
        bool ok = snapshots == nullptr || snapshots->cmdEmptyTrash(query, &enabled);
        handled = enabled;
        return ok;
    }
    case codeOf(utlCommand::search): handled = true; return query || openSearchDialog();
    case codeOf(utlCommand::searchConfirmed):
        handled = searchDialog_ != nullptr;
        if (query || !handled)
            return true;
        if (!searchDialog_->isAccepted()) {
            closeSearchDialog();
            return true;
        }
        search(tviSearchMode::text,
               static_cast<tviSearchDirection>(searchDialog_->fields().direction));
        return true;
    case codeOf(utlCommand::markSearchUp):
    case codeOf(utlCommand::markSearchDown):
        handled = true;
        return query || (search(tviSearchMode::mark, code == codeOf(utlCommand::markSearchUp)
                                                         ? tviSearchDirection::up
                                                         : tviSearchDirection::down),
                         true);
    case codeOf(utlCommand::searchAgainDown):
    case codeOf(utlCommand::searchAgainUp):
        // As the dialog's buttons: with the text and the boxes it shows now.
        handled = searchDialog_ != nullptr && searchDialog_->isVisible();
        if (!query && handled)
            searchDialog_->doSearch(code == codeOf(utlCommand::searchAgainUp) ? 1 : 2);
        return true;
    case codeOf(utlCommand::deadLinkSearchDown):
    case codeOf(utlCommand::deadLinkSearchUp):
        handled = true;
        return query ||
               (search(tviSearchMode::deadLink, code == codeOf(utlCommand::deadLinkSearchUp)
                                                    ? tviSearchDirection::up
                                                    : tviSearchDirection::down),
                true);
    default: return true;
    }
}

QString wndTreeView::chooseFile()
{
    if (fileChooser)
        return fileChooser();
    // アイテム (*.html;*.htm;*.shtml;*.shtm;)
    QString filter = tr("アイテム") + QStringLiteral(" (*.html *.htm *.shtml *.shtm)");
    return QFileDialog::getOpenFileName(window(), tr("ファイルを開く"), QString(), filter);
}

bool wndTreeView::search(tviSearchMode mode, tviSearchDirection direction)
{
    tviSearchRequest request;
    request.mode = mode;
    request.direction = direction;
    if (mode == tviSearchMode::text) {
        if (searchDialog_ == nullptr)
            return false;
        request.text = searchDialog_->fields().text;
        request.options = searchDialog_->searchOptions();
    }
    return tviTreeSearch::run(*tree_, request);
}

bool wndTreeView::openSearchDialog()
{
    if (searchDialog_ != nullptr) {
        searchDialog_->show();
        searchDialog_->raise();
        searchDialog_->activateWindow();
        return true;
    }
    QWidget* owner = window();
    searchDialog_ = new dlgSearch(searchFields_, searchHistory_, owner);
    searchDialog_->adjustSize();
    utlIniInfo* ini = GetUtlIniInfo();
    int left = ini->getInt(IniKey::SearchLeft);
    int top = ini->getInt(IniKey::SearchTop);
    int right = ini->getInt(IniKey::SearchRight);
    int bottom = ini->getInt(IniKey::SearchBottom);
    QSize size = searchDialog_->size();
    QRect placed;
    if (left < -65534 && top < -65534) {
        placed = QRect(QPoint(0, 0), size);
        placed.moveCenter(owner->geometry().center());
    } else {
        // The stored size is kept when it is not smaller than what the dialog needs.
        QSize stored(right - left, bottom - top);
        placed = QRect(QPoint(left, top), stored.expandedTo(size));
    }
    QScreen* primaryScreen = QGuiApplication::primaryScreen();
    QRect primary =
        primaryScreen != nullptr ? primaryScreen->availableGeometry() : QRect(0, 0, 1024, 768);
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    placed = wndApplication::placeOnScreen(placed, screens, primary);
    searchDialog_->resize(placed.size());
    searchDialog_->move(placed.topLeft());
    searchDialog_->show();
    return true;
}

void wndTreeView::closeSearchDialog()
{
    if (searchDialog_ == nullptr)
        return;
    storeSearchDialogPlace();
    searchFields_ = searchDialog_->fields();
    searchFields_.options = searchDialog_->searchOptions() != 0 ? searchDialog_->searchOptions()
                                                                : searchFields_.options;
    searchHistory_ = searchDialog_->history();
    // The dialog is inside its own cancel handler: it goes once that has returned.
    searchDialog_->hide();
    searchDialog_->deleteLater();
    searchDialog_ = nullptr;
}

void wndTreeView::storeSearchDialogPlace()
{
    if (searchDialog_ == nullptr)
        return;
    QRect frame(searchDialog_->pos(), searchDialog_->size());
    utlIniInfo* ini = GetUtlIniInfo();
    ini->setInt(IniKey::SearchLeft, frame.left());
    ini->setInt(IniKey::SearchTop, frame.top());
    ini->setInt(IniKey::SearchRight, frame.left() + frame.width());
    ini->setInt(IniKey::SearchBottom, frame.top() + frame.height());
}

dlgCreateItem* wndTreeView::createItemDialog() const
{
    return itemDialog_;
}

dlgCreateFolder* wndTreeView::createFolderDialog() const
{
    return folderDialog_;
}

void wndTreeView::openItemDialog(tviDialog dialog, tviTreeViewItem* item, const std::string& name)
{
    auto raise = [](QDialog* d) {
        d->show();
        d->raise();
        d->activateWindow();
    };
    if (dialog == tviDialog::newItem || dialog == tviDialog::newFolder)
        dialogItem_ = item;
    switch (dialog) {
    case tviDialog::newItem:
        if (itemDialog_ == nullptr) {
            itemDialog_ = new dlgCreateItem(&tree_->dialogData, name, window());
            connect(itemDialog_, &QDialog::finished, itemDialog_, &QObject::deleteLater);
        }
        raise(itemDialog_);
        break;
    case tviDialog::newFolder:
        if (folderDialog_ == nullptr) {
            folderDialog_ = new dlgCreateFolder(&tree_->dialogData, name, window());
            connect(folderDialog_, &QDialog::finished, folderDialog_, &QObject::deleteLater);
        }
        folderDialog_->setNamesDirectory(item != nullptr && (item->getType() == typePageSnapshot ||
                                                             item->getType() == typePSSFolder ||
                                                             item->getType() == typePSSItem));
        raise(folderDialog_);
        break;
    case tviDialog::properties:
        if (item != nullptr && tviPropertySheet::hasPage(*item)) {
            // Modal: nothing in the tree changes under the sheet but the engine's news.
            tviPropertySheet sheet(tree_, item, window());
            sheet.exec();
            if (tree_->owns(item) && item->getHandle() != nullptr)
                tree_->refreshNode(item->getHandle());
        }
        break;
    default: break;
    }
}

void wndTreeView::forgetClipboardAfter(int code, bool handled)
{
    bool edits = commandEditsTree(code);
    bool refusedClip =
        !handled && (code == codeOf(utlCommand::cut) || code == codeOf(utlCommand::copy));
    if (edits || refusedClip)
        tree_->clearClipboard();
}

namespace {

std::vector<std::string> cabinetFolders()
{
    std::vector<std::string> folders;
    for (const utlIniInfo::CabinetFolder& f : GetUtlIniInfo()->getCabinetFolders())
        folders.push_back(f.path);
    return folders;
}

} // namespace

std::vector<tviTreeViewItem*> wndTreeView::openCabinets() const
{
    std::vector<tviTreeViewItem*> out;
    for (TreeNode n = tree_->getFirstChild(kTreeRoot); n != nullptr; n = tree_->getNextSibling(n)) {
        tviTreeViewItem* item = tree_->getItem(n);
        if (item != nullptr &&
            (item->getType() == typeQuillaraCabinet || item->getType() == typeCabinet))
            out.push_back(item);
    }
    return out;
}

tviTreeViewItem* wndTreeView::openCabinetOf(const std::string& path) const
{
    return tree_->openCabinetOf(path);
}

namespace {

// Modeless windows are shown once and raised when asked for again; they delete themselves
// when they close.
template <class Window>
Window* keep(QPointer<Window>& slot, Window* made)
{
    slot = made;
    QObject::connect(made, &QDialog::finished, made, &QObject::deleteLater);
    return made;
}

void bringUp(QDialog* d)
{
    d->show();
    d->raise();
    d->activateWindow();
}

} // namespace

bool wndTreeView::showOpenCabinetWindow()
{
    if (openCabinetWindow_ == nullptr)
        keep(openCabinetWindow_,
             new wndOpenCabinet(
                 cabinetFolders(),
                 [this](const std::string& path) { return openCabinetOf(path) != nullptr; },
                 window()));
    bringUp(openCabinetWindow_);
    return true;
}

wndOpenCabinet* wndTreeView::openCabinetWindow() const
{
    return openCabinetWindow_;
}

dlgCreateCabinet* wndTreeView::createCabinetDialog() const
{
    return createCabinetDialog_;
}

dlgCopyCabinet* wndTreeView::copyCabinetDialog() const
{
    return copyCabinetDialog_;
}

dlgSSRoute* wndTreeView::footprintDialog() const
{
    return footprintDialog_;
}

bool wndTreeView::openCabinetHere(const std::string& path)
{
    if (tviTreeViewItem* open = openCabinetOf(path))
        return tree_->selectNode(open->getHandle());
    // Behind the selected cabinet, or behind the default cabinet.
    TreeNode after = tree_->getFirstChild(kTreeRoot);
    TreeNode top = tree_->getSelection();
    while (top != nullptr && tree_->getParent(top) != kTreeRoot)
        top = tree_->getParent(top);
    if (tviTreeViewItem* selected = tree_->getItem(top);
        selected != nullptr && selected->getType() == typeCabinet)
        after = top;
    std::unique_ptr<tviTreeViewItem> made = tviTreeViewItem::createItem(tree_, typeCabinet);
    auto* cabinet = static_cast<tviCabinet*>(tree_->adopt(std::move(made)));
    cabinet->setPath(path);
    if (!cabinet->insertAndLoad(kTreeRoot, after != nullptr ? after : kTreeFirst)) {
        if (cabinet->getHandle() == nullptr) {
            tree_->destroyItem(cabinet);
            return logError(path);
        }
        logError(path + " " + cabinet->getLoadError());
    }
    return tree_->selectNode(cabinet->getHandle());
}

namespace {

// The folder a new cabinet or a copy goes into, always absolute: with no folder chosen (the
// settings' list is empty) the data directory's Cabinet/, never the current directory.
std::string cabinetFolderFor(const std::string& chosen)
{
    if (chosen.empty()) {
        std::string folder = GetUtlIniInfo()->getDataDirectory() + "Cabinet/";
        platform::makeDirectories(folder);
        return folder;
    }
    if (chosen.front() == '/')
        return chosen;
    std::error_code error;
    std::string absolute = std::filesystem::absolute(chosen, error).string();
    return absolute.empty() || absolute.back() == '/' ? absolute : absolute + "/";
}

} // namespace

// Failures are logged under the dialog whose confirmation this carries out.
bool wndTreeView::createCabinet(const std::string& name, const std::string& description,
                                const std::string& chosen)
{
    std::string folder = cabinetFolderFor(chosen);
    tviCabinetDocument doc;
    doc.name = name;
    doc.description = description;
    std::string path;
    std::string error;
    if (!tviCabinetImport::createCabinet(folder, doc, path, error))
        return logErrorAs("dlgCreateCabinet::OnOK", error);
    int number = 0;
    GetUtlIniInfo()->addCabinetFolder(folder, number);
    return openCabinetHere(path);
}

std::string wndTreeView::copySourceOf(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= copySources_.size())
        return {};
    return copySources_[static_cast<size_t>(index)];
}

// Failures are logged under the dialog whose confirmation this carries out.
bool wndTreeView::copyCabinet(const std::string& source, const std::string& name,
                              const std::string& chosen)
{
    // The source is the cabinet the dialog showed, found again by its file: cabinets opened or
    // closed meanwhile must not make another one the source.
    auto* from = static_cast<tviCabinet*>(openCabinetOf(source));
    if (from == nullptr) {
        tree_->showMessage(gui::fromQt(tr("コピー元のキャビネットは閉じられました。")), "Quillara");
        return logErrorAs("dlgCopyCabinet::OnOK", source + ": no such cabinet is open");
    }
    if (from->isUnreadable() || from->isPartlyRead()) {
        tree_->showMessage(
            gui::fromQt(tr("コピー元のキャビネットは一部しか読めていないため、コピーできません。")),
            "Quillara");
        return logErrorAs("dlgCopyCabinet::OnOK", source + ": the cabinet was read only in part (" +
                                                      from->getLoadError() + ")");
    }
    std::string folder = cabinetFolderFor(chosen);
    tviCabinetDocument doc;
    from->toDocument(doc);
    doc.name = name;
    // The default cabinet's note says that it cannot be deleted; its copy can.
    if (from->getType() == typeQuillaraCabinet)
        doc.description.clear();
    std::string path;
    std::string error;
    if (!tviCabinetImport::createCabinet(folder, doc, path, error))
        return logErrorAs("dlgCopyCabinet::OnOK", error);
    int number = 0;
    GetUtlIniInfo()->addCabinetFolder(folder, number);
    tree_->selectNode(from->getHandle());
    return openCabinetHere(path);
}

tviCabinet* wndTreeView::selectedCabinet() const
{
    tviTreeViewItem* item = selectedItem();
    while (item != nullptr && item->parentItem() != nullptr)
        item = item->parentItem();
    if (item == nullptr ||
        (item->getType() != typeQuillaraCabinet && item->getType() != typeCabinet))
        return nullptr;
    return static_cast<tviCabinet*>(item);
}

bool wndTreeView::showExportDialog()
{
    const tviCabinet* cabinet = selectedCabinet();
    std::filesystem::path suggested = cabinet->getPath();
    suggested.replace_extension(".html");
    QString path = QFileDialog::getSaveFileName(window(), tr("エクスポート"),
                                                QFile::decodeName(suggested.c_str()),
                                                tr("ブックマークファイル (*.html *.htm)"));
    if (path.isEmpty())
        return true;
    return exportCabinet(QFile::encodeName(path).toStdString());
}

bool wndTreeView::exportCabinet(const std::string& path)
{
    tviCabinet* cabinet = selectedCabinet();
    if (cabinet == nullptr)
        return logError("no cabinet selected");
    // The tree as it stands, changes not yet saved included.
    tviCabinetDocument doc;
    cabinet->toDocument(doc);
    tviCabinetExport::Result result;
    std::string error;
    if (tviCabinetExport::exportDocument(doc, cabinet->getPath(), path, result, error))
        return true;
    logError(error);
    tree_->showMessage(gui::fromQt(tr("エクスポートできませんでした\r\n")) +
                           platform::utf8ToSjis(error),
                       gui::fromQt(tr("エクスポート")));
    return false;
}

bool wndTreeView::showCreateCabinetDialog()
{
    if (createCabinetDialog_ == nullptr)
        keep(createCabinetDialog_, new dlgCreateCabinet(cabinetFolders(), window()));
    bringUp(createCabinetDialog_);
    return true;
}

bool wndTreeView::showCopyCabinetDialog()
{
    if (copyCabinetDialog_ != nullptr) {
        bringUp(copyCabinetDialog_);
        return true;
    }
    std::vector<std::string> names;
    int selected = 0;
    TreeNode top = tree_->getSelection();
    while (top != nullptr && tree_->getParent(top) != kTreeRoot)
        top = tree_->getParent(top);
    copySources_.clear();
    for (tviTreeViewItem* item : openCabinets()) {
        if (item->getHandle() == top)
            selected = static_cast<int>(names.size());
        names.push_back(item->getText());
        copySources_.push_back(static_cast<tviCabinet*>(item)->getPath());
    }
    bringUp(
        keep(copyCabinetDialog_, new dlgCopyCabinet(names, selected, cabinetFolders(), window())));
    return true;
}

void wndTreeView::showFootprintDialog(tviTreeViewItem* item, const std::string& name)
{
    auto* route =
        static_cast<tviRouteSnapshot*>(tviSourceCabinets::find(*tree_, typeRouteSnapshot));
    if (route == nullptr || item == nullptr)
        return;
    // Asked again for another page while open, the dialog takes that page's footprint.
    footprintItem_ = item;
    if (footprintDialog_ != nullptr) {
        footprintDialog_->setName(name);
        bringUp(footprintDialog_);
        return;
    }
    keep(footprintDialog_, new dlgSSRoute(name, route->deleteOn(), route->getFilePath(),
                                          route->getColorDay(), route->getDeleteDay(), window()));
    bringUp(footprintDialog_);
}

bool wndTreeView::answerNewDialog(int code, bool query, bool& handled)
{
    handled = true;
    if (query)
        return true;
    tviTreeViewItem* target = dialogItem_;
    if (target == nullptr || !tree_->owns(target) || target->getHandle() == nullptr)
        target = selectedItem();
    if (!tree_->dialogData.confirmed) {
        dialogItem_ = nullptr;
        return true;
    }
    bool done = false;
    if (target != nullptr && !target->executeCommand(code, false, done))
        return false;
    if (done) {
        dialogItem_ = nullptr;
        return true;
    }
    // Nowhere to keep it: the dialog stays open with what was typed.
    tree_->showMessage(
        gui::fromQt(tr(
            "新しい項目を作成できる場所ではありません。キャビネットかフォルダを選択して下さい。")),
        "Quillara");
    return false;
}

bool wndTreeView::answerFootprint(bool query, bool& handled)
{
    handled = true;
    if (query)
        return true;
    tviTreeViewItem* item = footprintItem_;
    // The page went while the dialog was open: nothing is left to take.
    if (item == nullptr || !tree_->owns(item) || item->getHandle() == nullptr) {
        footprintItem_ = nullptr;
        return true;
    }
    tree_->dialogData = tviDialogData{};
    tree_->dialogData.name = footprintDialog_->name();
    tree_->dialogData.autoDelete = footprintDialog_->autoDelete();
    tree_->dialogData.confirmed = footprintDialog_->isAccepted();
    bool done = false;
    bool ok = item->executeCommand(codeOf(utlCommand::footprintConfirmed), false, done);
    tree_->dialogData = tviDialogData{};
    if (ok)
        footprintItem_ = nullptr;
    return ok;
}

bool wndTreeView::openCabinets(const utlIniInfo& ini)
{
    tree_->beginBulk();
    bool ok = tviQuillaraCabinet::openDefault(tree_, ini.getDataDirectory()) != nullptr;
    std::string path;
    for (std::size_t i = 0; ini.getCabinetFilePath(i, path); ++i)
        ok = openCabinetFile(path, ini.isCabinetFileResolved(i)) && ok;
    tviRouteSnapshot::openIn(*tree_, ini);
    ok = tviPageSnapshot::openDefault(tree_, ini.getDataDirectory(), &ini) != nullptr && ok;
    tviSourceCabinets::showAtStart(*tree_, ini);
    TreeNode first = tree_->getFirstChild(kTreeRoot);
    if (first != nullptr && tree_->getSelection() == nullptr)
        tree_->selectNode(first);
    tree_->endBulk();
    return ok;
}

bool wndTreeView::openCabinetFile(const std::string& path, bool resolved)
{
    if (tviTreeViewItem* open = openCabinetOf(path))
        return tree_->selectNode(open->getHandle());
    std::unique_ptr<tviTreeViewItem> made = tviTreeViewItem::createItem(tree_, typeCabinet);
    if (!made)
        return logError(path);
    auto* cabinet = static_cast<tviCabinet*>(tree_->adopt(std::move(made)));
    cabinet->setPath(path);
    cabinet->setPathUnresolved(!resolved);
    if (!cabinet->insertAndLoad(kTreeRoot, kTreeLast)) {
        if (cabinet->getHandle() == nullptr)
            tree_->destroyItem(cabinet);
        return logError(path + " " + cabinet->getLoadError());
    }
    return true;
}

bool wndTreeView::goToAddress(const std::string& address)
{
    TreeNode cabinetNode = tree_->getFirstChild(kTreeRoot);
    if (cabinetNode == nullptr || address.empty())
        return false;
    for (TreeNode n = tree_->getFirstChild(cabinetNode); n != nullptr;
         n = tree_->getNextSibling(n)) {
        tviTreeViewItem* item = tree_->getItem(n);
        if (item != nullptr && item->getType() == typeCabinetItem && item->getUrl() == address)
            return tree_->selectNode(n);
    }
    std::unique_ptr<tviTreeViewItem> made = tviTreeViewItem::createItem(tree_, typeCabinetItem);
    if (!made)
        return false;
    auto* item = static_cast<tviCabinetItem*>(tree_->adopt(std::move(made)));
    item->setName(address);
    item->setUrl(address);
    if (!item->insertItem(cabinetNode, kTreeFirst)) {
        tree_->destroyItem(item);
        return logError(address);
    }
    item->noteChanged();
    item->setFlag(true);
    bool handled = false;
    item->executeCommand(codeOf(utlCommand::expand), false, handled);
    tree_->expand(cabinetNode, true);
    return tree_->selectNode(item->getHandle());
}

bool wndTreeView::isDropAllowed(const ctrlTreeView& tree, TreeNode dragged, TreeNode target)
{
    if (dragged == nullptr || target == kTreeRoot || tree.getItem(target) == nullptr)
        return false;
    return !tree.isInSubtree(target, dragged);
}

bool wndTreeView::dropItem(TreeNode dragged, TreeNode target, bool copy)
{
    if (!isDropAllowed(*tree_, dragged, target))
        return false;
    tviTreeViewItem* source = tree_->getItem(dragged);
    tviTreeViewItem* destination = tree_->getItem(target);
    bool handled = false;
    if (!source->executeCommand(copy ? codeOf(utlCommand::copy) : codeOf(utlCommand::cut), false,
                                handled))
        return false;
    if (!handled && !copy && !source->executeCommand(codeOf(utlCommand::copy), false, handled))
        return false;
    if (!handled)
        return false;
    bool pasted = false;
    bool ok = destination->executeCommand(codeOf(utlCommand::paste), false, pasted);
    if (!ok || !pasted) {
        tree_->clearClipboard();
        return false;
    }
    return true;
}

bool wndTreeView::dropAddresses(TreeNode target, const std::vector<std::string>& addresses)
{
    if (target == kTreeRoot)
        target = tree_->getFirstChild(kTreeRoot);
    tviTreeViewItem* at = tree_->getItem(target);
    if (at == nullptr)
        return false;
    bool added = false;
    for (const std::string& address : addresses) {
        if (!tviTreeViewItem::isOpenableAddress(address, nullptr))
            continue;
        tree_->dialogData = tviDialogData{address, address, {}, false, true};
        bool handled = false;
        if (at->executeCommand(codeOf(utlCommand::newItemConfirmed), false, handled) && handled)
            added = true;
    }
    tree_->dialogData = tviDialogData{};
    return added;
}

std::vector<std::string> wndTreeView::addressesOf(const QMimeData* mime) const
{
    std::vector<std::string> out;
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls())
            out.push_back(
                gui::addressFromQt(url.isLocalFile() ? url.toLocalFile() : url.toString()));
    } else if (mime->hasText()) {
        for (const QString& line : mime->text().split('\n', Qt::SkipEmptyParts))
            out.push_back(gui::addressFromQt(line.trimmed()));
    }
    return out;
}

void wndTreeView::startDrag(Qt::DropActions)
{
    QModelIndex index = currentIndex();
    tviTreeViewItem* item = tree_->itemOf(index);
    if (item == nullptr)
        return;
    dragged_ = tree_->nodeOf(index);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(nodeMime), QByteArray());
    std::string url = item->getUrl();
    if (!url.empty()) {
        QString text = gui::addressToQt(url);
        mime->setUrls({text.startsWith('/') ? QUrl::fromLocalFile(text) : QUrl(text)});
        mime->setText(text);
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(tree_->data(index, Qt::DecorationRole).value<QIcon>().pixmap(16, 16));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    dragged_ = nullptr;
}

void wndTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    bool ours = mime->hasFormat(QString::fromLatin1(nodeMime)) && dragged_ != nullptr;
    if (ours || mime->hasUrls() || mime->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

void wndTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeView::dragMoveEvent(event); // scrolling near the edges and the drop indicator
    TreeNode target = tree_->nodeOf(indexAt(event->position().toPoint()));
    const QMimeData* mime = event->mimeData();
    bool ours = mime->hasFormat(QString::fromLatin1(nodeMime)) && dragged_ != nullptr;
    bool allowed =
        ours ? isDropAllowed(*tree_, dragged_, target) : (mime->hasUrls() || mime->hasText());
    if (!allowed) {
        event->ignore();
        return;
    }
    bool copy = (event->modifiers() & Qt::ControlModifier) != 0;
    event->setDropAction(ours && !copy ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

void wndTreeView::dropEvent(QDropEvent* event)
{
    TreeNode target = tree_->nodeOf(indexAt(event->position().toPoint()));
    const QMimeData* mime = event->mimeData();
    bool ours = mime->hasFormat(QString::fromLatin1(nodeMime)) && dragged_ != nullptr;
    bool done = false;
    if (ours)
        done = dropItem(dragged_, target, (event->modifiers() & Qt::ControlModifier) != 0);
    else
        done = dropAddresses(target, addressesOf(mime));
    // The source removes nothing itself: cut and paste have already moved the item.
    event->setDropAction(done ? Qt::CopyAction : Qt::IgnoreAction);
    event->accept();
}

void wndTreeView::keyPressEvent(QKeyEvent* event)
{
    bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && state() != QAbstractItemView::EditingState) {
        bool alt = (event->modifiers() & Qt::AltModifier) != 0;
        bool handled = false;
        executeCommand(alt ? codeOf(utlCommand::properties) : codeOf(utlCommand::expand), false,
                       handled);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void wndTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event); // no longer toggles: setExpandsOnDoubleClick(false)
    QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || event->button() != Qt::LeftButton)
        return;
    // An open node closes; any other opens as Enter does, loading and expanding a page whose
    // links are not shown yet.
    if (isExpanded(index)) {
        collapse(index);
        return;
    }
    bool handled = false;
    executeCommand(codeOf(utlCommand::expand), false, handled);
}

void wndTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return; // empty space shows no menu
    setCurrentIndex(index);
    if (tree_->getSelection() != tree_->nodeOf(index))
        return;
    bool handled = false;
    executeCommand(codeOf(utlCommand::contextMenu), false, handled);
}

void wndTreeView::showItemMenu(tviTreeViewItem*)
{
    QMenu menu(this);
    auto run = [this](int menuId) {
        bool handled = false;
        int code = guiMenus::commandOf(menuId);
        if (code >= 0)
            executeCommand(code, false, handled);
    };
    guiMenus::fillItemMenu(&menu, run);
    auto available = [this](int menuId) {
        int code = guiMenus::commandOf(menuId);
        bool handled = false;
        return code < 0 || (executeCommand(code, true, handled) && handled);
    };
    auto checked = [this](int menuId) {
        tviTreeViewItem* item = selectedItem();
        return menuId == 32841 && item != nullptr && item->isMarked();
    };
    guiMenus::updateMenu(&menu, available, checked);
    menu.exec(QCursor::pos());
}

void wndTreeView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    Q_EMIT focusEntered();
}
