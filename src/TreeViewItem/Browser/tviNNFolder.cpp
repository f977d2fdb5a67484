#include "TreeViewItem/Browser/tviNNFolder.h"

#include "Common/utlInstanceCounter.h"

tviNNFolder::tviNNFolder(ctrlTreeView* tree) : tviBrowserFolder(tree)
{
    countCreated("tviNNFolder");
}

tviNNFolder::~tviNNFolder()
{
    countDestroyed("tviNNFolder");
}
