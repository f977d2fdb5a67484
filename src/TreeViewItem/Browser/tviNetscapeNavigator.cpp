#include "TreeViewItem/Browser/tviNetscapeNavigator.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Browser/tviNNFolder.h"
#include "TreeViewItem/Browser/tviNNItem.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredNetscapeNavigator = tviTreeViewItem::registerFactory(
    typeNetscapeNavigator, tviTreeViewItem::make<tviNetscapeNavigator>);

tviNetscapeNavigator::tviNetscapeNavigator(ctrlTreeView* tree)
    : tviBrowserCabinet(tree, tviSourceKind::bookmarks, "tviNetscapeNavigator")
{
    countCreated("tviNetscapeNavigator");
}

tviNetscapeNavigator::~tviNetscapeNavigator()
{
    countDestroyed("tviNetscapeNavigator");
}

std::string tviNetscapeNavigator::getText() const
{
    return utlTexts::sjis(utlText::bookmarksName);
}

std::unique_ptr<tviBrowserFolder> tviNetscapeNavigator::newFolder()
{
    return std::make_unique<tviNNFolder>(tree());
}

std::unique_ptr<tviBrowserItem> tviNetscapeNavigator::newItem()
{
    return std::make_unique<tviNNItem>(tree());
}
