#include "TreeViewItem/tviIEItem.h"

#include "Common/utlInstanceCounter.h"

tviIEItem::tviIEItem(ctrlTreeView* tree) : tviURLItem(tree)
{
    countCreated("tviIEItem");
}

tviIEItem::~tviIEItem()
{
    countDestroyed("tviIEItem");
}

void tviIEItem::setUrl(const std::string& url)
{
    url_ = url;
    tree()->addressChanged(this);
}

int tviIEItem::getImage() const
{
    bool open = tree()->isExpanded(getHandle());
    if (getRequest() != nullptr) {
        return open ? imagePageOpenRequested : imagePageClosedRequested;
    }
    return open ? imagePageOpen : imagePageClosed;
}

int tviIEItem::getSelectedImage() const
{
    return getStatus() != 0 ? imagePageSelected : imagePageSelectedUnread;
}

bool tviIEItem::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviIEItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, name_ + "\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42"); // のプロパティ
    }
    return true;
}
