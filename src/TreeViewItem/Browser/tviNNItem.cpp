#include "TreeViewItem/Browser/tviNNItem.h"

#include "Common/utlInstanceCounter.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredNNItem =
    tviTreeViewItem::registerFactory(typeNNItem, tviTreeViewItem::make<tviNNItem>);

tviNNItem::tviNNItem(ctrlTreeView* tree) : tviBrowserItem(tree)
{
    countCreated("tviNNItem");
}

tviNNItem::~tviNNItem()
{
    countDestroyed("tviNNItem");
}
