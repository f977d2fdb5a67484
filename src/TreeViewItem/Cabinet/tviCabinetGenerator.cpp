#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"

#include "Common/utlTexts.h"

#include <string>
#include <vector>

namespace {

// A small fixed generator, so that every run and every machine makes the same file.
struct Lcg {
    std::uint32_t state;
    std::uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    size_t below(size_t n) { return n == 0 ? 0 : next() % n; }
};

const char* const words[] = {
    utlTexts::sjis(utlText::sampleHomePage),
    utlTexts::sjis(utlText::sampleTable),    // 表 (trail byte '\')
    utlTexts::sjis(utlText::sampleSoftware), // ソフト (trail byte '\')
    utlTexts::sjis(utlText::sampleInformation),
    utlTexts::sjis(utlText::sampleLink),
    "Quillara",
    "news",
    utlTexts::sjis(utlText::sampleJapanese),
};

std::string phrase(Lcg& rng, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += words[rng.below(std::size(words))];
    }
    return out;
}

} // namespace

tviCabinetDocument tviCabinetGenerator::generate(size_t itemCount, std::uint32_t seed)
{
    Lcg rng{seed};
    tviCabinetDocument doc;
    doc.name = "Generated " + std::to_string(itemCount);
    doc.description = phrase(rng, 3) + "\r\n" + phrase(rng, 2);
    doc.productMark = true;
    doc.entries.reserve(itemCount + itemCount / 8);
    std::vector<int> open{-1};
    size_t items = 0;
    while (items < itemCount) {
        size_t roll = rng.below(100);
        if (roll < 10 && open.size() < 6) {
            tviCabinetEntry folder;
            folder.type = 3;
            folder.parent = open.back();
            folder.name = phrase(rng, 2) + " " + std::to_string(doc.entries.size());
            folder.marked = rng.below(10) == 0;
            if (rng.below(4) == 0) {
                folder.description = phrase(rng, 4);
            }
            doc.entries.push_back(std::move(folder));
            open.push_back(static_cast<int>(doc.entries.size()) - 1);
            continue;
        }
        if (roll < 16 && open.size() > 1) {
            open.pop_back();
            continue;
        }
        tviCabinetEntry e;
        e.type = 4;
        e.parent = open.back();
        e.name = phrase(rng, 1 + rng.below(3)) + " " + std::to_string(items);
        e.url = "http://host" + std::to_string(rng.below(50)) + ".example.jp/dir/page" +
                std::to_string(items) + ".html?a=1&b=" + std::to_string(rng.below(9));
        e.keyword = rng.below(3) == 0 ? phrase(rng, 2) : std::string();
        e.title = phrase(rng, 2);
        e.marked = rng.below(20) == 0;
        e.status = rng.below(10) == 0 ? 5 : 0;
        if (rng.below(5) == 0) {
            e.description = phrase(rng, 3) + "\r\n" + phrase(rng, 2);
        }
        doc.entries.push_back(std::move(e));
        ++items;
    }
    return doc;
}
