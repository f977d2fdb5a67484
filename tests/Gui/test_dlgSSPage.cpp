// The snapshot dialog and the snapshot cabinet in the window: the dialog's texts, a snapshot
// of the selected item through 1019/1020, opening it from disk, delete and restore.
#include "GuiTestServer.h"
#include "TestSupport.h"

#include "Dialog/dlgNameCheck.h"
#include "Dialog/dlgSSPage.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/toolStatusBar.h"
#include "Gui/wndApplication.h"
#include "Gui/wndHtmlView.h"
#include "Gui/wndListView.h"
#include "Gui/wndTreeView.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Snapshot/tviPSSItem.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <filesystem>

class TestDlgSSPage : public QObject {
    Q_OBJECT
private slots:
    void buildsTheTextsOfTheCurrentSettings();
    void proposesANameTheCheckAccepts();
    void takesOpensDeletesAndRestoresASnapshot();
};

void TestDlgSSPage::buildsTheTextsOfTheCurrentSettings()
{
    // 保存する場所 : , 一定期間過ぎたら色を変える   25日, 一定期間過ぎたら削除する     35日
    QCOMPARE(dlgSSPage::locationText("/x/"),
             std::string("\x95\xDB\x91\xB6\x82\xB7\x82\xE9\x8F\xEA\x8F\x8A : /x/"));
    QCOMPARE(dlgSSPage::colourText(25),
             std::string("\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x90\x46"
                         "\x82\xF0\x95\xCF\x82\xA6\x82\xE9   25\x93\xFA"));
    QCOMPARE(dlgSSPage::deleteText(35),
             std::string("\x88\xEA\x92\xE8\x8A\xFA\x8A\xD4\x89\xDF\x82\xAC\x82\xBD\x82\xE7\x8D\xED"
                         "\x8F\x9C\x82\xB7\x82\xE9     35\x93\xFA"));
    dlgSSPage dialog(nullptr, "/x/", 25, 35, std::string(300, 'n'), true);
    QCOMPARE(dialog.getName().size(), std::size_t(255));
    QVERIFY(dialog.getAutoDelete());
    // What is kept and dropped follows PrefFile/SnapshotScripts.
    auto shows = [](const dlgSSPage& d, const std::string& sjis) {
        for (const QLabel* label : d.findChildren<QLabel*>())
            if (label->text() == gui::toQt(sjis))
                return true;
        return false;
    };
    QVERIFY(shows(dialog, dlgSSPage::keptText()) && shows(dialog, dlgSSPage::offlineText()));
    QVERIFY(shows(dialog, dlgSSPage::droppedText(false)));
    dlgSSPage keeping(nullptr, "/x/", 25, 35, "n", false, true);
    QVERIFY(shows(keeping, dlgSSPage::droppedText(true)) &&
            !shows(keeping, dlgSSPage::droppedText(false)));
}

void TestDlgSSPage::proposesANameTheCheckAccepts()
{
    struct Case {
        std::string text;
        std::string title;
        std::string address;
        std::string proposed;
    };
    const std::string kanji = "\x93\xFA\x96\x7B"; // 日本
    std::string manyKanji;
    for (int i = 0; i < 150; ++i)
        manyKanji += kanji;
    const std::vector<Case> cases = {
        {"page", "Title", "http://h/p", "page"},
        {"http://h/a/b.html", "", "http://h/a/b.html", "h_a_b.html"},
        {"http://h/a/", "News / Today", "http://h/a/", "News _ Today"},
        {"http://h/", " \t\r\n ", "http://h/", "h"},
        {"..", "", "file:///tmp/x.html", "tmp_x.html"},
        {"x/" + kanji, "", "/home/me/" + kanji + ".html", "home_me_" + kanji + ".html"},
        {std::string(300, 'a'), "", "http://h/q?x=1#frag", "h_q?x=1"},
        {"a\x01", manyKanji, "http://h/", manyKanji.substr(0, 160)},
        {"/", "", "http:///", "snapshot"},
    };
    for (const Case& c : cases) {
        std::string proposed = tviSnapshotFiles::proposeName(c.text, c.title, c.address);
        QCOMPARE(proposed, c.proposed);
        std::size_t bytes = dlgNameCheck::fileNameBytes(proposed, dlgNameCheck::directorySuffix);
        QVERIFY2(dlgNameCheck::problem(proposed, bytes).empty(), c.address.c_str());
    }
}

namespace {

// Fills in the open snapshot dialog and presses OK.
void answerDialog(dlgSSPage* dialog, const QString& name, bool autoDelete)
{
    dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(name);
    dialog->findChild<QCheckBox*>(QStringLiteral("autoDelete"))->setChecked(autoDelete);
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("OK"))
            button->click();
}

} // namespace

void TestDlgSSPage::takesOpensDeletesAndRestoresASnapshot()
{
    testsupport::TempHome home;
    GuiTestServer server;
    QuillaG program;
    program.startServices();
    auto window = std::make_unique<wndApplication>();
    clsEngineOptions options;
    options.paceIntervalMs = 0;
    options.receiveTimeoutMs = 5000;
    window->useOwnEngine(options);
    program.startWindow(std::move(window));
    wndApplication* app = program.application();
    ctrlQtTreeView* tree = app->tree();
    tree->interactive = false;
    tree->answerYes = true;

    // The cabinet sits behind the default cabinet and the footprint cabinet.
    TreeNode first = tree->getFirstChild(kTreeRoot);
    auto* cabinet = static_cast<tviPageSnapshot*>(tree->snapshotCabinet());
    QVERIFY(cabinet != nullptr);
    QCOMPARE(tree->getItem(tree->getNextSibling(first))->getType(), int(typeRouteSnapshot));
    QCOMPARE(tree->getNextSibling(tree->getNextSibling(first)), cabinet->getHandle());

    auto* source = static_cast<tviCabinetItem*>(
        tree->adopt(tviTreeViewItem::createItem(tree, typeCabinetItem)));
    source->setName("page");
    source->setUrl(server.url("/page/1"));
    QVERIFY(source->insertItem(first, kTreeLast));
    tree->selectNode(source->getHandle());
    // Modeless: the menu shows the dialog and returns; the close box takes nothing.
    QVERIFY(app->runMenuId(32801));
    QPointer<dlgSSPage> dialog = app->snapshotDialog();
    QVERIFY(dialog != nullptr && dialog->isVisible() && !dialog->isModal());
    dialog->close();
    QTest::qWait(0);
    QVERIFY(app->snapshotDialog() == nullptr || !app->snapshotDialog()->isVisible());
    QCOMPARE(tree->getFirstChild(cabinet->getHandle()), static_cast<TreeNode>(nullptr));

    // Without a name the dialog stays. The answer goes to the page the dialog was opened for
    // though the selection moved; the box opens ticked (deletion is on) and the user's choice
    // is what the snapshot keeps.
    QVERIFY(app->runMenuId(32801));
    dialog = app->snapshotDialog();
    QVERIFY(dialog != nullptr);
    answerDialog(dialog, QString(), true);
    QVERIFY(dialog->isVisible());
    QCOMPARE(tree->getFirstChild(cabinet->getHandle()), static_cast<TreeNode>(nullptr));
    tree->selectNode(first);
    answerDialog(dialog, QStringLiteral("offline"), false);
    QTest::qWait(0);
    QVERIFY(dialog == nullptr || !dialog->isVisible());
    auto* item =
        dynamic_cast<tviPSSItem*>(tree->getItem(tree->getFirstChild(cabinet->getHandle())));
    QVERIFY(item != nullptr);
    // Selected while it downloads, the snapshot fills the views once it is saved.
    tree->selectNode(item->getHandle());
    QElapsedTimer waited;
    waited.start();
    while (item->getDownloadState() != 0 && waited.elapsed() < 30000)
        QTest::qWait(20);
    QCOMPARE(item->getDownloadState(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(app->listView()->rowCount() > 0, 10000);
    QVERIFY(app->htmlView()->text().contains(QString::fromUtf8("日本語のページ 1")));
    QCOMPARE(app->statusBarPane()->partText(0), QString::fromStdString(item->getUrl()));
    QCOMPARE(item->getText(), std::string("offline"));
    QCOMPARE(item->getSource(), source->getUrl());
    QVERIFY(!item->getAutoDelete());
    QVERIFY(std::filesystem::exists(item->getUrl()));

    tree->selectNode(item->getHandle());
    bool handled = false;
    QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::showInBrowser), false, handled));
    QVERIFY(handled);
    QCOMPARE(tree->lastOpened, item->getUrl());

    std::string path = item->getFullPath();
    QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    QVERIFY(!std::filesystem::exists(path));
    QCOMPARE(tree->getFirstChild(cabinet->getHandle()), static_cast<TreeNode>(nullptr));
    QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::undoDelete), false, handled));
    QVERIFY(std::filesystem::exists(path + item->getTop()));
    QCOMPARE(testsupport::readFile(home.dir() + "Data/Snapshot/List"),
             std::string("I:offline/:offline\r\n"));

    // An item named by its address: the dialog proposes a name that OK takes as it stands.
    source->setName(source->getUrl());
    tree->selectNode(source->getHandle());
    QVERIFY(app->runMenuId(32801));
    dialog = app->snapshotDialog();
    QVERIFY(dialog != nullptr);
    QString proposed = dialog->findChild<QLineEdit*>(QStringLiteral("name"))->text();
    QVERIFY(!proposed.contains('/'));
    answerDialog(dialog, proposed, false);
    QTest::qWait(0);
    QVERIFY(dialog == nullptr || !dialog->isVisible());
    auto* named =
        dynamic_cast<tviPSSItem*>(tree->getItem(tree->getFirstChild(cabinet->getHandle())));
    QVERIFY(named != nullptr && named != item);
    waited.restart();
    while (named->getDownloadState() != 0 && waited.elapsed() < 30000)
        QTest::qWait(20);
    QVERIFY(!named->isFailed());

    // Two deletions: undo brings back the last from the window's buffer, the one before from
    // the trash; "empty the trash" (Tools menu) asks, and then nothing comes back.
    auto snapshotCount = [&] {
        int count = 0;
        for (TreeNode n = tree->getFirstChild(cabinet->getHandle()); n != nullptr;
             n = tree->getNextSibling(n))
            ++count;
        return count;
    };
    for (tviPSSItem* doomed : {item, named}) {
        tree->selectNode(doomed->getHandle());
        QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    }
    QCOMPARE(snapshotCount(), 0);
    QVERIFY(app->isMenuIdAvailable(32780));
    QVERIFY(app->runMenuId(32780));
    QVERIFY(app->runMenuId(32780));
    QCOMPARE(snapshotCount(), 2);
    QVERIFY(!app->isMenuIdAvailable(32780));
    QVERIFY(!app->isMenuIdAvailable(32884));
    tree->selectNode(tree->getFirstChild(cabinet->getHandle()));
    QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::deleteItem), false, handled));
    tree->selectNode(first);
    QVERIFY(app->isMenuIdAvailable(32884));
    tree->answerYes = true;
    QVERIFY(app->runMenuId(32884));
    QVERIFY(std::filesystem::is_empty(home.dir() + "Data/Snapshot/_ Delete _"));
    QVERIFY(!app->isMenuIdAvailable(32780));
    QCOMPARE(snapshotCount(), 1);

    // Dragged onto a folder and moved out again: the snapshot's directory follows.
    tree->dialogData = tviDialogData{"box", {}, {}, false, true};
    QVERIFY(cabinet->executeCommand(codeOf(utlCommand::newFolderConfirmed), false, handled));
    TreeNode box = tree->getFirstChild(cabinet->getHandle());
    auto* moved = dynamic_cast<tviPSSItem*>(tree->getItem(tree->getNextSibling(box)));
    QVERIFY(moved != nullptr);
    QVERIFY(app->treeView()->dropItem(moved->getHandle(), box, false));
    QCOMPARE(tree->getParent(moved->getHandle()), box);
    QVERIFY(moved->getUrl().starts_with(home.dir() + "Data/Snapshot/box/"));
    QVERIFY(std::filesystem::exists(moved->getUrl()));
    tree->selectNode(moved->getHandle());
    QVERIFY(app->treeView()->executeCommand(codeOf(utlCommand::moveUp), false, handled));
    QVERIFY(handled);
    QCOMPARE(tree->getParent(moved->getHandle()), cabinet->getHandle());
    QVERIFY(std::filesystem::exists(moved->getUrl()));
    QVERIFY(!std::filesystem::exists(home.dir() + "Data/Snapshot/box/" + moved->getDirName()));
    program.stop();
}

QTEST_MAIN(TestDlgSSPage)
#include "test_dlgSSPage.moc"
