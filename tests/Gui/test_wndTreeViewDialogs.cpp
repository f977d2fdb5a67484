// The dialogs in the window: new item and new folder from the menu's commands end up in the
// cabinet file, the search dialog steps through matches with F3, the mark and dead-link
// searches, the status bar when nothing is left, and the dialog's place kept in the settings.
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "QtBridge/guiText.h"
#include "Gui/toolStatusBar.h"
#include "Gui/wndApplication.h"
#include "Gui/wndTreeView.h"
#include "Dialog/dlgCreateFolder.h"
#include "Dialog/dlgCreateItem.h"
#include "Dialog/dlgSearch.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Cabinet/tviCabinet.h"
#include "TreeViewItem/Cabinet/tviCabinetFolder.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"

#include "TreeViewItem/Formats/tviBookmarkFile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QMenuBar>
#include <QTimer>
#include <QLineEdit>
#include <QTest>

namespace {

struct Running : GuiTestWindow {
    Running() : GuiTestWindow({.focusTree = true}) {}
    TreeNode cabinet() const { return defaultCabinet(); }
    std::string selected() const { return tree()->getItem(tree()->getSelection())->getText(); }
};

} // namespace

class TestWndTreeViewDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newItemAndFolderAreKeptInTheCabinet();
    void searchStepsThroughMatchesAndStops();
    void searchKeysAnswerInTheDialogAndAfterReopening();
    void exportFromTheFileMenuWritesTheTreeAsShown();
    void newItemGoesWhereItsDialogWasOpened();
};

void TestWndTreeViewDialogs::newItemAndFolderAreKeptInTheCabinet()
{
    testsupport::TempHome home;
    Running run;
    auto* cabinet = static_cast<tviCabinet*>(run.tree()->getItem(run.cabinet()));
    run.tree()->selectNode(run.cabinet());
    QVERIFY(run.run(1033));
    dlgCreateFolder* folder = run.app->treeView()->createFolderDialog();
    QVERIFY(folder != nullptr && folder->isVisible());
    folder->nameEdit()->setText(QStringLiteral("Links"));
    folder->OnOK();
    QCOMPARE(run.selected(), std::string("Links"));
    QVERIFY(run.run(1031)); // Ctrl+N on the new folder: the item goes into it
    dlgCreateItem* item = run.app->treeView()->createItemDialog();
    QVERIFY(item != nullptr);
    item->nameEdit()->setText(QStringLiteral("Page"));
    item->urlEdit()->setText(QStringLiteral("http://127.0.0.1:9/page"));
    item->OnOK();
    QCOMPARE(run.selected(), std::string("Page"));
    // Closing the next dialog with its close box makes nothing.
    QVERIFY(run.run(1031));
    size_t count = run.tree()->itemCount();
    run.app->treeView()->createItemDialog()->close();
    QCOMPARE(run.tree()->itemCount(), count);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(run.app->treeView()->createItemDialog() == nullptr);
    QVERIFY(cabinet->save());
    std::string file = testsupport::readFile(cabinet->getPath());
    QVERIFY(file.find("Links") != std::string::npos);
    QVERIFY(file.find("http://127.0.0.1:9/page") != std::string::npos);
}

// The selection moving while the new-item or new-folder dialog is open does not lose the
// input: it goes where the dialog was opened for; with that place gone and nothing usable
// selected, the dialog stays open with what was typed.
void TestWndTreeViewDialogs::newItemGoesWhereItsDialogWasOpened()
{
    testsupport::TempHome home;
    Running run;
    wndTreeView* view = run.app->treeView();
    TreeNode cabinet = run.cabinet();
    TreeNode footprints = run.tree()->getNextSibling(cabinet);
    QVERIFY(footprints != nullptr);
    for (int code : {1031, 1033}) {
        run.tree()->selectNode(cabinet);
        QVERIFY(run.run(code));
        run.tree()->selectNode(footprints); // where no cabinet item may go
        size_t count = run.tree()->itemCount();
        if (code == 1031) {
            view->createItemDialog()->nameEdit()->setText(QStringLiteral("Kept"));
            view->createItemDialog()->urlEdit()->setText(QStringLiteral("http://127.0.0.1:9/kept"));
            view->createItemDialog()->OnOK();
        } else {
            view->createFolderDialog()->nameEdit()->setText(QStringLiteral("Kept folder"));
            view->createFolderDialog()->OnOK();
        }
        QCOMPARE(run.tree()->itemCount(), count + 1);
        QCOMPARE(run.tree()->getParent(run.tree()->getSelection()), cabinet);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The item it was opened for is deleted meanwhile, and nothing usable is selected.
    auto* page = addItem(run.tree(), cabinet, "page", "http://127.0.0.1:9/p");
    run.tree()->selectNode(page->getHandle());
    QVERIFY(run.run(1031));
    run.tree()->answerYes = true;
    QVERIFY(run.run(1040));
    run.tree()->selectNode(footprints);
    dlgCreateItem* dialog = view->createItemDialog();
    dialog->nameEdit()->setText(QStringLiteral("Waiting"));
    dialog->OnOK();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(view->createItemDialog() != nullptr && view->createItemDialog()->isVisible());
    QCOMPARE(view->createItemDialog()->nameEdit()->text(), QStringLiteral("Waiting"));
    run.tree()->selectNode(cabinet);
    view->createItemDialog()->OnOK();
    QCOMPARE(run.selected(), std::string("Waiting"));
}

void TestWndTreeViewDialogs::searchStepsThroughMatchesAndStops()
{
    testsupport::TempHome home;
    Running run;
    TreeNode top = run.cabinet();
    addItem(run.tree(), top, "Alpha", "http://127.0.0.1:9/a");
    tviCabinetItem* beta = addItem(run.tree(), top, "beta", "http://127.0.0.1:9/ALPHA");
    beta->setMarked(true);
    tviCabinetItem* gamma = addItem(run.tree(), top, "Gamma", "http://127.0.0.1:9/g");
    gamma->setStatus(clsRequestStatus::failed);
    run.tree()->selectNode(top);
    QVERIFY(run.run(1023));
    dlgSearch* dialog = run.app->treeView()->searchDialog();
    QVERIFY(dialog != nullptr && dialog->isVisible());
    dialog->textBox()->setEditText(QString::fromUtf8("ａｌｐｈａ"));
    dialog->OnSearchDown();
    QCOMPARE(run.selected(), std::string("Alpha"));
    QVERIFY(run.run(11030)); // F3: the next match, through the address
    QCOMPARE(run.selected(), std::string("beta"));
    QVERIFY(run.run(11030)); // nothing below: the selection stays, the status bar says so
    QCOMPARE(run.selected(), std::string("beta"));
    QCOMPARE(run.app->statusBarPane()->partText(0), QString::fromUtf8("検索が終了しました。"));
    QVERIFY(run.run(11031)); // Shift+F3 goes back up
    QCOMPARE(run.selected(), std::string("Alpha"));
    QVERIFY(run.run(11033)); // F5: dead link
    QCOMPARE(run.selected(), std::string("Gamma"));
    QVERIFY(run.run(11028)); // Shift+F4: mark, upwards
    QCOMPARE(run.selected(), std::string("beta"));
    // Closing the dialog keeps its place; F3 then has nothing to search with.
    dialog->move(40, 30);
    dialog->close();
    QVERIFY(run.app->treeView()->searchDialog() == nullptr);
    QVERIFY(!run.app->isMenuIdAvailable(32875));
    QCOMPARE(GetUtlIniInfo()->getInt(IniKey::SearchLeft), dialog->pos().x());
    QCOMPARE(GetUtlIniInfo()->getInt(IniKey::SearchTop), dialog->pos().y());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The next dialog opens there with the last text at the top of its history.
    QVERIFY(run.run(1023));
    dialog = run.app->treeView()->searchDialog();
    QCOMPARE(dialog->pos(), QPoint(GetUtlIniInfo()->getInt(IniKey::SearchLeft),
                                   GetUtlIniInfo()->getInt(IniKey::SearchTop)));
    QCOMPARE(dialog->textBox()->itemText(0), QString::fromUtf8("ａｌｐｈａ"));
    // A place that lies on no screen is brought back onto one.
    dialog->close();
    GetUtlIniInfo()->setInt(IniKey::SearchLeft, 50000);
    GetUtlIniInfo()->setInt(IniKey::SearchTop, 50000);
    GetUtlIniInfo()->setInt(IniKey::SearchRight, 50300);
    GetUtlIniInfo()->setInt(IniKey::SearchBottom, 50200);
    QVERIFY(run.run(1023));
    QRect placed(run.app->treeView()->searchDialog()->pos(),
                 run.app->treeView()->searchDialog()->size());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().intersects(placed));
}

void TestWndTreeViewDialogs::searchKeysAnswerInTheDialogAndAfterReopening()
{
    testsupport::TempHome home;
    Running run;
    TreeNode top = run.cabinet();
    addItem(run.tree(), top, "One", "http://127.0.0.1:9/news");
    addItem(run.tree(), top, "news", "http://127.0.0.1:9/b");
    addItem(run.tree(), top, "Three", "http://127.0.0.1:9/NEWS/c");
    run.tree()->selectNode(top);
    QVERIFY(run.run(1023));
    dlgSearch* dialog = run.app->treeView()->searchDialog();
    // Only the addresses: the item named "news" is passed over.
    dialog->textBox()->setEditText(QStringLiteral("news"));
    dialog->optionBox(searchName)->setChecked(false);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QWidget* typing = dialog->textBox()->lineEdit();
    QTest::keyClick(typing, Qt::Key_F3);
    QCOMPARE(run.selected(), std::string("One"));
    QTest::keyClick(typing, Qt::Key_F3);
    QCOMPARE(run.selected(), std::string("Three"));
    QTest::keyClick(typing, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(run.selected(), std::string("One"));
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Reopened, the dialog shows the last text and boxes; F3 at once searches with them.
    run.tree()->selectNode(top);
    QVERIFY(run.run(1023));
    dialog = run.app->treeView()->searchDialog();
    QCOMPARE(dialog->textBox()->currentText(), QStringLiteral("news"));
    QVERIFY(!dialog->optionBox(searchName)->isChecked());
    QVERIFY(run.run(11030));
    QCOMPARE(run.selected(), std::string("One"));
    // What the dialog shows is what F3 searches for, even before a button was pressed.
    dialog->optionBox(searchName)->setChecked(true);
    QVERIFY(run.run(11030));
    QCOMPARE(run.selected(), std::string("news"));
}

// ファイル → エクスポート asks for a file and writes the selected item's cabinet, with a change
// not yet saved, as a bookmark file; a path it must not write is refused and left alone.
void TestWndTreeViewDialogs::exportFromTheFileMenuWritesTheTreeAsShown()
{
    testsupport::TempHome home;
    Running run;
    tviCabinetItem* item = addItem(run.tree(), run.cabinet(), platform::utf8ToSjis("未保存の項目"),
                                   "http://127.0.0.1:9/new");
    run.tree()->selectNode(item->getHandle());
    QVERIFY(run.app->isMenuIdAvailable(32883));
    QAction* action = nullptr;
    for (QAction* a : run.app->menuBar()->findChildren<QAction*>()) {
        if (a->data().toInt() == 32883)
            action = a;
    }
    QVERIFY(action != nullptr);
    QCOMPARE(action->text(), QString::fromUtf8("エクスポート(&E)"));
    std::string target = home.dir() + "exported.html";
    bool answered = false;
    // The file dialog is modal: it is answered from the event loop it runs. It proposes the
    // cabinet's name; a name typed into it races with its own reading of the directory, so the
    // menu's dialog is only looked at and closed, and the file is written as its OK would.
    QString proposed;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || answered)
            return;
        answered = true;
        proposed = dialog->selectedFiles().value(0);
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    timer.start(20);
    action->trigger();
    timer.stop();
    QVERIFY(answered);
    QVERIFY2(proposed.endsWith(QStringLiteral(".html")), qPrintable(proposed));
    QVERIFY(run.app->treeView()->exportCabinet(target));
    tviCabinetDocument doc;
    std::string error;
    QVERIFY2(tviBookmarkFile::read(testsupport::readFile(target), doc, error), error.c_str());
    QCOMPARE(doc.entries.size(), size_t(1));
    QCOMPARE(platform::sjisToUtf8(doc.entries[0].name), std::string("未保存の項目"));
    QCOMPARE(doc.entries[0].url, std::string("http://127.0.0.1:9/new"));

    std::string notes = home.dir() + "notes.txt";
    testsupport::writeFile(notes, "mine\n");
    QVERIFY(!run.app->treeView()->exportCabinet(notes));
    QCOMPARE(testsupport::readFile(notes), std::string("mine\n"));
}

QTEST_MAIN(TestWndTreeViewDialogs)
#include "test_wndTreeViewDialogs.moc"
