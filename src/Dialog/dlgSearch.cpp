#include "Dialog/dlgSearch.h"

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
    {searchName, "\x96\xBC\x91O(&N)"},                                                  // 名前(&N)
    {searchUrl, "URL(&M)"},
    {searchComment, "\x94\xF5\x8Dl(&C)"},                                               // 備考(&C)
    {searchTitle, "Web \x83y\x81[\x83W\x83^\x83" "C\x83g\x83\x8B(&T)"},                // Web ページタイトル(&T)
    {searchKeywords, "Web \x83y\x81[\x83W\x93\xE0\x83L\x81[\x83\x8F\x81[\x83h(&K)"},  // Web ページ内キーワード(&K)
};

} // namespace

dlgSearch::dlgSearch(const Fields& initial, const std::vector<std::string>& history, QWidget* parent)
    : dlgModelessDialog(1024, "\x8C\x9F\x8D\xF5", parent), fields_(initial), searchOptions_(initial.options) // 検索
{
    textBox_ = new QComboBox;
    textBox_->setEditable(true);
    textBox_->setInsertPolicy(QComboBox::NoInsert);
    textBox_->setMinimumWidth(260);
    for (const std::string& entry : history)
        textBox_->addItem(gui::toQt(entry));
    textBox_->setEditText(gui::toQt(initial.text));
    limitBytes(textBox_->lineEdit(), textBytes);
    auto* label = new QLabel(gui::toQt("\x8C\x9F\x8D\xF5\x95\xB6\x8E\x9A\x97\xF1(&S) :")); // 検索文字列(&S) :
    label->setBuddy(textBox_);
    // 文字列のスペース区切りで OR 検索です。
    auto* note = new QLabel(gui::toQt("\x95\xB6\x8E\x9A\x97\xF1\x82\xCC\x83X\x83y\x81[\x83X\x8B\xE6\x90\xD8\x82\xE8\x82\xC5 OR "
                                      "\x8C\x9F\x8D\xF5\x82\xC5\x82\xB7\x81" "B"));
    auto* group = new QGroupBox(gui::toQt("\x8C\x9F\x8D\xF5\x91\xCE\x8F\xDB")); // 検索対象
    auto* groupLayout = new QVBoxLayout(group);
    for (const OptionBox& o : optionBoxes) {
        auto* box = new QCheckBox(gui::toQt(o.label));
        box->setChecked((initial.options & o.option) != 0);
        groupLayout->addWidget(box);
        boxes_.emplace_back(o.option, box);
    }
    auto* up = new QPushButton(gui::toQt("\x8F\xE3\x82\xD6\x8C\x9F\x8D\xF5(&U)"));   // 上へ検索(&U)
    auto* down = new QPushButton(gui::toQt("\x89\xBA\x82\xD6\x8C\x9F\x8D\xF5(&D)")); // 下へ検索(&D)
    auto* cancel = new QPushButton(gui::toQt("\x83L\x83\x83\x83\x93\x83Z\x83\x8B"));  // キャンセル
    auto* help = new QPushButton(gui::toQt("\x83w\x83\x8B\x83v(&H)"));                // ヘルプ(&H)
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
    runCommand("dlgSearch::doSearch");
}
