#pragma once

#include "TreeViewItem/Base/tviURLItem.h"

#include <string>

// An entry of the Favorites or the bookmark-file cabinet: shown, loaded and checked like a
// cabinet item, its address copied to the clipboard; the source is never written.
class tviBrowserItem : public tviURLItem {
public:
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override;
    std::string getUrl() const override { return url_; }
    int copyType() const override { return typeCabinetItem; }
    std::string getDescription() const override { return description_; }
    bool isReadOnly() const override { return true; }
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setUrl(const std::string& url);
    void setDescription(std::string description) { description_ = std::move(description); }

protected:
    explicit tviBrowserItem(ctrlTreeView* tree) : tviURLItem(tree) {}

private:
    std::string name_;
    std::string url_;
    std::string description_;
};
