#pragma once

// What requestItem is asked to do with an address. The read-again modes read the page anew
// with the code kind they name; readAgain lets the detector choose.
enum class clsRequestMode : int {
    headOnly = 0,     // only the response header
    read = 1,         // the page, from what is known when it has been read
    reload = 2,       // the page anew, from the server
    registerOnly = 3, // known, not fetched
    readAgain = 4,
    readAgainSjis = 5,
    readAgainJis = 6,
    readAgainEuc = 7,
    readAgainUtf8 = 8,
};

// The code kind (utlKanjiConverter::CodeKind) a request mode reads with; 0 lets the detector
// choose.
constexpr int codeKindOf(clsRequestMode mode)
{
    return mode >= clsRequestMode::readAgainSjis ? static_cast<int>(mode) - 3 : 0;
}
