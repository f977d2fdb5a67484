#include "TreeViewItem/Base/tviSubItem.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Url/utlUrlParts.h"

namespace {

std::string lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

} // namespace

tviSubItem::tviSubItem(ctrlTreeView* tree, int kind) : tviURLItem(tree), kind_(kind)
{
    countCreated("tviSubItem");
}

tviSubItem::~tviSubItem()
{
    countDestroyed("tviSubItem");
}

std::string tviSubItem::getText() const
{
    if (tree()->settings.showLink != 1) {
        return url_;
    }
    if (!linkText_.empty()) {
        return linkText_;
    }
    return !secondText_.empty() ? secondText_ : url_;
}

std::string tviSubItem::getExtension() const
{
    utlUrlParts parts;
    std::string path = crackUrl(url_, parts) ? parts.urlPath : url_;
    size_t hashOrQuery = path.find_first_of("?#");
    if (hashOrQuery != std::string::npos) {
        path.resize(hashOrQuery);
    }
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return lower(path.substr(dot + 1));
}

int tviSubItem::getImage() const
{
    if (image_ >= 0) {
        return image_;
    }
    if (kind_ == typeFrameItem) {
        image_ = imageFrame;
    } else if (lower(scheme_) == "mailto" || lower(url_).rfind("mailto:", 0) == 0) {
        image_ = imageMail;
    } else {
        std::string ext = getExtension();
        bool page = ext.empty() || ext == "htm" || ext == "html" || ext == "shtml" ||
                    ext == "asp" || ext == "jsp" || ext == "cgi";
        image_ = page ? imageLinkPage : imageLinkFile;
    }
    return image_;
}

bool tviSubItem::cmdShowInBrowser(bool query, bool* enabled, bool newWindow)
{
    // A frame shows as the page that holds its frame set while NewPage is on; frames inside
    // frames go up to the page that holds them all.
    if (kind_ != typeFrameItem || tree()->settings.newPage != 1) {
        return tviURLItem::cmdShowInBrowser(query, enabled, newWindow);
    }
    tviTreeViewItem* page = parentItem();
    while (page != nullptr && page->getType() == typeFrameItem) {
        page = page->parentItem();
    }
    if (page == nullptr) {
        return tviURLItem::cmdShowInBrowser(query, enabled, newWindow);
    }
    bool handled = false;
    bool ok = page->executeCommand(newWindow ? codeOf(utlCommand::showInNewBrowser)
                                             : codeOf(utlCommand::showInBrowser),
                                   query, handled);
    *enabled = handled;
    return ok;
}

bool tviSubItem::cmdCopy(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->setClipboard(this, tviClipMode::copy);
        tree()->setClipboardText(url_);
    }
    return true;
}

bool tviSubItem::cmdProperties(bool query, bool* enabled)
{
    *enabled = true;
    if (!query) {
        tree()->openDialog(tviDialog::properties, this, getText());
    }
    return true;
}
