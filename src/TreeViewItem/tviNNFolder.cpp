#include "TreeViewItem/tviNNFolder.h"

#include "Common/utlInstanceCounter.h"
#include "TreeViewItem/ctrlTreeView.h"

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

bool tviNNFolder::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText() + "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42"); // のプロパティ
    }
    return true;
}
