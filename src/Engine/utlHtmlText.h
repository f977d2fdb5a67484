#pragma once

#include <string>

// Text helpers for the HTML-based files and for searching. All text is Shift_JIS; double-byte
// characters are stepped over whole.

// Folds case, character width and the long vowel mark so that search terms match loosely
// (full-width "ＡＢＣ１" and "abc1" both become "ABC1", "ガ" becomes half-width "ｶﾞ").
void normalizeForSearch(std::string& text);

// Replaces &lt; &gt; &amp; &quot; &nbsp; (any case, ';' optional) and numeric references
// &#NN; &#xHH; by their characters. A reference that names no character Shift_JIS can hold is
// kept as written.
bool decodeHtmlText(std::string& text);

// Escapes < > & " and turns the second and further spaces of a run into &nbsp;, so that
// decodeHtmlText gives the text back unchanged.
bool encodeHtmlText(std::string& text);
