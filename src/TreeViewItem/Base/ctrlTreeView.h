#pragma once

#include "Common/utlPointerSet.h"
#include "Engine/Core/clsEngineTarget.h"
#include "Engine/Core/clsQuillaraItem.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class tviTreeViewItem;
class tviCabinet;
struct clsSnapshotReport;
class clsQuillaraEngine;
class clsQuillaraItem;
class utlIniInfo;

// Opaque handle of one node of the tree; the toolkit decides what it points to.
using TreeNode = struct ctrlTreeNodeTag*;
// As a parent: the invisible root. As an insert position: before every sibling.
inline TreeNode const kTreeRoot = nullptr;
inline TreeNode const kTreeFirst = nullptr;
// As an insert position: behind every sibling.
inline TreeNode const kTreeLast = reinterpret_cast<TreeNode>(~std::uintptr_t{0});

// Overlay images of a node.
enum tviOverlay : int {
    overlayNone = 0,
    overlayReadOnly = 1,
    overlayError = 2,
    overlayArchived = 3
};

// The settings of section PrefTreeView that decide which links become sub-items.
struct tviTreeSettings {
    int showRes = 2;
    int showDupLink = 3;
    int showLink = 1;
    int autoExp = 1;
    int newPage = 1;
    int emptyUrl = 0;
    int byNowUrl = 1;
    int hostNameLimit = 1;
    int treeNode = 0;
};

enum class tviClipMode : int { cut = 0, copy = 1 };

// One item kept below a deleted one, for undo: its parent (also kept, or the deleted item)
// and whether its node was expanded. Kept in the order of the tree, parents first.
struct tviDeletedNode {
    tviTreeViewItem* item;
    tviTreeViewItem* parent;
    bool expanded;
};

// What the user asked for in the new-item, new-folder and property dialogs. The window fills
// it before it sends the dialog's confirmation command (1032, 1034) to the item.
struct tviDialogData {
    std::string name;
    std::string url;
    std::string description;
    bool marked = false;
    bool confirmed = false;
    bool autoDelete = false; // the snapshot dialog's check box
};

enum class tviDialog { newItem, newFolder, properties, snapshot, footprint };

// The buttons of a question: OK and Cancel, or Yes and No.
enum class tviButtons { okCancel, yesNo };
// Where a paste onto a folder goes: into it, behind it, nowhere, or by the folder's state
// (into an expanded or empty folder, else behind it).
enum class tviPastePlace { automatic, inside, below, cancel };

// The tree as the items see it: the node operations a toolkit provides (the Qt window in the
// GUI, ctrlMemoryTreeView in the core), and the toolkit-neutral services of the tree view:
// ownership of the items, the request map that pairs engine request ids with items, the
// cut/copy entry, the deletion buffer, the expansion queue and the debounced saving of
// cabinets. All on the user-interface thread.
class ctrlTreeView : public clsEngineTarget {
public:
    ctrlTreeView();
    ~ctrlTreeView() override;
    ctrlTreeView(const ctrlTreeView&) = delete;
    ctrlTreeView& operator=(const ctrlTreeView&) = delete;

    // --- Node operations (the toolkit's part) ---
    // Inserts a node for item under parent behind insertAfter (kTreeFirst, kTreeLast or a
    // sibling); returns null when it could not. The item's address is counted.
    TreeNode insertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item);
    // Removes node and every node below it. The items are not destroyed; their addresses are
    // no longer counted.
    bool deleteNode(TreeNode node);
    // Moves node with everything below it; refuses a target inside its own subtree. The
    // nodes stay in the tree, so the address counts stay as they are.
    virtual bool moveNode(TreeNode node, TreeNode newParent, TreeNode insertAfter) = 0;
    virtual tviTreeViewItem* getItem(TreeNode node) const = 0;
    virtual TreeNode getParent(TreeNode node) const = 0;
    virtual TreeNode getFirstChild(TreeNode node) const = 0; // kTreeRoot: the first root node
    virtual TreeNode getNextSibling(TreeNode node) const = 0;
    virtual TreeNode getPrevSibling(TreeNode node) const = 0;
    virtual bool isExpanded(TreeNode node) const = 0;
    virtual bool expand(TreeNode node, bool expanded) = 0;
    // Asks the view for the node's text and images again.
    virtual void refreshNode(TreeNode node) = 0;
    virtual void setOverlay(TreeNode node, int overlay) = 0;
    virtual int getOverlay(TreeNode node) const = 0;
    virtual bool selectNode(TreeNode node) = 0;
    virtual TreeNode getSelection() const = 0;

    // --- The user and the desktop (headless defaults) ---
    // Texts are Shift_JIS. The default answers with answerYes and keeps the buttons asked for.
    virtual bool askYesNo(const std::string& text, const std::string& title,
                          tviButtons buttons = tviButtons::okCancel);
    // Asks where a paste onto a folder goes; the default answers with pastePlaceAnswer.
    virtual tviPastePlace choosePastePlace();
    virtual void showMessage(const std::string& text, const std::string& title);
    // The system clipboard; the default keeps the text in clipboardText().
    virtual void setClipboardText(const std::string& text);
    // Opens an address the caller has already checked (http, https, ftp, a local path).
    virtual bool openExternal(const std::string& target, bool newWindow);
    // Shows the item's context menu at the cursor; the default does nothing.
    virtual void showContextMenu(tviTreeViewItem* item);
    // Opens a dialog; the default does nothing (headless callers fill dialogData directly).
    virtual void openDialog(tviDialog dialog, tviTreeViewItem* item, const std::string& name);

    bool answerYes = false;
    tviButtons lastButtons = tviButtons::okCancel;
    tviPastePlace pastePlaceAnswer = tviPastePlace::automatic;
    tviDialogData dialogData;
    const std::string& clipboardText() const { return clipboardText_; }

    // --- Items ---
    // Takes ownership of item. Every item in the tree, in the deletion buffer or on the way
    // in is owned here.
    tviTreeViewItem* adopt(std::unique_ptr<tviTreeViewItem> item);
    // Takes ownership of items made together (a cabinet's load) in one batch.
    void adoptAll(const std::vector<tviTreeViewItem*>& items);
    // Destroys an item that has no node any more, forgetting it everywhere first.
    void destroyItem(tviTreeViewItem* item);
    // Called for each item whose node goes: the cut/copy entry, the request map and the
    // expansion queue must not keep it.
    void forgetItem(tviTreeViewItem* item);
    // Deletes item and its node after the current notification has been handled.
    void deleteLater(tviTreeViewItem* item);
    bool owns(const tviTreeViewItem* item) const;
    void reserveItems(size_t count)
    {
        owned_.reserve(owned_.size() + count);
        if (indexBuilt_) {
            addresses_.reserve(addresses_.size() + count);
        }
    }
    size_t itemCount() const { return owned_.size(); }

    // True when node is ancestor or the same node, or lies below it.
    bool isInSubtree(TreeNode node, TreeNode ancestor) const;
    // Nodes of the subtree of node (node first, depth first, parents before children).
    std::vector<TreeNode> subtreeNodes(TreeNode node) const;

    // --- Address index ---
    // How many nodes of the tree show address (getUrl, compared byte-wise; nodes without an
    // address count under the empty one). The index is made by one walk over the tree at the
    // first question, and from then on kept up to date by insertNode, deleteNode and
    // addressChanged, so that "already shown elsewhere" needs no walk over the tree and
    // opening a large cabinet costs nothing here until someone asks.
    int countShowing(const std::string& address) const;
    // Called by an item whose address changed: it is counted under the new one from now on.
    void addressChanged(tviTreeViewItem* item);
    using AddressIndex = std::unordered_map<std::string, int>;

    // --- Cut, copy, paste ---
    void setClipboard(tviTreeViewItem* item, tviClipMode mode);
    tviTreeViewItem* clipboardItem() const { return clipItem_; }
    tviClipMode clipboardMode() const { return clipMode_; }
    void clearClipboard();

    // --- Deletion buffer ---
    // Destroys the items of the previous deletion and keeps item with its old place, and
    // the items that were below it (undo puts them back as they stood).
    void bufferDeletion(tviTreeViewItem* item, TreeNode parent, TreeNode previous,
                        std::vector<tviDeletedNode> below = {}, bool expanded = false);
    tviTreeViewItem* deletedItem() const { return deleted_; }
    // Puts the last deleted item back where it stood (command 11012).
    bool undoDelete();

    // --- Engine ---
    void setEngine(clsQuillaraEngine* engine) { engine_ = engine; }
    clsQuillaraEngine* engine() const { return engine_; }
    // Requests item's page with a mode of requestItem and pairs the new id with the item.
    bool request(tviTreeViewItem* item, clsRequestMode mode);
    // Pairs item with the request id that another item's request returned, without asking
    // the engine again: the item then gets that request's notifications from now on.
    void share(tviTreeViewItem* item, int id);
    // Removes the pairing of id with item.
    void withdraw(int id, tviTreeViewItem* item);
    // Engine node notification (phase 1 created, 2 reading, 3 read) for request id: every
    // item paired with id gets the node and the phase, those waiting to expand first. A final
    // notification that brings again the node of the last one handed to every item, unchanged
    // (the engine tells each new asker of a finished page at once), goes only to the items
    // paired or asking since: the others have handled that very node already.
    void onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase) override;
    // How many times an item was handed a node notification.
    size_t deliveryCount() const { return deliveries_; }
    std::vector<tviTreeViewItem*> itemsOfRequest(int id) const;
    // How many (id, item) pairs there are.
    size_t pendingRequestCount() const { return pairings_.size(); }
    void queueExpansion(tviTreeViewItem* item);

    // --- Snapshots ---
    // Starts the engine's snapshot of url into folder for item and pairs the id with it.
    bool startSnapshot(tviTreeViewItem* item, int mode, const std::string& url,
                       const std::string& folder);
    // Relays a snapshot notification to the item paired with id (phase 2 ends the pairing).
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override;
    // The root that keeps snapshots (it answers tviTreeViewItem::keepSnapshot), or null.
    void setSnapshotCabinet(tviTreeViewItem* cabinet) { snapshotCabinet_ = cabinet; }
    tviTreeViewItem* snapshotCabinet() const { return snapshotCabinet_; }

    tviTreeSettings settings;
    // Off for a link check: notifications then update the items but add no sub-items.
    bool makeSubItems = true;
    // Takes PrefTreeView from the settings.
    void loadSettings(const utlIniInfo& ini);

    // --- Cabinets ---
    // The item at the root above node (node's own item for a root), or null.
    tviTreeViewItem* rootItemOf(TreeNode node) const;
    // The cabinet a node belongs to, or null.
    tviCabinet* cabinetOf(TreeNode node) const;
    // The open cabinet (the default one included) whose file path names, compared by real
    // path (symbolic links, "." and ".." resolved), or null: a file is open at most once.
    tviCabinet* openCabinetOf(const std::string& path) const;
    // A change under node: its cabinet is saved shortly after (see saveDueCabinets).
    void noteChanged(TreeNode node);
    // Saves every changed cabinet whose last change is at least saveDelayMs old. The window
    // calls this from a timer; returns false when a save failed.
    [[nodiscard]] bool saveDueCabinets(int64_t nowMs);
    // Saves every cabinet at the root that needs it (shut-down) and returns the paths of all
    // cabinets other than the default one, in tree order, for the settings' file list.
    [[nodiscard]] bool saveAll(std::vector<std::string>* cabinetPaths = nullptr);
    int64_t saveDelayMs = 1500;
    // A cabinet file another program wrote since it was read: the window merges it with the
    // tree before it writes (and reads it again while the tree has no change of its own); the
    // commands leave it alone and report the refusal.
    bool mergeChangedFiles = false;
    // How long a writer waits for another program's lock on a file.
    int lockWaitMs = 10000;

protected:
    // Derived trees call this from their destructor before they free their nodes.
    void destroyAllItems();
    // The toolkit's insertion and removal behind insertNode and deleteNode.
    virtual TreeNode doInsertNode(TreeNode parent, TreeNode insertAfter, tviTreeViewItem* item) = 0;
    virtual bool doDeleteNode(TreeNode node) = 0;

private:
    void buildIndex() const;
    void indexAdd(tviTreeViewItem* item) const;
    void indexRemove(tviTreeViewItem* item) const;
    mutable AddressIndex addresses_;
    mutable bool indexBuilt_ = false;
    // The items owned here (deleted by destroyItem and destroyAllItems). A flat table: a
    // hash map's node per item and its scattered buckets were the one part of a large
    // cabinet's load that grew faster than the items.
    utlPointerSet owned_;
    std::string clipboardText_;
    tviTreeViewItem* clipItem_ = nullptr;
    tviClipMode clipMode_ = tviClipMode::copy;
    tviTreeViewItem* deleted_ = nullptr;
    // The old place of the deleted item, as items (null: the root, the first position).
    tviTreeViewItem* deletedParent_ = nullptr;
    tviTreeViewItem* deletedPrevious_ = nullptr;
    std::vector<tviDeletedNode> deletedBelow_;
    bool deletedExpanded_ = false;
    void dropDeletion();
    clsQuillaraEngine* engine_ = nullptr;
    // The request map. Each id keeps its items in the order they were paired (a withdrawn
    // pair leaves a hole until the list is compacted), and each item knows its pairs, so that
    // pairing, withdrawing and "is it still paired" cost the same however many items share
    // one request.
    // What the items take from a node: when a final notification finds all of it as the last
    // one that went to every item left it, those items have nothing to learn from it.
    struct NodeState {
        const clsQuillaraItem* node = nullptr;
        clsNodeProperties properties;
        clsRequestStatus status = clsRequestStatus::registered;
        int links = 0;
        int resources = 0;
        bool operator==(const NodeState& other) const;
    };
    static NodeState stateOf(const clsQuillaraItem* node);
    struct RequestItems {
        std::vector<tviTreeViewItem*> places;
        size_t live = 0;
        // The node of the last final notification handed to every item, and the slots of the
        // pairs made or asked again since (fresh ones; freshCount of them still paired).
        NodeState final;
        std::vector<size_t> freshSlots;
        size_t freshCount = 0;
    };
    struct Pairing {
        int id;
        size_t slot;
        bool fresh;
    };
    Pairing* findPairing(int id, const tviTreeViewItem* item);
    bool isPaired(int id, const tviTreeViewItem* item) const;
    void pair(int id, tviTreeViewItem* item);
    void markFresh(int id, tviTreeViewItem* item);
    // The items a notification goes to, in delivery order; a final one ends their freshness.
    std::vector<tviTreeViewItem*> recipients(int id, const clsQuillaraItem* node,
                                             clsNodePhase phase);
    std::vector<tviTreeViewItem*> inDeliveryOrder(const RequestItems& entry,
                                                  const std::vector<size_t>& slots) const;
    // Removes the pairs of item, only those with id unless anyId.
    void unpair(tviTreeViewItem* item, int id, bool anyId);
    void compact(int id, RequestItems& entry);
    std::unordered_map<int, RequestItems> requests_;
    std::unordered_multimap<const tviTreeViewItem*, Pairing> pairings_;
    // The expansion queue. An item that leaves it early (forgetItem) leaves its entry behind,
    // told apart by its ticket, so that neither queueing nor leaving walks the queue.
    struct Queued {
        tviTreeViewItem* item;
        uint64_t ticket;
    };
    bool takeQueued(tviTreeViewItem*& item);
    std::deque<Queued> expansionQueue_;
    std::unordered_map<const tviTreeViewItem*, uint64_t> queuedTickets_;
    uint64_t nextTicket_ = 0;
    std::vector<tviTreeViewItem*> deleteLater_;
    int notifyDepth_ = 0;
    size_t deliveries_ = 0;
    std::map<int, tviTreeViewItem*> snapshots_;
    tviTreeViewItem* snapshotCabinet_ = nullptr;
};
