#include "Dialog/wndOpenCabinet.h"

#include "Common/utlIniInfo.h"
#include "Dialog/ctrlCabinetTree.h"
#include "QtBridge/guiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// "キャビネットを開く"
const char* const kTitle = "\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x82\xf0\x8a\x4a\x82\xad";
constexpr int kSmallest = 200; // a stored size below this is taken as none

} // namespace

wndOpenCabinet::wndOpenCabinet(const std::vector<std::string>& folders, std::function<bool(const std::string&)> isOpen,
                               QWidget* parent)
    : dlgModelessDialog(1101, kTitle, parent)
{
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(gui::toQt("\x83\x74\x83\x48\x83\x8b\x83\x5f\x82\xcc\x8f\xea\x8f\x8a\x28\x26\x50\x29")); // フォルダの場所(&P)
    tree_ = new ctrlCabinetTree;
    label->setBuddy(tree_);
    layout->addWidget(label);
    layout->addWidget(tree_, 1);
    auto* buttons = new QDialogButtonBox;
    QPushButton* open = buttons->addButton(gui::toQt("\x8a\x4a\x82\xad\x28\x26\x4f\x29"), QDialogButtonBox::AcceptRole); // 開く(&O)
    buttons->addButton(gui::toQt("\xb7\xac\xdd\xbe\xd9"), QDialogButtonBox::RejectRole); // ｷｬﾝｾﾙ
    QPushButton* help = buttons->addButton(gui::toQt("\x83\x77\x83\x8b\x83\x76\x28\x26\x48\x29"), QDialogButtonBox::HelpRole); // ヘルプ(&H)
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
