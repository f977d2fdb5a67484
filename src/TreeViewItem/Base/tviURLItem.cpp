#include "TreeViewItem/Base/tviURLItem.h"

#include "Common/utlInstanceCounter.h"
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
        "\x96\xa2\x93\xc7\x82\xdd\x8d\x9e\x82\xdd",                                 // 未読み込み
        "\x92\xca\x90\x4d\x92\x86\x28\x48\x65\x61\x64\x65\x72\x8f\xee\x95\xf1\x29", // 通信中(Header情報)
        "\x94\x46\x8e\xaf\x8d\xcf\x82\xdd",                                         // 認識済み
        "\x92\xca\x90\x4d\x92\x86",                                                 // 通信中
        "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x8d\xcf\x82\xdd",                         // 読み込み済み
    };
    isError = status_ == 5;
    if (status_ == requestUnchecked) {
        text = "\x96\xa2\x8a\x6d\x94\x46"; // 未確認
        return;
    }
    clsUrlInformation* owner = getRequest() != nullptr ? getRequest()->getOwner() : nullptr;
    if (status_ >= 0 && status_ < 5) {
        text = texts[status_];
        if (status_ == 4 && owner != nullptr)
            appendFetchNotes(text, owner);
        return;
    }
    if (status_ != 5 || owner == nullptr) {
        text = "\x91\x4f\x89\xf1\x8b\x4e\x93\xae\x8e\x9e\x83\x47\x83\x89\x81\x5b"; // 前回起動時エラー
        return;
    }
    int code = owner->getResultCode();
    if (owner->isRedirectLoop()) {
        // リダイレクトがループしています
        text = "\x83\x8A\x83_\x83" "C\x83\x8C\x83N\x83g\x82\xAA\x83\x8B\x81[\x83v\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
    } else if (code == resultCancelled) {
        text = "\x92\xca\x90\x4d\x82\xf0\x92\x86\x92\x66\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"; // 通信を中断しました。
    } else if (code == resultTransportError) {
        text = "\x92\xca\x90\x4d\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"; // 通信に失敗しました。
    } else if (code == 404) {
        // ホームページは既に削除されているようです（
        text = "\x83\x7a\x81\x5b\x83\x80\x83\x79\x81\x5b\x83\x57\x82\xcd\x8a\xf9\x82\xc9\x8d\xed\x8f\x9c"
               "\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\x82\xe6\x82\xa4\x82\xc5\x82\xb7\x81\x69" +
               owner->getStatusCode() + ")";
    } else {
        // ホームページへのアクセスでエラーが発生しました(
        text = "\x83\x7a\x81\x5b\x83\x80\x83\x79\x81\x5b\x83\x57\x82\xd6\x82\xcc\x83\x41\x83\x4e\x83\x5a"
               "\x83\x58\x82\xc5\x83\x47\x83\x89\x81\x5b\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5"
               "\x82\xbd\x28" + owner->getStatusCode() + ")";
    }
    appendFetchNotes(text, owner);
}

// How many attempts the fetch took, and a Retry-After too long to wait for.
void tviURLItem::appendFetchNotes(std::string& text, const clsUrlInformation* owner)
{
    if (int asked = owner->getRetryAfterRefused(); asked > 0) // （N秒後の再試行を求められました）
        text += "\x81i" + std::to_string(asked) +
                "\x95" "b\x8C\xE3\x82\xCC\x8D\xC4\x8E\x8E\x8Ds\x82\xF0\x8B\x81\x82\xDF\x82\xE7\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81j";
    if (int attempts = owner->getAttempts(); attempts > 1) // （試行N回）
        text += "\x81i\x8E\x8E\x8Ds" + std::to_string(attempts) + "\x89\xF1\x81j";
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
    int status = node->getStatus();
    clsNodeProperties props = node->getProperties();
    if (phase == clsNodePhase::complete && status == requestComplete) {
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
    } else if (status == requestReading || status == requestComplete) {
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

bool tviURLItem::onRequestNotify(clsNodePhase phase)
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
    return true;
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
    std::string ownHost = node->getProperties().host;
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
        name.erase(0, name.find_first_not_of(" \t\r\n") == std::string::npos ? name.size()
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
        if (s.hostNameLimit == 4 && !link.host.empty() && link.host != ownHost) {
            continue;
        }
        bool otherSite = !link.host.empty() && !ownHost.empty() &&
                         siteOfHost(link.host) != siteOfHost(ownHost);
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
