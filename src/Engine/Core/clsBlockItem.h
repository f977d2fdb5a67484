#pragma once

#include "Engine/Core/clsQuillaraItem.h"

#include <atomic>

// A node that keeps the blocks of a read and analyses nothing: the title stays empty and no
// links are found. It reads local files itself and asks for the network otherwise; its
// analysis is complete once the transfer has ended. Used where no page analysis is wanted.
class clsBlockItem : public clsQuillaraItem {
public:
    clsBlockItem();
    ~clsBlockItem() override;

    bool read(bool& needsNetwork, bool reload) override;
    bool analyze(bool& complete) override;
    int getCodeKind() const override;
    bool setCodeKind(int kind) override;

private:
    std::atomic<int> codeKind{0};
};
