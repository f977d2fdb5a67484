// The resource list: its sort keys follow the column clicks, and one address in two cases is
// one row.
#include "QtBridge/guiText.h"
#include "Gui/wndListView.h"

#include <QTest>

class TestWndListView : public QObject {
    Q_OBJECT
private slots:
    void columnClicksReorderSortKeys();
    void sameAddressInOtherCaseIsOneRow();
};

void TestWndListView::columnClicksReorderSortKeys()
{
    wndListView list; // the columns of the default settings: URL, 名前, プロトコル, 説明, ...
    list.addResource("b.png", "beta", "http://h/z/b.png", ".png");
    list.addResource("a.gif", "Gamma", "http://h/y/a.gif", ".gif");
    list.addResource("c.jpg", "alpha", "http://h/x/c.jpg", ".jpg");
    list.sortRows();
    QCOMPARE(list.rowAt(0)->getName(), std::string("alpha")); // by URL at first
    struct Step {
        int column;
        std::array<int, 4> keys;
        const char* firstName;
    } steps[] = {
        {3, {6, 0, 2, 4}, "alpha"}, // 説明 ascending, case ignored
        {3, {7, 0, 2, 4}, "Gamma"}, // again: descending
        {1, {2, 7, 0, 4}, "Gamma"}, // file name first (a.gif), 説明 (descending) second
        {0, {0, 2, 7, 4}, "alpha"}, // URL: http://h/x/ first
    };
    for (const Step& s : steps) {
        list.onColumnClicked(s.column);
        QCOMPARE(list.sortKeys(), s.keys);
        QCOMPARE(list.rowAt(0)->getName(), std::string(s.firstName));
    }
    // With fewer columns a click still sorts by the field shown under it.
    list.setColumns({fieldDescription, fieldUrl});
    list.onColumnClicked(0);
    QCOMPARE(list.sortKeys()[0], fieldDescription * 2);
    QCOMPARE(list.rowAt(0)->getName(), std::string("alpha"));
}

void TestWndListView::sameAddressInOtherCaseIsOneRow()
{
    wndListView list;
    QVERIFY(list.addResource("Logo.png", "logo", "http://h/img/Logo.png", ".png"));
    QVERIFY(!list.addResource("logo.PNG", "again", "HTTP://H/IMG/LOGO.PNG", ".PNG"));
    QVERIFY(list.addResource("data.qqzz", "odd", "http://h/data.qqzz", ".qqzz"));
    list.sortRows();
    QCOMPARE(list.rowCount(), size_t(2));
    // An extension no file type knows still gets a row with a type name and an icon.
    const lviListViewItem* odd =
        list.rowAt(0)->getExtension() == ".qqzz" ? list.rowAt(0) : list.rowAt(1);
    QVERIFY(!odd->getTypeName().empty());
    QVERIFY(!odd->getIcon().isNull());
}

QTEST_MAIN(TestWndListView)
#include "test_wndListView.moc"
