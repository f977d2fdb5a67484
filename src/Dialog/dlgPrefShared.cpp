#include "Dialog/dlgPrefShared.h"

#include "QtBridge/guiText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace dlgPrefShared {

QGroupBox* group(QBoxLayout* layout, const char* title)
{
    auto* box = new QGroupBox(gui::toQt(title));
    new QVBoxLayout(box);
    layout->addWidget(box);
    return box;
}

QButtonGroup* duplicateLinks(QBoxLayout* layout, QWidget* owner)
{
    QGroupBox* box = group(layout, "\x8F" "d\x95\xA1\x82\xB5\x82\xBD\x83\x8A\x83\x93\x83N\x82\xCC\x95\\\x8E\xA6\x95\xFB\x96@"); // 重複したリンクの表示方法
    auto* radios = new QButtonGroup(owner);
    const char* labels[] = {"\x82\xB7\x82\xD7\x82\xC4\x95\\\x8E\xA6(&Z)", "\x8D\xC5\x8F\x89\x82\xC9\x8C\xBB\x82\xEA\x82\xBD\x83\x8A\x83\x93\x83N\x82\xF0\x97" "D\x90\xE6(&J)", "\x8D\xC5\x82\xE0\x92\xB7\x82\xA2\x90\xE0\x96\xBE\x82\xF0\x8E\x9D\x82\xC2\x83\x8A\x83\x93\x83N\x82\xF0\x97" "D\x90\xE6(&Q)"}; // すべて表示(&Z), 最初に現れたリンクを優先(&J), 最も長い説明を持つリンクを優先(&Q)
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(gui::toQt(labels[i]));
        radios->addButton(radio, i + 1);
        box->layout()->addWidget(radio);
    }
    return radios;
}

QComboBox* depth(QBoxLayout* layout)
{
    QGroupBox* box = group(layout, "\x88\xEA\x8A\x87\x93W\x8AJ\x8E\x9E\x82\xCC\x8AK\x91w"); // 一括展開時の階層
    auto* combo = new QComboBox;
    combo->addItems({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(gui::toQt("\x8AK\x91w(&K)")); // 階層(&K)
    label->setBuddy(combo);
    row->addWidget(label);
    row->addWidget(combo);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    return combo;
}

void hiddenLinks(QBoxLayout* layout, QCheckBox** empty, QCheckBox** byNow)
{
    QGroupBox* box = group(layout, "\x95\\\x8E\xA6\x82\xB5\x82\xC8\x82\xA2\x83\x8A\x83\x93\x83N"); // 表示しないリンク
    *empty = new QCheckBox(gui::toQt("\x90\xE0\x96\xBE\x82\xCC\x96\xB3\x82\xA2\x83\x8A\x83\x93\x83N(&N)")); // 説明の無いリンク(&N)
    *byNow = new QCheckBox(gui::toQt("\x8A\xF9\x8Fo\x82\xCC\x83\x8A\x83\x93\x83N(&P)")); // 既出のリンク(&P)
    box->layout()->addWidget(*empty);
    box->layout()->addWidget(*byNow);
}

} // namespace dlgPrefShared
