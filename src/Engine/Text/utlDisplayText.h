#pragma once

#include <string>

// The plain-text rendering of a page (Shift_JIS) for the HTML view: white space collapsed,
// the title in brackets, line breaks for BR, P, headings and table rows, a TAB between table
// cells, comments, styles and scripts left out, entities decoded.
std::string renderDisplayText(const std::string& sjis);
