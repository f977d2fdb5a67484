#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <ctime>
#include <functional>
#include <string>

struct tviFootprintDocument;

// Whether the footprint file is there to be written; the values are the ones the operation
// has always returned.
enum class tviFootprintFileState : int { missing = 0, writable = 1, readOnly = 2 };

// The footprint cabinet, "フットプリント キャビネット": the routes the user took to pages, kept
// in Footprint.scb in the data directory. Footprints age in whole days from their creation:
// they change colour after the colour days and, when they are set to, are dropped from the
// file after the delete days. Every change is written at once, atomically.
class tviRouteSnapshot : public tviTreeViewItem {
public:
    explicit tviRouteSnapshot(ctrlTreeView* tree);
    ~tviRouteSnapshot() override;

    int getType() const override { return typeRouteSnapshot; }
    bool keepsFootprints() const override { return true; }
    tviTreeViewItem* keepFootprint(tviTreeViewItem* page, const std::string& name,
                                   bool autoDelete) override;
    std::string getText() const override;
    std::string getDescription() const override;
    int getImage() const override;
    int getSelectedImage() const override { return imageCabinetOpen; }
    bool isReadOnly() const override { return readOnly_; }
    bool hasOverlay() const override { return readOnly_; }
    bool cmdNewFolder(bool query, bool* enabled) override;
    bool cmdNewFolderConfirmed(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

    // missing with no path or no file, readOnly when the file is not writable.
    tviFootprintFileState exists() const;
    // Writes an empty footprint file (header and footer) when none exists.
    bool createFile();
    // Reads the file into the tree below this node. A foreign, newer, unwritable or partly
    // readable file makes the cabinet read-only; a missing one leaves it empty and writable.
    bool load();
    // Writes the tree (without expired footprints) atomically; refused when read-only. A failed
    // write leaves the old file and returns false.
    bool save();
    // The tree below this node as a document; expired footprints left out.
    void toDocument(tviFootprintDocument& doc) const;

    // Takes a footprint of the route to source: the chain of URL items from the topmost one
    // down to source, as the first footprint of the cabinet. Returns the new footprint.
    class tviRSSItemSet* addFootprint(tviTreeViewItem* source, const std::string& name,
                                      bool autoDelete);

    void setFilePath(const std::string& path) { path_ = path; }
    const std::string& getFilePath() const { return path_; }
    // Days below 1 (a hand-edited setting) count as 1.
    void setDeleteDay(int days) { deleteDays_ = days < 1 ? 1 : days; }
    int getDeleteDay() const { return deleteDays_; }
    void setColorDay(int days) { colorDays_ = days < 1 ? 1 : days; }
    int getColorDay() const { return colorDays_; }
    void setMarkColor(int colour) { markColor_ = colour; }
    int getMarkColor() const { return markColor_; }
    // The settings CRLimitColor and CRLimitDay: colouring and deletion switched on.
    void setAgeing(bool colourOn, bool deleteOn)
    {
        colourOn_ = colourOn;
        deleteOn_ = deleteOn;
    }
    bool colourOn() const { return colourOn_; }
    bool deleteOn() const { return deleteOn_; }
    // The clock of the ageing (UTC seconds); tests set a fixed one.
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    std::time_t now() const { return clock_ ? clock_() : std::time(nullptr); }
    const std::string& getCabinetName() const { return name_; }
    const std::string& getLoadError() const { return loadError_; }

    // Cut, copy, paste and move up/down of the cabinet's folders and footprints: a paste goes
    // where it is dropped (into the cabinet or an open or empty folder first, else behind the
    // folder or footprint it is dropped on); a copy copies the footprint with its pages.
    bool clipEntry(tviTreeViewItem* item, tviClipMode mode, bool query, bool* enabled);
    bool pasteOnto(tviTreeViewItem* target, bool query, bool* enabled);
    bool stepEntry(tviTreeViewItem* item, bool up, bool query, bool* enabled);
    tviTreeViewItem* copyEntry(const tviTreeViewItem* item, TreeNode parent, TreeNode after);

    // The footprint cabinet an item stands in, or null.
    static tviRouteSnapshot* of(const tviTreeViewItem* item);
    // Sets the footprint cabinet up at start: Footprint.scb in the data directory, the ageing
    // settings, placed behind the first root node and the run of cabinets after it; loaded.
    static tviRouteSnapshot* openIn(ctrlTreeView& tree, const class utlIniInfo& ini);
    // Takes the ageing settings anew: at set-up, and at once when the preference sheet is
    // confirmed, so that the next save ages by what the user set.
    void applySettings(const class utlIniInfo& ini);

private:
    std::string path_;
    std::string name_;
    std::string description_;
    std::string loadError_;
    int deleteDays_ = 35;
    int colorDays_ = 25;
    int markColor_ = 0x808080;
    bool colourOn_ = true;
    bool deleteOn_ = true;
    bool readOnly_ = false;
    std::function<std::time_t()> clock_;
};
