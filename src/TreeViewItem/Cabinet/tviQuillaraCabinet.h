#pragma once

#include "TreeViewItem/Cabinet/tviCabinet.h"

// The user's default cabinet, Quillara.scb in the data directory: always there, always first,
// never deleted.
class tviQuillaraCabinet : public tviCabinet {
public:
    explicit tviQuillaraCabinet(ctrlTreeView* tree);
    ~tviQuillaraCabinet() override;

    int getType() const override { return typeQuillaraCabinet; }
    std::string getName() const override;
    std::string getText() const override { return getName(); }
    std::string getDescription() const override;
    int getImage() const override;
    int getSelectedImage() const override { return imageQuillaraCabinetOpen; }
    bool cmdDelete(bool query, bool* enabled) override;
    bool cmdMoveUp(bool query, bool* enabled) override;
    bool cmdMoveDown(bool query, bool* enabled) override;
    bool cmdCut(bool query, bool* enabled) override;

    // Opens (creating when missing) the default cabinet in dataDir at the root, first.
    static tviQuillaraCabinet* openDefault(ctrlTreeView* tree, const std::string& dataDir);
};
