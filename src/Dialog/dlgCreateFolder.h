#pragma once

#include "Dialog/dlgModelessDialog.h"

struct tviDialogData;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// "フォルダの新規作成": name, comment and mark of a new folder; command 1034 on confirm and cancel.
class dlgCreateFolder : public dlgModelessDialog {
    Q_OBJECT
public:
    static constexpr std::size_t nameBytes = 1024;
    static constexpr std::size_t commentBytes = 1024;

    // out receives the input before the command runs (the tree's dialog data).
    dlgCreateFolder(tviDialogData* out, const std::string& name, QWidget* parent = nullptr);
    ~dlgCreateFolder() override;

    const std::string& name() const { return name_; }
    const std::string& comment() const { return comment_; }
    bool marked() const { return marked_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QPlainTextEdit* commentEdit() const { return commentEdit_; }
    QCheckBox* markBox() const { return markBox_; }

    // The new folder gets a directory named after it (in the snapshot cabinet): names that
    // cannot be one are refused before the command runs.
    void setNamesDirectory(bool on) { namesDirectory_ = on; }

    void OnOK() override;
    void OnCancel() override;

protected:
    void readControls() override;

private:
    void publish();
    tviDialogData* out_;
    std::string name_;
    std::string comment_;
    bool marked_ = false;
    bool namesDirectory_ = false;
    QLineEdit* nameEdit_;
    QPlainTextEdit* commentEdit_;
    QCheckBox* markBox_;
};
