#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <string>

// A folder of the footprint cabinet (RSS: route snapshot, the code's word for a footprint).
class tviRSSFolder : public tviTreeViewItem {
public:
    explicit tviRSSFolder(ctrlTreeView* tree);
    ~tviRSSFolder() override;

    int getType() const override { return typeRSSFolder; }
    int copyType() const override { return typeRSSFolder; }
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override { return imageFolderOpen; }
    std::string getDescription() const override { return description_; }
    bool isReadOnly() const override;
    bool setText(const std::string& text) override;
    bool applyProperties(const tviDialogData& data) override;
    bool copyFrom(const tviTreeViewItem& item) override;
    bool cmdNewFolder(bool query, bool* enabled) override;
    bool cmdNewFolderConfirmed(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;
    bool cmdDelete(bool query, bool* enabled) override;
    bool onUndoDelete() override;
    bool cmdMark(bool query, bool* enabled) override;

    // A folder made from what the new-folder dialog says, put last below parent and selected;
    // false when it could not be put there.
    static bool addFromDialog(ctrlTreeView* tree, TreeNode parent);

    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setDescription(std::string description) { description_ = std::move(description); }

private:
    std::string name_;
    std::string description_;
};
