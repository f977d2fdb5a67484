#pragma once

#include "Common/utlCommand.h"
#include "Common/utlCommandTarget.h"
#include "TreeViewItem/Base/ctrlTreeView.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class clsQuillaraItem;
class tviCabinet;
struct clsSnapshotReport;

// Type codes of the tree items; fixed, since the file writer, paste, delete and the views
// branch on them.
enum tviType : int {
    typeSubItem = 0,
    typeQuillaraCabinet = 1,
    typeCabinet = 2,
    typeCabinetFolder = 3,
    typeCabinetItem = 4,
    typeRouteSnapshot = 5,
    typeRSSFolder = 6,
    typeRSSItemSet = 7,
    typeRSSItem = 8,
    typePageSnapshot = 9,
    typePSSFolder = 10,
    typePSSItem = 11,
    typeInternetExplorer = 12,
    typeIEFolder = 13,
    typeIEItem = 14,
    typeNetscapeNavigator = 15,
    typeNNFolder = 16,
    typeNNItem = 17,
    typeFrameItem = 18,
};

// Image ids; the window maps each to an icon.
enum tviImage : int {
    imageNone = 0,
    imageCabinetClosed,
    imageCabinetOpen,
    imageQuillaraCabinetClosed,
    imageQuillaraCabinetOpen,
    imageFolderClosed,
    imageFolderOpen,
    imagePageClosed, // URL item without an engine request
    imagePageOpen,
    imagePageClosedRequested, // URL item with an engine request
    imagePageOpenRequested,
    imagePageSelected,
    imagePageSelectedUnread,
    imageFrame,
    imageMail,
    imageLinkPage, // sub-item: a page (".htm" or no extension)
    imageLinkFile, // sub-item: any other file; see tviSubItem::getExtension
};

// Options of matchesSearch: the fields a text search looks at (searchText is the name).
enum tviSearchOption : int {
    searchTitle = 1,
    searchKeywords = 2,
    searchUrl = 4,
    searchText = 8,
    searchName = searchText,
    searchComment = 16,
    searchAllFields = 31,
};

// Every node of the tree is one of these. The item knows its node; the tree owns the item.
class tviTreeViewItem : public utlCommandTarget {
public:
    explicit tviTreeViewItem(ctrlTreeView* tree);
    virtual ~tviTreeViewItem();
    tviTreeViewItem(const tviTreeViewItem&) = delete;
    tviTreeViewItem& operator=(const tviTreeViewItem&) = delete;

    // Offers command code to the item. handled says that the item can perform it (with
    // query set it only answers that); false is returned when performing it failed.
    bool executeCommand(int code, bool query, bool& handled) override;

    virtual int getType() const { return -1; }
    void setHandle(TreeNode node) { node_ = node; }
    TreeNode getHandle() const { return node_; }
    bool insertItem(TreeNode parent, TreeNode insertAfter);
    ctrlTreeView* tree() const { return tree_; }

    virtual std::string getText() const;
    virtual int getImage() const { return imageNone; }
    virtual int getSelectedImage() const { return imageNone; }
    bool isMarked() const { return marked_; }
    void setMarked(bool marked);
    virtual clsRequestStatus getStatus() const { return clsRequestStatus::registered; }
    virtual void getStatusText(std::string& text, bool& isError) const;
    // A class whose address can change while its item is in the tree calls
    // tree()->addressChanged(this) after each change (the tree counts nodes by address).
    virtual std::string getUrl() const { return {}; }
    virtual bool isSpecial() const { return false; }
    virtual bool hasOverlay() const { return false; }
    // A dead item that knows an archived copy of its page shows it with its own overlay.
    virtual bool hasArchivedCopy() const { return false; }
    virtual std::string getDescription() const { return {}; }
    virtual bool isReadOnly() const { return false; }
    // The overlay the node shows: error before read-only.
    int overlayFor() const;

    // The engine request: its id and a counted reference on the analysis node that the last
    // notification brought (its record gives status and result code).
    void setRequest(int number, clsQuillaraItem* node);
    int getRequestNumber() const { return requestNumber_; }
    // The page node this item shows (the engine's record of its page), or null.
    clsQuillaraItem* getRequest() const { return request_; }
    virtual int getCodeKind() const { return 0; }

    virtual bool cmdNewItem(bool query, bool* enabled);
    virtual bool cmdNewItemConfirmed(bool query, bool* enabled);
    virtual bool cmdNewFolder(bool query, bool* enabled);
    virtual bool cmdNewFolderConfirmed(bool query, bool* enabled);
    virtual bool cmdProperties(bool query, bool* enabled);
    virtual bool cmdCut(bool query, bool* enabled);
    virtual bool cmdCopy(bool query, bool* enabled);
    virtual bool cmdPaste(bool query, bool* enabled);
    virtual bool cmdDelete(bool query, bool* enabled);
    virtual bool cmdMoveUp(bool query, bool* enabled);
    virtual bool cmdMoveDown(bool query, bool* enabled);
    virtual bool cmdMark(bool query, bool* enabled);
    virtual bool cmdExpand(bool query, bool* enabled);
    virtual bool cmdReExpand(bool query, bool* enabled);
    virtual bool cmdExpandAll(bool query, bool* enabled);
    virtual bool cmdShowInBrowser(bool query, bool* enabled, bool newWindow);
    // Opens the archived copy of the page (アーカイブを表示); available where one is known.
    virtual bool cmdShowArchived(bool query, bool* enabled);
    virtual bool cmdCharset(int kind, bool query, bool* enabled);
    // A footprint of the route to this URL item: the dialog (1021), then the footprint cabinet
    // takes it when the dialog was confirmed (1022). Available when a footprint cabinet is shown.
    virtual bool cmdTakeFootprint(bool query, bool* enabled);
    virtual bool cmdFootprintConfirmed(bool query, bool* enabled);

    // Engine notification for this item's request: phase 1 created, 2 reading, 3 read.
    virtual bool onRequestNotify(clsNodePhase phase);
    // A snapshot this item is paired with saved a file (phase 0) or ended (phase 2).
    virtual bool onSnapshotNotify(const clsSnapshotReport& report, clsSnapshotPhase phase);
    virtual void setSnapshotId(int id) { (void)id; }
    // --- Questions the kinds answer, so that the base names none of them ---
    // A root item that keeps a file saves it when it needs to (the tree's saveAll, at
    // shut-down, asks every root).
    virtual bool saveContents() { return true; }
    // A root that keeps a file is told that something below changed at nowMs, and saves
    // once its last change is at least delayMs old.
    virtual void noteContentsChanged(int64_t nowMs) { (void)nowMs; }
    virtual bool saveIfDue(int64_t nowMs, int64_t delayMs)
    {
        (void)nowMs;
        (void)delayMs;
        return true;
    }
    // The path the settings' cabinet list keeps for this root; empty for none.
    virtual std::string listedPath() const { return {}; }
    // The file this root is read from and saved to; empty where there is none.
    virtual std::string filePath() const { return {}; }
    // This item as a cabinet, or null.
    virtual tviCabinet* asCabinet() { return nullptr; }
    // New items and folders made from this one are kept beside it, or inside it where
    // takesNewInside says so; false where nothing new would be kept.
    virtual bool holdsNewEntries() const { return false; }
    virtual bool takesNewInside() const { return false; }
    // The type code a copy of this item becomes; -1 when it cannot be copied.
    virtual int copyType() const { return -1; }
    // A root that keeps footprints takes one of the route to page.
    virtual bool keepsFootprints() const { return false; }
    virtual tviTreeViewItem* keepFootprint(tviTreeViewItem* page, const std::string& name,
                                           bool autoDelete);
    // The root that keeps snapshots takes one of url into a new snapshot.
    virtual tviTreeViewItem* keepSnapshot(const std::string& url, const std::string& description,
                                          const std::string& name, bool autoDelete);
    // The name the snapshot dialog proposes for a snapshot of an item with this text, page
    // title and address.
    virtual std::string proposeSnapshotName(const std::string& text, const std::string& title,
                                            const std::string& address) const;
    // 1019: opens the snapshot dialog for an item with a web or file address; 1020 (the
    // dialog's OK) takes the snapshot into the snapshot cabinet, or asks for a name.
    virtual bool cmdTakeSnapshot(bool query, bool* enabled);
    virtual bool cmdSnapshotConfirmed(bool query, bool* enabled);
    virtual bool setText(const std::string& text);
    // Takes what the confirmed property page holds (name, address, description, mark, as the
    // class keeps them); false when the item cannot be changed.
    virtual bool applyProperties(const tviDialogData& data);
    void refreshText();

    // Removes the subtree from the tree: destroys every object below, withdraws this item's
    // request and deletes its node; this object itself stays (its caller decides). Iterative.
    bool deleteSubtree();
    // As deleteSubtree, but the items below that are kept on delete stay alive, in tree order
    // with their parents and expanded states, for undo to put back; the others are destroyed.
    std::vector<tviDeletedNode> detachSubtree();
    // Whether the item goes with its deleted parent and comes back with it on undo. Links
    // found on a page are made again from the page instead.
    virtual bool isKeptOnDelete() const { return true; }
    // Undo has put the item back with everything kept below it: the change is written.
    virtual bool onUndoDelete();
    // The item in the tree that shows what this deleted one showed (a cabinet file opened
    // again), which undo selects instead of putting this one back; null when there is none.
    virtual tviTreeViewItem* openTwin() const { return nullptr; }
    virtual bool insertAndLoad(TreeNode parent, TreeNode insertAfter);
    // Moves this item's node with its subtree; refused (false, nothing changed) for a target
    // inside its own subtree.
    bool moveTo(TreeNode parent, TreeNode insertAfter);
    // Copies the subtree as cabinet folders and items (iterative); refused for a target
    // inside its own subtree. Returns the new top item or null.
    tviTreeViewItem* copyTo(TreeNode parent, TreeNode insertAfter);
    virtual bool copyFrom(const tviTreeViewItem& item);
    // Removes the sub-items below this item (not footprint pages).
    void clearSubItems();
    // Expand pending: the item was asked to expand before its page was read.
    bool getFlag() const { return expandPending_; }
    void setFlag(bool pending) { expandPending_ = pending; }
    void setExpandDepth(int depth) { expandDepth_ = depth; }
    int getExpandDepth() const { return expandDepth_; }
    // Splits text into words at ASCII spaces and matches when any word occurs in any field
    // that options select; text and fields are compared in the form of normalizeForSearch.
    bool matchesSearch(const std::string& text, int options) const;
    // The normalised words of a search text (empty words dropped).
    static std::vector<std::string> searchWords(const std::string& text);
    // Whether any of words occurs in field (normalised here) on a character boundary.
    static bool containsAnyWord(std::string field, const std::vector<std::string>& words);

    // The factory: an object of the class for type codes 0 to 18, null for any other (and
    // for the codes whose classes are not linked in).
    static std::unique_ptr<tviTreeViewItem> createItem(ctrlTreeView* tree, int typeCode);
    using Factory = std::unique_ptr<tviTreeViewItem> (*)(ctrlTreeView*, int);
    // Each kind registers its type codes once, from its own file; the base makes only
    // sub-items itself.
    static bool registerFactory(int typeCode, Factory factory);
    template <class Kind>
    static std::unique_ptr<tviTreeViewItem> make(ctrlTreeView* tree, int)
    {
        return std::make_unique<Kind>(tree);
    }

    // Addresses that may be opened: http, https, ftp and local files; never one that begins
    // with '-' (it would be taken as an option by the opener).
    static bool isOpenableAddress(const std::string& url, std::string* target);

    tviTreeViewItem* parentItem() const;
    tviCabinet* cabinet() const;
    // The edit changed what a cabinet file holds.
    void noteChanged() const;

protected:
    // The fields of this class that a search looks at; derived classes add theirs.
    virtual bool matchesWords(const std::vector<std::string>& words, int options) const;
    static bool isUrlType(int type);
    // The shared rules of the cabinet's folders and items (Move up/down, paste, delete).
    bool moveStep(bool up, bool query, bool* enabled);
    bool pasteHere(bool query, bool* enabled);
    bool deleteHere(bool query, bool* enabled);
    bool putOnClipboard(tviClipMode mode, bool query, bool* enabled);
    // Leaves the tree: the request is withdrawn and forgotten, so that a later selection asks
    // for the page again, and nothing of the tree refers to the item any more.
    void leaveTree();
    // The cabinet, cabinet folder or cabinet item beside or into which a new item or folder
    // made from this one goes, so that it is written to a cabinet file; null where nothing new
    // would be kept (read-only cabinets, trees that are not cabinets).
    tviTreeViewItem* anchorForNew() const;
    // Where a new item or folder made from this one goes.
    void placeForNew(TreeNode& parent, TreeNode& after) const;
    // Sub-items keyed by address and the addresses met so far, for the duplicate-link rule.
    // Made at an item's first links: most items of a large cabinet never get any.
    struct LinkMemory {
        std::map<std::string, tviTreeViewItem*> keyed;
        std::set<std::string> seen;
    };
    LinkMemory& linkMemory();
    std::unique_ptr<LinkMemory> links_;
    int nextLinkIndex_ = -1;

    friend class ctrlTreeView;

private:
    ctrlTreeView* tree_;
    TreeNode node_ = nullptr;
    bool marked_ = false;
    int requestNumber_ = -1;
    clsQuillaraItem* request_ = nullptr;
    bool expandPending_ = false;
    int expandDepth_ = 0;
    // This item's entry in the tree's address index while its node is counted.
    ctrlTreeView::AddressIndex::value_type* addressEntry_ = nullptr;
};
