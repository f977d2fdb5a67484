// The analyzer takes any page cut into random blocks: no crash, no read outside a block, and
// the same title, keywords, links and resources as for the page in one block.
#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Http/clsUrlInformation.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::string analyze(const uint8_t* data, size_t size, const uint8_t* cuts, size_t cutCount)
{
    clsUrlInformation owner;
    owner.set(1, 0, "http://example.jp/dir/page.html");
    clsHtmlItem item;
    item.setUrlInformation(&owner);
    bool complete = false;
    size_t at = 0;
    size_t cut = 0;
    while (at < size) {
        size_t n = cutCount == 0 ? size - at
                                 : std::min<size_t>(size - at, 1 + cuts[cut++ % cutCount] % 97);
        std::unique_ptr<char[]> block(new char[n + 1]);
        std::memcpy(block.get(), data + at, n);
        block[n] = 0;
        item.appendBlock(std::move(block), n);
        item.analyze(complete);
        at += n;
    }
    item.setTransferEnded();
    item.analyze(complete);
    std::string out = std::to_string(item.getCodeKind()) + "\n" + item.getTitle() + "\n";
    if (const std::string* keywords = item.getKeywords())
        out += *keywords;
    for (int i = 0; i < item.getLinkCount(); ++i) {
        clsLinkProperties link;
        item.getLink(i, link);
        out += "\nL" + std::to_string(link.linkKind) + " " + link.name + " " + link.address + " " +
               link.href;
    }
    for (int i = 0; i < item.getResourceCount(); ++i) {
        clsLinkProperties resource;
        item.getResource(i, resource);
        out += "\nR " + resource.name + " " + resource.address;
    }
    std::string display;
    item.makeDisplayText(display);
    item.setUrlInformation(nullptr);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t cutCount = data[0] % 8;
    if (size < 1 + cutCount)
        return 0;
    const uint8_t* page = data + 1 + cutCount;
    size_t length = size - 1 - cutCount;
    std::string whole = analyze(page, length, nullptr, 0);
    if (analyze(page, length, data + 1, cutCount) != whole)
        std::abort();
    return 0;
}
