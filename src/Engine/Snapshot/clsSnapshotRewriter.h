#pragma once

#include <functional>
#include <string>
#include <string_view>

// Rewrites a page or a style sheet of a snapshot so that it opens from disk and tells no server
// that it was opened. Everything a browser loads by itself (frames, images, media, style
// sheets, fonts, icons, backgrounds, refreshes) is pointed at a saved local file or removed:
// a removed attribute NAME becomes data-quillara-NAME holding the absolute address, for the
// reader; a removed url() in a style sheet becomes url(data:,). Links the user follows (a, area,
// form actions) become absolute addresses. Scripts are removed unless they are kept, and a
// Content-Security-Policy meta that allows nothing but the snapshot's own files guards the rest.
//
// Works on the bytes of a page in Shift_JIS or UTF-8: the markup bytes it looks for are all
// below 0x40, which neither code uses inside a double-byte character; style sheets in
// Shift_JIS are stepped through a character at a time. Takes any bytes; a tag or comment cut
// off at the end is copied as it is (a browser shows nothing for it).
class clsSnapshotRewriter {
public:
    enum RefKind {
        refPage,       // a frame: fetched, rewritten, saved
        refResource,   // an image, medium, background, icon, font, kept script: saved as it is
        refStyleSheet, // a style sheet: fetched, its url() and @import rewritten, saved
    };

    enum ScriptPolicy {
        scriptsRemoved, // script elements, on... attributes and javascript: addresses go
        scriptsKept,    // they stay; external script files are saved like images
    };

    enum Outcome {
        keptAsWritten, // empty, a fragment, or a scheme that loads nothing (data:, about:)
        madeLocal,     // out: the local name (with the fragment)
        madeAbsolute,  // out: the absolute address (a link the user follows)
        removed,       // out: the absolute address, for the reader
        scriptDropped, // a javascript: address while scripts are removed
    };

    // Gives the local name for an absolute address (without fragment), or empty when it is not
    // (or not yet) saved: the reference is then removed.
    using NameFor = std::function<std::string(const std::string& absolute, RefKind kind)>;

    // charset: written into the page's declared charset (META), and added when the page has a
    // head and declares none. The base is the page's own address unless a BASE element with a
    // non-empty href comes first; every such element is left out.
    static std::string rewritePage(std::string_view page, const std::string& pageUrl,
                                   const std::string& charset, const NameFor& nameFor,
                                   ScriptPolicy scripts = scriptsRemoved);
    // shiftJis: the sheet is Shift_JIS (also taken from a leading @charset).
    static std::string rewriteStyleSheet(std::string_view css, const std::string& sheetUrl,
                                         const NameFor& nameFor, bool shiftJis = false);

    // The policy every saved page carries.
    static std::string contentSecurityPolicy(ScriptPolicy scripts);

    // One reference, given without character references, that the browser loads by itself.
    static Outcome loadedReference(const std::string& value, const std::string& base, RefKind kind,
                                   ScriptPolicy scripts, const NameFor& nameFor, std::string& out);
    // One reference the user follows.
    static Outcome followedReference(const std::string& value, const std::string& base,
                                     ScriptPolicy scripts, std::string& out);
};
