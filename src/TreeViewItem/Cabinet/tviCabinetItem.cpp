#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include "Common/utlInstanceCounter.h"
#include "Common/utlTexts.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Engine/Http/clsUrlInformation.h"
#include "TreeViewItem/Base/tviSubItem.h"

namespace {

// The name the new-item dialog proposes: "新規アイテム".
const char* const kProposedName = utlTexts::sjis(utlText::newItemName);

} // namespace

// The item factory makes this kind from its type code.
[[maybe_unused]] static const bool registeredCabinetItem =
    tviTreeViewItem::registerFactory(typeCabinetItem, tviTreeViewItem::make<tviCabinetItem>);

tviCabinetItem::tviCabinetItem(ctrlTreeView* tree) : tviURLItem(tree)
{
    countCreated("tviCabinetItem");
}

tviCabinetItem::~tviCabinetItem()
{
    countDestroyed("tviCabinetItem");
}

std::string tviCabinetItem::protocolOf(const std::string& url)
{
    size_t colon = url.find("://");
    if (!url.empty() && url[0] == '/') {
        return "Local File";
    }
    if (colon == std::string::npos || colon == 0) {
        return {};
    }
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return scheme == "file" ? "Local File" : scheme;
}

void tviCabinetItem::setUrl(std::string url)
{
    url_ = std::move(url);
    if (protocol_.empty()) {
        protocol_ = protocolOf(url_);
    }
    tree()->addressChanged(this);
}

int tviCabinetItem::getImage() const
{
    bool open = tree()->isExpanded(getHandle());
    if (getRequest() != nullptr) {
        return open ? imagePageOpenRequested : imagePageClosedRequested;
    }
    return open ? imagePageOpen : imagePageClosed;
}

int tviCabinetItem::getSelectedImage() const
{
    return getStatus() != clsRequestStatus::registered ? imagePageSelected
                                                       : imagePageSelectedUnread;
}

void tviCabinetItem::setStatus(clsRequestStatus status)
{
    // Only "failed" is stored in the file, so only a change into or out of it is an edit.
    if ((status == clsRequestStatus::failed) != (status_ == clsRequestStatus::failed)) {
        noteChanged();
    }
    tviURLItem::setStatus(status);
}

bool tviCabinetItem::setText(const std::string& text)
{
    if (readOnly_) {
        return false;
    }
    name_ = text;
    noteChanged();
    return true;
}

bool tviCabinetItem::applyProperties(const tviDialogData& data)
{
    if (readOnly_) {
        return false;
    }
    name_ = data.name;
    if (data.url != url_) {
        protocol_.clear();
        setUrl(data.url);
    }
    description_ = data.description;
    setMarked(data.marked);
    noteChanged();
    return true;
}

bool tviCabinetItem::copyFrom(const tviTreeViewItem& item)
{
    int type = item.getType();
    if (type == typeSubItem || type == typeFrameItem) {
        const auto& sub = static_cast<const tviSubItem&>(item);
        name_ = sub.getLinkText().empty() ? sub.getText() : sub.getLinkText();
        description_.clear();
        url_ = sub.getUrl();
        keywords_ = sub.getKeywords();
        title_ = sub.getTitle();
        status_ = sub.getStatus();
        protocol_ = sub.getScheme().empty() ? protocolOf(url_) : sub.getScheme();
        tree()->addressChanged(this);
        return true;
    }
    if (type != typeCabinetItem && type != typeRSSItem && type != typeIEItem &&
        type != typeNNItem) {
        return false;
    }
    name_ = item.getText();
    description_ = item.getDescription();
    url_ = item.getUrl();
    status_ = item.getStatus();
    if (type == typeCabinetItem) {
        const auto& other = static_cast<const tviCabinetItem&>(item);
        keywords_ = other.keywords_;
        title_ = other.title_;
        protocol_ = other.protocol_;
    } else {
        const auto& other = static_cast<const tviURLItem&>(item);
        keywords_ = other.getKeywords();
        title_ = other.getTitle();
        protocol_ = protocolOf(url_);
    }
    const auto& urlItem = static_cast<const tviURLItem&>(item);
    setDates(urlItem.getAddDate(), urlItem.getLastModified());
    setArchived(urlItem.getArchived(), urlItem.getArchivedDate());
    tree()->addressChanged(this);
    return true;
}

bool tviCabinetItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this,
                           name_ + utlTexts::sjis(utlText::propertiesOf));
    }
    return true;
}

bool tviCabinetItem::cmdCut(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::cut, query, enabled);
}

bool tviCabinetItem::cmdCopy(bool query, bool* enabled)
{
    return putOnClipboard(tviClipMode::copy, query, enabled);
}

bool tviCabinetItem::cmdPaste(bool query, bool* enabled)
{
    return pasteHere(query, enabled);
}

bool tviCabinetItem::cmdDelete(bool query, bool* enabled)
{
    return deleteHere(query, enabled);
}

bool tviCabinetItem::cmdMoveUp(bool query, bool* enabled)
{
    return moveStep(true, query, enabled);
}

bool tviCabinetItem::cmdMoveDown(bool query, bool* enabled)
{
    return moveStep(false, query, enabled);
}

void tviCabinetItem::onRequestNotify(clsNodePhase phase)
{
    std::string oldTitle = title_;
    std::string oldKeywords = keywords_;
    // The protocol text, like the rest of the page data, changes only with a page that loaded.
    clsQuillaraItem* node = getRequest();
    if (node != nullptr && phase == clsNodePhase::complete &&
        node->getStatus() == clsRequestStatus::complete) {
        std::string protocol = node->getProperties().protocol;
        if (!protocol.empty()) {
            protocol_ = protocol;
        }
    }
    tviURLItem::onRequestNotify(phase);
    if (title_ != oldTitle || keywords_ != oldKeywords) {
        noteChanged();
    }
    if (newItem_ && !title_.empty()) {
        newItem_ = false;
        // A name the user typed stays; only the proposed one or the bare address gives way.
        if (name_.empty() || name_ == kProposedName || name_ == url_) {
            name_ = title_;
            refreshText();
            noteChanged();
        }
    }
    if (phase == clsNodePhase::complete && newItem_ && status_ == clsRequestStatus::failed) {
        newItem_ = false;
        std::string question = utlTexts::sjis(utlText::urlNotFoundDeleteNew);
        if (tree()->askYesNo(question, "Quillaro", tviButtons::yesNo)) {
            // The item is still inside its own notification: it goes once that has returned.
            tree()->deleteLater(this);
        }
    }
}

bool tviCabinetItem::holdsNewEntries() const
{
    const tviCabinet* cab = cabinet();
    return cab != nullptr && !cab->isReadOnly() && !readOnly_;
}
