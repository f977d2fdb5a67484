// The tree pane as a user meets it: a double click opens what Enter opens, the rename entry of
// the menus, closing a cabinet says that its file stays, and 開く → ファイル adds a local page.
#include "GuiTestServer.h"
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiMenus.h"
#include "Gui/wndApplication.h"
#include "Gui/wndHtmlView.h"
#include "Gui/wndTreeView.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <filesystem>

namespace {

struct Running : GuiTestWindow {
    Running() : GuiTestWindow({.engine = unpaced(), .answerYes = true, .focusTree = true}) {}
};

// The action of a menu identifier in the window's menu bar, searched through every pop-up.
QAction* menuAction(QWidget* window, int menuId)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->data().toInt() == menuId && action->parent() != window)
            return action;
    return nullptr;
}

QPoint centreOf(wndTreeView* view, TreeNode node, ctrlQtTreeView* tree)
{
    return view->visualRect(tree->indexOf(node)).center();
}

} // namespace

class TestWndTreeView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void doubleClickOpensAPageAsEnterDoes();
    void renameIsInBothMenusWithF2();
    void closingACabinetSaysItsFileStays();
    void openFileAddsTheLocalPageToTheDefaultCabinet();
    void charsetMenuReadsUtf8AndShowsTheChoice();
    void deadItemOffersItsArchivedCopy();
};

void TestWndTreeView::doubleClickOpensAPageAsEnterDoes()
{
    testsupport::TempHome home;
    GuiTestServer server;
    Running run;
    wndTreeView* view = run.app->treeView();
    tviCabinetItem* item = addItem(run.tree(), run.defaultCabinet(), "page", server.url("/slow/1"));
    run.tree()->expand(run.defaultCabinet(), true);
    // Double-clicked at once after the selection, the item opens once its page is there.
    run.tree()->selectNode(item->getHandle());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       centreOf(view, item->getHandle(), run.tree()));
    QTRY_VERIFY_WITH_TIMEOUT(item->getStatus() == clsRequestStatus::complete, 10000);
    QTRY_VERIFY(run.tree()->getFirstChild(item->getHandle()) != nullptr);
    QTRY_VERIFY(view->isExpanded(run.tree()->indexOf(item->getHandle())));
    // A double click on an open item closes it, and the next opens it again.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       centreOf(view, item->getHandle(), run.tree()));
    QVERIFY(!view->isExpanded(run.tree()->indexOf(item->getHandle())));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       centreOf(view, item->getHandle(), run.tree()));
    QTRY_VERIFY(view->isExpanded(run.tree()->indexOf(item->getHandle())));
}

void TestWndTreeView::renameIsInBothMenusWithF2()
{
    testsupport::TempHome home;
    Running run;
    tviCabinetItem* item = addItem(run.tree(), run.defaultCabinet(), "page", "http://127.0.0.1:9/");
    QAction* rename = menuAction(run.app, 32872);
    QVERIFY(rename != nullptr);
    QCOMPARE(rename->shortcut(), QKeySequence(Qt::Key_F2));
    QCOMPARE(rename->text(), QString::fromUtf8("名前の変更(&R)"));
    // Greyed on the default cabinet, whose name is fixed; on an item it opens the editor.
    run.tree()->selectNode(run.defaultCabinet());
    QVERIFY(!run.app->isMenuIdAvailable(32872));
    run.tree()->selectNode(item->getHandle());
    QVERIFY(run.app->isMenuIdAvailable(32872));
    QVERIFY(run.app->runMenuId(32872));
    QTRY_VERIFY(run.app->treeView()->viewport()->findChild<QLineEdit*>() !=
                nullptr); // the editor is open
    // The item's context menu has it under 編集.
    QMenu menu;
    guiMenus::fillItemMenu(&menu, [](int) {});
    bool found = false;
    for (QAction* action : menu.findChildren<QAction*>())
        found = found || action->data().toInt() == 32872;
    QVERIFY(found);
}

void TestWndTreeView::closingACabinetSaysItsFileStays()
{
    testsupport::TempHome home;
    tviCabinetDocument doc;
    doc.name = "Extra";
    std::string path = home.dir() + "Extra.scb";
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    Running run;
    QVERIFY(run.app->treeView()->openCabinetFile(path));
    TreeNode cabinet = run.tree()->getNextSibling(run.defaultCabinet());
    while (cabinet != nullptr && run.tree()->getItem(cabinet)->getText() != "Extra")
        cabinet = run.tree()->getNextSibling(cabinet);
    QVERIFY(cabinet != nullptr);
    TreeNode item =
        addItem(run.tree(), run.defaultCabinet(), "page", "http://127.0.0.1:9/")->getHandle();
    struct Case {
        TreeNode node;
        const char* question;
        tviButtons buttons;
    } cases[] = {
        {item, "削除してもよろしいですか？", tviButtons::okCancel},
        {cabinet, "キャビネットを閉じますか？\nファイルは削除されません。",
         tviButtons::yesNo}, // はい/いいえ
    };
    for (const Case& c : cases) {
        run.tree()->selectNode(c.node);
        QVERIFY(run.app->runMenuId(32784));
        QCOMPARE(QString::fromStdString(platform::sjisToUtf8(run.tree()->lastQuestion)),
                 QString::fromUtf8(c.question));
        QVERIFY(run.tree()->lastButtons == c.buttons);
    }
    QVERIFY(run.app->treeView()->openCabinetOf(path) == nullptr);
    QVERIFY(std::filesystem::exists(path));
}

void TestWndTreeView::openFileAddsTheLocalPageToTheDefaultCabinet()
{
    testsupport::TempHome home;
    std::string page = home.dir() + "local.html";
    testsupport::writeFile(page, "<html><title>Local page</title></html>");
    Running run;
    QVERIFY(run.app->isMenuIdAvailable(32773));
    run.app->treeView()->fileChooser = [&] { return QString::fromStdString(page); };
    QVERIFY(run.app->runMenuId(32773));
    TreeNode top = run.tree()->getFirstChild(run.defaultCabinet());
    QVERIFY(top != nullptr);
    tviTreeViewItem* item = run.tree()->getItem(top);
    QCOMPARE(item->getUrl(), page);
    QCOMPARE(run.tree()->getSelection(), top);
    QTRY_VERIFY_WITH_TIMEOUT(item->getStatus() == clsRequestStatus::complete, 10000);
    // Chosen again, the same item is selected instead of a second one; a cancelled choice adds nothing.
    QVERIFY(run.app->runMenuId(32773));
    run.app->treeView()->fileChooser = [] { return QString(); };
    QVERIFY(run.app->runMenuId(32773));
    int count = 0;
    for (TreeNode n = run.tree()->getFirstChild(run.defaultCabinet()); n != nullptr;
         n = run.tree()->getNextSibling(n))
        ++count;
    QCOMPARE(count, 1);
}

void TestWndTreeView::charsetMenuReadsUtf8AndShowsTheChoice()
{
    testsupport::TempHome home;
    // UTF-8 bytes under a page that claims Shift_JIS: only the user knows better.
    std::string page = home.dir() + "utf8.html";
    testsupport::writeFile(
        page,
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
        "<title>t</title></head><body><p>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</p></body></html>");
    Running run;
    tviCabinetItem* item = addItem(run.tree(), run.defaultCabinet(), "page", page);
    run.tree()->selectNode(item->getHandle());
    QTRY_VERIFY_WITH_TIMEOUT(item->getStatus() == clsRequestStatus::complete, 10000);
    QMenu* view = nullptr;
    for (QAction* action : run.app->menuBar()->actions())
        if (action->text().startsWith(QString::fromUtf8("表示")))
            view = action->menu();
    QVERIFY(view != nullptr);
    auto checkedEntry = [&] {
        Q_EMIT view->aboutToShow();
        QList<int> checked;
        for (int id : {32796, 32797, 32798, 32890})
            if (menuAction(run.app, id)->isChecked())
                checked << id;
        return checked;
    };
    QCOMPARE(checkedEntry(), QList<int>{32796}); // 自動選択
    QAction* utf8 = menuAction(run.app, 32890);
    QVERIFY(utf8 != nullptr && utf8->text() == QStringLiteral("UTF-8(&U)"));
    QVERIFY(run.app->isMenuIdAvailable(32890));
    QVERIFY(run.app->runMenuId(32890));
    QTRY_VERIFY_WITH_TIMEOUT(item->getStatus() == clsRequestStatus::complete &&
                                 run.app->htmlView()->text().contains(QString::fromUtf8("日本語")),
                             10000);
    QCOMPARE(checkedEntry(), QList<int>{32890});
}

// A cabinet whose dead item keeps an archived copy: its own overlay, アーカイブを表示 in the
// item's context menu, greyed where no copy is known, and opening the copy in the browser.
void TestWndTreeView::deadItemOffersItsArchivedCopy()
{
    testsupport::TempHome home;
    const std::string memento = "http://127.0.0.1:9/web/20170715024000/http://127.0.0.1:9/gone";
    tviCabinetDocument doc;
    doc.name = "Archive";
    tviCabinetEntry kept{4, -1, "kept", "http://127.0.0.1:9/gone", "", "", "", false, 5};
    kept.archived = memento;
    kept.archivedDate = 1500086400;
    tviCabinetEntry lost{4, -1, "lost", "http://127.0.0.1:9/lost", "", "", "", false, 5};
    doc.entries = {kept, lost};
    std::string path = home.dir() + "Archive.scb";
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    Running run;
    QVERIFY(run.app->treeView()->openCabinetFile(path));
    TreeNode cabinet = run.tree()->getNextSibling(run.defaultCabinet());
    while (cabinet != nullptr && run.tree()->getItem(cabinet)->getText() != "Archive")
        cabinet = run.tree()->getNextSibling(cabinet);
    QVERIFY(cabinet != nullptr);
    TreeNode withCopy = run.tree()->getFirstChild(cabinet);
    TreeNode without = run.tree()->getNextSibling(withCopy);
    QCOMPARE(run.tree()->getOverlay(withCopy), int(overlayArchived));
    QCOMPARE(run.tree()->getOverlay(without), int(overlayError));

    QMenu menu;
    guiMenus::fillItemMenu(&menu, [](int) {});
    QAction* entry = nullptr;
    for (QAction* action : menu.findChildren<QAction*>())
        entry = action->data().toInt() == 32891 ? action : entry;
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(), QString::fromUtf8("アーカイブを表示(&V)"));

    run.tree()->selectNode(without);
    QVERIFY(!run.app->isMenuIdAvailable(32891));
    run.tree()->selectNode(withCopy);
    QVERIFY(run.app->isMenuIdAvailable(32891));
    QVERIFY(run.app->runMenuId(32891));
    QCOMPARE(run.tree()->lastOpened, memento);
}

QTEST_MAIN(TestWndTreeView)
#include "test_wndTreeView.moc"
