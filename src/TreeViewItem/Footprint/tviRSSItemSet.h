#pragma once

#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <ctime>
#include <string>

// One footprint (RSS: route snapshot): a named, dated copy of a route; its pages hang below it
// as a chain.
class tviRSSItemSet : public tviTreeViewItem {
public:
    static constexpr std::time_t secondsPerDay = 86400;

    explicit tviRSSItemSet(ctrlTreeView* tree);
    ~tviRSSItemSet() override;

    int getType() const override { return typeRSSItemSet; }
    int copyType() const override { return typeRSSItemSet; }
    std::string getText() const override { return name_; }
    int getImage() const override;
    int getSelectedImage() const override { return imageFolderOpen; }
    std::string getDescription() const override { return description_; }
    bool isReadOnly() const override;
    // Old enough to change colour: the cabinet's colour days have passed since creation.
    bool isSpecial() const override;
    bool setText(const std::string& text) override;
    bool applyProperties(const tviDialogData& data) override;
    bool copyFrom(const tviTreeViewItem& item) override;
    bool cmdProperties(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;
    bool cmdCopy(bool query, bool* enabled) override;
    bool cmdPaste(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;
    bool cmdDelete(bool query, bool* enabled) override;
    bool onUndoDelete() override;
    bool cmdMark(bool query, bool* enabled) override;

    // Dropped from the file: auto delete set and more than deleteDays whole days old at now.
    bool isExpired(std::time_t now, int deleteDays) const;
    // More than colourDays whole days old at now.
    bool isAged(std::time_t now, int colourDays) const;

    void setName(std::string name) { name_ = std::move(name); }
    const std::string& getName() const { return name_; }
    void setDescription(std::string description) { description_ = std::move(description); }
    void setAutoDelete(bool on) { autoDelete_ = on; }
    bool getAutoDelete() const { return autoDelete_; }
    void setCreated(std::time_t created) { created_ = created; }
    std::time_t getCreated() const { return created_; }
    void setDeleteDay(int days) { deleteDay_ = days; }
    int getDeleteDay() const { return deleteDay_; }
    void setColorDay(int days) { colorDay_ = days; }
    int getColorDay() const { return colorDay_; }

private:
    std::string name_;
    std::string description_;
    std::time_t created_ = 0;
    bool autoDelete_ = false;
    int deleteDay_ = 0;
    int colorDay_ = 0;
};
