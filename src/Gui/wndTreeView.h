#pragma once

#include "Common/utlCommandTarget.h"
#include "TreeViewItem/Base/ctrlTreeView.h"

#include "Dialog/dlgSearch.h"
#include "TreeViewItem/Base/tviTreeSearch.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QPointer>
#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

class ctrlQtTreeView;
class tviCabinet;
class dlgCopyCabinet;
class dlgCreateCabinet;
class dlgCreateFolder;
class dlgCreateItem;
class dlgSSRoute;
class wndOpenCabinet;
class tviTreeViewItem;
class utlIniInfo;

// The left pane: the view of the tree control. It turns the user's clicks, keys and drags
// into commands, offers every command to the selected item first, and owns the tree's own
// commands (open cabinets, undo delete, go to an address).
class wndTreeView : public QTreeView, public utlCommandTarget {
    Q_OBJECT
public:
    explicit wndTreeView(ctrlQtTreeView* tree, QWidget* parent = nullptr);
    ~wndTreeView() override;

    ctrlQtTreeView* tree() const { return tree_; }
    tviTreeViewItem* selectedItem() const;
    bool executeCommand(int code, bool query, bool& handled) override;

    // The default cabinet first, then every cabinet of the settings' file list.
    bool openCabinets(const utlIniInfo& ini);
    // Opens one more cabinet file at the end of the tree.
    // resolved false: path is a settings entry whose folder is not listed, shown as missing.
    bool openCabinetFile(const std::string& path, bool resolved = true);
    // Opens a cabinet file behind the selected cabinet, or first behind the default cabinet
    // (commands 1101, 1027, 1029); an open one is only selected. A file is open at most once,
    // whatever the spelling of its path (compared after resolving links, "." and "..").
    bool openCabinetHere(const std::string& path);
    // The cabinet a path names when it is open (the default cabinet included), else null.
    tviTreeViewItem* openCabinetOf(const std::string& path) const;
    // The new-cabinet and copy commands' work, after their dialogs (also used by tests).
    bool createCabinet(const std::string& name, const std::string& description,
                       const std::string& folder);
    // The source is named by its file; a source that is no longer open, or was read only in
    // part, is refused with a message.
    bool copyCabinet(const std::string& source, const std::string& name, const std::string& folder);
    // Writes the cabinet of the selection as a bookmark file that browsers import (command
    // 11042 after its file dialog; also used by tests). False, after telling the user, when
    // the file is not written.
    bool exportCabinet(const std::string& path);
    // The URL box's address: selects the default cabinet's item with that address, or adds one
    // at its top and starts loading it.
    bool goToAddress(const std::string& address);

    // A drop is refused on empty space, on the dragged node itself and inside its subtree.
    static bool isDropAllowed(const ctrlTreeView& tree, TreeNode dragged, TreeNode target);
    // Moves (or with copy set copies) dragged onto target as cut and paste do.
    bool dropItem(TreeNode dragged, TreeNode target, bool copy);
    // Addresses dropped from another program become new items at target (or the default cabinet).
    bool dropAddresses(TreeNode target, const std::vector<std::string>& addresses);

    // The dialogs the items ask for (new item, new folder, properties); modeless ones are
    // raised when already open.
    void openItemDialog(tviDialog dialog, tviTreeViewItem* item, const std::string& name);
    dlgSearch* searchDialog() const { return searchDialog_; }
    dlgCreateItem* createItemDialog() const;
    dlgCreateFolder* createFolderDialog() const;
    // The modeless window and dialogs of commands 1100, 1027, 1029 and 1021, while open.
    wndOpenCabinet* openCabinetWindow() const;
    dlgCreateCabinet* createCabinetDialog() const;
    dlgCopyCabinet* copyCabinetDialog() const;
    dlgSSRoute* footprintDialog() const;
    // Opens the search dialog (command 1023) at its stored place, or centred on the window.
    bool openSearchDialog();
    // A tree search from the selection (commands 1024, 11028 to 11034).
    bool search(tviSearchMode mode, tviSearchDirection direction);
    // Keeps the open search dialog's place in the settings (closing, shut-down).
    void storeSearchDialogPlace();
    // Picks the file that 開く → ファイル opens as an item; the desktop's file dialog by default.
    std::function<QString()> fileChooser;

signals:
    void selectionChangedTo(tviTreeViewItem* item);
    void focusEntered();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool executeItemCommand(tviTreeViewItem* item, int code, bool query, bool& handled);
    bool executeOwnCommand(int code, bool query, bool& handled);
    void forgetClipboardAfter(int code, bool handled);
    void showItemMenu(tviTreeViewItem* item);
    void requestOnSelection(tviTreeViewItem* item);
    bool showOpenCabinetWindow();
    bool showCreateCabinetDialog();
    bool showCopyCabinetDialog();
    bool showExportDialog();
    // The cabinet (default or user's) that holds the selection, else null.
    tviCabinet* selectedCabinet() const;
    void showFootprintDialog(tviTreeViewItem* item, const std::string& name);
    bool answerFootprint(bool query, bool& handled);
    // The new-item and new-folder dialogs' answers go to the item they were opened for (or,
    // when it has gone, the selection); where nothing can be made the dialog stays open.
    bool answerNewDialog(int code, bool query, bool& handled);
    std::vector<tviTreeViewItem*> openCabinets() const;
    // The file of the index-th cabinet the copy dialog listed when it opened.
    std::string copySourceOf(int index) const;
    std::vector<std::string> addressesOf(const class QMimeData* mime) const;

    void closeSearchDialog();
    QString chooseFile();

    ctrlQtTreeView* tree_;
    QPointer<dlgSearch> searchDialog_;
    QPointer<dlgCreateItem> itemDialog_;
    QPointer<dlgCreateFolder> folderDialog_;
    QPointer<wndOpenCabinet> openCabinetWindow_;
    QPointer<dlgCreateCabinet> createCabinetDialog_;
    QPointer<dlgCopyCabinet> copyCabinetDialog_;
    QPointer<dlgSSRoute> footprintDialog_;
    tviTreeViewItem* footprintItem_ = nullptr; // the item the footprint dialog was opened for
    tviTreeViewItem* dialogItem_ = nullptr; // the item the new-item or folder dialog was opened for
    std::vector<std::string> copySources_;  // the cabinets the copy dialog lists, by file
    // What the search dialog showed last, for the next one.
    dlgSearch::Fields searchFields_{{}, 1, searchAllFields};
    std::vector<std::string> searchHistory_;
    bool syncing_ = false;
    TreeNode dragged_ = nullptr;
};
