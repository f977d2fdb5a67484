#include "TreeViewItem/Browser/tviIEFolder.h"

#include "Common/utlInstanceCounter.h"

tviIEFolder::tviIEFolder(ctrlTreeView* tree) : tviBrowserFolder(tree)
{
    countCreated("tviIEFolder");
}

tviIEFolder::~tviIEFolder()
{
    countDestroyed("tviIEFolder");
}
