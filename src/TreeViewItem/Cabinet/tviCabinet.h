#pragma once

#include "Platform/FileStamp.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "TreeViewItem/Cabinet/tviCabinetMerge.h"

#include <cstdint>
#include <memory>
#include <source_location>
#include <string>
#include <vector>

struct tviCabinetDocument;
struct tviCabinetEntry;

// A cabinet opened from a .scb file: reads it into folders and items, writes the tree back.
class tviCabinet : public tviTreeViewItem {
public:
    explicit tviCabinet(ctrlTreeView* tree);
    ~tviCabinet() override;

    int getType() const override { return typeCabinet; }
    std::string getText() const override;
    int getImage() const override;
    int getSelectedImage() const override { return imageCabinetOpen; }
    bool hasOverlay() const override { return readOnly_; }
    bool isReadOnly() const override { return readOnly_; }
    std::string getDescription() const override { return description_; }
    bool setText(const std::string& text) override;
    bool applyProperties(const tviDialogData& data) override;
    bool insertAndLoad(TreeNode parent, TreeNode insertAfter) override;
    tviTreeViewItem* openTwin() const override;
    tviCabinet* asCabinet() override { return this; }
    void noteContentsChanged(int64_t nowMs) override;
    bool saveIfDue(int64_t nowMs, int64_t delayMs) override;
    bool saveContents() override;
    std::string listedPath() const override;
    std::string filePath() const override { return path_; }
    bool holdsNewEntries() const override { return !readOnly_; }
    bool takesNewInside() const override { return true; }

    // 0 no path or no file, 2 the file is not writable, 1 otherwise.
    int getFileState() const;
    // Writes an empty cabinet (header and footer only) when no file exists yet.
    [[nodiscard]] bool createFile();
    // Writes the whole tree atomically, under the file's lock; refused for a read-only cabinet
    // or a missing file. A file another program wrote since it was read is merged with the
    // tree first (in the window) or left alone (the commands): getSaveError says why.
    [[nodiscard]] bool save();
    const std::string& getSaveError() const { return saveError_; }
    // Reads the file again when another program wrote it and the tree has no unsaved change;
    // true when it did.
    bool reloadIfChanged();
    // Writes to another path; a successful save there makes the cabinet writable (that is
    // how a cabinet read only in part is rescued).
    [[nodiscard]] bool saveAs(const std::string& path);
    // Reads the file into the tree under this cabinet's node.
    bool load();
    // The tree below this cabinet as a document, and back.
    void toDocument(tviCabinetDocument& doc) const;
    // Takes the entries' texts over (doc is left without them).
    bool fromDocument(tviCabinetDocument&& doc);

    virtual void setName(const std::string& name) { name_ = name; }
    virtual std::string getName() const { return name_; }
    void setPath(const std::string& path) { path_ = path; }
    // The settings name this cabinet in a folder they do not list: there is no file to read
    // or to create, and it shows as missing.
    void setPathUnresolved(bool unresolved) { pathUnresolved_ = unresolved; }
    const std::string& getPath() const { return path_; }
    void setDescription(const std::string& description) { description_ = description; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool isFileMissing() const { return fileMissing_; }
    // The last load found no file or could not read it at all.
    bool isUnreadable() const { return unreadable_; }
    // The last load stopped early: the tree holds only part of the file.
    bool isPartlyRead() const { return partlyRead_; }
    // Why the last load stopped early or was refused; empty after a whole read.
    const std::string& getLoadError() const { return loadError_; }

    // Debounced saving: the time of the last unsaved change, -1 when none.
    void markChanged(int64_t nowMs) { changedAt_ = nowMs; }
    bool isChanged() const { return changedAt_ >= 0; }
    int64_t changedAt() const { return changedAt_; }

    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdDelete(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;

protected:
    std::string name_;
    bool readOnly_ = true;
    std::string path_;
    std::string description_;
    bool fileMissing_ = false;
    bool pathUnresolved_ = false;
    std::string loadError_;
    bool unreadable_ = false;
    bool partlyRead_ = false;
    int64_t changedAt_ = -1;

private:
    // A folder or item's place below the cabinet, a level a step: its kind, its text and how
    // many siblings before it have both the same.
    struct PlaceStep {
        int type;
        std::string text;
        int repeat;
    };
    PlaceStep stepOf(TreeNode node) const;
    // The selection's place when it is below the cabinet, else empty.
    std::vector<PlaceStep> selectedPlace() const;
    void reselect(const std::vector<PlaceStep>& place);
    void clearChildren();
    bool readFile(); // the file's entries made into the (empty) cabinet
    bool writeTo(const std::string& path, const tviCabinetDocument& doc);
    bool refuse(const std::string& why,
                std::source_location caller = std::source_location::current());
    // doc (the tree) merged with the file another program wrote; the tree is made anew from it.
    bool mergeWithFile(tviCabinetDocument& doc);
    platform::FileStamp stamp_;
    tviCabinetMerge::Base base_;
    std::string saveError_;
    // The folder or item of one entry (its texts are taken).
    std::unique_ptr<tviTreeViewItem> makeItem(tviCabinetEntry& e, bool readOnly);
    // After a read that stopped early: every folder and item below is read-only.
    void setItemsReadOnly();
};
