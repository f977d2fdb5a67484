#pragma once

#include <QWidget>

#include <ctime>
#include <string>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class kivaTime;
class tviTreeViewItem;
struct tviDialogData;

// One page of the item property sheet: shows the attributes of an item of its kind and hands
// the editable ones back. Read-only fields are shown, never read back.
class tviPrefPage : public QWidget {
    Q_OBJECT
public:
    // heading is the kind's name, helpTitle names the help page (both Shift_JIS).
    tviPrefPage(const std::string& heading, const std::string& helpTitle,
                QWidget* parent = nullptr);
    ~tviPrefPage() override;

    // Fills the controls from the item.
    virtual void initvalue(const tviTreeViewItem& item) = 0;
    // Whether the page has anything the user may change.
    virtual bool isEditable() const { return false; }
    // The editable fields; fields the page does not edit keep the item's values.
    virtual void collect(const tviTreeViewItem& item, tviDialogData& data) const;
    // The auto-delete choice differs from what the item had.
    bool autoDeleteChanged() const;

    const std::string& heading() const { return heading_; }
    const std::string& helpTitle() const { return helpTitle_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* urlEdit() const { return urlEdit_; }
    QPlainTextEdit* noteEdit() const { return noteEdit_; }
    QCheckBox* markBox() const { return markBox_; }
    QCheckBox* autoDeleteBox() const { return autoDeleteBox_; }

protected:
    static void lookReadOnly(QWidget* edit);
    // What a line holds: program text, a file path or an address (a path when local).
    enum class LineKind { text, path, address };
    QLineEdit* addLine(const QString& label, const std::string& text, bool readOnly,
                       LineKind kind = LineKind::text);
    QPlainTextEdit* addNote(const QString& label, const std::string& text, bool readOnly);
    QCheckBox* addMark(bool checked, bool editable);
    void addValue(const QString& label, const std::string& text);
    void addReadOnlyAttribute(bool readOnly);
    // The three rows every page of an editable kind begins with.
    void addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit);
    // The same with the address (shown only) under the name.
    void addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit,
                         const std::string& url);
    // "削除日がきたら削除(&D)", remembered so that the page hands back the user's choice.
    QCheckBox* addAutoDelete(bool checked, bool editable);
    // Creation, colour-change and deletion date; nothing for an unknown creation date.
    void addDates(const kivaTime& created, const kivaTime& colourDate, const kivaTime& deleteDate);
    // The ageing settings of a snapshot or footprint cabinet (shown only).
    void addAgeing(int colourDays, int deleteDays, int colour);
    // Starts the group "Web ページ内情報"; the rows after it go into the group.
    void beginPageInformation();
    // Title, keywords, status text and protocol of an item with an address.
    void addPageRows(const tviTreeViewItem& item, const std::string& protocol, bool withGroup);

    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* urlEdit_ = nullptr;
    QPlainTextEdit* noteEdit_ = nullptr;
    QCheckBox* markBox_ = nullptr;
    QCheckBox* autoDeleteBox_ = nullptr;
    bool autoDelete_ = false;
    std::size_t nameLimit_ = 1024;

private:
    std::string heading_;
    std::string helpTitle_;
    QFormLayout* form_;
};
