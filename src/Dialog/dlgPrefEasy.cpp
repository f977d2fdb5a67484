#include "Dialog/dlgPrefEasy.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QCheckBox>
#include <QVBoxLayout>

dlgPrefEasy::dlgPrefEasy(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("かんたん設定")),
                      utlTexts::sjis(utlText::helpPrefEasy), parent)
{
    auto* layout = new QVBoxLayout(this);
    QCheckBox* list = nullptr;
    QCheckBox* html = nullptr;
    dlgPrefShared::shownViews(layout, &list, &html);
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
