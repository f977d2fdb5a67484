#include "Dialog/dlgPrefShared.h"

#include "QtBridge/guiText.h"

#include <QCoreApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace dlgPrefShared {

QGroupBox* group(QBoxLayout* layout, const QString& title)
{
    auto* box = new QGroupBox(title);
    new QVBoxLayout(box);
    layout->addWidget(box);
    return box;
}

QButtonGroup* duplicateLinks(QBoxLayout* layout, QWidget* owner)
{
    QGroupBox* box =
        group(layout, QCoreApplication::translate("dlgPrefShared", "重複したリンクの表示方法"));
    auto* radios = new QButtonGroup(owner);
    const QString labels[] = {
        QCoreApplication::translate("dlgPrefShared", "すべて表示(&Z)"),
        QCoreApplication::translate("dlgPrefShared", "最初に現れたリンクを優先(&J)"),
        QCoreApplication::translate("dlgPrefShared", "最も長い説明を持つリンクを優先(&Q)")};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(labels[i]);
        radios->addButton(radio, i + 1);
        box->layout()->addWidget(radio);
    }
    return radios;
}

QComboBox* depth(QBoxLayout* layout)
{
    QGroupBox* box =
        group(layout, QCoreApplication::translate("dlgPrefShared", "一括展開時の階層"));
    auto* combo = new QComboBox;
    combo->addItems({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QCoreApplication::translate("dlgPrefShared", "階層(&K)"));
    label->setBuddy(combo);
    row->addWidget(label);
    row->addWidget(combo);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    return combo;
}

void hiddenLinks(QBoxLayout* layout, QCheckBox** empty, QCheckBox** byNow)
{
    QGroupBox* box =
        group(layout, QCoreApplication::translate("dlgPrefShared", "表示しないリンク"));
    *empty = new QCheckBox(QCoreApplication::translate("dlgPrefShared", "説明の無いリンク(&N)"));
    *byNow = new QCheckBox(QCoreApplication::translate("dlgPrefShared", "既出のリンク(&P)"));
    box->layout()->addWidget(*empty);
    box->layout()->addWidget(*byNow);
}

void shownViews(QBoxLayout* layout, QCheckBox** list, QCheckBox** html)
{
    QGroupBox* box = group(layout, QCoreApplication::translate("dlgPrefShared", "表示する画面"));
    auto* tree = new QCheckBox(QCoreApplication::translate("dlgPrefShared", "ツリービュー"));
    tree->setChecked(true);
    tree->setEnabled(false);
    *list = new QCheckBox(QCoreApplication::translate("dlgPrefShared", "リストビュー(&L)"));
    *html = new QCheckBox(QCoreApplication::translate("dlgPrefShared", "HTML ビュー(&V)"));
    for (QCheckBox* view : {tree, *list, *html})
        box->layout()->addWidget(view);
}

} // namespace dlgPrefShared
