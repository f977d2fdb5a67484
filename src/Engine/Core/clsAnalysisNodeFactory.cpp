// The one place that decides which node class analyses a read.
#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Core/clsQuillaraItem.h"

#include <cassert>

clsQuillaraItem* createAnalysisNode(int linkKind)
{
    assert(linkKind == 0 || linkKind == 4 || linkKind == 8 || linkKind == 11 || linkKind == 14 ||
           linkKind == 17 || linkKind == 18);
    (void)linkKind;
    return new clsHtmlItem();
}
