#include "TreeViewItemProperty/tviPropertySheet.h"

#include "Common/utlHelp.h"
#include "Common/utlLog.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "TreeViewItemProperty/tviPrefCabinet.h"
#include "TreeViewItemProperty/tviPrefFolder.h"
#include "TreeViewItemProperty/tviPrefItem.h"
#include "TreeViewItemProperty/tviPrefIECabinet.h"
#include "TreeViewItemProperty/tviPrefIEFolder.h"
#include "TreeViewItemProperty/tviPrefIEItem.h"
#include "TreeViewItemProperty/tviPrefNNCabinet.h"
#include "TreeViewItemProperty/tviPrefNNFolder.h"
#include "TreeViewItemProperty/tviPrefNNItem.h"
#include "TreeViewItemProperty/tviPrefPageSSCabinet.h"
#include "TreeViewItemProperty/tviPrefPageSSFolder.h"
#include "TreeViewItemProperty/tviPrefPageSSItem.h"
#include "TreeViewItemProperty/tviPrefRouteSSCabinet.h"
#include "TreeViewItemProperty/tviPrefRouteSSFolder.h"
#include "TreeViewItemProperty/tviPrefRouteSSItem.h"
#include "TreeViewItemProperty/tviPrefRouteSSSet.h"
#include "TreeViewItemProperty/tviPrefSubItem.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr const char* saveFailed =
    QT_TRANSLATE_NOOP("tviPropertySheet", "キャビネットの保存に失敗しました");

} // namespace

bool tviPropertySheet::hasPage(const tviTreeViewItem& item)
{
    int type = item.getType();
    return type >= typeSubItem && type <= typeFrameItem;
}

tviPrefPage* tviPropertySheet::createPage(const tviTreeViewItem& item)
{
    tviPrefPage* page = nullptr;
    switch (item.getType()) {
    case typeQuillaraCabinet:
    case typeCabinet: page = new tviPrefCabinet; break;
    case typeCabinetFolder: page = new tviPrefFolder; break;
    case typeCabinetItem: page = new tviPrefItem; break;
    case typeSubItem:
    case typeFrameItem: page = new tviPrefSubItem; break;
    case typeRouteSnapshot: page = new tviPrefRouteSSCabinet; break;
    case typeRSSFolder: page = new tviPrefRouteSSFolder; break;
    case typeRSSItemSet: page = new tviPrefRouteSSSet; break;
    case typeRSSItem: page = new tviPrefRouteSSItem; break;
    case typePageSnapshot: page = new tviPrefPageSSCabinet; break;
    case typePSSFolder: page = new tviPrefPageSSFolder; break;
    case typePSSItem: page = new tviPrefPageSSItem; break;
    case typeInternetExplorer: page = new tviPrefIECabinet; break;
    case typeIEFolder: page = new tviPrefIEFolder; break;
    case typeIEItem: page = new tviPrefIEItem; break;
    case typeNetscapeNavigator: page = new tviPrefNNCabinet; break;
    case typeNNFolder: page = new tviPrefNNFolder; break;
    case typeNNItem: page = new tviPrefNNItem; break;
    default: return nullptr;
    }
    page->initvalue(item);
    return page;
}

tviPropertySheet::tviPropertySheet(ctrlTreeView* tree, tviTreeViewItem* item, QWidget* parent)
    : QDialog(parent), tree_(tree), item_(item)
{
    setWindowTitle(gui::toQt(item->getText()) + tr("のプロパティ"));
    auto* tabs = new QTabWidget;
    page_ = createPage(*item);
    if (page_ != nullptr)
        tabs->addTab(page_, tr("全般"));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(tr("ヘルプ(&H)"), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (OnOK())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { OnHelp(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(440, 420);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { OnHelp(); });
}

tviPropertySheet::~tviPropertySheet() = default;

bool tviPropertySheet::OnOK()
{
    if (page_ == nullptr || !page_->isEditable() || item_->isReadOnly())
        return true;
    // The sheet may have stayed open while the item went (a deletion, a reload).
    if (!tree_->owns(item_) || item_->getHandle() == nullptr)
        return true;
    tviDialogData data;
    page_->collect(*item_, data);
    bool changed = data.name != item_->getText() || data.url != item_->getUrl() ||
                   data.description != item_->getDescription() ||
                   data.marked != item_->isMarked() || page_->autoDeleteChanged();
    if (!changed)
        return true;
    bool applied = item_->applyProperties(data);
    tviCabinet* cabinet = item_->cabinet();
    // Snapshots and footprints are written by the item itself; false means the write failed.
    if (cabinet == nullptr)
        return applied || saveFailedMessage(item_->getText());
    if (!applied || cabinet->isReadOnly())
        return true; // a read-only item keeps what it had
    if (!cabinet->save())
        return saveFailedMessage(cabinet->getPath());
    return true;
}

bool tviPropertySheet::saveFailedMessage(const std::string& what, std::source_location caller)
{
    logError(gui::fromQt(tr(saveFailed)) + " " + what, caller);
    QMessageBox::warning(this, QStringLiteral("Quillara"), tr(saveFailed));
    return false;
}

void tviPropertySheet::OnHelp()
{
    if (page_ != nullptr)
        GetUtlHelp()->showTopic(page_->helpTitle());
}
