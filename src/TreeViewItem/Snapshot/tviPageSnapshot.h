#pragma once

#include "TreeViewItem/Formats/tviSnapshotFiles.h"
#include "Platform/FileStamp.h"
#include "TreeViewItem/Snapshot/tviAgeing.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

class tviPSSItem;
class utlIniInfo;

// The snapshot cabinet: a tree of snapshot folders (tviPSSFolder) and snapshots (tviPSSItem)
// that mirrors the directory tree under the data directory's Snapshot/. Every folder and
// snapshot is a directory with a `snapshot` file; the cabinet and every folder keep their
// children in a `List` file. Both files are written atomically: a failed save leaves the
// old ones and returns false. Deleted snapshots and folders are moved into the trash
// directory "_ Delete _/" and can be put back (undo delete); nothing is ever removed by
// following a link or outside the cabinet's directory.
//
// The cabinet is the model the other special cabinets follow: an item of its own type at the
// root, loading and saving itself (saveContents), ageing through tviAgeing with an injected
// clock, and the tree view relaying the engine's notifications to its items.
class tviPageSnapshot : public tviTreeViewItem {
public:
    explicit tviPageSnapshot(ctrlTreeView* tree);
    ~tviPageSnapshot() override;

    int getType() const override { return typePageSnapshot; }
    tviTreeViewItem* keepSnapshot(const std::string& url, const std::string& description,
                                  const std::string& name, bool autoDelete) override;
    std::string proposeSnapshotName(const std::string& text, const std::string& title,
                                    const std::string& address) const override;
    std::string getText() const override { return getCabinetName(); }
    std::string getDescription() const override;
    int getImage() const override;
    int getSelectedImage() const override { return imageCabinetOpen; }
    bool executeCommand(int code, bool query, bool& handled) override;
    bool saveContents() override { return save(); }

    // Reads the List files and builds the tree below the cabinet.
    bool load();
    // Writes every List and `snapshot` file; expired snapshots go to the trash instead.
    [[nodiscard]] bool save();
    std::string getCabinetName() const;
    // Creates the directory (and the trash directory) and keeps the path, ending with '/'.
    bool setFolderPath(const std::string& path);
    const std::string& getFolderPath() const { return folderPath_; }
    std::string getTrashPath() const { return folderPath_ + "_ Delete _/"; }
    void setLimitDay(int days) { ageing_.setLimitDays(days); }
    int getLimitDay() const { return ageing_.getLimitDays(); }
    void setColorDay(int days) { ageing_.setColourDays(days); }
    int getColorDay() const { return ageing_.getColourDays(); }
    void setMarkColor(int colour) { markColour_ = colour; }
    int getMarkColor() const { return markColour_; }
    tviAgeing& ageing() { return ageing_; }
    const tviAgeing& ageing() const { return ageing_; }

    // A new snapshot as the cabinet's first child, in a new directory named after name, with
    // its `snapshot` file written and the List saved; selected, download state 1.
    tviPSSItem* addSnapshot(const std::string& source, const std::string& description,
                            const std::string& name, bool autoDelete);
    // addSnapshot, then the download into its directory through the tree view and the engine.
    tviPSSItem* takeSnapshot(const std::string& source, const std::string& description,
                             const std::string& name, bool autoDelete, int mode = 0);

    // Moves the directory at path (inside the cabinet's directory, not a link) into the
    // trash under a new name; trashPath gets where it went (ending with '/'). With origin the
    // directory keeps where it came from, so that undo can bring it back later.
    [[nodiscard]] bool moveToTrash(const std::string& path, std::string& trashPath,
                                   const tviTrashOrigin* origin = nullptr) const;
    // Where a folder or snapshot of this cabinet stands, for its trip to the trash.
    tviTrashOrigin originOf(const tviTreeViewItem* item) const;
    // Something deleted is still in the trash with its origin: undo can bring it back.
    bool canRestoreFromTrash() const;
    // Puts the latest deleted folder or snapshot still in the trash back where it stood (at
    // the top of the cabinet when its folder is gone) and selects it; null when none.
    tviTreeViewItem* restoreLatestFromTrash();
    bool hasTrash() const;
    // Empties the trash after a Yes to the question; a deletion that undo would have brought
    // back from it is forgotten.
    bool cmdEmptyTrash(bool query, bool* enabled);
    // Moves a directory back from the trash to the free directory name under parentPath that
    // comes closest to dirName; dirName gets the name used.
    [[nodiscard]] bool restoreFromTrash(const std::string& trashPath, const std::string& parentPath,
                                        std::string& dirName) const;
    // Removes everything in the trash (never following links).
    bool emptyTrash() const;

    // Cut, copy, paste and move up/down of the cabinet's folders and snapshots. A move takes
    // the directory along and a copy copies it; the List files of both folders and the
    // directories change together: the plan is written first and carried out again at the
    // next open when a kill cut it short.
    bool clipEntry(tviTreeViewItem* item, tviClipMode mode, bool query, bool* enabled);
    bool pasteOnto(tviTreeViewItem* target, bool query, bool* enabled);
    bool stepEntry(tviTreeViewItem* item, bool up, bool query, bool* enabled);
    bool moveEntry(tviTreeViewItem* item, TreeNode parent, TreeNode after);
    tviTreeViewItem* copyEntry(tviTreeViewItem* item, TreeNode parent, TreeNode after);
    // A folder or snapshot with no download under way in it: it may move.
    static bool isSettled(const tviTreeViewItem* item);
    // Tests stop a move after step 1 (plan written), 2 (directories moved) or 3 (Lists
    // written) to stand for a kill there.
    static inline bool (*stopAfterStep)(int step) = nullptr;
    // A directory name under parentPath made from name that does not exist yet: "name",
    // "name(0)", "name(1)", ...; the directory is created. Empty when it cannot be.
    std::string makeDirectory(const std::string& parentPath, const std::string& name) const;

    // The cabinet item reached from item's node up, or null.
    static tviPageSnapshot* cabinetOf(const tviTreeViewItem* item);
    // The directory of a cabinet, folder or snapshot in the tree, ending with '/'.
    static std::string fullPathOf(const tviTreeViewItem* item);
    // Loads parent's List (under path) into children of parent; saves them back.
    static bool loadChildren(tviTreeViewItem* parent, const std::string& path);
    [[nodiscard]] static bool saveChildren(tviTreeViewItem* parent, const std::string& path);

    // Opens the cabinet at the root, behind the first cabinet and the user's cabinets (and
    // the footprint cabinet when it follows them), with the ageing settings of ini (null:
    // the defaults), and loads it.
    // Takes the ageing settings (days, colour, switches) anew: at set-up, and at once when the
    // preference sheet is confirmed, so that the next save ages by what the user set.
    void applySettings(const utlIniInfo& ini);
    static tviPageSnapshot* openDefault(ctrlTreeView* tree, const std::string& dataDir,
                                        const utlIniInfo* ini);

protected:
    bool cmdNewFolder(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdNewFolderConfirmed(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

private:
    // What the cabinet's List held at the last read or write, to tell another program's
    // additions (quillara-cli snapshot) from this tree's deletions.
    platform::FileStamp listStamp_;
    std::set<std::string> listedDirs_;
    void noteListed();
    // Takes into the tree the snapshots and folders another program added to the List since
    // it was read, and lets go of those it removed.
    void mergeList();
    struct Plan {
        std::vector<std::pair<std::string, std::string>> renames; // paths inside the folder
        std::vector<std::pair<std::string, std::string>>
            lists; // List path inside the folder, bytes
    };
    bool commitPlan(const Plan& plan) const;
    bool carryOut(const Plan& plan, bool replaying) const;
    // Carries out a plan a kill cut short, before the Lists are read.
    bool replayPlan() const;
    std::string journalPath() const { return folderPath_ + ".plan"; }
    std::string relative(const std::string& path) const;
    // parent's List as its children stand in the tree.
    static std::string listOf(const tviTreeViewItem* parent);
    std::string freeDirName(const std::string& parentPath, const std::string& dirName) const;

    std::string folderPath_;
    int markColour_ = 0x808080;
    tviAgeing ageing_;
};
