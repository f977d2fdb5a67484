#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <string>

// A folder of the snapshot cabinet: a directory with its own List and `snapshot` file.
class tviPSSFolder : public tviTreeViewItem {
public:
    explicit tviPSSFolder(ctrlTreeView* tree);
    ~tviPSSFolder() override;

    int getType() const override { return typePSSFolder; }
    int copyType() const override { return typePSSFolder; }
    std::string getText() const override { return name_; }
    std::string getDescription() const override { return description_; }
    int getImage() const override;
    int getSelectedImage() const override { return imageFolderOpen; }
    bool executeCommand(int code, bool query, bool& handled) override;
    bool applyProperties(const tviDialogData& data) override;
    bool insertAndLoad(TreeNode parent, TreeNode insertAfter) override;

    // Its own `snapshot` file, then its List and children, under path.
    bool load(const std::string& path);
    [[nodiscard]] bool save(const std::string& path);
    std::string getFullPath() const;

    void setName(const std::string& name) { name_ = name; }
    const std::string& getName() const { return name_; }
    void setDirName(const std::string& dirName) { dirName_ = dirName; }
    const std::string& getDirName() const { return dirName_; }
    void setDescription(const std::string& description) { description_ = description; }

protected:
    bool cmdDelete(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdNewFolder(bool query, bool* enabled) override;
    bool cmdNewFolderConfirmed(bool query, bool* enabled) override;

private:
    std::string name_;
    std::string dirName_;
    std::string description_;
    std::string trashPath_;
};
