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
    wndListView list;
    list.addResource("b.png", "beta", "http://h/b.png", ".png");
    list.addResource("a.gif", "Gamma", "http://h/a.gif", ".gif");
    list.addResource("c.jpg", "alpha", "http://h/c.jpg", ".jpg");
    list.sortRows();
    struct Step {
        int column;
        std::array<int, 4> keys;
        const char* firstName;
    } steps[] = {
        {1, {2, 0, 4, 6}, "alpha"}, // 説明 ascending, case ignored
        {1, {3, 0, 4, 6}, "Gamma"}, // again: descending
        {3, {6, 3, 0, 4}, "Gamma"}, // URL first, 説明 (descending) second
        {0, {0, 6, 3, 4}, "Gamma"}, // file name: a.gif first
    };
    for (const Step& s : steps) {
        list.onColumnClicked(s.column);
        QCOMPARE(list.sortKeys(), s.keys);
        QCOMPARE(list.rowAt(0)->getName(), std::string(s.firstName));
    }
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
    const lviListViewItem* odd = list.rowAt(0)->getExtension() == ".qqzz" ? list.rowAt(0) : list.rowAt(1);
    QVERIFY(!odd->getTypeName().empty());
    QVERIFY(!odd->getIcon().isNull());
}

QTEST_MAIN(TestWndListView)
#include "test_wndListView.moc"
