#include "Dialog/dlgPrefTreeView.h"

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

QButtonGroup* radios(QGroupBox* box, QWidget* owner, std::initializer_list<const char*> labels)
{
    auto* group = new QButtonGroup(owner);
    int id = 1;
    for (const char* label : labels) {
        auto* radio = new QRadioButton(gui::toQt(label));
        group->addButton(radio, id++);
        box->layout()->addWidget(radio);
    }
    return group;
}

} // namespace

dlgPrefTreeView::dlgPrefTreeView(dlgPrefValues& values, QWidget* parent)
    : dlgPropertyPage(values, "\x83" "c\x83\x8A\x81[\x83r\x83\x85\x81[", "\x83" "c\x83\x8A\x81[\x83r\x83\x85\x81[\x90\xDD\x92\xE8\x89\xE6\x96\xCA", parent) // ツリービュー, ツリービュー設定画面
{
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    QGroupBox* link = dlgPrefShared::group(left, "\x83\x8A\x83\x93\x83N\x82\xCC\x95\\\x8E\xA6\x95\xFB\x96@"); // リンクの表示方法
    bindRadios(IniKey::ShowLink, radios(link, this, {"\x90\xE0\x96\xBE\x82\xF0\x95\\\x8E\xA6(&Y)", "URL \x82\xF0\x95\\\x8E\xA6(&U)"})); // 説明を表示(&Y), URL を表示(&U)
    bindRadios(IniKey::ShowDupLink, dlgPrefShared::duplicateLinks(left, this));
    QGroupBox* frames = dlgPrefShared::group(left, "\x83t\x83\x8C\x81[\x83\x80\x82\xCC\x95\\\x8E\xA6\x95\xFB\x96@"); // フレームの表示方法
    auto* autoExpand = new QCheckBox(gui::toQt("\x93W\x8AJ\x8E\x9E\x81" "A\x83t\x83\x8C\x81[\x83\x80\x82\xF0\x8E\xA9\x93\xAE\x93W\x8AJ(&T)")); // 展開時、フレームを自動展開(&T)
    auto* newPage = new QCheckBox(gui::toQt("\x83u\x83\x89\x83" "E\x83U\x82\xC5\x95\\\x8E\xA6\x82\xB7\x82\xE9\x8E\x9E\x81" "A\x83t\x83\x8C\x81[\x83\x80\x82\xC5\x95\\\x8E\xA6(&B)")); // ブラウザで表示する時、フレームで表示(&B)
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
    QGroupBox* limit = dlgPrefShared::group(right, "\x83T\x81[\x83o\x96\xBC\x81" "A\x83h\x83\x81\x83" "C\x83\x93\x96\xBC\x82\xC9\x82\xE6\x82\xE9\x90\xA7\x8C\xC0"); // サーバ名、ドメイン名による制限
    bindRadios(IniKey::HostNameLimit,
               radios(limit, this, {"\x90\xA7\x8C\xC0\x82\xCD\x8Ds\x82\xED\x82\xC8\x82\xA2(&W)", "\x95\xCA\x83h\x83\x81\x83" "C\x83\x93\x82\xC5\x8A\xF9\x8Fo\x82\xCC\x83\x8A\x83\x93\x83N\x82\xCD\x95\\\x8E\xA6\x82\xB5\x82\xC8\x82\xA2(&I)", // 制限は行わない(&W), 別ドメインで既出のリンクは表示しない(&I)
                                    "\x95\xCA\x83h\x83\x81\x83" "C\x83\x93\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xCD\x95\\\x8E\xA6\x82\xB5\x82\xC8\x82\xA2(&G)", "\x95\xCA\x83T\x81[\x83o\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xCD\x95\\\x8E\xA6\x82\xB5\x82\xC8\x82\xA2(&S)"})); // 別ドメインへのリンクは表示しない(&G), 別サーバへのリンクは表示しない(&S)
    QGroupBox* resources = dlgPrefShared::group(right, "\x95\\\x8E\xA6\x82\xB7\x82\xE9\x83\x8A\x83\\\x81[\x83X"); // 表示するリソース
    bindRadios(IniKey::ShowRes, radios(resources, this, {"HTML \x82\xCC\x82\xDD(&O)", "\x91S\x82\xC4(&D)"})); // HTML のみ(&O), 全て(&D)
    auto* markRow = new QHBoxLayout;
    markRow->addWidget(new QLabel(gui::toQt("\x83}\x81[\x83N\x82\xCC\x90" "F(C)"))); // マークの色(C)
    QPushButton* mark = makeColourButton(gui::toQt("\x90\xDD\x92\xE8(&C)")); // 設定(&C)
    markRow->addWidget(mark);
    markRow->addStretch(1);
    right->addLayout(markRow);
    bindColour(IniKey::MarkColor, mark);
    left->addStretch(1);
    right->addStretch(1);
}

dlgPrefTreeView::~dlgPrefTreeView() = default;
