#include "TreeViewItem/Browser/tviInternetExplorer.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Browser/tviIEFolder.h"
#include "TreeViewItem/Browser/tviIEItem.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredInternetExplorer = tviTreeViewItem::registerFactory(
    typeInternetExplorer, tviTreeViewItem::make<tviInternetExplorer>);

tviInternetExplorer::tviInternetExplorer(ctrlTreeView* tree)
    : tviBrowserCabinet(tree, tviSourceKind::favorites, "tviInternetExplorer")
{
    countCreated("tviInternetExplorer");
}

tviInternetExplorer::~tviInternetExplorer()
{
    countDestroyed("tviInternetExplorer");
}

std::string tviInternetExplorer::getText() const
{
    return utlTexts::sjis(utlText::favoritesName);
}

std::unique_ptr<tviBrowserFolder> tviInternetExplorer::newFolder()
{
    return std::make_unique<tviIEFolder>(tree());
}

std::unique_ptr<tviBrowserItem> tviInternetExplorer::newItem()
{
    return std::make_unique<tviIEItem>(tree());
}
