#include "TreeViewItem/Browser/tviNNItem.h"

#include "Common/utlInstanceCounter.h"

tviNNItem::tviNNItem(ctrlTreeView* tree) : tviBrowserItem(tree)
{
    countCreated("tviNNItem");
}

tviNNItem::~tviNNItem()
{
    countDestroyed("tviNNItem");
}
