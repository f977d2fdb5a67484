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
    return autoDeleteBox_ != nullptr && autoDeleteBox_->isEnabled() &&
           autoDeleteBox_->isChecked() != autoDelete_;
}

void tviPrefPage::addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit)
{
    nameLimit_ = nameLimit;
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), !editable);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), !editable);
    markBox_ = addMark(item.isMarked(), editable);
}

void tviPrefPage::addNameNoteMark(const tviTreeViewItem& item, bool editable, std::size_t nameLimit,
                                  const std::string& url)
{
    nameLimit_ = nameLimit;
    nameEdit_ = addLine(tr("名前(&N) :"), item.getText(), !editable);
    urlEdit_ = addLine("URL(&U) :", url, true, LineKind::address);
    noteEdit_ = addNote(tr("備考(&C) :"), item.getDescription(), !editable);
    markBox_ = addMark(item.isMarked(), editable);
}

QCheckBox* tviPrefPage::addAutoDelete(bool checked, bool editable)
{
    autoDelete_ = checked;
    autoDeleteBox_ = new QCheckBox(tr("削除日がきたら削除(&D)"));
    autoDeleteBox_->setChecked(checked);
    autoDeleteBox_->setEnabled(editable);
    form_->addRow(QString(), autoDeleteBox_);
    return autoDeleteBox_;
}

void tviPrefPage::addDates(const kivaTime& created, const kivaTime& colourDate,
                           const kivaTime& deleteDate)
{
    if (created.wYear == 0)
        return;
    addValue(tr("作成日 :"), created.toDisplayText());
    addValue(tr("色変更日 :"), colourDate.toDisplayText());
    addValue(tr("削除日 :"), deleteDate.toDisplayText());
}

void tviPrefPage::addAgeing(int colourDays, int deleteDays, int colour)
{
    addValue(tr("色変更までの日数 :"), std::to_string(colourDays));
    addValue(tr("削除までの日数 :"), std::to_string(deleteDays));
    // The settings keep colours as Windows does, red in the low byte.
    QColor swatch(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("colour"));
    value->setFixedSize(40, 16);
    value->setAutoFillBackground(true);
    value->setStyleSheet(
        QStringLiteral("background-color: %1; border: 1px solid gray;").arg(swatch.name()));
    form_->addRow(tr("色 :"), value);
}

void tviPrefPage::lookReadOnly(QWidget* edit)
{
    // A read-only field shows the window's face, as a disabled one does, yet its text can
    // still be selected and copied.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QLineEdit* tviPrefPage::addLine(const QString& label, const std::string& text, bool readOnly,
                                LineKind kind)
{
    QString shown = kind == LineKind::path      ? gui::pathToQt(text)
                    : kind == LineKind::address ? gui::addressToQt(text)
                                                : gui::toQt(text);
    auto* edit = new QLineEdit(shown);
    edit->setReadOnly(readOnly);
    if (readOnly)
        lookReadOnly(edit);
    edit->setCursorPosition(0);
    form_->addRow(label, edit);
    return edit;
}

QPlainTextEdit* tviPrefPage::addNote(const QString& label, const std::string& text, bool readOnly)
{
    auto* edit = new QPlainTextEdit(dlgModelessDialog::commentText(text));
    edit->setReadOnly(readOnly);
    if (readOnly)
        lookReadOnly(edit);
    edit->setTabChangesFocus(true);
    edit->setMaximumHeight(90);
    form_->addRow(label, edit);
    return edit;
}

QCheckBox* tviPrefPage::addMark(bool checked, bool editable)
{
    auto* box = new QCheckBox;
    box->setChecked(checked);
    box->setEnabled(editable);
    form_->addRow(tr("マーク(&M) :"), box);
    return box;
}

void tviPrefPage::addValue(const QString& label, const std::string& text)
{
    auto* value = new QLabel(gui::toQt(text));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    form_->addRow(label, value);
}

void tviPrefPage::addReadOnlyAttribute(bool readOnly)
{
    auto* box = new QCheckBox(tr("読み取り専用"));
    box->setChecked(readOnly);
    box->setEnabled(false);
    form_->addRow(tr("属性 :"), box);
}

void tviPrefPage::beginPageInformation()
{
    auto* group = new QGroupBox(tr("Web ページ内情報"));
    auto* inner = new QFormLayout(group);
    form_->addRow(group);
    form_ = inner;
}

void tviPrefPage::addPageRows(const tviTreeViewItem& item, const std::string& protocol,
                              bool withGroup)
{
    QFormLayout* outer = form_;
    if (withGroup)
        beginPageInformation();
    const auto* urlItem = dynamic_cast<const tviURLItem*>(&item);
    addLine(tr("タイトル(&T) :"), urlItem != nullptr ? urlItem->getTitle() : std::string(), true);
    addLine(tr("キーワード(&K) :"), urlItem != nullptr ? urlItem->getKeywords() : std::string(),
            true);
    form_ = outer;
    std::string status;
    bool isError = false;
    item.getStatusText(status, isError);
    addValue(tr("ステータス :"), status);
    addValue(tr("プロトコル :"), protocol);
}
