#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <cstdint>
#include <string>

// A folder of the Favorites or the bookmark-file cabinet: read from the source, never written
// back; copied, it pastes into cabinets with its dates.
class tviBrowserFolder : public tviTreeViewItem {
public:
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override { return imageFolderOpen; }
    int copyType() const override { return typeCabinetFolder; }
    std::string getDescription() const override { return description_; }
    bool isReadOnly() const override { return true; }
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setDescription(std::string description) { description_ = std::move(description); }
    void setDates(std::int64_t added, std::int64_t modified)
    {
        addDate_ = added;
        lastModified_ = modified;
    }
    std::int64_t getAddDate() const { return addDate_; }
    std::int64_t getLastModified() const { return lastModified_; }

protected:
    explicit tviBrowserFolder(ctrlTreeView* tree) : tviTreeViewItem(tree) {}

private:
    std::string name_;
    std::string description_;
    std::int64_t addDate_ = 0;
    std::int64_t lastModified_ = 0;
};
