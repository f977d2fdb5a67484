#include "TreeViewItem/Cabinet/tviCabinetFolder.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Browser/tviBrowserFolder.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredCabinetFolder =
    tviTreeViewItem::registerFactory(typeCabinetFolder, tviTreeViewItem::make<tviCabinetFolder>);

tviCabinetFolder::tviCabinetFolder(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviCabinetFolder");
}

tviCabinetFolder::~tviCabinetFolder()
{
    countDestroyed("tviCabinetFolder");
}

int tviCabinetFolder::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageFolderOpen : imageFolderClosed;
}

bool tviCabinetFolder::setText(const std::string& text)
{
    if (readOnly_) {
        return false;
    }
    name_ = text;
    noteChanged();
    return true;
}

bool tviCabinetFolder::applyProperties(const tviDialogData& data)
{
    if (readOnly_) {
        return false;
    }
    name_ = data.name;
    description_ = data.description;
    setMarked(data.marked);
    noteChanged();
    return true;
}

bool tviCabinetFolder::copyFrom(const tviTreeViewItem& item)
{
    if (item.getType() == typeCabinetFolder) {
        const auto& other = static_cast<const tviCabinetFolder&>(item);
        setDates(other.addDate_, other.lastModified_);
    } else if (item.getType() == typeNNFolder || item.getType() == typeIEFolder) {
        const auto& other = static_cast<const tviBrowserFolder&>(item);
        setDates(other.getAddDate(), other.getLastModified());
    }
    switch (item.getType()) {
    case typeCabinetFolder:
    case typeInternetExplorer:
    case typeIEFolder:
    case typeNetscapeNavigator:
    case typeNNFolder:
        name_ = item.getText();
        description_ = item.getDescription();
        return true;
    default: return false;
    }
}

bool tviCabinetFolder::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

bool tviCabinetFolder::cmdCut(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::cut, query, enabled);
}

bool tviCabinetFolder::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviCabinetFolder::cmdPaste(bool query, bool* enabled)
{
    return pasteHere(query, enabled);
}

bool tviCabinetFolder::cmdDelete(bool query, bool* enabled)
{
    return deleteHere(query, enabled);
}

bool tviCabinetFolder::cmdMoveUp(bool query, bool* enabled)
{
    return moveStep(true, query, enabled);
}

bool tviCabinetFolder::cmdMoveDown(bool query, bool* enabled)
{
    return moveStep(false, query, enabled);
}

bool tviCabinetFolder::holdsNewEntries() const
{
    const tviCabinet* cab = cabinet();
    return cab != nullptr && !cab->isReadOnly() && !readOnly_;
}
