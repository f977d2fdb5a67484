#include "TreeViewItem/Cabinet/tviQuillaraCabinet.h"

#include "Common/utlInstanceCounter.h"

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredQuillaraCabinet =
    tviTreeViewItem::registerFactory(typeQuillaraCabinet, tviTreeViewItem::make<tviQuillaraCabinet>);

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
    return "\x51\x75\x69\x6c\x6c\x61\x72\x61\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67"; // Quillaraキャビネット
}

std::string tviQuillaraCabinet::getDescription() const
{
    return "\x83\x86\x81\x5b\x83\x55\x81\x5b\x82\xaa\x8e\xa9\x97\x52\x82\xc9\x8e\x67\x82\xa6\x82\xdc\x82\xb7\x81\x42" // ユーザーが自由に使えます。
           "\r\n"
           "\x83\x4c\x83\x83\x83\x72\x83\x6c\x83\x62\x83\x67\x8e\xa9\x91\xcc\x82\xcd\x8d\xed\x8f\x9c\x8f\x6f\x97\x88\x82\xdc\x82\xb9\x82\xf1\x81\x42"; // キャビネット自体は削除出来ません。
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
        owned->createFile();
    }
    auto* cabinet = static_cast<tviQuillaraCabinet*>(tree->adopt(std::move(owned)));
    if (!cabinet->insertItem(kTreeRoot, kTreeFirst)) {
        tree->destroyItem(cabinet);
        return nullptr;
    }
    cabinet->load();
    return cabinet;
}
