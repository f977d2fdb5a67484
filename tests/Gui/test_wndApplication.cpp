// The window as a whole: start-up and shut-down, settings that survive a restart, the road of
// one request from a selection to the filled views, the URL box, greying, drops, a big
// cabinet and the hand-over from a second start.
#include "GuiTestServer.h"
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiSingleInstance.h"
#include "QtBridge/guiText.h"
#include "Gui/toolRebar.h"
#include "Gui/toolStatusBar.h"
#include "Gui/toolUrlBox.h"
#include "Gui/wndApplication.h"
#include "Gui/wndHtmlView.h"
#include "Gui/wndListView.h"
#include "Gui/wndTreeView.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetGenerator.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <memory>

namespace {

// The started program, with an engine that gives up on a silent server soon.
struct Running : GuiTestWindow {
    Running() : GuiTestWindow({.engine = engineOptions(), .answerYes = true}) {}
    static clsEngineOptions engineOptions()
    {
        clsEngineOptions options = unpaced();
        options.connectTimeoutMs = 2000;
        options.receiveTimeoutMs = 5000;
        return options;
    }
};

TreeNode addFolder(ctrlTreeView* tree, TreeNode parent, const std::string& name)
{
    auto* folder = static_cast<tviCabinetFolder*>(
        tree->adopt(tviTreeViewItem::createItem(tree, typeCabinetFolder)));
    folder->setName(name);
    folder->insertItem(parent, kTreeLast);
    return folder->getHandle();
}

int childCount(const ctrlTreeView* tree, TreeNode node)
{
    int n = 0;
    for (TreeNode c = tree->getFirstChild(node); c != nullptr; c = tree->getNextSibling(c))
        ++n;
    return n;
}

std::string nameOf(const ctrlTreeView* tree, TreeNode node)
{
    return tree->getItem(node)->getText();
}

} // namespace

class TestWndApplication : public QObject {
    Q_OBJECT
private slots:
    void startsAndStopsInOrderAndKeepsSettings();
    void selectionLoadsPageAndFillsViews();
    void urlBoxFindsOrAddsAddress();
    void greysCommandsNobodyCanRun();
    void refusesDropOntoItselfOrDescendant();
    void opensHundredThousandItemCabinet();
    void secondStartHandsOverToFirst();
    void movesLostWindowOntoPrimaryScreen();
    void resizingKeepsThePanesInProportion();
    void missingPageSaysSoInTheView();
    void keepsCabinetOfUnlistedFolderAsWritten();
};

void TestWndApplication::startsAndStopsInOrderAndKeepsSettings()
{
    testsupport::TempHome home;
    tviCabinetDocument doc;
    doc.name = "Extra";
    doc.entries.push_back(tviCabinetEntry{3, -1, "Folder", "", "", "", "", false, 0});
    doc.entries.push_back(
        tviCabinetEntry{4, 0, "Item", "http://127.0.0.1:9/", "", "", "", true, 0});
    std::string extra = home.dir() + "Extra.scb";
    testsupport::writeFile(extra, tviCabinetFile::write(doc));
    {
        Running run;
        const std::vector<std::string> start{"log",      "env",    "ini",         "help",
                                             "urlCache", "window", "commandRoot", "init"};
        QCOMPARE(run.program.steps(), start);
        QVERIFY(run.app->treeView()->openCabinetFile(extra));
        QCOMPARE(childCount(run.tree(), kTreeRoot),
                 4); // the default, footprint, snapshot and extra cabinets
        run.app->showListView(2);
        run.app->move(40, 50);
        run.app->resize(700, 500);
        QApplication::processEvents();
        QSplitter* split = run.app->findChild<QSplitter*>();
        QVERIFY(split != nullptr);
        // As a drag leaves it: the two sizes fill the room beside the handle.
        int room = split->sizes()[0] + split->sizes()[1];
        split->setSizes({300, room - 300});
        QCOMPARE(run.app->treeViewWidth(), 300);
        run.program.stop();
        const std::vector<std::string> all{
            "log",         "env",     "ini",     "help",         "urlCache",        "window",
            "commandRoot", "init",    "term",    "deleteWindow", "termCommandRoot", "termUrlCache",
            "termHelp",    "termIni", "termEnv", "termLog"};
        QCOMPARE(run.program.steps(), all);
    }
    Running again;
    QCOMPARE(childCount(again.tree(), kTreeRoot), 4);
    TreeNode second = again.tree()->getNextSibling(again.defaultCabinet());
    QCOMPARE(nameOf(again.tree(), second), std::string("Extra"));
    QVERIFY(!again.app->isListVisible());
    QVERIFY(again.app->isHtmlVisible());
    QCOMPARE(again.app->pos(), QPoint(40, 50));
    QCOMPARE(again.app->size(), QSize(700, 500));
    QCOMPARE(again.app->treeViewWidth(), 300);
    QCOMPARE(GetUtlIniInfo()->getInt(IniKey::MainWinTreeViewWidth), 300);
}

void TestWndApplication::selectionLoadsPageAndFillsViews()
{
    testsupport::TempHome home;
    GuiTestServer server;
    Running run;
    TreeNode item =
        addItem(run.tree(), run.defaultCabinet(), "page", server.url("/page/7"))->getHandle();
    QVERIFY(run.tree()->selectNode(item));
    // The list: the style sheet, the photo and the logo once (its two addresses differ in case only).
    QTRY_COMPARE_WITH_TIMEOUT(run.app->listView()->rowCount(), size_t(3), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        run.app->htmlView()->text().contains(QString::fromUtf8("日本語のページ 7")), 10000);
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(run.app->statusBarPane()->partText(2), QString::fromUtf8("読み込み済み"));
    QCOMPARE(run.app->statusBarPane()->partText(1), QStringLiteral("Page 7"));
}

void TestWndApplication::urlBoxFindsOrAddsAddress()
{
    testsupport::TempHome home;
    GuiTestServer server;
    Running run;
    addItem(run.tree(), run.defaultCabinet(), "known", server.url("/page/1"));
    QLineEdit* edit = run.app->rebar()->urlBox()->lineEdit();
    auto enter = [&](const std::string& text, bool withReturn) {
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(text));
        if (withReturn)
            QTest::keyClick(edit, Qt::Key_Return);
        else
            run.app->treeView()->setFocus();
    };
    // Leaving the box does nothing.
    enter(server.url("/page/2"), false);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 1);
    // A known address selects its item.
    enter(server.url("/page/1"), true);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 1);
    QCOMPARE(run.app->treeView()->selectedItem()->getUrl(), server.url("/page/1"));
    // A new one goes to the top of the default cabinet and starts loading.
    enter(server.url("/page/2"), true);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 2);
    TreeNode top = run.tree()->getFirstChild(run.defaultCabinet());
    QCOMPARE(run.tree()->getItem(top)->getUrl(), server.url("/page/2"));
    QCOMPARE(run.tree()->getSelection(), top);
    QTRY_VERIFY_WITH_TIMEOUT(run.tree()->getItem(top)->getStatus() == clsRequestStatus::complete,
                             10000);
    QCOMPARE(run.app->rebar()->urlBox()->itemText(0),
             QString::fromStdString(server.url("/page/2")));
    // Text that is no address is refused in the status bar and kept nowhere.
    enter("hello world", true);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 2);
    QCOMPARE(run.app->statusBarPane()->partText(0),
             QString::fromUtf8("「hello world」はアドレスではありません。"));
    QCOMPARE(run.app->rebar()->urlBox()->itemText(0),
             QString::fromStdString(server.url("/page/2")));
    // An address without a scheme is taken as http.
    enter(server.url("/page/3").substr(std::string("http://").size()), true);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 3);
    QCOMPARE(run.app->treeView()->selectedItem()->getUrl(), server.url("/page/3"));
    // The box shows the address of what is selected, and a hint when it is empty.
    run.tree()->selectNode(
        run.tree()->getNextSibling(run.tree()->getFirstChild(run.defaultCabinet())));
    QCOMPARE(edit->text(), QString::fromStdString(server.url("/page/2")));
    edit->clear();
    QVERIFY(edit->placeholderText().contains(QStringLiteral("Enter")));
    // Characters beyond ASCII go to the server as UTF-8, as a browser sends them.
    edit->setFocus();
    edit->setText(
        QString::fromStdString(server.url("/page/例é?q=ü&r=1"))); // keyClicks knows ASCII only
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(childCount(run.tree(), run.defaultCabinet()), 4);
    QCOMPARE(run.app->treeView()->selectedItem()->getUrl(),
             server.url("/page/%E4%BE%8B%C3%A9?q=%C3%BC&r=1"));
}

void TestWndApplication::greysCommandsNobodyCanRun()
{
    testsupport::TempHome home;
    Running run;
    TreeNode item =
        addItem(run.tree(), run.defaultCabinet(), "web", "http://127.0.0.1:9/")->getHandle();
    TreeNode bad =
        addItem(run.tree(), run.defaultCabinet(), "bad", "-oProxyCommand=evil")->getHandle();
    run.app->setFocusPane(wndApplication::paneTree);
    struct Case {
        TreeNode select;
        int menuId;
        bool available;
    } cases[] = {
        {run.defaultCabinet(), 32784, false}, // the default cabinet cannot be deleted
        {item, 32784, true},
        {item, 32793, true}, // show in browser
        {bad, 32793, false}, // an address the desktop must never get
        {item, 32791, true}, // the application's own view switch
        {item, 32790, true}, // stop
        {item, 32787, true}, // preferences
    };
    for (const Case& c : cases) {
        QVERIFY(run.tree()->selectNode(c.select));
        QCOMPARE(run.app->isMenuIdAvailable(c.menuId), c.available);
    }
    // The menu itself greys its entries when it opens, and enables them again when it closes.
    run.tree()->selectNode(run.defaultCabinet());
    QMenu* edit = run.app->menuBar()->actions().value(1)->menu();
    QAction* remove = nullptr;
    for (QAction* a : edit->actions())
        remove = a->data().toInt() == 32784 ? a : remove;
    QVERIFY(remove != nullptr);
    Q_EMIT edit->aboutToShow();
    QVERIFY(!remove->isEnabled());
    Q_EMIT edit->aboutToHide();
    QVERIFY(remove->isEnabled());
    // With the list focused and empty, showing a row in the browser is not possible.
    run.app->setFocusPane(wndApplication::paneList);
    QVERIFY(!run.app->isMenuIdAvailable(32793));
    // A refused address never reaches the opener.
    run.app->setFocusPane(wndApplication::paneTree);
    run.tree()->selectNode(bad);
    bool handled = false;
    run.app->executeCommand(5002, false, handled);
    QVERIFY(run.tree()->lastOpened.empty());
}

void TestWndApplication::refusesDropOntoItselfOrDescendant()
{
    testsupport::TempHome home;
    Running run;
    ctrlQtTreeView* tree = run.tree();
    TreeNode f = addFolder(tree, run.defaultCabinet(), "F");
    TreeNode g = addFolder(tree, f, "G");
    TreeNode i = addItem(tree, g, "I", "http://127.0.0.1:9/i")->getHandle();
    TreeNode h = addFolder(tree, run.defaultCabinet(), "H");
    wndTreeView* view = run.app->treeView();
    struct Case {
        TreeNode target;
        bool allowed;
    } cases[] = {{f, false}, {g, false}, {i, false}, {kTreeRoot, false}, {h, true}};
    for (const Case& c : cases)
        QCOMPARE(wndTreeView::isDropAllowed(*tree, f, c.target), c.allowed);
    QVERIFY(!view->dropItem(f, g, false));
    QVERIFY(!view->dropItem(f, f, true));
    QCOMPARE(tree->getParent(f), run.defaultCabinet());
    QCOMPARE(tree->getFirstChild(f), g);
    // Ctrl copies: the item stays and a copy appears in H.
    QVERIFY(view->dropItem(i, h, true));
    QCOMPARE(tree->getParent(i), g);
    QCOMPARE(childCount(tree, h), 1);
    // A plain drop moves.
    QVERIFY(view->dropItem(f, h, false));
    QCOMPARE(tree->getParent(f), h);
    // Addresses from another program become items; an option-like one is refused.
    QVERIFY(view->dropAddresses(kTreeRoot, {"https://example.org/a", "-x"}));
    QCOMPARE(tree->getItem(tree->getFirstChild(run.defaultCabinet()))->getUrl() ==
                     "https://example.org/a" ||
                 tree->getItem(tree->getFirstChild(h)) != nullptr,
             true);
    int urls = 0;
    for (TreeNode n : tree->subtreeNodes(run.defaultCabinet())) {
        std::string url = tree->getItem(n)->getUrl();
        urls += url == "https://example.org/a" ? 1 : 0;
        QVERIFY(url != "-x");
    }
    QCOMPARE(urls, 1);
}

void TestWndApplication::opensHundredThousandItemCabinet()
{
    testsupport::TempHome home;
    std::string path = home.dir() + "Big.scb";
    tviCabinetDocument doc = tviCabinetGenerator::generate(100000);
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    {
        // The settings name the cabinet, as after a session that had it open.
        QuillaG setup;
        setup.startServices();
        GetUtlIniInfo()->addCabinetFile(path);
        GetUtlIniInfo()->save();
        setup.stop();
    }
    Running run;
    QVERIFY(run.tree()->nodeCount() >= doc.entries.size() + 1);
    TreeNode big = run.tree()->getNextSibling(run.defaultCabinet());
    QVERIFY(big != nullptr);
    run.tree()->expand(big, true);
    QVERIFY(!run.app->grab().isNull());
    QVERIFY(run.app->treeView()->isExpanded(run.tree()->indexOf(big)));
    QVERIFY(run.tree()->rowCount(run.tree()->indexOf(big)) > 0);
}

void TestWndApplication::secondStartHandsOverToFirst()
{
    testsupport::TempHome home;
    guiSingleInstance first(QString::fromStdString(home.dir()));
    QVERIFY(first.acquire());
    QSignalSpy raised(&first, &guiSingleInstance::raiseRequested);
    QProcess second;
    second.start(QStringLiteral(QUILLARA_BINARY), {});
    QVERIFY(second.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(raised.count() == 1, 10000);
    // The second start may have ended already while the first one was being raised.
    QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
}

void TestWndApplication::movesLostWindowOntoPrimaryScreen()
{
    QRect primary(0, 0, 1920, 1080);
    QList<QRect> screens{primary, QRect(1920, 0, 1280, 1024)};
    struct Case {
        QRect stored;
        bool kept;
    } cases[] = {
        {QRect(100, 100, 800, 600), true},
        {QRect(2000, 100, 800, 600), true},   // on the second screen
        {QRect(5000, 3000, 800, 600), false}, // a screen that is gone
        {QRect(-790, 100, 800, 600), false},  // only a sliver left of the first screen
        {QRect(100, -2000, 800, 600), false},
    };
    for (const Case& c : cases) {
        QRect placed = wndApplication::placeOnScreen(c.stored, screens, primary);
        QCOMPARE(placed == c.stored, c.kept);
        QVERIFY(primary.contains(placed) || c.kept);
        QCOMPARE(placed.size(), c.stored.size());
    }
}

void TestWndApplication::resizingKeepsThePanesInProportion()
{
    testsupport::TempHome home;
    Running run;
    QCoreApplication::processEvents(); // the window has settled
    run.app->resize(1000, 700);
    QTRY_COMPARE(run.app->size(), QSize(1000, 700));
    auto* across = run.app->findChild<QSplitter*>();
    QSplitter* down = across->orientation() == Qt::Horizontal
                          ? qobject_cast<QSplitter*>(across->widget(1))
                          : nullptr;
    QVERIFY(down != nullptr);
    across->setSizes({300, 700});
    down->setSizes({200, 400});
    auto share = [](const QSplitter* s) {
        return double(s->sizes()[0]) / (s->sizes()[0] + s->sizes()[1]);
    };
    double wide = share(across);
    double tall = share(down);
    for (QSize size : {QSize(500, 360), QSize(1200, 800)}) {
        run.app->resize(size);
        QTRY_COMPARE(run.app->size(), size);
        QCoreApplication::processEvents();
        QVERIFY2(std::abs(share(across) - wide) < 0.02, qPrintable(QString::number(share(across))));
        QVERIFY2(std::abs(share(down) - tall) < 0.03, qPrintable(QString::number(share(down))));
    }
}

void TestWndApplication::missingPageSaysSoInTheView()
{
    testsupport::TempHome home;
    GuiTestServer server;
    Running run;
    TreeNode gone =
        addItem(run.tree(), run.defaultCabinet(), "gone", server.url("/no/such/page"))->getHandle();
    run.tree()->selectNode(gone);
    QTRY_VERIFY_WITH_TIMEOUT(run.tree()->getItem(gone)->getStatus() == clsRequestStatus::failed,
                             10000);
    QString text = run.app->htmlView()->text();
    QVERIFY2(text.startsWith(QString::fromUtf8("このページは読み込めませんでした。")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("404")), qPrintable(text));
    QVERIFY(!text.contains(QString::fromUtf8("まだ読み込まれていません")));
}

// A settings entry that names a folder the settings do not list ("05:x.scb") opens as a
// missing cabinet, not as x.scb in whatever directory the program was started from, and the
// settings keep the entry as written.
void TestWndApplication::keepsCabinetOfUnlistedFolderAsWritten()
{
    testsupport::TempHome home;
    testsupport::writeFile(home.dir() + "Quillara.ini",
                           "[Cabinet Files]\r\nCabinetFile00=05:x.scb\r\n");
    tviCabinetDocument doc;
    doc.name = "Wrong";
    doc.entries.push_back(
        tviCabinetEntry{4, -1, "Item", "http://127.0.0.1:9/", "", "", "", false, 0});
    testsupport::writeFile(home.dir() + "x.scb", tviCabinetFile::write(doc));
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(home.path());
    {
        Running run;
        tviCabinet* found = nullptr;
        for (TreeNode n = run.tree()->getFirstChild(kTreeRoot); n != nullptr;
             n = run.tree()->getNextSibling(n)) {
            tviCabinet* cabinet = run.tree()->cabinetOf(n);
            if (cabinet != nullptr && cabinet != run.tree()->cabinetOf(run.defaultCabinet()))
                found = cabinet;
        }
        QVERIFY(found != nullptr);
        QCOMPARE(found->getPath(), std::string("05:x.scb"));
        QVERIFY(found->isFileMissing());
        QCOMPARE(childCount(run.tree(), found->getHandle()), 0);
        run.program.stop();
    }
    std::filesystem::current_path(before);
    std::string saved = testsupport::readFile(home.path() / "Quillara.ini");
    QVERIFY2(saved.find("CabinetFile00=05:x.scb\r\n") != std::string::npos, saved.c_str());
}

QTEST_MAIN(TestWndApplication)
#include "test_wndApplication.moc"
