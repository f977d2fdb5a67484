#include "TreeViewItem/Browser/tviNNFolder.h"

#include "Common/utlInstanceCounter.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredNNFolder =
    tviTreeViewItem::registerFactory(typeNNFolder, tviTreeViewItem::make<tviNNFolder>);

tviNNFolder::tviNNFolder(ctrlTreeView* tree) : tviBrowserFolder(tree)
{
    countCreated("tviNNFolder");
}

tviNNFolder::~tviNNFolder()
{
    countDestroyed("tviNNFolder");
}
