#include "TreeViewItem/Footprint/tviRSSItemSet.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredRSSItemSet =
    tviTreeViewItem::registerFactory(typeRSSItemSet, tviTreeViewItem::make<tviRSSItemSet>);

tviRSSItemSet::tviRSSItemSet(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviRSSItemSet");
}

tviRSSItemSet::~tviRSSItemSet()
{
    countDestroyed("tviRSSItemSet");
}

int tviRSSItemSet::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviRSSItemSet::isReadOnly() const
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route == nullptr || route->isReadOnly();
}

// A footprint whose creation date is unknown (empty or unreadable in the file) never expires
// and never changes colour: its age cannot be told.
bool tviRSSItemSet::isExpired(std::time_t now, int deleteDays) const
{
    return autoDelete_ && created_ > 0 &&
           now > created_ + static_cast<std::time_t>(deleteDays) * secondsPerDay;
}

bool tviRSSItemSet::isAged(std::time_t now, int colourDays) const
{
    return created_ > 0 && now > created_ + static_cast<std::time_t>(colourDays) * secondsPerDay;
}

bool tviRSSItemSet::isSpecial() const
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route != nullptr && route->colourOn() && isAged(route->now(), route->getColorDay());
}

bool tviRSSItemSet::setText(const std::string& text)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    if (isReadOnly()) {
        return false;
    }
    name_ = text;
    return route->save();
}

bool tviRSSItemSet::applyProperties(const tviDialogData& data)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    if (isReadOnly()) {
        return false;
    }
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    autoDelete_ = data.autoDelete;
    return route->save();
}

bool tviRSSItemSet::copyFrom(const tviTreeViewItem& item)
{
    if (item.getType() != typeRSSItemSet) {
        return false;
    }
    const auto& other = static_cast<const tviRSSItemSet&>(item);
    name_ = other.name_;
    description_ = other.description_;
    created_ = other.created_;
    autoDelete_ = other.autoDelete_;
    deleteDay_ = other.deleteDay_;
    colorDay_ = other.colorDay_;
    return true;
}

bool tviRSSItemSet::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

// Cut, copy, paste and moves are the cabinet's.
bool tviRSSItemSet::cmdCut(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->clipEntry(this, tviClipMode::cut, query, enabled);
}

bool tviRSSItemSet::cmdCopy(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->clipEntry(this, tviClipMode::copy, query, enabled);
}

bool tviRSSItemSet::cmdPaste(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->pasteOnto(this, query, enabled);
}

bool tviRSSItemSet::cmdMoveUp(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->stepEntry(this, true, query, enabled);
}

bool tviRSSItemSet::cmdMoveDown(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    *enabled = false;
    return route == nullptr || route->stepEntry(this, false, query, enabled);
}

bool tviRSSItemSet::cmdDelete(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    bool ok = deleteHere(query, enabled);
    return ok && (query || !*enabled || route == nullptr || route->save());
}

bool tviRSSItemSet::onUndoDelete()
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route == nullptr || route->isReadOnly() || route->save();
}

bool tviRSSItemSet::cmdMark(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    bool ok = tviTreeViewItem::cmdMark(query, enabled);
    return ok && (query || route == nullptr || route->isReadOnly() || route->save());
}
