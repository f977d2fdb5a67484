#include "TreeViewItem/Browser/tviIEFolder.h"

#include "Common/utlInstanceCounter.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredIEFolder =
    tviTreeViewItem::registerFactory(typeIEFolder, tviTreeViewItem::make<tviIEFolder>);

tviIEFolder::tviIEFolder(ctrlTreeView* tree) : tviBrowserFolder(tree)
{
    countCreated("tviIEFolder");
}

tviIEFolder::~tviIEFolder()
{
    countDestroyed("tviIEFolder");
}
