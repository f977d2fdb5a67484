#pragma once

#include "Common/utlCommandTarget.h"

#include <QIcon>
#include <QString>

#include <functional>
#include <string>

// The fields a row can show, in the default order of the column list of the settings.
enum lviField : int {
    fieldUrl,
    fieldName,
    fieldProtocol,
    fieldDescription,
    fieldType,
    fieldSize,
    fieldModified,
    fieldCount
};

// One row of the list view: a resource of the selected page. Its type name and icon come from
// the desktop's file types by extension, learnt once per extension for the whole program.
class lviListViewItem : public utlCommandTarget {
public:
    // Opens a checked address (plain or in a new browser window).
    using Opener = std::function<bool(const std::string& address, bool newWindow)>;

    lviListViewItem(std::string fileName, std::string name, std::string address,
                    std::string extension);
    ~lviListViewItem() override;

    bool executeCommand(int code, bool query, bool& handled) override;

    const std::string& getFileName() const { return fileName_; }
    const std::string& getName() const { return name_; }
    const std::string& getAddress() const { return address_; }
    const std::string& getExtension() const { return extension_; }
    const std::string& getTypeName() const { return typeName_; }
    const QIcon& getIcon() const { return icon_; }
    // The text of a field (lviField), Shift_JIS. Size and date are known for local files only.
    const std::string& columnText(int field) const;
    // Orders two rows by a field: sizes by number, every other field by text without case.
    static int compare(const lviListViewItem& a, const lviListViewItem& b, int field);

    void setOpener(Opener opener) { opener_ = std::move(opener); }
    // Shows the row's context menu; set by the list view.
    std::function<void()> contextMenu;

private:
    void lookUpType();
    void lookUpFile();

    std::string fileName_;
    std::string name_;
    std::string address_;
    std::string extension_;
    std::string typeName_;
    std::string protocol_;
    std::string sizeText_;
    std::string modifiedText_;
    long long size_ = -1;
    QIcon icon_;
    Opener opener_;
};
