#pragma once

#include "TreeViewItem/Base/tviURLItem.h"

// A link (kind 0) or frame (kind 18) found on a loaded page, shown under its URL item.
class tviSubItem : public tviURLItem {
public:
    tviSubItem(ctrlTreeView* tree, int kind);
    ~tviSubItem() override;

    int getType() const override { return kind_; }
    int copyType() const override { return typeCabinetItem; }
    std::string getText() const override;
    int getImage() const override;
    int getSelectedImage() const override { return getImage(); }
    std::string getUrl() const override { return url_; }
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdShowInBrowser(bool query, bool* enabled, bool newWindow) override;
    bool isKeptOnDelete() const override { return false; }

    void setKind(int kind) { kind_ = kind; }
    void setLinkText(const std::string& text) { linkText_ = text; }
    const std::string& getLinkText() const { return linkText_; }
    void setUrl(const std::string& url)
    {
        url_ = url;
        tree()->addressChanged(this);
    }
    void setScheme(const std::string& scheme) { scheme_ = scheme; }
    const std::string& getScheme() const { return scheme_; }
    void setSecondText(const std::string& text) { secondText_ = text; }
    const std::string& getSecondText() const { return secondText_; }
    // The extension of the address's path (without the dot), empty when there is none.
    std::string getExtension() const;

private:
    int kind_;
    std::string linkText_;
    std::string url_;
    std::string scheme_;
    std::string secondText_;
    mutable int image_ = -1;
};
