#include "TreeViewItem/tviIEFolder.h"

#include "Common/utlInstanceCounter.h"

tviIEFolder::tviIEFolder(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviIEFolder");
}

tviIEFolder::~tviIEFolder()
{
    countDestroyed("tviIEFolder");
}

int tviIEFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviIEFolder::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}
