#include "Engine/Core/clsBlockItem.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Http/clsUrlInformation.h"

clsBlockItem::clsBlockItem()
{
    countCreated("clsBlockItem");
}

clsBlockItem::~clsBlockItem()
{
    countDestroyed("clsBlockItem");
}

bool clsBlockItem::read(bool& needsNetwork, bool reload)
{
    (void)reload;
    clsUrlInformation* info = getOwner();
    int kind = info == nullptr ? addressNotParsed : info->getAddressKind();
    if (kind == addressLocalFile || kind == addressRemoteFile) {
        needsNetwork = false;
        return readLocalFile();
    }
    if (kind == addressNetwork)
        needsNetwork = true;
    return true;
}

bool clsBlockItem::analyze(bool& complete)
{
    int count = static_cast<int>(getBlockCount());
    complete = isTransferEnded();
    setAnalysedCount(complete ? -1 : count);
    return true;
}

int clsBlockItem::getCodeKind() const
{
    return codeKind;
}

bool clsBlockItem::setCodeKind(int kind)
{
    codeKind = kind;
    return true;
}
