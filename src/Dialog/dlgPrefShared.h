#pragma once

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QString;
class QWidget;
class dlgPropertyPage;

// Control groups that more than one preference page shows, built the same way on each.
namespace dlgPrefShared {

// A group box with a vertical layout, added to layout.
QGroupBox* group(QBoxLayout* layout, const QString& title);
// "すべて表示(&Z)", "最初に現れたリンクを優先(&J)", "最も長い説明を持つリンクを優先(&Q)" → 1, 2, 3.
QButtonGroup* duplicateLinks(QBoxLayout* layout, QWidget* owner);
// The depth combo "2", "3", "4" → 0, 1, 2.
QComboBox* depth(QBoxLayout* layout);
// "説明の無いリンク(&N)" and "既出のリンク(&P)".
void hiddenLinks(QBoxLayout* layout, QCheckBox** empty, QCheckBox** byNow);
// "表示する画面": the tree view (always shown, so fixed), "リストビュー(&L)" and "HTML ビュー(&V)".
void shownViews(QBoxLayout* layout, QCheckBox** list, QCheckBox** html);

} // namespace dlgPrefShared
