#pragma once

#include "Dialog/dlgModelessDialog.h"

struct tviDialogData;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// "アイテムの新規作成": name, address, comment and mark of a new item; command 1032 on confirm
// and cancel.
class dlgCreateItem : public dlgModelessDialog {
    Q_OBJECT
public:
    static constexpr std::size_t nameBytes = 259;
    static constexpr std::size_t urlBytes = 255;

    dlgCreateItem(tviDialogData* out, const std::string& name, QWidget* parent = nullptr);
    ~dlgCreateItem() override;

    const std::string& name() const { return name_; }
    const std::string& url() const { return url_; }
    const std::string& comment() const { return comment_; }
    bool marked() const { return marked_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* urlEdit() const { return urlEdit_; }
    QPlainTextEdit* commentEdit() const { return commentEdit_; }
    QCheckBox* markBox() const { return markBox_; }

    void OnOK() override;
    void OnCancel() override;

protected:
    void readControls() override;

private:
    void publish();
    tviDialogData* out_;
    std::string name_;
    std::string url_;
    std::string comment_;
    bool marked_ = false;
    QLineEdit* nameEdit_;
    QLineEdit* urlEdit_;
    QPlainTextEdit* commentEdit_;
    QCheckBox* markBox_;
};
