#include "Dialog/wndOpenCabinet.h"

#include "Common/utlIniInfo.h"
#include "Common/utlTexts.h"
#include "Dialog/ctrlCabinetTree.h"
#include "QtBridge/guiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kTitle = utlTexts::sjis(utlText::helpOpenCabinet);
constexpr int kSmallest = 200; // a stored size below this is taken as none

} // namespace

wndOpenCabinet::wndOpenCabinet(const std::vector<std::string>& folders,
                               std::function<bool(const std::string&)> isOpen, QWidget* parent)
    : dlgModelessDialog(1101, kTitle, parent)
{
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("フォルダの場所(&P)"));
    tree_ = new ctrlCabinetTree;
    label->setBuddy(tree_);
    layout->addWidget(label);
    layout->addWidget(tree_, 1);
    auto* buttons = new QDialogButtonBox;
    QPushButton* open = buttons->addButton(tr("開く(&O)"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(tr("ヘルプ(&H)"), QDialogButtonBox::HelpRole);
    open->setDefault(true);
    layout->addWidget(buttons);
    connect(open, &QPushButton::clicked, this, [this] { choose(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &wndOpenCabinet::OnCancel);
    connect(help, &QPushButton::clicked, this, &wndOpenCabinet::OnHelp);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { choose(); });
    tree_->fill(folders, isOpen);
    utlIniInfo* ini = GetUtlIniInfo();
    int width = ini->getInt(IniKey::OpenCabinetWidth);
    int height = ini->getInt(IniKey::OpenCabinetHeight);
    resize(width >= kSmallest ? width : 460, height >= kSmallest ? height : 380);
}

wndOpenCabinet::~wndOpenCabinet()
{
    utlIniInfo* ini = GetUtlIniInfo();
    ini->setInt(IniKey::OpenCabinetWidth, width());
    ini->setInt(IniKey::OpenCabinetHeight, height());
}

bool wndOpenCabinet::choose()
{
    std::string path = tree_->choosablePath();
    if (path.empty()) {
        return false;
    }
    chosenPath_ = path;
    chosen_ = true;
    OnOK();
    return true;
}

void wndOpenCabinet::OnCancel()
{
    chosen_ = false;
    dlgModelessDialog::OnCancel();
}
