#include "TreeViewItem/tviNetscapeNavigator.h"

#include "Common/utlInstanceCounter.h"
#include "TreeViewItem/ctrlTreeView.h"
#include "Common/utlLog.h"
#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/tviCabinetSource.h"
#include "TreeViewItem/tviNNFolder.h"
#include "TreeViewItem/tviNNItem.h"
#include "TreeViewItem/tviSourceTree.h"

tviNetscapeNavigator::tviNetscapeNavigator(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviNetscapeNavigator");
}

tviNetscapeNavigator::~tviNetscapeNavigator()
{
    countDestroyed("tviNetscapeNavigator");
}

// "Netscape Navigator ブックマーク"
std::string tviNetscapeNavigator::getText() const
{
    return "\x4e\x65\x74\x73\x63\x61\x70\x65\x20\x4e\x61\x76\x69\x67\x61\x74\x6f\x72\x20\x83\x75\x83\x62\x83\x4e\x83\x7d\x81\x5b\x83\x4e";
}

int tviNetscapeNavigator::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

bool tviNetscapeNavigator::cmdReExpand(bool query, bool* enabled)
{
    *enabled = getHandle() != nullptr;
    return query || !*enabled || load();
}

bool tviNetscapeNavigator::load()
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
    bool read = tviCabinetSource::kindOf(path_) == tviSourceKind::bookmarks &&
                tviCabinetSource::read(path_, doc, error, loadWarning_);
    if (!read) {
        loadError_ = error.empty() ? path_ + ": not readable as expected" : error;
        t->setOverlay(getHandle(), overlayError);
        return logError("tviNetscapeNavigator::load", path_ + ": " + loadError_);
    }
    if (!loadWarning_.empty()) {
        logError("tviNetscapeNavigator::load", path_ + ": " + loadWarning_);
    }
    cabinetName_ = doc.name;
    t->setOverlay(getHandle(), overlayNone);
    return buildSourceTree<tviNNFolder, tviNNItem>(*this, std::move(doc));
}

bool tviNetscapeNavigator::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText() + "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42"); // のプロパティ
    }
    return true;
}
