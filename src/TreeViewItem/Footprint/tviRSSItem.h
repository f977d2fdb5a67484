#pragma once

#include "TreeViewItem/Base/tviURLItem.h"

#include <string>

// One page of a footprint's route: a full URL item (shown, checked, expanded into its links,
// itself footprinted), whose next page is its only footprint child. RSS: route snapshot, the
// code's word for a footprint.
class tviRSSItem : public tviURLItem {
public:
    explicit tviRSSItem(ctrlTreeView* tree);
    ~tviRSSItem() override;

    int getType() const override { return typeRSSItem; }
    int copyType() const override { return typeCabinetItem; }
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override;
    std::string getUrl() const override { return url_; }
    std::string getDescription() const override { return description_; }
    bool isReadOnly() const override;
    bool applyProperties(const tviDialogData& data) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdMark(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;

    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setUrl(const std::string& url);
    void setDescription(std::string description) { description_ = std::move(description); }
    const std::string& getProtocol() const { return protocol_; }

private:
    std::string name_;
    std::string url_;
    std::string description_;
    std::string protocol_;
};
