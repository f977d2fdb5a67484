#include "Dialog/dlgPrefEasy.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

dlgPrefEasy::dlgPrefEasy(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("かんたん設定")),
                      utlTexts::sjis(utlText::helpPrefEasy), parent)
{
    auto* layout = new QVBoxLayout(this);
    QGroupBox* views = dlgPrefShared::group(layout, tr("表示する画面"));
    auto* tree = new QCheckBox(tr("ツリービュー"));
    tree->setChecked(true);
    tree->setEnabled(false);
    auto* list = new QCheckBox(tr("リストビュー(&L)"));
    auto* html = new QCheckBox(tr("HTML ビュー(&V)"));
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
