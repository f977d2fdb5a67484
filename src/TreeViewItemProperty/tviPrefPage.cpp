#include "TreeViewItemProperty/tviPrefPage.h"

#include "Common/kivaTime.h"
#include "Dialog/dlgModelessDialog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "TreeViewItem/Base/tviURLItem.h"

#include <QCheckBox>
#include <QColor>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QVBoxLayout>

tviPrefPage::tviPrefPage(const std::string& heading, const std::string& helpTitle, QWidget* parent)
    : QWidget(parent), heading_(heading), helpTitle_(helpTitle)
{
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(gui::toQt(heading));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    form_ = new QFormLayout;
    layout->addLayout(form_);
    layout->addStretch(1);
}

tviPrefPage::~tviPrefPage() = default;

void tviPrefPage::collect(const tviTreeViewItem& item, tviDialogData& data) const
{
    data.name = item.getText();
    data.url = item.getUrl();
    data.description = item.getDescription();
    data.marked = item.isMarked();
    data.autoDelete = autoDelete_;
    data.confirmed = true;
    if (nameEdit_ != nullptr && !nameEdit_->isReadOnly())
        data.name = dlgModelessDialog::sjisOf(nameEdit_->text(), nameLimit_);
    if (noteEdit_ != nullptr && !noteEdit_->isReadOnly())
        data.description = dlgModelessDialog::commentOf(noteEdit_->toPlainText(), 1 << 20);
    if (markBox_ != nullptr && markBox_->isEnabled())
        data.marked = markBox_->isChecked();
    if (autoDeleteBox_ != nullptr && autoDeleteBox_->isEnabled())
        data.autoDelete = autoDeleteBox_->isChecked();
}

bool tviPrefPage::autoDeleteChanged() const
{
    return autoDeleteBox_ != nullptr && autoDeleteBox_->isEnabled() && autoDeleteBox_->isChecked() != autoDelete_;
}

void tviPrefPage::addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit)
{
    nameLimit_ = nameLimit;
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), !editable); // 名前(&N) :
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), !editable); // 備考(&C) :
    markBox_ = addMark(item.isMarked(), editable);
}

void tviPrefPage::addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit,
                                  const std::string& url)
{
    nameLimit_ = nameLimit;
    nameEdit_ = addLine("\x96\xBC\x91O(&N) :", item.getText(), !editable); // 名前(&N) :
    urlEdit_ = addLine("URL(&U) :", url, true, LineKind::address);
    noteEdit_ = addNote("\x94\xF5\x8Dl(&C) :", item.getDescription(), !editable); // 備考(&C) :
    markBox_ = addMark(item.isMarked(), editable);
}

QCheckBox* tviPrefPage::addAutoDelete(bool checked, bool editable)
{
    autoDelete_ = checked;
    autoDeleteBox_ = new QCheckBox(gui::toQt("\x8D\xED\x8F\x9C\x93\xFA\x82\xAA\x82\xAB\x82\xBD\x82\xE7\x8D\xED\x8F\x9C(&D)")); // 削除日がきたら削除(&D)
    autoDeleteBox_->setChecked(checked);
    autoDeleteBox_->setEnabled(editable);
    form_->addRow(QString(), autoDeleteBox_);
    return autoDeleteBox_;
}

void tviPrefPage::addDates(const kivaTime& created, const kivaTime& colourDate, const kivaTime& deleteDate)
{
    if (created.wYear == 0)
        return;
    addValue("\x8D\xEC\x90\xAC\x93\xFA :", created.toDisplayText());    // 作成日 :
    addValue("\x90\x46\x95\xCF\x8D\x58\x93\xFA :", colourDate.toDisplayText()); // 色変更日 :
    addValue("\x8D\xED\x8F\x9C\x93\xFA :", deleteDate.toDisplayText());   // 削除日 :
}

void tviPrefPage::addAgeing(int colourDays, int deleteDays, int colour)
{
    addValue("\x90\x46\x95\xCF\x8D\x58\x82\xDC\x82\xC5\x82\xCC\x93\xFA\x90\x94 :", std::to_string(colourDays)); // 色変更までの日数 :
    addValue("\x8D\xED\x8F\x9C\x82\xDC\x82\xC5\x82\xCC\x93\xFA\x90\x94 :", std::to_string(deleteDays)); // 削除までの日数 :
    // The settings keep colours as Windows does, red in the low byte.
    QColor swatch(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("colour"));
    value->setFixedSize(40, 16);
    value->setAutoFillBackground(true);
    value->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid gray;").arg(swatch.name()));
    form_->addRow(gui::toQt("\x90\x46 :"), value); // 色 :
}

void tviPrefPage::lookReadOnly(QWidget* edit)
{
    // A read-only field shows the window's face, as a disabled one does, yet its text can
    // still be selected and copied.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QLineEdit* tviPrefPage::addLine(const char* label, const std::string& text, bool readOnly, LineKind kind)
{
    QString shown = kind == LineKind::path ? gui::pathToQt(text)
                    : kind == LineKind::address ? gui::addressToQt(text)
                                                : gui::toQt(text);
    auto* edit = new QLineEdit(shown);
    edit->setReadOnly(readOnly);
    if (readOnly)
        lookReadOnly(edit);
    edit->setCursorPosition(0);
    form_->addRow(gui::toQt(label), edit);
    return edit;
}

QPlainTextEdit* tviPrefPage::addNote(const char* label, const std::string& text, bool readOnly)
{
    auto* edit = new QPlainTextEdit(dlgModelessDialog::commentText(text));
    edit->setReadOnly(readOnly);
    if (readOnly)
        lookReadOnly(edit);
    edit->setTabChangesFocus(true);
    edit->setMaximumHeight(90);
    form_->addRow(gui::toQt(label), edit);
    return edit;
}

QCheckBox* tviPrefPage::addMark(bool checked, bool editable)
{
    auto* box = new QCheckBox;
    box->setChecked(checked);
    box->setEnabled(editable);
    form_->addRow(gui::toQt("\x83}\x81[\x83N(&M) :"), box); // マーク(&M) :
    return box;
}

void tviPrefPage::addValue(const char* label, const std::string& text)
{
    auto* value = new QLabel(gui::toQt(text));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    form_->addRow(gui::toQt(label), value);
}

void tviPrefPage::addReadOnlyAttribute(bool readOnly)
{
    auto* box = new QCheckBox(gui::toQt("\x93\xC7\x82\xDD\x8E\xE6\x82\xE8\x90\xEA\x97p")); // 読み取り専用
    box->setChecked(readOnly);
    box->setEnabled(false);
    form_->addRow(gui::toQt("\x91\xAE\x90\xAB :"), box); // 属性 :
}

void tviPrefPage::beginPageInformation()
{
    auto* group = new QGroupBox(gui::toQt("Web \x83y\x81[\x83W\x93\xE0\x8F\xEE\x95\xF1")); // Web ページ内情報
    auto* inner = new QFormLayout(group);
    form_->addRow(group);
    form_ = inner;
}

void tviPrefPage::addPageRows(const tviTreeViewItem& item, const std::string& protocol, bool withGroup)
{
    QFormLayout* outer = form_;
    if (withGroup)
        beginPageInformation();
    const auto* urlItem = dynamic_cast<const tviURLItem*>(&item);
    addLine("\x83^\x83" "C\x83g\x83\x8B(&T) :", urlItem != nullptr ? urlItem->getTitle() : std::string(), true);   // タイトル(&T) :
    addLine("\x83L\x81[\x83\x8F\x81[\x83h(&K) :", urlItem != nullptr ? urlItem->getKeywords() : std::string(), true); // キーワード(&K) :
    form_ = outer;
    std::string status;
    bool isError = false;
    item.getStatusText(status, isError);
    addValue("\x83X\x83" "e\x81[\x83^\x83X :", status);    // ステータス :
    addValue("\x83v\x83\x8D\x83g\x83R\x83\x8B :", protocol); // プロトコル :
}
