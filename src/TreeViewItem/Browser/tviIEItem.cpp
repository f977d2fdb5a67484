#include "TreeViewItem/Browser/tviIEItem.h"

#include "Common/utlInstanceCounter.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredIEItem =
    tviTreeViewItem::registerFactory(typeIEItem, tviTreeViewItem::make<tviIEItem>);

tviIEItem::tviIEItem(ctrlTreeView* tree) : tviBrowserItem(tree)
{
    countCreated("tviIEItem");
}

tviIEItem::~tviIEItem()
{
    countDestroyed("tviIEItem");
}
