// The item and search dialogs alone: what confirm, cancel, Escape and the close box hand to
// the command's target, the byte limits of the fields, and the search history.
#include "TestSupport.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlHelp.h"
#include "Dialog/dlgCopyCabinet.h"
#include "Dialog/dlgCreateCabinet.h"
#include "Dialog/dlgCreateFolder.h"
#include "Dialog/dlgCreateItem.h"
#include "Dialog/dlgNameCheck.h"
#include "Dialog/dlgPropertyPage.h"
#include "Dialog/dlgSSPage.h"
#include "Dialog/dlgSearch.h"
#include "QtBridge/guiText.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Base/ctrlTreeView.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <functional>

namespace {

// Records each command with the dialog data as it was when the command arrived.
struct Target : utlCommandTarget {
    tviDialogData* data = nullptr;
    std::vector<int> codes;
    std::vector<tviDialogData> seen;
    bool fail = false;
    bool executeCommand(int code, bool, bool& handled) override
    {
        codes.push_back(code);
        if (data != nullptr)
            seen.push_back(*data);
        handled = true;
        return !fail;
    }
};

struct Root {
    Target target;
    Root() { InitUtlCommand(&target); }
    ~Root() { TermUtlCommand(); }
};

enum class Way { ok, cancel, escape, closeBox };

void finish(dlgModelessDialog& dialog, Way way)
{
    switch (way) {
    case Way::ok: dialog.OnOK(); break;
    case Way::cancel: dialog.OnCancel(); break;
    case Way::escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
    case Way::closeBox: dialog.close(); break;
    }
}

std::string sj(const char* utf8)
{
    return platform::utf8ToSjis(utf8);
}

} // namespace

class TestDlgItemDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createItemHandsItsFieldsToTheTargetOrCancels();
    void createFolderHandsItsFieldsToTheTargetOrCancels();
    void fieldsAreCutToTheirBytesOnACharacterBoundary();
    void failedCommandKeepsTheDialogOpen();
    void searchKeepsHistoryAndOptions();
    void helpButtonAndF1OpenTheDialogsOwnPage();
    void namesForFilesAreRefusedBeforeAnythingIsMade();
};

void TestDlgItemDialogs::createItemHandsItsFieldsToTheTargetOrCancels()
{
    testsupport::TempHome home;
    Root root;
    struct Case {
        Way way;
        bool confirmed;
    } cases[] = {
        {Way::ok, true}, {Way::cancel, false}, {Way::escape, false}, {Way::closeBox, false}};
    for (const Case& c : cases) {
        tviDialogData data;
        root.target.data = &data;
        root.target.codes.clear();
        root.target.seen.clear();
        dlgCreateItem dialog(&data, sj("新規アイテム"));
        dialog.show();
        QCOMPARE(dialog.nameEdit()->text(), gui::toQt(sj("新規アイテム")));
        dialog.nameEdit()->setText(QStringLiteral("Name"));
        dialog.urlEdit()->setText(QStringLiteral(" http://example.com/ "));
        dialog.commentEdit()->setPlainText(QStringLiteral("one\ntwo"));
        dialog.markBox()->setChecked(true);
        finish(dialog, c.way);
        QCOMPARE(root.target.codes, std::vector<int>{1032});
        const tviDialogData& got = root.target.seen.at(0);
        QCOMPARE(got.confirmed, c.confirmed);
        QCOMPARE(dialog.isAccepted(), c.confirmed);
        QVERIFY(!dialog.isVisible());
        if (!c.confirmed)
            continue;
        QCOMPARE(got.name, std::string("Name"));
        QCOMPARE(got.url, std::string("http://example.com/"));
        QCOMPARE(got.description, std::string("one\r\ntwo"));
        QVERIFY(got.marked);
    }
}

void TestDlgItemDialogs::createFolderHandsItsFieldsToTheTargetOrCancels()
{
    testsupport::TempHome home;
    Root root;
    for (Way way : {Way::ok, Way::closeBox}) {
        tviDialogData data;
        root.target.data = &data;
        root.target.codes.clear();
        root.target.seen.clear();
        dlgCreateFolder dialog(&data, "F");
        dialog.show();
        dialog.commentEdit()->setPlainText(QStringLiteral("a\nb"));
        finish(dialog, way);
        QCOMPARE(root.target.codes, std::vector<int>{1034});
        QCOMPARE(root.target.seen.at(0).confirmed, way == Way::ok);
        if (way == Way::ok) {
            QCOMPARE(root.target.seen.at(0).name, std::string("F"));
            QCOMPARE(root.target.seen.at(0).description, std::string("a\r\nb"));
            QVERIFY(!root.target.seen.at(0).marked);
        }
    }
}

void TestDlgItemDialogs::fieldsAreCutToTheirBytesOnACharacterBoundary()
{
    testsupport::TempHome home;
    Root root;
    tviDialogData data;
    dlgCreateItem item(&data, "x");
    QString kana;
    for (int i = 0; i < 200; ++i)
        kana += QChar(0x3042); // あ: two bytes each
    QTest::keyClicks(item.urlEdit(), QString(300, QLatin1Char('u')));
    item.nameEdit()->setText(kana);
    item.OnOK();
    QCOMPARE(data.url.size(), dlgCreateItem::urlBytes);
    QCOMPARE(data.name.size(), std::size_t(258)); // 259 would split a character
    QCOMPARE(platform::sjisBoundary(data.name, data.name.size()), data.name.size());

    dlgCreateFolder folder(&data, std::string(2000, 'n'));
    folder.OnOK();
    QCOMPARE(data.name.size(), dlgCreateFolder::nameBytes);
}

void TestDlgItemDialogs::failedCommandKeepsTheDialogOpen()
{
    testsupport::TempHome home;
    Root root;
    root.target.fail = true;
    tviDialogData data;
    dlgCreateItem dialog(&data, "x");
    dialog.show();
    dialog.OnOK();
    QVERIFY(dialog.isVisible());
    dialog.close();
    QVERIFY(dialog.isVisible());
    root.target.fail = false;
    dialog.close();
    QVERIFY(!dialog.isVisible());
}

void TestDlgItemDialogs::searchKeepsHistoryAndOptions()
{
    testsupport::TempHome home;
    Root root;
    dlgSearch::Fields initial{"old", 1, searchName | searchUrl};
    dlgSearch dialog(initial, {"old"}, nullptr);
    dialog.show();
    QCOMPARE(dialog.textBox()->currentText(), QStringLiteral("old"));
    QVERIFY(dialog.optionBox(searchName)->isChecked());
    QVERIFY(!dialog.optionBox(searchTitle)->isChecked());
    for (const char* text : {"abc", "ab"}) {
        dialog.textBox()->setEditText(QString::fromLatin1(text));
        dialog.OnSearchDown();
    }
    QCOMPARE(dialog.history(), (std::vector<std::string>{"ab", "old"}));
    QCOMPARE(dialog.textBox()->currentText(), QStringLiteral("ab"));
    dialog.optionBox(searchTitle)->setChecked(true);
    dialog.OnSearchUp();
    QCOMPARE(dialog.fields().direction, 1);
    QCOMPARE(dialog.searchOptions(), searchName | searchUrl | searchTitle);
    QVERIFY(dialog.isAccepted());
    QVERIFY(dialog.isVisible()); // the dialog stays open between searches
    QCOMPARE(root.target.codes, (std::vector<int>{1024, 1024, 1024}));
    dialog.close();
    QVERIFY(!dialog.isAccepted());
    QCOMPARE(root.target.codes.size(), std::size_t(4));
}

void TestDlgItemDialogs::helpButtonAndF1OpenTheDialogsOwnPage()
{
    testsupport::TempHome home;
    Root root;
    for (const char* page : {"panel/p_newi.html", "panel/p_newh.html", "panel/p_search.html"}) {
        std::filesystem::create_directories(home.path() / "Help" / "panel");
        testsupport::writeFile(home.path() / "Help" / page, "<html></html>");
    }
    QVERIFY(InitUtlHelp());
    std::vector<std::string> opened;
    GetUtlHelp()->setOpener([&opened](const std::string& path) {
        opened.push_back(path.substr(path.rfind('/') + 1));
        return true;
    });
    tviDialogData data;
    dlgCreateItem item(&data, "x");
    item.show();
    QVERIFY(QTest::qWaitForWindowExposed(&item));
    QTest::keyClick(&item, Qt::Key_F1);
    dlgCreateFolder folder(&data, "x");
    folder.OnHelp();
    dlgSearch search({}, {}, nullptr);
    search.OnHelp();
    TermUtlHelp();
    QCOMPARE(opened, (std::vector<std::string>{"p_newi.html", "p_newh.html", "p_search.html"}));
}

namespace {

std::string times(const std::string& text, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

void clickButton(QDialog& dialog, const std::string& sjisText)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == gui::toQt(sjisText))
            button->click();
}

} // namespace

void TestDlgItemDialogs::namesForFilesAreRefusedBeforeAnythingIsMade()
{
    const std::string kanji = platform::utf8ToSjis("漢"); // three bytes in the file name
    struct Case {
        std::string name;
        bool usable;
    };
    const Case cases[] = {
        {"My Links!", true},
        {"a.b", true},
        {"...", true},
        {"", true},
        {"a/b", false},
        {"/", false},
        {std::string("a\0b", 3), false},
        {"tab\there", false},
        {"line\r\n", false},
        {"del\x7f", false},
        {".", false},
        {"..", false},
        {kanji + "/", false},
        {std::string(245, 'a'), true}, // 245 + "(9999).scb" = 255 bytes
        {std::string(246, 'a'), false},
        {times(kanji, 81), true}, // 243 + 10
        {times(kanji, 82), false},
    };
    for (const Case& c : cases) {
        std::size_t bytes = dlgNameCheck::fileNameBytes(c.name, dlgNameCheck::cabinetSuffix);
        QVERIFY2(dlgNameCheck::problem(c.name, bytes).empty() == c.usable, c.name.c_str());
    }

    // In the dialogs: the message, the dialog stays, nothing accepted; a good name goes through.
    std::vector<std::string> told;
    dlgPropertyPage::setNotifier(
        [&told](const std::string& text, const std::string&) { told.push_back(text); });
    const std::string create = "\x8d\xec\x90\xac"; // 作成
    Root root;
    dlgCreateCabinet created({"/tmp"});
    dlgCopyCabinet copied({"Box"}, 0, {"/tmp"});
    dlgSSPage snapshot(nullptr, "/x/", 25, 35, "", true);
    for (const char* bad : {"..", "a/b", "x\ty"}) {
        created.setName(bad);
        clickButton(created, create);
        copied.setName(bad);
        clickButton(copied, create);
        snapshot.findChild<QLineEdit*>(QStringLiteral("name"))->setText(QString::fromLatin1(bad));
        clickButton(snapshot, "OK");
    }
    QCOMPARE(told.size(), std::size_t(9));
    QVERIFY(root.target.codes.empty());
    QCOMPARE(created.result(), int(QDialog::Rejected));
    QCOMPARE(copied.result(), int(QDialog::Rejected));
    QVERIFY(!snapshot.isAccepted());
    created.setName("My Links!");
    clickButton(created, create);
    copied.setName("Copy");
    clickButton(copied, create);
    snapshot.findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("snap"));
    clickButton(snapshot, "OK");
    QCOMPARE(created.result(), int(QDialog::Accepted));
    QCOMPARE(copied.result(), int(QDialog::Accepted));
    QVERIFY(snapshot.isAccepted());
    QCOMPARE(told.size(), std::size_t(9));
    QCOMPARE(root.target.codes, (std::vector<int>{1027, 1029, 1020}));
    QVERIFY(created.isAccepted() && copied.isAccepted());

    // A new folder of the snapshot cabinet is a directory: the command does not run.
    root.target.codes.clear();
    tviDialogData data;
    dlgCreateFolder folder(&data, "..");
    folder.setNamesDirectory(true);
    folder.show();
    folder.OnOK();
    QCOMPARE(told.size(), std::size_t(10));
    QVERIFY(root.target.codes.empty());
    QVERIFY(folder.isVisible());
    folder.nameEdit()->setText(QStringLiteral("ok"));
    folder.OnOK();
    QCOMPARE(root.target.codes, std::vector<int>{1034});
    dlgPropertyPage::setNotifier(nullptr);
}

QTEST_MAIN(TestDlgItemDialogs)
#include "test_dlgItemDialogs.moc"
