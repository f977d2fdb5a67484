#pragma once

#include <functional>
#include <string>
#include <string_view>

// Rewrites a page or a style sheet of a snapshot so that it opens from disk: what the page
// needs to be shown (frames, images, style sheets, backgrounds, icons, fonts) is pointed at
// local names, every other reference at its absolute address. Works on the bytes of a page in
// Shift_JIS or UTF-8: every byte it looks for is ASCII, which neither code uses inside a
// double-byte character. Takes any bytes; a tag or comment cut off at the end is copied as it is.
class clsSnapshotRewriter {
public:
    enum RefKind {
        refPage,       // a frame: fetched, rewritten, saved
        refResource,   // an image, background, icon, font: fetched and saved as it is
        refStyleSheet, // a style sheet: fetched, its url() and @import rewritten, saved
    };

    // Gives the local name for an absolute address (without fragment), or empty to keep the
    // absolute address (not fetched: another scheme, the entry limit).
    using NameFor = std::function<std::string(const std::string& absolute, RefKind kind)>;

    // charset: written into the page's declared charset (META). The base is the page's own
    // address unless a BASE element with a non-empty href comes first; the element is left out.
    static std::string rewritePage(std::string_view page, const std::string& pageUrl, const std::string& charset,
                                   const NameFor& nameFor);
    static std::string rewriteStyleSheet(std::string_view css, const std::string& sheetUrl, const NameFor& nameFor);

    // The local (fetch set) or absolute form of one reference, given without entities.
    // False, out untouched, for what stays as written: empty values, fragments and opaque
    // schemes (data:, javascript:, mailto:).
    static bool rewriteReference(const std::string& value, const std::string& base, RefKind kind, bool fetch,
                                 const NameFor& nameFor, std::string& out);
    // A srcset list: every candidate's address rewritten, descriptors kept.
    static std::string rewriteSrcset(const std::string& raw, const std::string& base, const NameFor& nameFor);
};
