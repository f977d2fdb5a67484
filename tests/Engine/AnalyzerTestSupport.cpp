#include "AnalyzerTestSupport.h"

#include "Engine/Analysis/clsHtmlItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Platform/platformText.h"

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<char[]> copyOf(const std::string& bytes, std::size_t at, std::size_t n)
{
    std::unique_ptr<char[]> block(new char[n + 1]);
    std::memcpy(block.get(), bytes.data() + at, n);
    block[n] = 0;
    return block;
}

AnalyzedPage analyzeBlocks(const std::string& bytes, const std::string& address,
                           const std::vector<std::size_t>& cuts, int code = 0)
{
    clsUrlInformation owner;
    owner.set(1, 0, address);
    clsHtmlItem item;
    item.setUrlInformation(&owner);
    if (code != 0)
        item.setCodeKind(code);
    bool complete = false;
    std::size_t at = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        std::size_t end = i < cuts.size() ? cuts[i] : bytes.size();
        if (end > at)
            item.appendBlock(copyOf(bytes, at, end - at), end - at);
        item.analyze(complete);
        at = end;
    }
    item.setTransferEnded();
    item.analyze(complete);
    AnalyzedPage page;
    page.code = item.getCodeKind();
    page.title = item.getTitle();
    const std::string* keywords = item.getKeywords();
    page.keywords = keywords == nullptr ? "" : *keywords;
    for (int k = 0; k < 2; ++k) {
        int count = k == 0 ? item.getLinkCount() : item.getResourceCount();
        for (int index = 0; index < count; ++index) {
            clsLinkProperties p;
            if (k == 0)
                item.getLink(index, p);
            else
                item.getResource(index, p);
            (k == 0 ? page.links : page.resources)
                .push_back(AnalyzedLink{p.linkKind, p.name, p.address, p.href});
        }
    }
    item.setUrlInformation(nullptr);
    return page;
}

} // namespace

std::string AnalyzedPage::describe() const
{
    std::string out = "code " + std::to_string(code) + "\n";
    out += "title [" + platform::sjisToUtf8(title) + "]\n";
    out += "keywords [" + platform::sjisToUtf8(keywords) + "]\n";
    for (const AnalyzedLink& link : links)
        out += "link " + std::to_string(link.kind) + " [" + platform::sjisToUtf8(link.name) + "] " +
               platform::sjisToUtf8(link.url) + " (" + platform::sjisToUtf8(link.href) + ")\n";
    for (const AnalyzedLink& resource : resources)
        out += "resource " + std::to_string(resource.kind) + " [" +
               platform::sjisToUtf8(resource.name) + "] " + platform::sjisToUtf8(resource.url) +
               "\n";
    return out;
}

AnalyzedPage analyzeBytes(const std::string& bytes, const std::string& address,
                          std::size_t blockSize, int code)
{
    std::vector<std::size_t> cuts;
    if (blockSize > 0) {
        for (std::size_t at = blockSize; at < bytes.size(); at += blockSize)
            cuts.push_back(at);
    }
    return analyzeBlocks(bytes, address, cuts, code);
}

AnalyzedPage analyzeCutAt(const std::string& bytes, const std::string& address, std::size_t offset)
{
    return analyzeBlocks(bytes, address, {offset});
}
