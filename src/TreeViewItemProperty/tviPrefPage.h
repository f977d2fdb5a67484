#pragma once

#include <QWidget>

#include <string>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class tviTreeViewItem;
struct tviDialogData;

// One page of the item property sheet: shows the attributes of an item of its kind and hands
// the editable ones back. Read-only fields are shown, never read back.
class tviPrefPage : public QWidget {
    Q_OBJECT
public:
    // heading is the kind's name, helpTitle names the help page (both Shift_JIS).
    tviPrefPage(const std::string& heading, const std::string& helpTitle, QWidget* parent = nullptr);
    ~tviPrefPage() override;

    // Fills the controls from the item.
    virtual void initvalue(const tviTreeViewItem& item) = 0;
    // Whether the page has anything the user may change.
    virtual bool isEditable() const { return false; }
    // The editable fields; fields the page does not edit keep the item's values.
    virtual void collect(const tviTreeViewItem& item, tviDialogData& data) const;

    const std::string& heading() const { return heading_; }
    const std::string& helpTitle() const { return helpTitle_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* urlEdit() const { return urlEdit_; }
    QPlainTextEdit* noteEdit() const { return noteEdit_; }
    QCheckBox* markBox() const { return markBox_; }

protected:
    QLineEdit* addLine(const char* label, const std::string& text, bool readOnly);
    QPlainTextEdit* addNote(const char* label, const std::string& text, bool readOnly);
    QCheckBox* addMark(bool checked, bool editable);
    void addValue(const char* label, const std::string& text);
    void addReadOnlyAttribute(bool readOnly);
    // Starts the group "Web ページ内情報"; the rows after it go into the group.
    void beginPageInformation();
    // Title, keywords, status text and protocol of an item with an address.
    void addPageRows(const tviTreeViewItem& item, const std::string& protocol, bool withGroup);

    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* urlEdit_ = nullptr;
    QPlainTextEdit* noteEdit_ = nullptr;
    QCheckBox* markBox_ = nullptr;

private:
    std::string heading_;
    std::string helpTitle_;
    QFormLayout* form_;
};
