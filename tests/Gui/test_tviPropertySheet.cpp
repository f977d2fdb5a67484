// The item property sheet: what OK writes back survives a save and a reload, read-only
// fields and items stay as they were.
#include "TestSupport.h"

#include "Gui/guiText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/ctrlMemoryTreeView.h"
#include "TreeViewItem/tviCabinet.h"
#include "TreeViewItem/tviCabinetFile.h"
#include "TreeViewItem/tviCabinetItem.h"
#include "TreeViewItem/tviSubItem.h"
#include "TreeViewItemProperty/tviPrefPage.h"
#include "TreeViewItemProperty/tviPropertySheet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {

struct Opened {
    ctrlMemoryTreeView tree;
    tviCabinet* cabinet = nullptr;
    explicit Opened(const std::string& path)
    {
        cabinet = static_cast<tviCabinet*>(tree.adopt(std::make_unique<tviCabinet>(&tree)));
        cabinet->setPath(path);
        cabinet->insertAndLoad(kTreeRoot, kTreeLast);
    }
    tviTreeViewItem* find(const std::string& name)
    {
        for (TreeNode n : tree.subtreeNodes(cabinet->getHandle()))
            if (tree.getItem(n)->getText() == name)
                return tree.getItem(n);
        return nullptr;
    }
};

std::string writeCabinet(const testsupport::TempHome& home)
{
    tviCabinetDocument doc;
    doc.name = "Box";
    doc.description = "about";
    tviCabinetEntry folder;
    folder.type = 3;
    folder.name = "Folder";
    tviCabinetEntry item;
    item.parent = 0;
    item.name = "Item";
    item.url = "http://example.com/";
    item.title = "Title";
    doc.entries = {folder, item};
    std::string path = (home.path() / "box.scb").string();
    std::string bytes = tviCabinetFile::write(doc);
    testsupport::writeFile(path, bytes);
    return path;
}

} // namespace

class TestTviPropertySheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changesSurviveSaveAndReload();
    void readOnlyFieldsAndItemsStayUnchanged();
};

void TestTviPropertySheet::changesSurviveSaveAndReload()
{
    testsupport::TempHome home;
    std::string path = writeCabinet(home);
    {
        Opened box(path);
        QVERIFY(!box.cabinet->isReadOnly());
        tviTreeViewItem* item = box.find("Item");
        tviPropertySheet sheet(&box.tree, item);
        QCOMPARE(sheet.windowTitle(), QString::fromUtf8("Itemのプロパティ"));
        tviPrefPage* page = sheet.page();
        QVERIFY(page->urlEdit() != nullptr && !page->urlEdit()->isReadOnly());
        page->nameEdit()->setText(QString::fromUtf8("名前"));
        page->urlEdit()->setText(QStringLiteral("http://example.org/new"));
        page->noteEdit()->setPlainText(QStringLiteral("line 1\nline 2"));
        page->markBox()->setChecked(true);
        QVERIFY(sheet.OnOK());

        tviPropertySheet folderSheet(&box.tree, box.find("Folder"));
        folderSheet.page()->nameEdit()->setText(QStringLiteral("Renamed"));
        QVERIFY(folderSheet.OnOK());
    }
    Opened again(path);
    tviTreeViewItem* item = again.find(platform::utf8ToSjis("名前"));
    QVERIFY(item != nullptr);
    QCOMPARE(item->getUrl(), std::string("http://example.org/new"));
    QCOMPARE(item->getDescription(), std::string("line 1\r\nline 2"));
    QVERIFY(item->isMarked());
    QVERIFY(again.find("Renamed") != nullptr);
}

void TestTviPropertySheet::readOnlyFieldsAndItemsStayUnchanged()
{
    testsupport::TempHome home;
    std::string path = writeCabinet(home);
    Opened box(path);
    // The cabinet's page shows everything read-only; a sub-item edits only its mark.
    tviPropertySheet cabinetSheet(&box.tree, box.cabinet);
    QVERIFY(cabinetSheet.page()->nameEdit()->isReadOnly());
    cabinetSheet.page()->nameEdit()->setText(QStringLiteral("Other"));
    QVERIFY(cabinetSheet.OnOK());
    QCOMPARE(box.cabinet->getText(), std::string("Box"));

    auto* sub = static_cast<tviSubItem*>(box.tree.adopt(std::make_unique<tviSubItem>(&box.tree, typeSubItem)));
    sub->setLinkText("link");
    sub->setUrl("http://example.com/link");
    sub->insertItem(box.find("Item")->getHandle(), kTreeLast);
    tviPropertySheet subSheet(&box.tree, sub);
    QVERIFY(subSheet.page()->nameEdit()->isReadOnly());
    QVERIFY(subSheet.page()->urlEdit()->isReadOnly());
    subSheet.page()->nameEdit()->setText(QStringLiteral("changed"));
    subSheet.page()->urlEdit()->setText(QStringLiteral("http://changed/"));
    subSheet.page()->markBox()->setChecked(true);
    QVERIFY(subSheet.OnOK());
    QCOMPARE(sub->getText(), std::string("link"));
    QCOMPARE(sub->getUrl(), std::string("http://example.com/link"));
    QVERIFY(sub->isMarked());

    // An item of a read-only cabinet: nothing can be edited and nothing is written.
    std::string before = testsupport::readFile(path);
    box.cabinet->setReadOnly(true);
    auto* item = static_cast<tviCabinetItem*>(box.find("Item"));
    item->setReadOnly(true);
    tviPropertySheet itemSheet(&box.tree, item);
    QVERIFY(itemSheet.page()->nameEdit()->isReadOnly());
    QVERIFY(!itemSheet.page()->markBox()->isEnabled());
    itemSheet.page()->nameEdit()->setText(QStringLiteral("changed"));
    QVERIFY(itemSheet.OnOK());
    QCOMPARE(item->getText(), std::string("Item"));
    QCOMPARE(testsupport::readFile(path), before);
}

QTEST_MAIN(TestTviPropertySheet)
#include "test_tviPropertySheet.moc"
