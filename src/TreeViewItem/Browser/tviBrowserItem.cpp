#include "TreeViewItem/Browser/tviBrowserItem.h"

#include "Common/utlTexts.h"
#include "TreeViewItem/Base/ctrlTreeView.h"

void tviBrowserItem::setUrl(const std::string& url)
{
    url_ = url;
    tree()->addressChanged(this);
}

int tviBrowserItem::getImage() const
{
    bool open = tree()->isExpanded(getHandle());
    if (getRequest() != nullptr) {
        return open ? imagePageOpenRequested : imagePageClosedRequested;
    }
    return open ? imagePageOpen : imagePageClosed;
}

int tviBrowserItem::getSelectedImage() const
{
    return getStatus() != clsRequestStatus::registered ? imagePageSelected
                                                       : imagePageSelectedUnread;
}

bool tviBrowserItem::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviBrowserItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}
