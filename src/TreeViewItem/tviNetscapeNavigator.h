#pragma once

#include "TreeViewItem/tviTreeViewItem.h"

#include <string>

// The Netscape bookmark file shown as a cabinet, "Netscape Navigator ブックマーク": read whole when shown (setting NNBKName), never written.
class tviNetscapeNavigator : public tviTreeViewItem {
public:
    explicit tviNetscapeNavigator(ctrlTreeView* tree);
    ~tviNetscapeNavigator() override;

    int getType() const override { return typeNetscapeNavigator; }
    std::string getText() const override;
    int getImage() const override;
    int getSelectedImage() const override { return imageCabinetOpen; }
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

private:
    std::string path_;
    std::string loadError_;
    std::string loadWarning_;
    std::string cabinetName_;
};
