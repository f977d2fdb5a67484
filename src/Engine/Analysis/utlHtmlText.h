#pragma once

#include <string>

// Text helpers for the HTML-based files and for searching. All text is Shift_JIS; double-byte
// characters are stepped over whole.

// Folds case, character width and the long vowel mark so that search terms match loosely
// (full-width "ＡＢＣ１" and "abc1" both become "ABC1", "ガ" becomes half-width "ｶﾞ").
void normalizeForSearch(std::string& text);

// What decoded character references are written for.
enum class ReferenceTarget {
    // Titles, names, keywords: a character Shift_JIS cannot hold is kept as "&#N;", a
    // no-break space becomes a plain one, a control character "〓".
    text,
    // An attribute that holds an address: a character Shift_JIS cannot hold is written as its
    // UTF-8 bytes percent-encoded, and a name without ';' followed by a letter, a digit or '='
    // stays as written ("?a=1&copy=2").
    address,
};

// Decodes character references as a browser does: the named references of HTML 4 (the
// Latin-1 names, &amp;, &lt;, &gt; and &quot; also without ';'; those four and &nbsp; in any
// case), and decimal and hexadecimal numeric ones (&#128; to &#159; as Windows-1252, &#0;,
// surrogates and values past U+10FFFF as U+FFFD). An '&' that starts no reference stays.
void decodeCharacterReferences(std::string& text, ReferenceTarget target);

// decodeCharacterReferences for text.
void decodeHtmlText(std::string& text);

// Escapes < > & " and turns the second and further spaces of a run into &nbsp;, so that
// decodeHtmlText gives the text back unchanged.
void encodeHtmlText(std::string& text);
