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

    clsRequestStatus getStatus() const override { return status_; }
    virtual void setStatus(clsRequestStatus status) { status_ = status; }
    void getStatusText(std::string& text, bool& isError) const override;
    int getCodeKind() const override { return codeKind_; }
    void onRequestNotify(clsNodePhase phase) override;
    bool cmdExpand(bool query, bool* enabled) override;
    bool cmdReExpand(bool query, bool* enabled) override;
    bool cmdShowArchived(bool query, bool* enabled) override;
    bool hasArchivedCopy() const override { return !archived_.empty(); }

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
    // The archived copy of the page (a memento address) and its date (Unix seconds, 0
    // unknown), found for a dead item; empty when none is known.
    const std::string& getArchived() const { return archived_; }
    std::int64_t getArchivedDate() const { return archivedDate_; }
    void setArchived(std::string address, std::int64_t date)
    {
        archived_ = std::move(address);
        archivedDate_ = archived_.empty() ? 0 : date;
    }
    bool isNewItem() const { return newItem_; }
    void setNewItem(bool isNew) { newItem_ = isNew; }

protected:
    bool matchesWords(const std::vector<std::string>& words, int options) const override;
    // Takes title, keywords, code kind (and the status at phase 3) from the engine's record.
    virtual void takePageData(clsNodePhase phase);
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
    clsRequestStatus status_ = clsRequestStatus::registered;
    int codeKind_ = 0;
    bool newItem_ = false;
    std::int64_t addDate_ = 0;
    std::int64_t lastModified_ = 0;
    std::string archived_;
    std::int64_t archivedDate_ = 0;
};
