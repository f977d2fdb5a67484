#pragma once

// The core's texts by name. The sources hold them in UTF-8 (utlTexts.inc); the program's own
// text, its files and its messages are Shift_JIS.
enum class utlText {
#define QUILLARA_TEXT(name, utf8) name,
#include "Common/utlTexts.inc"
#undef QUILLARA_TEXT
    count
};

class utlTexts {
public:
    // The text in Shift_JIS, converted once for all texts on first use and kept for the life
    // of the program, so callers may hold the pointer.
    static const char* sjis(utlText text);
    // The text as the sources hold it.
    static const char* utf8(utlText text);
};
