#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <cstdint>
#include <optional>
#include <string>

class clsUrlInformation;

// Base of every item that has an address and a load status.
class tviURLItem : public tviTreeViewItem {
public:
    explicit tviURLItem(ctrlTreeView* tree);
    ~tviURLItem() override;

    int getStatus() const override { return status_; }
    virtual void setStatus(int status) { status_ = status; }
    void getStatusText(std::string& text, bool& isError) const override;
    int getCodeKind() const override { return codeKind_; }
    bool onRequestNotify(int phase) override;
    bool cmdExpand(bool query, bool* enabled) override;
    bool cmdReExpand(bool query, bool* enabled) override;

    const std::string& getTitle() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& getKeywords() const { return keywords_; }
    void setKeywords(std::string keywords) { keywords_ = std::move(keywords); }
    // When the entry was added and last changed (Unix seconds, 0 unknown), as bookmark files
    // and cabinets keep them.
    std::int64_t getAddDate() const { return addDate_; }
    std::int64_t getLastModified() const { return lastModified_; }
    void setDates(std::int64_t added, std::int64_t modified)
    {
        addDate_ = added;
        lastModified_ = modified;
    }
    bool isNewItem() const { return newItem_; }
    void setNewItem(bool isNew) { newItem_ = isNew; }

protected:
    bool matchesWords(const std::vector<std::string>& words, int options) const override;
    // Takes title, keywords, code kind (and the status at phase 3) from the engine's record.
    virtual void takePageData(int phase);
    // Turns the links found since the last notification into sub-items.
    bool addSubItems();
    static void appendFetchNotes(std::string& text, const clsUrlInformation* owner);
    // What the item showed of its page before the read under way began to change it.
    struct PageData {
        std::string title;
        std::string keywords;
        int codeKind = 0;
    };
    std::optional<PageData> beforeRead_;
    std::string title_;
    std::string keywords_;
    int status_ = 0;
    int codeKind_ = 0;
    bool newItem_ = false;
    std::int64_t addDate_ = 0;
    std::int64_t lastModified_ = 0;
};
