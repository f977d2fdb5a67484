#include "Dialog/dlgPrefTreeView.h"

#include "Common/utlTexts.h"
#include "Dialog/dlgPrefShared.h"
#include "QtBridge/guiText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QButtonGroup* radios(QGroupBox* box, QWidget* owner, std::initializer_list<QString> labels)
{
    auto* group = new QButtonGroup(owner);
    int id = 1;
    for (const QString& label : labels) {
        auto* radio = new QRadioButton(label);
        group->addButton(radio, id++);
        box->layout()->addWidget(radio);
    }
    return group;
}

} // namespace

dlgPrefTreeView::dlgPrefTreeView(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, gui::fromQt(tr("ツリービュー")),
                      utlTexts::sjis(utlText::helpPrefTreeView), parent)
{
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    QGroupBox* link = dlgPrefShared::group(left, tr("リンクの表示方法"));
    bindRadios(IniKey::ShowLink, radios(link, this, {tr("説明を表示(&Y)"), tr("URL を表示(&U)")}));
    bindRadios(IniKey::ShowDupLink, dlgPrefShared::duplicateLinks(left, this));
    QGroupBox* frames = dlgPrefShared::group(left, tr("フレームの表示方法"));
    auto* autoExpand = new QCheckBox(tr("展開時、フレームを自動展開(&T)"));
    auto* newPage = new QCheckBox(tr("ブラウザで表示する時、フレームで表示(&B)"));
    frames->layout()->addWidget(autoExpand);
    frames->layout()->addWidget(newPage);
    bindCheck(IniKey::AutoExp, autoExpand);
    bindCheck(IniKey::NewPage, newPage);
    bindComboIndex(IniKey::TreeNode, dlgPrefShared::depth(left));

    QCheckBox* empty = nullptr;
    QCheckBox* byNow = nullptr;
    dlgPrefShared::hiddenLinks(right, &empty, &byNow);
    bindCheck(IniKey::EmptyURL, empty);
    bindCheck(IniKey::ByNowURL, byNow);
    QGroupBox* limit = dlgPrefShared::group(right, tr("サーバ名、ドメイン名による制限"));
    bindRadios(IniKey::HostNameLimit,
               radios(limit, this,
                      {tr("制限は行わない(&W)"), tr("別ドメインで既出のリンクは表示しない(&I)"),
                       tr("別ドメインへのリンクは表示しない(&G)"),
                       tr("別サーバへのリンクは表示しない(&S)")}));
    QGroupBox* resources = dlgPrefShared::group(right, tr("表示するリソース"));
    bindRadios(IniKey::ShowRes, radios(resources, this, {tr("HTML のみ(&O)"), tr("全て(&D)")}));
    auto* markRow = new QHBoxLayout;
    markRow->addWidget(new QLabel(tr("マークの色(C)")));
    QPushButton* mark = makeColourButton(tr("設定(&C)"));
    markRow->addWidget(mark);
    markRow->addStretch(1);
    right->addLayout(markRow);
    bindColour(IniKey::MarkColor, mark);
    left->addStretch(1);
    right->addStretch(1);
}

dlgPrefTreeView::~dlgPrefTreeView() = default;
