#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <cstdint>

// A folder in a cabinet.
class tviCabinetFolder : public tviTreeViewItem {
public:
    explicit tviCabinetFolder(ctrlTreeView* tree);
    ~tviCabinetFolder() override;

    int getType() const override { return typeCabinetFolder; }
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override { return imageFolderOpen; }
    bool hasOverlay() const override { return readOnly_; }
    bool isReadOnly() const override { return readOnly_; }
    std::string getDescription() const override { return description_; }
    bool setText(const std::string& text) override;
    bool applyProperties(const tviDialogData& data) override;
    bool copyFrom(const tviTreeViewItem& item) override;
    bool holdsNewEntries() const override;
    bool takesNewInside() const override { return true; }
    int copyType() const override { return typeCabinetFolder; }

    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setDescription(std::string description) { description_ = std::move(description); }
    std::int64_t getAddDate() const { return addDate_; }
    std::int64_t getLastModified() const { return lastModified_; }
    void setDates(std::int64_t added, std::int64_t modified)
    {
        addDate_ = added;
        lastModified_ = modified;
    }

    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdDelete(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;

private:
    std::string name_;
    bool readOnly_ = false;
    std::string description_;
    std::int64_t addDate_ = 0;
    std::int64_t lastModified_ = 0;
};
