// Opening, creating and copying cabinets in the window, and cabinets and addresses given on
// the command line (of this start or of a later one).
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Dialog/ctrlCabinetTree.h"
#include "Dialog/dlgCopyCabinet.h"
#include "Dialog/dlgCreateCabinet.h"
#include "Dialog/dlgSSRoute.h"
#include "Dialog/wndOpenCabinet.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiSingleInstance.h"
#include "Gui/wndApplication.h"
#include "Gui/wndTreeView.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Browser/tviSourceCabinets.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct Running : GuiTestWindow {
    Running() : GuiTestWindow({.engine = unpaced()}) { app->setPersist(false); }
    // The root nodes' texts, in order.
    std::vector<std::string> roots() const
    {
        std::vector<std::string> out;
        for (TreeNode n = tree()->getFirstChild(kTreeRoot); n != nullptr;
             n = tree()->getNextSibling(n))
            out.push_back(tree()->getItem(n)->getText());
        return out;
    }
};

tviCabinetEntry entry(int type, int parent, const std::string& name, const std::string& url = {},
                      const std::string& description = {})
{
    tviCabinetEntry e;
    e.type = type;
    e.parent = parent;
    e.name = name;
    e.url = url;
    e.description = description;
    return e;
}

std::string writeCabinet(const std::string& path, const std::string& title, int items = 0)
{
    tviCabinetDocument doc;
    doc.name = title;
    for (int i = 0; i < items; ++i)
        doc.entries.push_back(
            entry(4, -1, "item" + std::to_string(i), "http://127.0.0.1:9/" + std::to_string(i)));
    testsupport::writeFile(path, tviCabinetFile::write(doc));
    return path;
}

} // namespace

class TestWndOpenCabinet : public QObject {
    Q_OBJECT
private slots:
    void listsOnlyWhatIsThereAndRefusesAnOpenCabinet();
    void createsAndCopiesBehindTheSelection();
    void windowAndDialogsAreModelessAndAnswerThroughTheirCommands();
    void opensCabinetsAndAddressesFromTheCommandLine();
    void laterStartHandsOverItsCabinet();
    void opensEachCabinetFileOnce();
    void copyKeepsItsSourceAndNewCabinetsHaveAFolder();
};

void TestWndOpenCabinet::listsOnlyWhatIsThereAndRefusesAnOpenCabinet()
{
    testsupport::TempHome home;
    std::string folder = home.dir() + "cabs/";
    fs::create_directories(folder + "dir.scb");
    std::string alpha = writeCabinet(folder + "alpha.scb", "Alpha");
    std::string open = writeCabinet(folder + "open.scb", "Open one");
    std::string upper = writeCabinet(folder + "Open.scb", "Open in capitals");
    testsupport::writeFile(folder + "broken.scb", "<HTML><TITLE>no end");
    testsupport::writeFile(folder + "notes.txt", "<TITLE>text</TITLE>");
    Running run;
    QVERIFY(run.app->treeView()->openCabinetHere(open));
    wndOpenCabinet window({folder, home.dir() + "missing/"}, [&](const std::string& path) {
        return run.app->treeView()->openCabinetOf(path) != nullptr;
    });
    ctrlCabinetTree* tree = window.cabinetTree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QCOMPARE(root->childCount(), 3); // Open.scb, alpha.scb, open.scb: by file name
    QCOMPARE(tree->topLevelItem(1)->childCount(), 0);
    QCOMPARE(ctrlCabinetTree::itemData(root->child(0)),
             QString("0") + QString::fromStdString(upper));
    QCOMPARE(ctrlCabinetTree::itemData(root->child(1)),
             QString("0") + QString::fromStdString(alpha));
    QCOMPARE(ctrlCabinetTree::itemData(root->child(2)),
             QString("1") + QString::fromStdString(open));
    QCOMPARE(root->child(1)->text(0), QString("Alpha"));
    // A folder node and the open cabinet cannot be chosen; another one can.
    tree->setCurrentItem(root);
    QVERIFY(!window.choose());
    tree->setCurrentItem(root->child(2));
    QVERIFY(!window.choose());
    QVERIFY(!window.isChosen());
    tree->setCurrentItem(root->child(0));
    QVERIFY(window.choose());
    QCOMPARE(window.chosenPath(), upper);
    // Two cabinets whose names differ only in case are two cabinets.
    QVERIFY(run.app->treeView()->openCabinetHere(upper));
    QVERIFY(run.app->treeView()->openCabinetOf(upper) != run.app->treeView()->openCabinetOf(open));
    QVERIFY(run.app->treeView()->openCabinetOf(upper) != nullptr);
}

void TestWndOpenCabinet::createsAndCopiesBehindTheSelection()
{
    testsupport::TempHome home;
    std::string folder = home.dir() + "made/";
    fs::create_directories(folder);
    Running run;
    wndTreeView* view = run.app->treeView();
    QVERIFY(view->createCabinet("My Links!", "first\r\nsecond", folder));
    QVERIFY(view->createCabinet("My Links!", "", folder));
    QVERIFY(fs::exists(folder + "My_Links_.scb"));
    QVERIFY(fs::exists(folder + "My_Links_(1).scb"));
    // The second one was opened behind the selected first one.
    std::vector<std::string> roots = run.roots();
    QVERIFY(roots.size() >= 3);
    QCOMPARE(roots[1], std::string("My Links!"));
    QCOMPARE(roots[2], std::string("My Links!"));
    auto* first = static_cast<tviCabinet*>(
        run.tree()->getItem(run.tree()->getNextSibling(run.tree()->getFirstChild(kTreeRoot))));
    QCOMPARE(first->getPath(), folder + "My_Links_.scb");
    // Copy the default cabinet with an item: the copy holds every item under its own name.
    tviCabinetDocument doc;
    doc.name = "Source";
    doc.entries.push_back(entry(3, -1, "F"));
    doc.entries.push_back(entry(4, 0, "I", "http://127.0.0.1:9/i", "d"));
    std::string source = writeCabinet(home.dir() + "source.scb", "Source");
    testsupport::writeFile(source, tviCabinetFile::write(doc));
    QVERIFY(view->openCabinetHere(source));
    int index = 0;
    for (TreeNode n = run.tree()->getFirstChild(kTreeRoot);
         n != nullptr && run.tree()->getItem(n)->getText() != "Source";
         n = run.tree()->getNextSibling(n))
        ++index;
    QVERIFY(index > 0);
    QVERIFY(view->copyCabinet(source, "Copied", folder));
    tviCabinetDocument copy;
    std::string error;
    QVERIFY(tviCabinetFile::read(testsupport::readFile(folder + "Copied.scb"), copy, error));
    QCOMPARE(copy.name, std::string("Copied"));
    QCOMPARE(copy.entries.size(), size_t{2});
    QCOMPARE(copy.entries[1].url, std::string("http://127.0.0.1:9/i"));
    QCOMPARE(copy.entries[1].description, std::string("d"));
    // A copy of the default cabinet does not say of itself that it cannot be deleted.
    auto* defaultCabinet =
        static_cast<tviCabinet*>(run.tree()->getItem(run.tree()->getFirstChild(kTreeRoot)));
    QVERIFY(view->copyCabinet(defaultCabinet->getPath(), "Mine", folder));
    QVERIFY(tviCabinetFile::read(testsupport::readFile(folder + "Mine.scb"), copy, error));
    QCOMPARE(copy.description, std::string());
}

void TestWndOpenCabinet::windowAndDialogsAreModelessAndAnswerThroughTheirCommands()
{
    testsupport::TempHome home;
    std::string folder = home.dir() + "modeless/";
    fs::create_directories(folder);
    std::string other = writeCabinet(folder + "other.scb", "Other");
    Running run;
    int number = 0;
    QVERIFY(GetUtlIniInfo()->addCabinetFolder(folder, number));
    wndTreeView* view = run.app->treeView();
    // The answers reach the tree view whichever pane has the focus.
    run.app->setFocusPane(wndApplication::paneList);
    size_t before = run.roots().size();

    // New cabinet: the close box is cancel and makes nothing; confirming makes and opens it.
    QVERIFY(run.run(1027));
    QVERIFY(view->createCabinetDialog() != nullptr && view->createCabinetDialog()->isVisible());
    QVERIFY(!view->createCabinetDialog()->isModal());
    view->createCabinetDialog()->close();
    QTRY_VERIFY(view->createCabinetDialog() == nullptr);
    QVERIFY(run.run(1027));
    // Return in the name confirms: 作成 is the one default button, the folder chooser never is.
    for (QPushButton* button : view->createCabinetDialog()->findChildren<QPushButton*>()) {
        QCOMPARE(button->isDefault(), button->text() == QString::fromUtf8("作成"));
        if (button->text() == QString::fromUtf8("フォルダの選択"))
            QVERIFY(!button->autoDefault());
    }
    view->createCabinetDialog()->setName("Made");
    view->createCabinetDialog()->setFolder(folder);
    auto* name = view->createCabinetDialog()->findChild<QLineEdit*>();
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    QTRY_VERIFY(view->createCabinetDialog() == nullptr);
    QVERIFY(view->openCabinetOf(folder + "Made.scb") != nullptr);
    QCOMPARE(run.roots().size(), before + 1);

    // Copy: cancel copies nothing; confirming writes the copy of the selected cabinet.
    QVERIFY(run.run(1029));
    view->copyCabinetDialog()->OnCancel();
    QTRY_VERIFY(view->copyCabinetDialog() == nullptr);
    QVERIFY(!fs::exists(folder + "Copy.scb"));
    QVERIFY(run.run(1029));
    view->copyCabinetDialog()->setName("Copy");
    view->copyCabinetDialog()->setFolder(folder);
    QVERIFY(!view->copyCabinetDialog()->isModal());
    view->copyCabinetDialog()->OnOK();
    QTRY_VERIFY(view->copyCabinetDialog() == nullptr);
    QVERIFY(view->openCabinetOf(folder + "Copy.scb") != nullptr);

    // Open: asked again, the one window is raised; a folder node cannot be chosen; a file can.
    QVERIFY(run.run(1100));
    wndOpenCabinet* window = view->openCabinetWindow();
    QVERIFY(window != nullptr && window->isVisible() && !window->isModal());
    QVERIFY(run.run(1100));
    QCOMPARE(view->openCabinetWindow(), window);
    ctrlCabinetTree* files = window->cabinetTree();
    files->setCurrentItem(files->topLevelItem(0));
    QVERIFY(!window->choose());
    for (int top = 0; top < files->topLevelItemCount(); ++top)
        for (int i = 0; i < files->topLevelItem(top)->childCount(); ++i)
            if (ctrlCabinetTree::itemData(files->topLevelItem(top)->child(i))
                    .endsWith("/other.scb"))
                files->setCurrentItem(files->topLevelItem(top)->child(i));
    QVERIFY(window->choose());
    QTRY_VERIFY(view->openCabinetWindow() == nullptr);
    QVERIFY(view->openCabinetOf(other) != nullptr);

    // Footprint: the answer goes to the page the dialog was opened for, though the selection
    // moved meanwhile; cancelling takes none.
    TreeNode defaultCabinet = run.tree()->getFirstChild(kTreeRoot);
    auto* page = static_cast<tviCabinetItem*>(
        run.tree()->adopt(tviTreeViewItem::createItem(run.tree(), typeCabinetItem)));
    page->setName("page");
    page->setUrl("http://127.0.0.1:9/page");
    QVERIFY(page->insertItem(defaultCabinet, kTreeLast));
    TreeNode route = tviSourceCabinets::find(*run.tree(), typeRouteSnapshot)->getHandle();
    for (bool confirm : {false, true}) {
        run.tree()->selectNode(page->getHandle());
        QVERIFY(run.run(1021));
        dlgSSRoute* footprint = view->footprintDialog();
        QVERIFY(footprint != nullptr && footprint->isVisible() && !footprint->isModal());
        footprint->setName("route");
        run.tree()->selectNode(defaultCabinet);
        if (confirm)
            footprint->OnOK();
        else
            footprint->close();
        QTRY_VERIFY(view->footprintDialog() == nullptr);
        QCOMPARE(run.tree()->getFirstChild(route) != nullptr, confirm);
    }
    QCOMPARE(run.tree()->getItem(run.tree()->getFirstChild(route))->getText(),
             std::string("route"));
}

void TestWndOpenCabinet::opensCabinetsAndAddressesFromTheCommandLine()
{
    testsupport::TempHome home;
    std::string cabinet = writeCabinet(home.dir() + "given.scb", "Given", 2);
    QuillaG::Options options = QuillaG::parseArguments(
        {QString::fromStdString(cabinet), "https://127.0.0.1:9/page", "--weird",
         QString::fromStdString(home.dir() + "none.scb"), "notes.txt"});
    QVERIFY(options.error.isEmpty());
    QCOMPARE(options.openPaths, QStringList{QString::fromStdString(cabinet)});
    QCOMPARE(options.addresses, QStringList{"https://127.0.0.1:9/page"});
    QCOMPARE(options.ignored, QStringList{"--weird"});
    QCOMPARE(options.missing, (QStringList{QString::fromStdString(home.dir() + "none.scb"),
                                           QFileInfo("notes.txt").absoluteFilePath()}));
    QVERIFY(QuillaG::parseArguments({"--screenshot"}).error.size() > 0);
    Running run;
    QuillaG::applyArguments(*run.app, options.openPaths, options.addresses, options.missing);
    QVERIFY(run.app->treeView()->openCabinetOf(cabinet) != nullptr);
    // A file that is not there is named in the window, not passed over in silence.
    QCOMPARE(run.app->lastTold(), QString::fromUtf8("「") +
                                      QFileInfo("notes.txt").absoluteFilePath() +
                                      QString::fromUtf8("」が見つかりません。"));
    TreeNode defaultCabinet = run.tree()->getFirstChild(kTreeRoot);
    QCOMPARE(run.tree()->getItem(run.tree()->getFirstChild(defaultCabinet))->getUrl(),
             std::string("https://127.0.0.1:9/page"));
}

void TestWndOpenCabinet::laterStartHandsOverItsCabinet()
{
    testsupport::TempHome home;
    std::string cabinet = writeCabinet(home.dir() + "later.scb", "Later");
    guiSingleInstance first(QString::fromStdString(home.dir()));
    QVERIFY(first.acquire());
    QSignalSpy opened(&first, &guiSingleInstance::openRequested);
    QProcess second;
    second.start(QStringLiteral(QUILLARA_BINARY),
                 {QString::fromStdString(cabinet), "http://127.0.0.1:9/x", "junk"});
    QVERIFY(second.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(opened.count() == 3, 10000);
    QCOMPARE(opened.at(0).at(0).toString(), QString("open"));
    QCOMPARE(opened.at(0).at(1).toString(), QString::fromStdString(cabinet));
    QCOMPARE(opened.at(1).at(0).toString(), QString("go"));
    QCOMPARE(opened.at(1).at(1).toString(), QString("http://127.0.0.1:9/x"));
    QCOMPARE(opened.at(2).at(0).toString(), QString("missing"));
    QVERIFY(opened.at(2).at(1).toString().endsWith(QStringLiteral("/junk")));
    QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
}

// One file is one cabinet in the tree, whatever way it is reached: another spelling of its
// path, a symbolic link, the open-cabinet window, a path handed over by a later start, or
// undoing the close of a cabinet that was opened again meanwhile.
void TestWndOpenCabinet::opensEachCabinetFileOnce()
{
    testsupport::TempHome home;
    std::string folder = home.dir() + "once/";
    fs::create_directories(folder + "sub");
    std::string real = writeCabinet(folder + "real.scb", "Real", 1);
    std::string link = folder + "link.scb";
    fs::create_symlink(real, link);
    Running run;
    run.tree()->answerYes = true;
    wndTreeView* view = run.app->treeView();
    size_t before = run.roots().size();
    for (const std::string& spelling :
         {real, link, folder + "sub/../real.scb", folder + "./real.scb"}) {
        QVERIFY(view->openCabinetHere(spelling));
        QVERIFY(view->openCabinetFile(spelling));
        QCOMPARE(run.roots().size(), before + 1);
        QVERIFY(view->openCabinetOf(spelling) != nullptr);
    }
    QuillaG::applyArguments(*run.app, {QString::fromStdString(link)}, {});
    QCOMPARE(run.roots().size(), before + 1);
    wndOpenCabinet window(
        {folder}, [&](const std::string& path) { return view->openCabinetOf(path) != nullptr; });
    ctrlCabinetTree* files = window.cabinetTree();
    QCOMPARE(files->topLevelItem(0)->childCount(), 2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(ctrlCabinetTree::itemData(files->topLevelItem(0)->child(i)).startsWith("1"));
        files->setCurrentItem(files->topLevelItem(0)->child(i));
        QVERIFY(!window.choose());
    }
    // Closed, opened again through the link, then the close undone: still one, selected.
    run.tree()->selectNode(view->openCabinetOf(real)->getHandle());
    bool handled = false;
    QVERIFY(view->executeCommand(codeOf(utlCommand::deleteItem), false, handled) && handled);
    QCOMPARE(run.roots().size(), before);
    QVERIFY(view->openCabinetHere(link));
    QVERIFY(view->executeCommand(codeOf(utlCommand::undoDelete), false, handled) && handled);
    QCOMPARE(run.roots().size(), before + 1);
    QCOMPARE(run.tree()->getSelection(), view->openCabinetOf(real)->getHandle());
    QVERIFY(!view->executeCommand(codeOf(utlCommand::undoDelete), true, handled) || !handled);
}

// The copy dialog copies the cabinet it showed, though another was opened before it meanwhile,
// and refuses a source that was read only in part; a new cabinet made with no cabinet folder in
// the settings goes into the data directory's Cabinet/, by an absolute path.
void TestWndOpenCabinet::copyKeepsItsSourceAndNewCabinetsHaveAFolder()
{
    testsupport::TempHome home;
    std::string folder = home.dir() + "copies/";
    fs::create_directories(folder);
    std::string first = writeCabinet(home.dir() + "first.scb", "First", 1);
    std::string second = writeCabinet(home.dir() + "second.scb", "Second", 3);
    std::string damaged = writeCabinet(home.dir() + "damaged.scb", "Damaged", 20);
    std::string whole = testsupport::readFile(damaged);
    testsupport::writeFile(damaged, whole.substr(0, whole.size() / 2));
    Running run;
    wndTreeView* view = run.app->treeView();
    QVERIFY(view->openCabinetHere(first));
    QVERIFY(view->openCabinetHere(second));
    QVERIFY(run.run(1029));
    run.tree()->selectNode(run.tree()->getFirstChild(kTreeRoot));
    QVERIFY(view->openCabinetHere(damaged)); // opened first behind the default cabinet
    view->copyCabinetDialog()->setName("Copy");
    view->copyCabinetDialog()->setFolder(folder);
    view->copyCabinetDialog()->OnOK();
    QTRY_VERIFY(view->copyCabinetDialog() == nullptr);
    tviCabinetDocument copy;
    std::string error;
    QVERIFY(tviCabinetFile::read(testsupport::readFile(folder + "Copy.scb"), copy, error));
    QCOMPARE(copy.entries.size(), size_t{3});
    // The damaged one is refused: nothing is made.
    run.tree()->selectNode(view->openCabinetOf(damaged)->getHandle());
    QVERIFY(run.run(1029));
    view->copyCabinetDialog()->setName("Broken");
    view->copyCabinetDialog()->setFolder(folder);
    view->copyCabinetDialog()->OnOK();
    QVERIFY(!fs::exists(folder + "Broken.scb"));
    view->copyCabinetDialog()->OnCancel();
    // No cabinet folder chosen: the data directory's Cabinet/.
    QVERIFY(view->createCabinet("Nowhere", "", ""));
    std::string made = home.dir() + "Data/Cabinet/Nowhere.scb";
    QVERIFY(fs::exists(made));
    QVERIFY(view->openCabinetOf(made) != nullptr);
    for (const utlIniInfo::CabinetFolder& f : GetUtlIniInfo()->getCabinetFolders())
        QVERIFY2(!f.path.empty() && f.path.front() == '/', f.path.c_str());
}

QTEST_MAIN(TestWndOpenCabinet)
#include "test_wndOpenCabinet.moc"
