#pragma once

#include "TreeViewItem/Base/tviURLItem.h"

// A URL item in a cabinet.
class tviCabinetItem : public tviURLItem {
public:
    explicit tviCabinetItem(ctrlTreeView* tree);
    ~tviCabinetItem() override;

    int getType() const override { return typeCabinetItem; }
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override;
    std::string getUrl() const override { return url_; }
    bool hasOverlay() const override { return readOnly_; }
    bool isReadOnly() const override { return readOnly_; }
    std::string getDescription() const override { return description_; }
    bool setText(const std::string& text) override;
    bool applyProperties(const tviDialogData& data) override;
    bool holdsNewEntries() const override;
    int copyType() const override { return typeCabinetItem; }
    bool copyFrom(const tviTreeViewItem& item) override;
    void setStatus(clsRequestStatus status) override;

    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    // Also fills the protocol text when it is still empty.
    void setUrl(std::string url);
    void setDescription(std::string description) { description_ = std::move(description); }
    const std::string& getProtocol() const { return protocol_; }

    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdDelete(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;
    void onRequestNotify(clsNodePhase phase) override;

    // The protocol text of an address: its scheme, or "Local File".
    static std::string protocolOf(const std::string& url);

private:
    std::string name_;
    std::string url_;
    bool readOnly_ = false;
    std::string description_;
    std::string protocol_;
};
