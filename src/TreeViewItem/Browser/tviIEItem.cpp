#include "TreeViewItem/Browser/tviIEItem.h"

#include "Common/utlInstanceCounter.h"

tviIEItem::tviIEItem(ctrlTreeView* tree) : tviBrowserItem(tree)
{
    countCreated("tviIEItem");
}

tviIEItem::~tviIEItem()
{
    countDestroyed("tviIEItem");
}
