// The item property sheet: what OK writes back survives a save and a reload, read-only
// fields and items stay as they were.
#include "TestSupport.h"

#include "QtBridge/guiText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlMemoryTreeView.h"
#include "TreeViewItem/Snapshot/tviAgeing.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviIEFolder.h"
#include "TreeViewItem/Browser/tviIEItem.h"
#include "TreeViewItem/Browser/tviInternetExplorer.h"
#include "TreeViewItem/Browser/tviNNFolder.h"
#include "TreeViewItem/Browser/tviNNItem.h"
#include "TreeViewItem/Browser/tviNetscapeNavigator.h"
#include "TreeViewItem/Snapshot/tviPSSFolder.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Footprint/tviRSSFolder.h"
#include "TreeViewItem/Footprint/tviRSSItem.h"
#include "TreeViewItem/Footprint/tviRSSItemSet.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"
#include "TreeViewItem/Base/tviSubItem.h"
#include "TreeViewItemProperty/tviPrefPage.h"
#include "TreeViewItemProperty/tviPropertySheet.h"

#include <QCheckBox>
#include <QLabel>
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
    void everyKindShowsItsPage();
    void snapshotAndFootprintChoicesAreStored();
    void bookmarkFileIsNeverWritten();
    void archivedCopyIsShownAndKept();
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

    auto* sub = static_cast<tviSubItem*>(
        box.tree.adopt(std::make_unique<tviSubItem>(&box.tree, typeSubItem)));
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

namespace {

// Every kind of item in one tree: a cabinet with a folder, an item and a link, the footprint
// cabinet with a footprint of that link and a folder, the snapshot cabinet with a snapshot and
// a folder, and both outside sources with a folder and an entry.
struct AllKinds {
    testsupport::TempHome home;
    std::string path = writeCabinet(home);
    Opened box{path};
    tviRouteSnapshot* route = nullptr;
    tviPageSnapshot* snapshots = nullptr;
    std::time_t now = 1765000000;

    template <class T>
    T* add(TreeNode parent)
    {
        auto* item = static_cast<T*>(box.tree.adopt(std::make_unique<T>(&box.tree)));
        item->insertItem(parent, kTreeLast);
        return item;
    }

    void openRoute()
    {
        route = add<tviRouteSnapshot>(kTreeRoot);
        route->setFilePath(home.dir() + "Footprint.scb");
        route->setClock([this] { return now; });
        route->load();
    }

    void openSnapshots()
    {
        snapshots = tviPageSnapshot::openDefault(&box.tree, home.dir(), nullptr);
    }

    void build()
    {
        auto* link = static_cast<tviSubItem*>(
            box.tree.adopt(std::make_unique<tviSubItem>(&box.tree, typeSubItem)));
        link->setLinkText("link");
        link->setUrl("http://example.com/link");
        link->insertItem(box.find("Item")->getHandle(), kTreeLast);
        openRoute();
        tviRSSItemSet* set = route->addFootprint(link, "route", true);
        add<tviRSSFolder>(route->getHandle())->setName("rfolder");
        openSnapshots();
        snapshots->addSnapshot("http://example.com/", "d", "snap", false);
        add<tviPSSFolder>(snapshots->getHandle())->setName("sfolder");
        auto* ie = add<tviInternetExplorer>(kTreeRoot);
        add<tviIEItem>(add<tviIEFolder>(ie->getHandle())->getHandle())->setUrl("http://ie/");
        auto* nn = add<tviNetscapeNavigator>(kTreeRoot);
        add<tviNNItem>(add<tviNNFolder>(nn->getHandle())->getHandle())->setUrl("http://nn/");
        QVERIFY(set != nullptr);
    }

    tviTreeViewItem* ofType(int type)
    {
        for (TreeNode root = box.tree.getFirstChild(kTreeRoot); root != nullptr;
             root = box.tree.getNextSibling(root))
            for (TreeNode n : box.tree.subtreeNodes(root))
                if (box.tree.getItem(n)->getType() == type)
                    return box.tree.getItem(n);
        return nullptr;
    }
};

bool allFieldsReadOnly(const tviPrefPage& page)
{
    for (const QLineEdit* edit : page.findChildren<QLineEdit*>())
        if (!edit->isReadOnly())
            return false;
    for (const QPlainTextEdit* edit : page.findChildren<QPlainTextEdit*>())
        if (!edit->isReadOnly())
            return false;
    for (const QCheckBox* box : page.findChildren<QCheckBox*>())
        if (box->isEnabled())
            return false;
    return true;
}

// A read-only field is drawn on the window's face; an editable one is not.
bool looksAsItBehaves(const tviPrefPage& page)
{
    auto greyed = [](const QWidget* w) {
        return w->palette().color(QPalette::Base) == w->palette().color(QPalette::Window);
    };
    for (const QLineEdit* edit : page.findChildren<QLineEdit*>())
        if (greyed(edit) != edit->isReadOnly())
            return false;
    for (const QPlainTextEdit* edit : page.findChildren<QPlainTextEdit*>())
        if (greyed(edit) != edit->isReadOnly())
            return false;
    return true;
}

bool saysReadOnly(const tviPrefPage& page)
{
    for (const QCheckBox* box : page.findChildren<QCheckBox*>())
        if (box->text() == QString::fromUtf8("読み取り専用"))
            return box->isChecked() && !box->isEnabled();
    return false;
}

bool showsText(const tviPrefPage& page, const std::string& text)
{
    for (const QLabel* label : page.findChildren<QLabel*>())
        if (label->text() == QString::fromStdString(text))
            return true;
    return false;
}

} // namespace

void TestTviPropertySheet::everyKindShowsItsPage()
{
    AllKinds all;
    all.build();
    struct Kind {
        int type;
        const char* heading;
        bool editable;
    };
    const Kind kinds[] = {
        {typeSubItem, "サブアイテム", true},
        {typeCabinet, "キャビネット", false},
        {typeCabinetFolder, "フォルダ", true},
        {typeCabinetItem, "アイテム", true},
        {typeRouteSnapshot, "フットプリントキャビネット", false},
        {typeRSSFolder, "フットプリントフォルダ", true},
        {typeRSSItemSet, "フットプリントセット", true},
        {typeRSSItem, "フットプリントアイテム", true},
        {typePageSnapshot, "スナップショットキャビネット", false},
        {typePSSFolder, "スナップショットフォルダ", true},
        {typePSSItem, "スナップショットアイテム", true},
        {typeInternetExplorer, "お気に入りキャビネット", false},
        {typeIEFolder, "お気に入りフォルダ", false},
        {typeIEItem, "お気に入りアイテム", false},
        {typeNetscapeNavigator, "ブックマークキャビネット", false},
        {typeNNFolder, "ブックマークフォルダ", false},
        {typeNNItem, "ブックマークアイテム", false},
    };
    for (const Kind& kind : kinds) {
        tviTreeViewItem* item = all.ofType(kind.type);
        QVERIFY2(item != nullptr, kind.heading);
        bool enabled = false;
        QVERIFY(item->executeCommand(11026, true, enabled));
        QVERIFY2(enabled, kind.heading);
        tviPropertySheet sheet(&all.box.tree, item);
        QVERIFY2(sheet.page() != nullptr, kind.heading);
        QCOMPARE(QString::fromStdString(platform::sjisToUtf8(sheet.page()->heading())),
                 QString::fromUtf8(kind.heading));
        QCOMPARE(sheet.page()->isEditable(), kind.editable);
        if (!kind.editable && kind.type != typeSubItem)
            QVERIFY2(allFieldsReadOnly(*sheet.page()), kind.heading);
        QVERIFY2(looksAsItBehaves(*sheet.page()), kind.heading);
        // What is only read from a .url file or a bookmark file says so.
        if (kind.type >= typeInternetExplorer && kind.type <= typeNNItem)
            QVERIFY2(saysReadOnly(*sheet.page()), kind.heading);
    }
    // The ageing of the two cabinets and the dates of a snapshot are shown.
    tviPropertySheet cabinetSheet(&all.box.tree, all.route);
    QVERIFY(showsText(*cabinetSheet.page(), "25") && showsText(*cabinetSheet.page(), "35"));
    auto* snap = static_cast<tviPSSItem*>(all.ofType(typePSSItem));
    tviPropertySheet snapSheet(&all.box.tree, snap);
    QVERIFY(snapSheet.page()->urlEdit()->isReadOnly());
    QCOMPARE(snapSheet.page()->urlEdit()->text(), QStringLiteral("http://example.com/"));
    kivaTime deletion = tviAgeing::addDays(snap->getCreated(), all.snapshots->getLimitDay());
    QVERIFY(showsText(*snapSheet.page(), deletion.toDisplayText()));
}

void TestTviPropertySheet::snapshotAndFootprintChoicesAreStored()
{
    AllKinds all;
    all.build();
    // Both ways for both kinds: what the user ticks is what is stored, not what was shown.
    for (bool to : {false, true}) {
        auto* set = static_cast<tviRSSItemSet*>(all.ofType(typeRSSItemSet));
        set->setAutoDelete(!to);
        tviPropertySheet setSheet(&all.box.tree, set);
        QCOMPARE(setSheet.page()->autoDeleteBox()->isChecked(), !to);
        setSheet.page()->autoDeleteBox()->setChecked(to);
        setSheet.page()->nameEdit()->setText(to ? QStringLiteral("on") : QStringLiteral("off"));
        QVERIFY(setSheet.OnOK());

        auto* snap = static_cast<tviPSSItem*>(all.ofType(typePSSItem));
        snap->setAutoDelete(!to);
        tviPropertySheet snapSheet(&all.box.tree, snap);
        snapSheet.page()->autoDeleteBox()->setChecked(to);
        snapSheet.page()->noteEdit()->setPlainText(to ? QStringLiteral("note on")
                                                      : QStringLiteral("note off"));
        QVERIFY(snapSheet.OnOK());

        all.route->deleteSubtree();
        all.box.tree.destroyItem(all.route);
        all.openRoute();
        all.snapshots->deleteSubtree();
        all.box.tree.destroyItem(all.snapshots);
        all.openSnapshots();
        set = static_cast<tviRSSItemSet*>(all.ofType(typeRSSItemSet));
        QCOMPARE(set->getAutoDelete(), to);
        QCOMPARE(set->getText(), std::string(to ? "on" : "off"));
        snap = static_cast<tviPSSItem*>(all.ofType(typePSSItem));
        QCOMPARE(snap->getAutoDelete(), to);
        QCOMPARE(snap->getDescription(), std::string(to ? "note on" : "note off"));
    }
    // Only the choice changed: still written.
    auto* set = static_cast<tviRSSItemSet*>(all.ofType(typeRSSItemSet));
    tviPropertySheet sheet(&all.box.tree, set);
    sheet.page()->autoDeleteBox()->setChecked(false);
    QVERIFY(sheet.OnOK());
    all.route->deleteSubtree();
    all.box.tree.destroyItem(all.route);
    all.openRoute();
    QVERIFY(!static_cast<tviRSSItemSet*>(all.ofType(typeRSSItemSet))->getAutoDelete());
}

void TestTviPropertySheet::bookmarkFileIsNeverWritten()
{
    testsupport::TempHome home;
    std::string path = home.dir() + "bookmarks.html";
    testsupport::writeFile(
        path, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
              "<DL><p>\n<DT><H3>Folder</H3>\n<DL><p>\n"
              "<DT><A HREF=\"http://example.com/\">Example</A>\n</DL><p>\n</DL><p>\n");
    std::string before = testsupport::readFile(path);
    ctrlMemoryTreeView tree;
    auto* nn = static_cast<tviNetscapeNavigator*>(
        tree.adopt(std::make_unique<tviNetscapeNavigator>(&tree)));
    nn->insertItem(kTreeRoot, kTreeLast);
    nn->setPath(path);
    QVERIFY(nn->load());
    std::vector<TreeNode> nodes = tree.subtreeNodes(nn->getHandle());
    QCOMPARE(nodes.size(), std::size_t(3));
    for (TreeNode n : nodes) {
        tviTreeViewItem* item = tree.getItem(n);
        std::string name = item->getText();
        tviPropertySheet sheet(&tree, item);
        QVERIFY(allFieldsReadOnly(*sheet.page()));
        sheet.page()->nameEdit()->setText(QStringLiteral("changed"));
        QVERIFY(sheet.OnOK());
        QCOMPARE(item->getText(), name);
    }
    QCOMPARE(testsupport::readFile(path), before);
}

// An item's archived copy is shown read-only with its date, and an edit of the item keeps it.
void TestTviPropertySheet::archivedCopyIsShownAndKept()
{
    testsupport::TempHome home;
    const std::string memento = "http://127.0.0.1:9/web/20170715024000/http://example.com/";
    tviCabinetDocument doc;
    doc.name = "Box";
    tviCabinetEntry item;
    item.name = "Item";
    item.url = "http://example.com/";
    item.status = 5;
    item.archived = memento;
    item.archivedDate = 1500086400;
    doc.entries = {item};
    std::string path = (home.path() / "box.scb").string();
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    {
        Opened box(path);
        tviPropertySheet sheet(&box.tree, box.find("Item"));
        QStringList shown;
        for (QLineEdit* edit : sheet.findChildren<QLineEdit*>())
            if (edit->isReadOnly())
                shown << edit->text();
        QVERIFY2(shown.contains(QString::fromStdString(memento)), qPrintable(shown.join('|')));
        QVERIFY2(shown.filter(QStringLiteral("2017")).size() == 2, qPrintable(shown.join('|')));
        sheet.page()->nameEdit()->setText(QStringLiteral("Renamed"));
        QVERIFY(sheet.OnOK());
    }
    tviCabinetDocument back;
    std::string error;
    QVERIFY(tviCabinetFile::read(testsupport::readFile(path), back, error));
    QCOMPARE(back.entries.size(), size_t(1));
    QCOMPARE(back.entries[0].name, std::string("Renamed"));
    QCOMPARE(back.entries[0].archived, memento);
    QCOMPARE(back.entries[0].archivedDate, std::int64_t(1500086400));
}

QTEST_MAIN(TestTviPropertySheet)
#include "test_tviPropertySheet.moc"
