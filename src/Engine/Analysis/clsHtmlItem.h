#pragma once

#include "Engine/Analysis/clsHtmlScanner.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Text/utlKanjiConverter.h"

#include <atomic>
#include <mutex>
#include <string>

// The analysis node of one HTML page: each arriving block is converted to Shift_JIS (the
// utlKanjiConverter base) and scanned (the clsHtmlScanner base); what the scanner finds
// becomes the node's title, links and resources. A page fetched over HTTP is stored in the
// URL cache when its transfer ends, so that the HTML view can show it later.
//
// Threads: read and analyze run on the engine thread, which alone touches the converter and
// the scanner; setTransferEnded runs on the transport worker and reads only the received
// blocks; makeDisplayText runs on the user-interface thread with a converter of its own.
class clsHtmlItem : public clsQuillaraItem, public utlKanjiConverter, public clsHtmlScanner {
public:
    clsHtmlItem();
    ~clsHtmlItem() override;

    using clsHtmlScanner::addLink;
    using clsQuillaraItem::addLink;

    bool read(bool& needsNetwork, bool reload) override;
    bool analyze(bool& complete) override;
    bool setTransferEnded() override;
    // The plain-text rendering of the page for the HTML view.
    bool makeDisplayText(std::string& out) override;
    // The HTTP response header, for the HTML view's header switch.
    void makeHeaderText(std::string& out);
    bool clear() override;
    int getCodeKind() const override;
    bool setCodeKind(int kind) override;
    const std::string* getKeywords() const override;

protected:
    bool reportLink(int kind, const std::string& address, const std::string& name,
                    const std::string& href) override;
    bool reportResource(int kind, const std::string& address, const std::string& name) override;
    bool reportTitle(const std::string& title) override;
    bool reportedFileParts(const std::string& url, bool& hasFileName,
                           std::string& extension) override;

private:
    void startAnalysis();
    void analyzeBlock(const char* data, std::size_t length);
    void completeAnalysis();
    bool storeToCache();
    bool readSource(std::string& bytes);

    bool analysisStarted = false;
    // A link was just reported and made a record, whose file parts the scanner reads next.
    bool linkReported = false;
    std::string reportedFileName; // kept, so that its buffer serves every link
    std::atomic<bool> cachedCopy{false};
    std::atomic<bool> storeToCachePending{false};
    std::atomic<int> publishedCode{0};
    // The keywords as the tree sees them: written once, when the analysis completes.
    std::string publishedKeywords;
    std::atomic<bool> keywordsPublished{false};
};
