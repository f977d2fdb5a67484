#pragma once

#include "TreeViewItem/Base/ctrlTreeView.h"

#include <QAbstractItemModel>
#include <QColor>

#include <functional>
#include <map>
#include <memory>
#include <vector>

// The tree control of the window: the node operations of ctrlTreeView kept in a Qt item model,
// so that a QTreeView shows it and asks for the text and the images of the rows it paints only.
// The model holds the expanded state and the selection; a view follows them through the two
// signals and reports the user's changes back with noteExpanded and noteSelected.
class ctrlQtTreeView : public QAbstractItemModel, public ctrlTreeView {
    Q_OBJECT
public:
    explicit ctrlQtTreeView(QObject* parent = nullptr);
    ~ctrlQtTreeView() override;

    using ctrlTreeView::deleteLater;
    using QObject::deleteLater;
    using QObject::parent;

    // Node operations.
    bool moveNode(TreeNode node, TreeNode newParent, TreeNode insertAfter) override;
    tviTreeViewItem* getItem(TreeNode node) const override;
    TreeNode getParent(TreeNode node) const override;
    TreeNode getFirstChild(TreeNode node) const override;
    TreeNode getNextSibling(TreeNode node) const override;
    TreeNode getPrevSibling(TreeNode node) const override;
    bool isExpanded(TreeNode node) const override;
    bool expand(TreeNode node, bool expanded) override;
    void refreshNode(TreeNode node) override;
    void setOverlay(TreeNode node, int overlay) override;
    int getOverlay(TreeNode node) const override;
    bool selectNode(TreeNode node) override;
    TreeNode getSelection() const override;

    // The user and the desktop. Without interactive set (tests) the headless answers of the
    // base are used and nothing is opened.
    bool askYesNo(const std::string& text, const std::string& title,
                  tviButtons buttons = tviButtons::okCancel) override;
    tviPastePlace choosePastePlace() override;
    void showMessage(const std::string& text, const std::string& title) override;
    void setClipboardText(const std::string& text) override;
    bool openExternal(const std::string& target, bool newWindow) override;
    void showContextMenu(tviTreeViewItem* item) override;
    void openDialog(tviDialog dialog, tviTreeViewItem* item, const std::string& name) override;

    bool interactive = true;
    // The command that starts a new browser window (the "Internet Explorer" command).
    std::string browserCommand;
    // What openExternal was last asked to open, and the last question put to the user.
    std::string lastOpened;
    std::string lastQuestion;
    // The character code the user last chose for an item's page in the 文字コード menu:
    // 0 automatic, 1 Shift_JIS, 2 EUC, 3 UTF-8.
    int charsetChoiceOf(const tviTreeViewItem* item) const;
    void noteCharsetChoice(const tviTreeViewItem* item, int choice);
    std::function<void(tviTreeViewItem*)> contextMenuHandler;
    std::function<void(tviDialog, tviTreeViewItem*, const std::string&)> dialogHandler;

    // Item model.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QModelIndex indexOf(TreeNode node) const;
    TreeNode nodeOf(const QModelIndex& index) const;
    tviTreeViewItem* itemOf(const QModelIndex& index) const;

    // Many insertions at once (opening cabinets): the views hear one reset at the end.
    void beginBulk();
    void endBulk();
    // Colours 0x00BBGGRR of marked items and of aged footprints and snapshots.
    void setMarkColours(int mark, int route, int page);
    size_t nodeCount() const { return live_; }

    // From the view.
    void noteExpanded(const QModelIndex& index, bool expanded);
    void noteSelected(const QModelIndex& index);

signals:
    void expansionRequested(const QModelIndex& index, bool expanded);
    void selectionRequested(const QModelIndex& index);

protected:
    TreeNode doInsertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item) override;
    bool doDeleteNode(TreeNode node) override;

private:
    struct Node;
    Node* node(TreeNode handle) const;
    Node* liveNode(TreeNode handle) const;
    static TreeNode handleOf(Node* n);
    int rowOf(Node* n) const;
    QModelIndex indexOfNode(Node* n) const;
    Node* newNode();
    void releaseSubtree(Node* top);
    void emitChanged(Node* n);

    std::unique_ptr<Node> root_;
    std::vector<std::unique_ptr<Node>> pool_;
    std::vector<Node*> free_;
    size_t live_ = 0;
    Node* selection_ = nullptr;
    int bulkDepth_ = 0;
    QColor markColour_{255, 0, 0};
    QColor routeColour_{128, 128, 128};
    QColor pageColour_{128, 128, 128};
    std::map<const tviTreeViewItem*, int> charsetChoices_;
};
