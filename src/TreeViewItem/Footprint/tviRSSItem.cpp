#include "TreeViewItem/Footprint/tviRSSItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredRSSItem =
    tviTreeViewItem::registerFactory(typeRSSItem, tviTreeViewItem::make<tviRSSItem>);

tviRSSItem::tviRSSItem(ctrlTreeView* tree) : tviURLItem(tree)
{
    countCreated("tviRSSItem");
}

tviRSSItem::~tviRSSItem()
{
    countDestroyed("tviRSSItem");
}

void tviRSSItem::setUrl(const std::string& url)
{
    url_ = url;
    protocol_ = tviCabinetItem::protocolOf(url);
    tree()->addressChanged(this);
}

int tviRSSItem::getImage() const
{
    bool open = tree()->isExpanded(getHandle());
    if (getRequest() != nullptr) {
        return open ? imagePageOpenRequested : imagePageClosedRequested;
    }
    return open ? imagePageOpen : imagePageClosed;
}

int tviRSSItem::getSelectedImage() const
{
    return getStatus() != clsRequestStatus::registered ? imagePageSelected
                                                       : imagePageSelectedUnread;
}

bool tviRSSItem::isReadOnly() const
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    return route == nullptr || route->isReadOnly();
}

bool tviRSSItem::applyProperties(const tviDialogData& data)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    if (isReadOnly()) {
        return false;
    }
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    return route->save();
}

bool tviRSSItem::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviRSSItem::cmdMark(bool query, bool* enabled)
{
    tviRouteSnapshot* route = tviRouteSnapshot::of(this);
    bool ok = tviTreeViewItem::cmdMark(query, enabled);
    return ok && (query || route == nullptr || route->isReadOnly() || route->save());
}

bool tviRSSItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}
