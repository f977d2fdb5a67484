#include "TreeViewItem/Browser/tviBrowserCabinet.h"

#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Browser/tviBrowserFolder.h"
#include "TreeViewItem/Browser/tviBrowserItem.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Base/tviEntryPlacer.h"

#include <vector>

tviBrowserCabinet::tviBrowserCabinet(ctrlTreeView* tree, tviSourceKind kind, const char* className)
    : tviTreeViewItem(tree), kind_(kind), className_(className)
{
}

tviBrowserCabinet::~tviBrowserCabinet() = default;

int tviBrowserCabinet::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageCabinetOpen : imageCabinetClosed;
}

bool tviBrowserCabinet::cmdReExpand(bool query, bool* enabled)
{
    *enabled = getHandle() != nullptr;
    return query || !*enabled || load();
}

bool tviBrowserCabinet::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           getText() + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

bool tviBrowserCabinet::load()
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
    std::string where = std::string(className_) + "::load";
    bool read = tviCabinetSource::kindOf(path_) == kind_ &&
                tviCabinetSource::read(path_, doc, error, loadWarning_);
    if (!read) {
        loadError_ = error.empty() ? path_ + ": not readable as expected" : error;
        t->setOverlay(getHandle(), overlayError);
        return logErrorAs(where, path_ + ": " + loadError_);
    }
    if (!loadWarning_.empty()) {
        logErrorAs(where, path_ + ": " + loadWarning_);
    }
    cabinetName_ = doc.name;
    t->setOverlay(getHandle(), overlayNone);
    return build(std::move(doc));
}

// Entries name their parents by index, so this never recurses. False when a node could not be
// made; what was made stays.
bool tviBrowserCabinet::build(tviCabinetDocument&& doc)
{
    ctrlTreeView* t = tree();
    t->reserveItems(doc.entries.size());
    tviEntryPlacer placer(t, getHandle());
    placer.addAll(doc.entries, [&](tviCabinetEntry& e) -> std::unique_ptr<tviTreeViewItem> {
        if (e.type == typeCabinetFolder) {
            std::unique_ptr<tviBrowserFolder> folder = newFolder();
            folder->setName(std::move(e.name));
            folder->setDescription(std::move(e.description));
            folder->setDates(e.addDate, e.lastModified);
            return folder;
        }
        std::unique_ptr<tviBrowserItem> entry = newItem();
        entry->setName(std::move(e.name));
        entry->setUrl(e.url);
        entry->setKeywords(std::move(e.keyword));
        entry->setDescription(std::move(e.description));
        entry->setDates(e.addDate, e.lastModified);
        return entry;
    });
    return placer.ok();
}
