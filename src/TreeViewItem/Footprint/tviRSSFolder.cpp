#include "TreeViewItem/Footprint/tviRSSFolder.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

#include <memory>

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredRSSFolder =
    tviTreeViewItem::registerFactory(typeRSSFolder, tviTreeViewItem::make<tviRSSFolder>);

namespace {

// Writes the footprint cabinet of item after an edit; true when there is none to write.
bool saveRoute(const tviTreeViewItem* item)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(item);
    return route == nullptr || route->save();
}

} // namespace

tviRSSFolder::tviRSSFolder(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviRSSFolder");
}

tviRSSFolder::~tviRSSFolder()
{
    countDestroyed("tviRSSFolder");
}

int tviRSSFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviRSSFolder::isReadOnly() const
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route == nullptr || route->isReadOnly();
}

bool tviRSSFolder::setText(const std::string& text)
{
    if (isReadOnly()) {
        return false;
    }
    name_ = text;
    return saveRoute(this);
}

bool tviRSSFolder::applyProperties(const tviDialogData& data)
{
    if (isReadOnly()) {
        return false;
    }
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    return saveRoute(this);
}

bool tviRSSFolder::copyFrom(const tviTreeViewItem& item)
{
    if (item.getType() != typeRSSFolder) {
        return false;
    }
    name_ = item.getText();
    description_ = item.getDescription();
    return true;
}

bool tviRSSFolder::cmdNewFolder(bool query, bool* enabled)
{
    *enabled = !isReadOnly();
    if (*enabled && !query) {
        tree()->openDialog(tviDialog::newFolder, this, utlTexts::sjis(utlText::newFolderName));
    }
    return true;
}

bool tviRSSFolder::cmdNewFolderConfirmed(bool query, bool* enabled)
{
    *enabled = !isReadOnly();
    if (!*enabled || query || !tree()->dialogData.confirmed) {
        return true;
    }
    return addFromDialog(tree(), getHandle()) && saveRoute(this);
}

bool tviRSSFolder::addFromDialog(ctrlTreeView* tree, TreeNode parent)
{
    const tviDialogData& data = tree->dialogData;
    auto* folder = static_cast<tviRSSFolder*>(tree->adopt(std::make_unique<tviRSSFolder>(tree)));
    folder->setName(data.name);
    folder->setDescription(data.description);
    folder->setMarked(data.marked);
    if (!folder->insertItem(parent, kTreeLast)) {
        tree->destroyItem(folder);
        return false;
    }
    tree->expand(parent, true);
    tree->selectNode(folder->getHandle());
    return true;
}

bool tviRSSFolder::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

// Cut, copy, paste and moves are the cabinet's.
bool tviRSSFolder::cmdCut(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->clipEntry(this, tviClipMode::cut, query, enabled);
}

bool tviRSSFolder::cmdCopy(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->clipEntry(this, tviClipMode::copy, query, enabled);
}

bool tviRSSFolder::cmdPaste(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->pasteOnto(this, query, enabled);
}

bool tviRSSFolder::cmdMoveUp(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->stepEntry(this, true, query, enabled);
}

bool tviRSSFolder::cmdMoveDown(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->stepEntry(this, false, query, enabled);
}

bool tviRSSFolder::cmdDelete(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    bool ok = deleteHere(query, enabled);
    return ok && (query || !*enabled || route == nullptr || route->save());
}

bool tviRSSFolder::onUndoDelete()
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route == nullptr || route->isReadOnly() || route->save();
}

bool tviRSSFolder::cmdMark(bool query, bool* enabled)
{
    bool ok = tviTreeViewItem::cmdMark(query, enabled);
    return ok && (query || isReadOnly() || saveRoute(this));
}
