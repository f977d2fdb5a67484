#pragma once

#include "Common/kivaTime.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <string>

// One snapshot of the snapshot cabinet: a directory with its `snapshot` file and the page
// files the downloader saved. Opening it opens the saved top page from disk.
class tviPSSItem : public tviTreeViewItem {
public:
    explicit tviPSSItem(ctrlTreeView* tree);
    ~tviPSSItem() override;

    int getType() const override { return typePSSItem; }
    int copyType() const override { return typePSSItem; }
    std::string getText() const override;
    std::string getDescription() const override { return description_; }
    int getImage() const override { return imagePageClosed; }
    int getSelectedImage() const override { return imagePageOpen; }
    // The saved top page on disk, empty until there is one.
    std::string getUrl() const override;
    // Older than the colour limit of the cabinet.
    bool isSpecial() const override;
    clsRequestStatus getStatus() const override
    {
        return failed_
                   ? clsRequestStatus::failed
                   : (downloadState_ != 0 ? clsRequestStatus::reading : clsRequestStatus::complete);
    }
    void getStatusText(std::string& text, bool& isError) const override;
    bool executeCommand(int code, bool query, bool& handled) override;
    bool applyProperties(const tviDialogData& data) override;
    bool onSnapshotNotify(const clsSnapshotReport& report, clsSnapshotPhase phase) override;
    // Restore after a delete: the directory comes back from the trash.
    bool insertAndLoad(TreeNode parent, TreeNode insertAfter) override;

    // Reads and writes the `snapshot` file of the directory at path.
    bool load(const std::string& path);
    bool save(const std::string& path) const;
    std::string getFullPath() const;

    void setSource(const std::string& source) { source_ = source; }
    const std::string& getSource() const { return source_; }
    void setName(const std::string& name) { name_ = name; }
    const std::string& getName() const { return name_; }
    void setDirName(const std::string& dirName) { dirName_ = dirName; }
    const std::string& getDirName() const { return dirName_; }
    void setDescription(const std::string& description) { description_ = description; }
    void setCreated(const kivaTime& created) { created_ = created; }
    const kivaTime& getCreated() const { return created_; }
    void setAutoDelete(bool autoDelete) { autoDelete_ = autoDelete; }
    bool getAutoDelete() const { return autoDelete_; }
    bool isExpired() const;
    void setTop(const std::string& top);
    const std::string& getTop() const { return top_; }
    int getDownloadState() const { return downloadState_; }
    const std::string& getTrashPath() const { return trashPath_; }
    // The request id of the download under way, -1 when none.
    int getSnapshotId() const { return snapshotId_; }
    void setSnapshotId(int id) override { snapshotId_ = id; }
    // The last download saved no top page.
    bool isFailed() const { return failed_; }
    // The download could not even start (the engine refused it): shown as failed, not saved.
    void markFailed();

    void beginDownload();
    void setDownloading();
    void endDownload();

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
    std::string source_;
    std::string name_;
    std::string dirName_;
    std::string description_;
    kivaTime created_;
    bool autoDelete_ = false;
    std::string top_;
    int downloadState_ = 0;
    std::string stateLabel_;
    std::string trashPath_;
    int snapshotId_ = -1;
    bool failed_ = false;
};
