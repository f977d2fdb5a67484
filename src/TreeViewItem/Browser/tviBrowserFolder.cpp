#include "TreeViewItem/Browser/tviBrowserFolder.h"

#include "Common/utlTexts.h"
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
        tree()->openDialog(tviDialog::properties, this,
                           getText() + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}
