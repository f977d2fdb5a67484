#include "Dialog/dlgPrefListView.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefValues.h"
#include "QtBridge/guiText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

dlgPrefListView::dlgPrefListView(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("リストビュー")),
                      utlTexts::sjis(utlText::helpPrefListView), parent)
{
    list_ = new QListWidget;
    auto* label = new QLabel(tr("表示する項目と順番(&I)"));
    label->setBuddy(list_);
    auto* up = new QPushButton(tr("上へ移動(&U)"));
    auto* down = new QPushButton(tr("下へ移動(&D)"));
    connect(up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(up);
    buttons->addWidget(down);
    buttons->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(row);
    for (int i = 0; i < entryCount; ++i) {
        values_.edits(indexed(IniKey::Item00, i));
        values_.edits(indexed(IniKey::CheckItem00, i));
    }
}

dlgPrefListView::~dlgPrefListView() = default;

void dlgPrefListView::init()
{
    list_->clear();
    for (int i = 0; i < entryCount; ++i) {
        auto* entry =
            new QListWidgetItem(gui::toQt(values_.getString(indexed(IniKey::Item00, i))), list_);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(values_.getInt(indexed(IniKey::CheckItem00, i)) != 0 ? Qt::Checked
                                                                                  : Qt::Unchecked);
    }
    list_->setCurrentRow(0);
}

void dlgPrefListView::apply()
{
    for (int i = 0; i < entryCount && i < list_->count(); ++i) {
        QListWidgetItem* entry = list_->item(i);
        values_.setString(indexed(IniKey::Item00, i), gui::fromQt(entry->text()));
        values_.setInt(indexed(IniKey::CheckItem00, i), entry->checkState() == Qt::Checked ? 1 : 0);
    }
}

void dlgPrefListView::setDefaultPref()
{
    for (int i = 0; i < entryCount; ++i) {
        values_.setString(indexed(IniKey::Item00, i),
                          utlIniInfo::info(indexed(IniKey::Item00, i)).textDefault);
        values_.setInt(indexed(IniKey::CheckItem00, i),
                       utlIniInfo::info(indexed(IniKey::CheckItem00, i)).intDefault);
    }
    init();
}

void dlgPrefListView::moveSelected(int step)
{
    int row = list_->currentRow();
    int target = row + step;
    if (row < 0 || target < 0 || target >= list_->count())
        return;
    QListWidgetItem* entry = list_->takeItem(row);
    list_->insertItem(target, entry);
    list_->setCurrentRow(target);
}
