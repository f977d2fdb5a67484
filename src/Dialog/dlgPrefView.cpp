#include "Dialog/dlgPrefView.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QVBoxLayout>

dlgPrefView::dlgPrefView(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("ビュー")), utlTexts::sjis(utlText::helpPrefView),
                      parent)
{
    auto* layout = new QVBoxLayout(this);
    QCheckBox* list = nullptr;
    QCheckBox* html = nullptr;
    dlgPrefShared::shownViews(layout, &list, &html);
    bindCheck(IniKey::ListView, list);
    bindCheck(IniKey::HTMLView, html);

    auto* font = new QComboBox;
    font->setEditable(true);
    font->addItems(QFontDatabase::families());
    auto* size = new QComboBox;
    size->setEditable(true);
    for (int points : {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36})
        size->addItem(QString::number(points));
    auto* form = new QFormLayout;
    form->addRow(tr("フォント(&T)"), font);
    form->addRow(tr("サイズ(&S)"), size);
    layout->addLayout(form);
    bindComboText(IniKey::FontName, font);
    bindComboNumber(IniKey::FontSize, size);
    layout->addStretch(1);
}

dlgPrefView::~dlgPrefView() = default;
