#include "Dialog/dlgPrefView.h"

#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

dlgPrefView::dlgPrefView(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, "\x83r\x83\x85\x81[", "\x83r\x83\x85\x81[\x90\xDD\x92\xE8\x89\xE6\x96\xCA", parent) // ビュー, ビュー設定画面
{
    auto* layout = new QVBoxLayout(this);
    QGroupBox* views = dlgPrefShared::group(layout, "\x95\\\x8E\xA6\x82\xB7\x82\xE9\x89\xE6\x96\xCA"); // 表示する画面
    auto* tree = new QCheckBox(gui::toQt("\x83" "c\x83\x8A\x81[\x83r\x83\x85\x81[")); // ツリービュー
    tree->setChecked(true);
    tree->setEnabled(false);
    auto* list = new QCheckBox(gui::toQt("\x83\x8A\x83X\x83g\x83r\x83\x85\x81[(&L)")); // リストビュー(&L)
    auto* html = new QCheckBox(gui::toQt("HTML \x83r\x83\x85\x81[(&V)")); // HTML ビュー(&V)
    for (QCheckBox* box : {tree, list, html})
        views->layout()->addWidget(box);
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
    form->addRow(gui::toQt("\x83t\x83H\x83\x93\x83g(&T)"), font); // フォント(&T)
    form->addRow(gui::toQt("\x83T\x83" "C\x83Y(&S)"), size); // サイズ(&S)
    layout->addLayout(form);
    bindComboText(IniKey::FontName, font);
    bindComboNumber(IniKey::FontSize, size);
    layout->addStretch(1);
}

dlgPrefView::~dlgPrefView() = default;
