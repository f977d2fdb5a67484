#pragma once

#include "TreeViewItem/Cabinet/tviCabinet.h"

#include <string>

struct tviCabinetDocument;

// What a path names for the cabinet commands.
enum class tviSourceKind { cabinet, bookmarks, favorites };

// A cabinet opened from any source the program reads: a .scb file (loaded as tviCabinet
// loads it), a Netscape bookmark file or a Favorites directory (read into the tree and held
// read-only, since neither is ever written).
class tviCabinetSource : public tviCabinet {
public:
    explicit tviCabinetSource(ctrlTreeView* tree);
    ~tviCabinetSource() override;

    // A directory is a Favorites folder; a file whose first bytes are those of a bookmark
    // file and that carries no cabinet marker is a bookmark file; anything else a cabinet.
    static tviSourceKind kindOf(const std::string& path);
    // Reads any source into doc. False (error says why) when nothing could be read; true
    // with a note in warning when only a part could be (a cut file, skipped entries).
    [[nodiscard]] static bool read(const std::string& path, tviCabinetDocument& doc,
                                   std::string& error, std::string& warning);

    // Fills the tree below this cabinet from its path. A source that is not a .scb leaves
    // the cabinet read-only with an empty load error, or unreadable when it could not be read.
    bool loadSource();
};
