#include "TreeViewItem/Browser/tviInternetExplorer.h"

#include "Common/utlInstanceCounter.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Browser/tviIEFolder.h"
#include "TreeViewItem/Browser/tviIEItem.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredInternetExplorer =
    tviTreeViewItem::registerFactory(typeInternetExplorer, tviTreeViewItem::make<tviInternetExplorer>);

tviInternetExplorer::tviInternetExplorer(ctrlTreeView* tree) : tviBrowserCabinet(tree, tviSourceKind::favorites, "tviInternetExplorer")
{
    countCreated("tviInternetExplorer");
}

tviInternetExplorer::~tviInternetExplorer()
{
    countDestroyed("tviInternetExplorer");
}

// "Internet Explorer お気に入り"
std::string tviInternetExplorer::getText() const
{
    return "\x49\x6e\x74\x65\x72\x6e\x65\x74\x20\x45\x78\x70\x6c\x6f\x72\x65\x72\x20\x82\xa8\x8b\x43\x82\xc9\x93\xfc\x82\xe8";
}

std::unique_ptr<tviBrowserFolder> tviInternetExplorer::newFolder()
{
    return std::make_unique<tviIEFolder>(tree());
}

std::unique_ptr<tviBrowserItem> tviInternetExplorer::newItem()
{
    return std::make_unique<tviIEItem>(tree());
}
