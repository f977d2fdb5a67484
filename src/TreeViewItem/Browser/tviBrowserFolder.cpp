#include "TreeViewItem/Browser/tviBrowserFolder.h"

#include "TreeViewItem/Base/ctrlTreeView.h"

int tviBrowserFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviBrowserFolder::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviBrowserFolder::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText() + "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42"); // のプロパティ
    }
    return true;
}
