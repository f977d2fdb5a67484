#include "TreeViewItem/tviNNFolder.h"

#include "Common/utlInstanceCounter.h"

tviNNFolder::tviNNFolder(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviNNFolder");
}

tviNNFolder::~tviNNFolder()
{
    countDestroyed("tviNNFolder");
}

int tviNNFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviNNFolder::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}
