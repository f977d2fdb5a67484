#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredQuillaraCabinet = tviTreeViewItem::registerFactory(
    typeQuillaraCabinet, tviTreeViewItem::make<tviQuillaraCabinet>);

tviQuillaraCabinet::tviQuillaraCabinet(ctrlTreeView* tree) : tviCabinet(tree)
{
    readOnly_ = false;
    countCreated("tviQuillaraCabinet");
}

tviQuillaraCabinet::~tviQuillaraCabinet()
{
    countDestroyed("tviQuillaraCabinet");
}

std::string tviQuillaraCabinet::getName() const
{
    return utlTexts::sjis(utlText::quillaraCabinetName);
}

std::string tviQuillaraCabinet::getDescription() const
{
    return utlTexts::sjis(utlText::quillaraCabinetDescription);
}

int tviQuillaraCabinet::getImage() const
{
    return tree()->isExpanded(getHandle()) ? imageQuillaraCabinetOpen : imageQuillaraCabinetClosed;
}

bool tviQuillaraCabinet::cmdDelete(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviQuillaraCabinet::cmdMoveUp(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviQuillaraCabinet::cmdMoveDown(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

bool tviQuillaraCabinet::cmdCut(bool, bool* enabled)
{
    *enabled = false;
    return true;
}

tviQuillaraCabinet* tviQuillaraCabinet::openDefault(ctrlTreeView* tree, const std::string& dataDir)
{
    auto owned = std::make_unique<tviQuillaraCabinet>(tree);
    owned->setPath(dataDir + "Quillara.scb");
    if (owned->getFileState() == 0) {
        owned->setName(owned->getName());
        // A failure is logged; the cabinet opens empty and its first save writes the file.
        (void)owned->createFile();
    }
    auto* cabinet = static_cast<tviQuillaraCabinet*>(tree->adopt(std::move(owned)));
    if (!cabinet->insertItem(kTreeRoot, kTreeFirst)) {
        tree->destroyItem(cabinet);
        return nullptr;
    }
    cabinet->load();
    return cabinet;
}
