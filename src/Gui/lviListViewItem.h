#pragma once

#include "Common/utlCommandTarget.h"

#include <QIcon>
#include <QString>

#include <functional>
#include <string>

// One row of the list view: a resource of the selected page. Its type name and icon come from
// the desktop's file types by extension, learnt once per extension for the whole program.
class lviListViewItem : public utlCommandTarget {
public:
    // Opens a checked address (plain or in a new browser window).
    using Opener = std::function<bool(const std::string& address, bool newWindow)>;

    lviListViewItem(std::string fileName, std::string name, std::string address, std::string extension);
    ~lviListViewItem() override;

    bool executeCommand(int code, bool query, bool& handled) override;

    const std::string& getFileName() const { return fileName_; }
    const std::string& getName() const { return name_; }
    const std::string& getAddress() const { return address_; }
    const std::string& getExtension() const { return extension_; }
    const std::string& getTypeName() const { return typeName_; }
    const QIcon& getIcon() const { return icon_; }
    // The text of column 0 file name, 1 name, 2 type name, 3 address (Shift_JIS).
    const std::string& columnText(int column) const;

    void setOpener(Opener opener) { opener_ = std::move(opener); }
    // Shows the row's context menu; set by the list view.
    std::function<void()> contextMenu;

private:
    void lookUpType();

    std::string fileName_;
    std::string name_;
    std::string address_;
    std::string extension_;
    std::string typeName_;
    QIcon icon_;
    Opener opener_;
};
