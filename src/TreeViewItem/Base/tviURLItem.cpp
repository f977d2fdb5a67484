#include "TreeViewItem/Base/tviURLItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Analysis/utlHtmlText.h"
#include "Engine/Url/utlUrl.h"
#include "Engine/Url/utlUrlParts.h"
#include "TreeViewItem/Base/tviSubItem.h"

#include <set>
#include <unordered_map>

namespace {

bool isPageExtension(std::string ext)
{
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    if (!ext.empty() && ext[0] == '.') {
        ext.erase(0, 1);
    }
    return ext.empty() || ext == "html" || ext == "htm" || ext == "shtml" || ext == "asp" ||
           ext == "jsp" || ext == "cgi";
}

bool isOwnerType(int type)
{
    return type == typeCabinetItem || type == typeRSSItemSet || type == typeIEItem ||
           type == typeNNItem;
}

bool isAncestorLinkType(int type)
{
    return type == typeCabinetItem || type == typeIEItem || type == typeNNItem ||
           type == typeSubItem || type == typeFrameItem;
}

std::string schemeOf(const std::string& address)
{
    utlUrlParts parts;
    return crackUrl(address, parts) ? parts.scheme : std::string();
}

} // namespace

tviURLItem::tviURLItem(ctrlTreeView* tree) : tviTreeViewItem(tree)
{
    countCreated("tviURLItem");
}

tviURLItem::~tviURLItem()
{
    countDestroyed("tviURLItem");
}

void tviURLItem::getStatusText(std::string& text, bool& isError) const
{
    static const char* const texts[] = {
        utlTexts::sjis(utlText::statusNotRead),    utlTexts::sjis(utlText::statusReadingHeader),
        utlTexts::sjis(utlText::statusRecognised), utlTexts::sjis(utlText::statusReading),
        utlTexts::sjis(utlText::statusRead),
    };
    isError = status_ == clsRequestStatus::failed;
    if (status_ == clsRequestStatus::unchecked) {
        text = utlTexts::sjis(utlText::statusUnchecked);
        return;
    }
    clsUrlInformation* owner = getRequest() != nullptr ? getRequest()->getOwner() : nullptr;
    if (status_ < clsRequestStatus::failed) {
        text = texts[static_cast<int>(status_)];
        if (status_ == clsRequestStatus::complete && owner != nullptr)
            appendFetchNotes(text, owner);
        return;
    }
    if (status_ != clsRequestStatus::failed || owner == nullptr) {
        text = utlTexts::sjis(utlText::statusPreviousError);
        return;
    }
    int code = owner->getResultCode();
    if (owner->isRedirectLoop()) {
        text = utlTexts::sjis(utlText::redirectLoop);
    } else if (code == resultCancelled) {
        text = utlTexts::sjis(utlText::transferStopped);
    } else if (code == resultTransportError) {
        text = utlTexts::sjis(utlText::transferFailed);
    } else if (code == 404) {
        text = utlTexts::sjis(utlText::pageDeletedOpen) + owner->getStatusCode() + ")";
    } else {
        text = utlTexts::sjis(utlText::pageAccessErrorOpen) + owner->getStatusCode() + ")";
    }
    appendFetchNotes(text, owner);
}

// How many attempts the fetch took, and a Retry-After too long to wait for.
void tviURLItem::appendFetchNotes(std::string& text, const clsUrlInformation* owner)
{
    if (int asked = owner->getRetryAfterRefused(); asked > 0) // （N秒後の再試行を求められました）
        text += utlTexts::sjis(utlText::fullWidthOpenParen) + std::to_string(asked) +
                utlTexts::sjis(utlText::retryAfterSecondsClose);
    if (int attempts = owner->getAttempts(); attempts > 1) // （試行N回）
        text += utlTexts::sjis(utlText::attemptsOpen) + std::to_string(attempts) +
                utlTexts::sjis(utlText::attemptsClose);
}

bool tviURLItem::matchesWords(const std::vector<std::string>& words, int options) const
{
    return ((options & searchTitle) != 0 && containsAnyWord(title_, words)) ||
           ((options & searchKeywords) != 0 && containsAnyWord(keywords_, words)) ||
           ((options & searchUrl) != 0 && containsAnyWord(getUrl(), words)) ||
           tviTreeViewItem::matchesWords(words, options);
}

bool tviURLItem::cmdExpand(bool query, bool* enabled)
{
    *enabled = true;
    if (query) {
        return true;
    }
    setFlag(true);
    return tree()->request(this, clsRequestMode::read);
}

bool tviURLItem::cmdReExpand(bool query, bool* enabled)
{
    *enabled = true;
    if (query) {
        return true;
    }
    clearSubItems();
    setFlag(true);
    return tree()->request(this, clsRequestMode::reload);
}

// Only a read that loads brings page data. While one is under way the item shows what has
// been found so far, without losing anything to a page not yet analysed; a read that ends
// otherwise (failed, not checked) gives back what the item had before it.
void tviURLItem::takePageData(clsNodePhase phase)
{
    clsQuillaraItem* node = getRequest();
    if (node == nullptr) {
        return;
    }
    clsRequestStatus status = node->getStatus();
    clsNodeProperties props = node->getProperties();
    if (phase == clsNodePhase::complete && status == clsRequestStatus::complete) {
        title_ = props.title.empty() ? title_ : props.title;
        keywords_ = props.keywords;
        codeKind_ = props.codeKind;
        beforeRead_.reset();
    } else if (phase == clsNodePhase::complete) {
        if (beforeRead_) {
            title_ = beforeRead_->title;
            keywords_ = beforeRead_->keywords;
            codeKind_ = beforeRead_->codeKind;
        }
        beforeRead_.reset();
    } else if (status == clsRequestStatus::reading || status == clsRequestStatus::complete) {
        if (!beforeRead_) {
            beforeRead_ = PageData{title_, keywords_, codeKind_};
        }
        title_ = props.title.empty() ? title_ : props.title;
        keywords_ = props.keywords.empty() ? keywords_ : props.keywords;
        codeKind_ = props.codeKind != 0 ? props.codeKind : codeKind_;
    }
    if (phase == clsNodePhase::complete) {
        setStatus(status);
    }
}

void tviURLItem::onRequestNotify(clsNodePhase phase)
{
    ctrlTreeView* t = tree();
    takePageData(phase);
    if (phase == clsNodePhase::complete) {
        t->setOverlay(getHandle(), overlayFor());
    }
    bool changed = addSubItems();
    // An item that expand-all reached opens as the one it was chosen on does, so that every
    // level down to the set depth is shown open.
    bool expandingAll = getExpandDepth() > 0 && t->getFirstChild(getHandle()) != nullptr;
    if ((getFlag() || expandingAll) && t->expand(getHandle(), true)) {
        setFlag(false);
    }
    if (phase == clsNodePhase::complete || changed) {
        refreshText();
    }
    if (phase == clsNodePhase::complete) {
        if (links_ != nullptr) {
            links_->seen.clear();
        }
        setExpandDepth(0);
    }
}

bool tviURLItem::addSubItems()
{
    ctrlTreeView* t = tree();
    clsQuillaraItem* node = getRequest();
    if (node == nullptr || getHandle() == nullptr || !t->makeSubItems) {
        return false;
    }
    tviTreeViewItem* owner = this;
    while (owner != nullptr && !isOwnerType(owner->getType())) {
        owner = owner->parentItem();
    }
    if (owner == nullptr) {
        return false;
    }
    int count = node->getLinkCount();
    if (nextLinkIndex_ < 0) {
        nextLinkIndex_ = 0;
    }
    if (nextLinkIndex_ >= count) {
        return false;
    }
    const tviTreeSettings& s = t->settings;
    // Host names compare without regard to case or spelling (Example.COM is example.com).
    std::string ownHost = hostKey(node->getProperties().host);
    // Addresses above this item.
    std::set<std::string> above;
    for (tviTreeViewItem* a = parentItem(); a != nullptr && isAncestorLinkType(a->getType());
         a = a->parentItem()) {
        above.insert(a->getUrl());
    }
    // "Elsewhere" is every node but this one and its children: the tree's count of an
    // address less the count here, so that no notification walks the whole tree.
    std::unordered_map<std::string, int> shownHere;
    bool askElsewhere = s.byNowUrl != 0 || s.hostNameLimit == 2;
    if (askElsewhere) {
        ++shownHere[getUrl()];
        for (TreeNode c = t->getFirstChild(getHandle()); c != nullptr; c = t->getNextSibling(c)) {
            if (tviTreeViewItem* child = t->getItem(c)) {
                ++shownHere[child->getUrl()];
            }
        }
    }
    auto shownElsewhere = [&](const std::string& address) {
        auto here = shownHere.find(address);
        return t->countShowing(address) > (here != shownHere.end() ? here->second : 0);
    };
    bool changed = false;
    int depth = getExpandDepth();
    LinkMemory& memory = linkMemory();
    for (int i = nextLinkIndex_; i < count; ++i) {
        clsLinkProperties link;
        if (!node->getLink(i, link)) {
            continue;
        }
        std::string name = link.name;
        name.erase(0, name.find_first_not_of(" \t\r\n") == std::string::npos
                          ? name.size()
                          : name.find_first_not_of(" \t\r\n"));
        if (above.count(link.address) != 0) {
            continue;
        }
        if (s.showRes == 1 && !isPageExtension(link.extension)) {
            continue;
        }
        if (s.emptyUrl != 0 && name.empty()) {
            continue;
        }
        if (s.byNowUrl != 0 && shownElsewhere(link.address)) {
            continue;
        }
        std::string host = s.hostNameLimit != 1 ? hostKey(link.host) : std::string();
        if (s.hostNameLimit == 4 && !host.empty() && host != ownHost) {
            continue;
        }
        bool otherSite =
            !host.empty() && !ownHost.empty() && siteOfHost(host) != siteOfHost(ownHost);
        if (s.hostNameLimit == 3 && otherSite) {
            continue;
        }
        if (s.hostNameLimit == 2 && otherSite && shownElsewhere(link.address)) {
            continue;
        }
        // "The first occurrence wins": later links to an address already shown are left out.
        if (s.showDupLink == 2 && memory.seen.count(link.address) != 0) {
            continue;
        }
        if (s.showDupLink == 3 && memory.seen.count(link.address) != 0) {
            auto found = memory.keyed.find(link.address);
            if (found != memory.keyed.end() && t->owns(found->second)) {
                auto* sub = static_cast<tviSubItem*>(found->second);
                if (name.size() > sub->getLinkText().size()) {
                    sub->setLinkText(name);
                    sub->refreshText();
                    changed = true;
                }
            }
            continue;
        }
        int kind = link.linkKind == typeFrameItem ? typeFrameItem : typeSubItem;
        auto made = std::make_unique<tviSubItem>(t, kind);
        made->setUrl(link.address);
        made->setSecondText(link.href);
        made->setLinkText(name);
        made->setScheme(schemeOf(link.address));
        tviSubItem* sub = static_cast<tviSubItem*>(t->adopt(std::move(made)));
        if (!sub->insertItem(getHandle(), kTreeLast)) {
            t->destroyItem(sub);
            continue;
        }
        if (askElsewhere) {
            ++shownHere[link.address];
        }
        memory.seen.insert(link.address);
        memory.keyed[link.address] = sub;
        changed = true;
        if (depth > 1) {
            sub->setExpandDepth(depth - 1);
            t->queueExpansion(sub);
        }
        if (s.autoExp != 0 && kind == typeFrameItem && (t->isExpanded(getHandle()) || getFlag())) {
            bool enabled = false;
            sub->cmdExpand(false, &enabled);
        }
    }
    nextLinkIndex_ = count;
    return changed;
}

bool tviURLItem::cmdShowArchived(bool query, bool* enabled)
{
    std::string target;
    *enabled = !archived_.empty() && isOpenableAddress(archived_, &target);
    if (!*enabled || query) {
        return true;
    }
    return tree()->openExternal(target, false);
}
