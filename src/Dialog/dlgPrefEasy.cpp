#include "Dialog/dlgPrefEasy.h"

#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

dlgPrefEasy::dlgPrefEasy(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, "\x82\xA9\x82\xF1\x82\xBD\x82\xF1\x90\xDD\x92\xE8", "\x82\xA9\x82\xF1\x82\xBD\x82\xF1\x90\xDD\x92\xE8\x89\xE6\x96\xCA", parent) // かんたん設定, かんたん設定画面
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
    bindRadios(IniKey::ShowDupLink, dlgPrefShared::duplicateLinks(layout, this));
    bindComboIndex(IniKey::TreeNode, dlgPrefShared::depth(layout));
    QCheckBox* empty = nullptr;
    QCheckBox* byNow = nullptr;
    dlgPrefShared::hiddenLinks(layout, &empty, &byNow);
    bindCheck(IniKey::EmptyURL, empty);
    bindCheck(IniKey::ByNowURL, byNow);
    layout->addStretch(1);
}

dlgPrefEasy::~dlgPrefEasy() = default;
