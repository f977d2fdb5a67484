#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <memory>
#include <string>

enum class tviSourceKind;
class tviBrowserFolder;
class tviBrowserItem;
struct tviCabinetDocument;

// What the Favorites cabinet and the bookmark-file cabinet share: a source of a browser's (a
// Favorites directory or a Netscape bookmark file) read whole into the tree when shown and never
// written. Each kind names its source and makes its own folder and item objects.
class tviBrowserCabinet : public tviTreeViewItem {
public:
    ~tviBrowserCabinet() override;

    int getImage() const override;
    int getSelectedImage() const override { return imageCabinetOpen; }
    int copyType() const override { return typeCabinetFolder; }
    bool isReadOnly() const override { return true; }
    // Reading again (command 11018) takes what the source holds now.
    bool cmdReExpand(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

    void setPath(const std::string& path) { path_ = path; }
    const std::string& getPath() const { return path_; }
    // Reads the source into the tree below this node, anew; a source that cannot be read
    // (missing, vanished, not one) leaves the node empty with the error overlay and the reason
    // in getLoadError.
    bool load();
    const std::string& getLoadError() const { return loadError_; }
    // The title the source gives (kept, not shown).
    const std::string& getCabinetName() const { return cabinetName_; }
    // What the last load left out or could not hold, empty when nothing.
    const std::string& getLoadWarning() const { return loadWarning_; }

protected:
    // className names the kind in the log.
    tviBrowserCabinet(ctrlTreeView* tree, tviSourceKind kind, const char* className);

    virtual std::unique_ptr<tviBrowserFolder> newFolder() = 0;
    virtual std::unique_ptr<tviBrowserItem> newItem() = 0;

private:
    bool build(tviCabinetDocument&& doc);

    tviSourceKind kind_;
    const char* className_;
    std::string path_;
    std::string loadError_;
    std::string loadWarning_;
    std::string cabinetName_;
};
