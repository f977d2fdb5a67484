#pragma once

#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <cstddef>
#include <string>
#include <string_view>

// What a read of a bookmark file met on its way, for the caller to report.
struct tviBookmarkStats {
    int codeKind = 2; // the file's code: 2 Shift_JIS, 3 ISO-2022-JP, 4 EUC-JP, 5 UTF-8
    size_t replaced =
        0; // characters Shift_JIS cannot hold (kept as "&#N;") or bytes that were no UTF-8
    size_t withoutHref = 0;     // anchors without an address, left out
    size_t surplusListEnds = 0; // "</DL>" without an open list, ignored
    size_t unclosedLists = 0;   // lists still open at the end of the file, closed there
    size_t flattened = 0;       // lists nested deeper than maxDepth, read into the deepest folder
    bool truncated = false;     // a tag or comment without its end stopped the read
};

// The reader of Netscape bookmark files, as Netscape Navigator wrote them in Shift_JIS and as
// Firefox and Chrome export them today in UTF-8: nested "<DL>" lists of "<DT><H3>" headings
// (folders) and "<DT><A HREF>" anchors (items), "<DD>" descriptions. The result is a cabinet
// document: folders (type 3) and items (type 4) in document order, each naming its parent by
// index, so nothing recurses however deep the lists go. A file that is read is never written;
// write makes a new one from a cabinet, in the form the browsers export and import.
class tviBookmarkFile {
public:
    // The attribute that keeps a folder's or an item's mark; browsers ignore it.
    static constexpr std::string_view markAttribute = "QUILLARA_MARK";
    // Lists nested deeper than this are read into the deepest folder (a cabinet holds no more).
    static constexpr int maxDepth = tviCabinetFile::maxDepth - 1;
    // The first "<DL" must come within this many bytes, every byte before it a text byte.
    static constexpr size_t headLimit = 1024;

    // True when bytes begin like a bookmark file: the check above.
    static bool isBookmarkFile(std::string_view bytes);
    // Reads bytes into doc (title as name). False with a reason when it is no bookmark file
    // (binary, no list within headLimit bytes, no title); doc is then empty. A file cut short
    // gives what was read up to the cut (stats->truncated) and true.
    [[nodiscard]] static bool read(std::string_view bytes, tviCabinetDocument& doc,
                                   std::string& error, tviBookmarkStats* stats = nullptr);
    // The code the file is written in (2 to 5, as above): a byte-order mark or a declared
    // charset decides, else UTF-8 when the bytes are UTF-8 with a character above ASCII.
    static int codeOf(std::string_view bytes);
    // The document as a bookmark file in UTF-8, as Firefox writes one: the title as TITLE and
    // H1, every folder ("<DT><H3>") and item ("<DT><A HREF>") in order, descriptions as "<DD>"
    // (lines joined by "<BR>"), keywords as TAGS, ADD_DATE and LAST_MODIFIED where known, marks
    // in markAttribute. Characters that Shift_JIS lacks are written as themselves.
    static std::string write(const tviCabinetDocument& doc);
};
