#include "Dialog/dlgSearch.h"

#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/tviTreeSearch.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

struct OptionBox {
    int option;
    const char* label;
};

constexpr OptionBox optionBoxes[] = {
    {searchName, QT_TRANSLATE_NOOP("dlgSearch", "名前(&N)")},
    {searchUrl, "URL(&M)"},
    {searchComment, QT_TRANSLATE_NOOP("dlgSearch", "備考(&C)")},
    {searchTitle, QT_TRANSLATE_NOOP("dlgSearch", "Web ページタイトル(&T)")},
    {searchKeywords, QT_TRANSLATE_NOOP("dlgSearch", "Web ページ内キーワード(&K)")},
};

} // namespace

dlgSearch::dlgSearch(const Fields& initial, const std::vector<std::string>& history,
                     QWidget* parent)
    : dlgModelessDialog(1024, utlTexts::sjis(utlText::helpSearch), parent), fields_(initial),
      searchOptions_(initial.options)
{
    textBox_ = new QComboBox;
    textBox_->setEditable(true);
    textBox_->setInsertPolicy(QComboBox::NoInsert);
    textBox_->setMinimumWidth(260);
    for (const std::string& entry : history)
        textBox_->addItem(gui::toQt(entry));
    textBox_->setEditText(gui::toQt(initial.text));
    limitBytes(textBox_->lineEdit(), textBytes);
    auto* label = new QLabel(tr("検索文字列(&S) :"));
    label->setBuddy(textBox_);
    auto* note = new QLabel(tr("文字列のスペース区切りで OR 検索です。"));
    auto* group = new QGroupBox(tr("検索対象"));
    auto* groupLayout = new QVBoxLayout(group);
    for (const OptionBox& o : optionBoxes) {
        auto* box = new QCheckBox(tr(o.label));
        box->setChecked((initial.options & o.option) != 0);
        groupLayout->addWidget(box);
        boxes_.emplace_back(o.option, box);
    }
    auto* up = new QPushButton(tr("上へ検索(&U)"));
    auto* down = new QPushButton(tr("下へ検索(&D)"));
    auto* cancel = new QPushButton(tr("キャンセル"));
    auto* help = new QPushButton(tr("ヘルプ(&H)"));
    down->setDefault(true);
    down->setAutoDefault(true);
    up->setAutoDefault(false);
    connect(up, &QPushButton::clicked, this, &dlgSearch::OnSearchUp);
    connect(down, &QPushButton::clicked, this, &dlgSearch::OnSearchDown);
    connect(cancel, &QPushButton::clicked, this, &dlgSearch::OnCancel);
    connect(help, &QPushButton::clicked, this, &dlgSearch::OnHelp);

    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addWidget(textBox_);
    left->addWidget(note);
    left->addWidget(group);
    auto* right = new QVBoxLayout;
    for (QPushButton* b : {up, down, cancel, help})
        right->addWidget(b);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    // The window's F3 and Shift+F3 do not reach a dialog that has the focus: it answers them
    // itself, as its two buttons do.
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, &dlgSearch::OnSearchDown);
    connect(previous, &QShortcut::activated, this, &dlgSearch::OnSearchUp);
    textBox_->setFocus();
}

dlgSearch::~dlgSearch() = default;

QCheckBox* dlgSearch::optionBox(int option) const
{
    for (const auto& [value, box] : boxes_) {
        if (value == option)
            return box;
    }
    return nullptr;
}

std::vector<std::string> dlgSearch::history() const
{
    std::vector<std::string> out;
    for (int i = 0; i < textBox_->count(); ++i)
        out.push_back(gui::fromQt(textBox_->itemText(i)));
    return out;
}

void dlgSearch::readControls()
{
    fields_.text = sjisOf(textBox_->currentText(), textBytes);
    fields_.options = 0;
    for (const auto& [value, box] : boxes_)
        fields_.options |= box->isChecked() ? value : 0;
}

void dlgSearch::doSearch(int direction)
{
    readControls();
    fields_.direction = direction;
    searchOptions_ = fields_.options;
    std::vector<std::string> list = history();
    tviTreeSearch::addToHistory(list, fields_.text);
    textBox_->clear();
    for (const std::string& entry : list)
        textBox_->addItem(gui::toQt(entry));
    textBox_->setEditText(gui::toQt(fields_.text));
    accepted_ = true;
    runCommand();
}
