#include "TreeViewItem/Browser/tviNetscapeNavigator.h"

#include "Common/utlInstanceCounter.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Browser/tviNNFolder.h"
#include "TreeViewItem/Browser/tviNNItem.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredNetscapeNavigator =
    tviTreeViewItem::registerFactory(typeNetscapeNavigator, tviTreeViewItem::make<tviNetscapeNavigator>);

tviNetscapeNavigator::tviNetscapeNavigator(ctrlTreeView* tree) : tviBrowserCabinet(tree, tviSourceKind::bookmarks, "tviNetscapeNavigator")
{
    countCreated("tviNetscapeNavigator");
}

tviNetscapeNavigator::~tviNetscapeNavigator()
{
    countDestroyed("tviNetscapeNavigator");
}

// "Netscape Navigator ブックマーク"
std::string tviNetscapeNavigator::getText() const
{
    return "\x4e\x65\x74\x73\x63\x61\x70\x65\x20\x4e\x61\x76\x69\x67\x61\x74\x6f\x72\x20\x83\x75\x83\x62\x83\x4e\x83\x7d\x81\x5b\x83\x4e";
}

std::unique_ptr<tviBrowserFolder> tviNetscapeNavigator::newFolder()
{
    return std::make_unique<tviNNFolder>(tree());
}

std::unique_ptr<tviBrowserItem> tviNetscapeNavigator::newItem()
{
    return std::make_unique<tviNNItem>(tree());
}
