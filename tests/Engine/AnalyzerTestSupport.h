#pragma once

#include <string>
#include <vector>

// What one analysis of a page found, in a form tests compare and print.
struct AnalyzedLink {
    int kind = 0;
    std::string name; // Shift_JIS
    std::string url;
    std::string href;
};

struct AnalyzedPage {
    int code = 0;
    std::string title;
    std::string keywords;
    std::vector<AnalyzedLink> links;
    std::vector<AnalyzedLink> resources;
    // The result as UTF-8 lines, as the golden files hold it.
    std::string describe() const;
};

// Runs a clsHtmlItem over bytes cut into blocks of blockSize (0: one block) as if they
// arrived for address, analysing after every block, then ends the transfer. A code kind
// other than 0 is set before, as an owner that knows the page's code does.
AnalyzedPage analyzeBytes(const std::string& bytes, const std::string& address,
                          std::size_t blockSize, int code = 0);
// The same with one cut at offset: two blocks.
AnalyzedPage analyzeCutAt(const std::string& bytes, const std::string& address, std::size_t offset);
