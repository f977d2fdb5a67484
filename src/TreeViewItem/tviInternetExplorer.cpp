#include "TreeViewItem/tviInternetExplorer.h"

#include "Common/utlInstanceCounter.h"
#include "TreeViewItem/ctrlTreeView.h"
#include "Common/utlLog.h"
#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/tviCabinetSource.h"
#include "TreeViewItem/tviIEFolder.h"
#include "TreeViewItem/tviIEItem.h"
#include "TreeViewItem/tviSourceTree.h"

tviInternetExplorer::tviInternetExplorer(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviInternetExplorer");
}

tviInternetExplorer::~tviInternetExplorer()
{
    countDestroyed("tviInternetExplorer");
}

// "Internet Explorer お気に入り"
std::string tviInternetExplorer::getText() const
{
    return "\x49\x6e\x74\x65\x72\x6e\x65\x74\x20\x45\x78\x70\x6c\x6f\x72\x65\x72\x20\x82\xa8\x8b\x43\x82\xc9\x93\xfc\x82\xe8";
}

int tviInternetExplorer::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

bool tviInternetExplorer::cmdReExpand(bool query, bool* enabled)
{
    *enabled = getHandle() != nullptr;
    return query || !*enabled || load();
}

bool tviInternetExplorer::load()
{
    ctrlTreeView* t = tree();
    clearSubItems();
    while (TreeNode child = t->getFirstChild(getHandle())) {
        tviTreeViewItem* item = t->getItem(child);
        item->deleteSubtree();
        t->destroyItem(item);
    }
    loadError_.clear();
    loadWarning_.clear();
    tviCabinetDocument doc;
    std::string error;
    bool read = tviCabinetSource::kindOf(path_) == tviSourceKind::favorites &&
                tviCabinetSource::read(path_, doc, error, loadWarning_);
    if (!read) {
        loadError_ = error.empty() ? path_ + ": not readable as expected" : error;
        t->setOverlay(getHandle(), overlayError);
        return logError("tviInternetExplorer::load", path_ + ": " + loadError_);
    }
    if (!loadWarning_.empty()) {
        logError("tviInternetExplorer::load", path_ + ": " + loadWarning_);
    }
    cabinetName_ = doc.name;
    t->setOverlay(getHandle(), overlayNone);
    return buildSourceTree<tviIEFolder, tviIEItem>(*this, std::move(doc));
}

bool tviInternetExplorer::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText() + "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42"); // のプロパティ
    }
    return true;
}
