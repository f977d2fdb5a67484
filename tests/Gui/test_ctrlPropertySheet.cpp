// The preference sheet in the window: every setting a page names goes through Quillara.ini
// and back, OK applies at once, day counts below 1 and bookmarks without a file are refused,
// the factory settings and the switch between the two modes.
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Dialog/ctrlPropertySheet.h"
#include "Dialog/dlgPrefFile.h"
#include "Dialog/dlgPrefListView.h"
#include "Dialog/dlgPropertyPage.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "QtBridge/guiText.h"
#include "Gui/wndApplication.h"
#include "Gui/wndHtmlView.h"
#include "Gui/wndListView.h"
#include "Gui/wndTreeView.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Browser/tviNetscapeNavigator.h"
#include "TreeViewItem/Browser/tviSourceCabinets.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFontDatabase>
#include <QHeaderView>
#include <QTreeWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <map>

namespace {

struct Running : GuiTestWindow {
    std::vector<std::string> told;

    Running()
    {
        dlgPropertyPage::setNotifier(
            [this](const std::string& text, const std::string&) { told.push_back(text); });
    }
    ~Running() { dlgPropertyPage::setNotifier(nullptr); }

    ctrlPropertySheet* open(ctrlPropertySheet::Mode mode)
    {
        bool handled = false;
        app->executeCommand(1018, false, handled);
        ctrlPropertySheet* sheet = app->preferenceSheet();
        if (sheet != nullptr && mode != sheet->mode())
            sheet->OnSwitchMode();
        return sheet;
    }
};

// What the settings file holds now, read afresh.
struct Stored {
    utlIniInfo ini;
    Stored()
    {
        ini.init();
        ini.load();
    }
};

struct Expected {
    std::map<IniKey, int> ints;
    std::map<IniKey, std::string> texts;
};

// Puts a value other than the present one into every bound control of page.
void changeEverything(dlgPropertyPage* page, Expected& expected, int& salt)
{
    for (const dlgPropertyPage::Binding& b : page->bindings()) {
        ++salt;
        switch (b.kind) {
        case dlgPropertyPage::Kind::check: {
            auto* box = static_cast<QCheckBox*>(b.widget);
            box->setChecked(!box->isChecked());
            expected.ints[b.key] = box->isChecked() ? 1 : 0;
            break;
        }
        case dlgPropertyPage::Kind::radios: {
            QList<QAbstractButton*> buttons = b.group->buttons();
            int next = b.group->checkedId() % static_cast<int>(buttons.size()) + 1;
            b.group->button(next)->setChecked(true);
            expected.ints[b.key] = next;
            break;
        }
        case dlgPropertyPage::Kind::comboIndex: {
            auto* combo = static_cast<QComboBox*>(b.widget);
            combo->setCurrentIndex(2 - combo->currentIndex() % 2); // depth "4" is stored as 2
            expected.ints[b.key] = combo->currentIndex();
            break;
        }
        case dlgPropertyPage::Kind::comboText:
            static_cast<QComboBox*>(b.widget)->setCurrentText(
                QStringLiteral("Test Face %1").arg(salt));
            expected.texts[b.key] = "Test Face " + std::to_string(salt);
            break;
        case dlgPropertyPage::Kind::comboNumber:
            static_cast<QComboBox*>(b.widget)->setCurrentText(QString::number(13));
            expected.ints[b.key] = 13;
            break;
        case dlgPropertyPage::Kind::text:
            static_cast<QLineEdit*>(b.widget)->setText(QStringLiteral("/tmp/q%1").arg(salt));
            expected.texts[b.key] = "/tmp/q" + std::to_string(salt);
            break;
        case dlgPropertyPage::Kind::path:
            // A path is the file system's bytes, never Shift_JIS.
            static_cast<QLineEdit*>(b.widget)->setText(
                QString::fromUtf8("/tmp/キャビネット😀%1").arg(salt));
            expected.texts[b.key] = "/tmp/キャビネット😀" + std::to_string(salt);
            break;
        case dlgPropertyPage::Kind::days:
            static_cast<QLineEdit*>(b.widget)->setText(QString::number(salt));
            expected.ints[b.key] = salt;
            break;
        case dlgPropertyPage::Kind::colour:
            dlgPropertyPage::setColour(static_cast<QPushButton*>(b.widget), 0x010203 * salt);
            expected.ints[b.key] = 0x010203 * salt;
            break;
        }
    }
}

} // namespace

class TestCtrlPropertySheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everySettingRoundTripsThroughTheFile();
    void turningTheListViewOffAppliesAtOnce();
    void favoritesAndBookmarksFollowTheSheetAtOnce();
    void refusesDaysBelowOneAndBookmarksWithoutFile();
    void factorySettingsAndModeSwitch();
    void listColumnsFollowThePageAtOnceAndAfterRestart();
    void chosenFontReachesTheThreeViewsAtOnce();
    void ageingSettingsReachTheCabinetsAtOnce();
};

void TestCtrlPropertySheet::everySettingRoundTripsThroughTheFile()
{
    testsupport::TempHome home;
    Running run;
    Expected expected;
    int salt = 1;
    for (auto mode : {ctrlPropertySheet::Mode::easy, ctrlPropertySheet::Mode::detailed}) {
        ctrlPropertySheet* sheet = run.open(mode);
        QVERIFY(sheet != nullptr);
        for (dlgPropertyPage* page : sheet->pages())
            changeEverything(page, expected, salt);
        if (mode == ctrlPropertySheet::Mode::detailed) {
            auto* list = static_cast<dlgPrefListView*>(sheet->pages().at(2));
            list->list()->setCurrentRow(0);
            list->list()->item(0)->setCheckState(Qt::Unchecked);
            list->moveSelected(1); // "URL" goes behind "名前"
            auto* file = static_cast<dlgPrefFile*>(sheet->pages().at(3));
            file->addFolder(home.dir() + "More キャビネット");
        }
        QVERIFY(sheet->OnOK());
        sheet->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(expected.ints.size() + expected.texts.size(),
             std::size_t(30)); // every key a page names
    Stored stored;
    for (const auto& [key, value] : expected.ints)
        QCOMPARE(stored.ini.getInt(key), value);
    for (const auto& [key, value] : expected.texts)
        QCOMPARE(stored.ini.getString(key), value);
    QCOMPARE(stored.ini.getString(IniKey::Item00), platform::utf8ToSjis("名前"));
    QCOMPARE(stored.ini.getString(IniKey::Item01), std::string("URL"));
    QCOMPARE(stored.ini.getInt(IniKey::CheckItem01), 0);
    QCOMPARE(stored.ini.getCabinetFolders().size(), std::size_t(2));
    QCOMPARE(stored.ini.getCabinetFolders().back().path, home.dir() + "More キャビネット/");
    // A sheet opened again shows what is stored, and OK keeps it as it is.
    ctrlPropertySheet* again = run.open(ctrlPropertySheet::Mode::detailed);
    for (const auto& [key, value] : expected.ints)
        QCOMPARE(again->values().getInt(key), value);
    QListWidget* folders = static_cast<dlgPrefFile*>(again->pages().at(3))->folders();
    QCOMPARE(folders->count(), 2);
    QCOMPARE(folders->item(1)->text(), QString::fromStdString(home.dir() + "More キャビネット/"));
    QVERIFY(again->OnOK());
    Stored kept;
    QCOMPARE(kept.ini.getCabinetFolders().back().path, home.dir() + "More キャビネット/");
    for (const auto& [key, value] : expected.texts)
        QCOMPARE(kept.ini.getString(key), value);
}

void TestCtrlPropertySheet::turningTheListViewOffAppliesAtOnce()
{
    testsupport::TempHome home;
    Running run;
    QVERIFY(run.app->isListVisible());
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::easy);
    auto* list = static_cast<QCheckBox*>(sheet->pages().at(0)->bindings().at(0).widget);
    QCOMPARE(sheet->pages().at(0)->bindings().at(0).key, IniKey::ListView);
    list->setChecked(false);
    QVERIFY(sheet->OnOK());
    QVERIFY(!run.app->isListVisible());
    QVERIFY(!run.app->listView()->isVisible());
    QVERIFY(testsupport::readFile(GetUtlIniInfo()->getIniFilePath()).find("ListView=0") !=
            std::string::npos);
}

void TestCtrlPropertySheet::favoritesAndBookmarksFollowTheSheetAtOnce()
{
    testsupport::TempHome home;
    std::string favorites = home.dir() + "Favorites";
    std::filesystem::create_directories(favorites + "/Sub");
    std::string first = home.dir() + "one.html";
    std::string second = home.dir() + "two.html";
    for (const std::string& file : {first, second})
        testsupport::writeFile(
            file,
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>B</TITLE>\n<H1>B</H1>\n<DL><p>\n<DT><A "
            "HREF=\"http://a/\">a</A>\n</DL><p>\n");
    Running run;
    ctrlQtTreeView* tree = run.app->tree();
    struct Step {
        bool ie;
        bool nn;
        std::string bookmarks;
    };
    // On, moved to another file (read anew from there), off, on again.
    const Step steps[] = {
        {true, true, first}, {true, true, second}, {false, false, second}, {false, true, first}};
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::detailed);
    for (const Step& step : steps) {
        for (const dlgPropertyPage::Binding& b : sheet->pages().at(4)->bindings()) {
            if (b.key == IniKey::IEBK || b.key == IniKey::NNBK)
                static_cast<QCheckBox*>(b.widget)->setChecked(b.key == IniKey::IEBK ? step.ie
                                                                                    : step.nn);
            if (b.key == IniKey::NNBKName)
                static_cast<QLineEdit*>(b.widget)->setText(QString::fromStdString(step.bookmarks));
            if (b.key == IniKey::FavoritesFolder)
                static_cast<QLineEdit*>(b.widget)->setText(QString::fromStdString(favorites));
        }
        QVERIFY(sheet->OnOK());
        QCOMPARE(tviSourceCabinets::find(*tree, typeInternetExplorer) != nullptr, step.ie);
        auto* nn = static_cast<tviNetscapeNavigator*>(
            tviSourceCabinets::find(*tree, typeNetscapeNavigator));
        QCOMPARE(nn != nullptr, step.nn);
        if (nn != nullptr) {
            QCOMPARE(nn->getPath(), step.bookmarks);
            QVERIFY2(nn->getLoadError().empty(), nn->getLoadError().c_str());
            QCOMPARE(tree->subtreeNodes(nn->getHandle()).size(), std::size_t(2));
        }
    }
}

void TestCtrlPropertySheet::refusesDaysBelowOneAndBookmarksWithoutFile()
{
    testsupport::TempHome home;
    Running run;
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::detailed);
    dlgPropertyPage* file = sheet->pages().at(3);
    QLineEdit* days = nullptr;
    for (const dlgPropertyPage::Binding& b : file->bindings())
        days = b.key == IniKey::ERLimitDay ? static_cast<QLineEdit*>(b.widget) : days;
    QVERIFY(days != nullptr);
    for (const char* typed : {"0", "", "-3", "x"}) {
        run.told.clear();
        days->setText(QString::fromLatin1(typed));
        QVERIFY(!sheet->OnOK());
        QCOMPARE(days->text(), QStringLiteral("35")); // the old value is back
        QCOMPARE(run.told.size(), std::size_t(1));
        QCOMPARE(GetUtlIniInfo()->getInt(IniKey::ERLimitDay), 35);
    }
    dlgPropertyPage* sync = sheet->pages().at(4);
    for (const dlgPropertyPage::Binding& b : sync->bindings()) {
        if (b.key == IniKey::NNBK)
            static_cast<QCheckBox*>(b.widget)->setChecked(true);
        if (b.key == IniKey::NNBKName)
            static_cast<QLineEdit*>(b.widget)->clear();
    }
    run.told.clear();
    QVERIFY(!sheet->OnOK());
    QCOMPARE(run.told, std::vector<std::string>{
                           platform::utf8ToSjis("ブックマークの場所を指定して下さい。")});
    QCOMPARE(GetUtlIniInfo()->getInt(IniKey::NNBK), 0);
}

void TestCtrlPropertySheet::factorySettingsAndModeSwitch()
{
    testsupport::TempHome home;
    Running run;
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::easy);
    auto* html = static_cast<QCheckBox*>(sheet->pages().at(0)->bindings().at(1).widget);
    html->setChecked(false);
    sheet->OnSwitchMode(); // what was entered stays
    QCOMPARE(sheet->mode(), ctrlPropertySheet::Mode::detailed);
    QCOMPARE(sheet->values().getInt(IniKey::HTMLView), 0);
    auto* viewHtml = static_cast<QCheckBox*>(sheet->pages().at(0)->bindings().at(1).widget);
    QVERIFY(!viewHtml->isChecked());
    bool asked = false;
    sheet->confirmReset = [&asked] {
        asked = true;
        return false;
    };
    sheet->OnFactorySettings();
    QVERIFY(asked);
    QVERIFY(!viewHtml->isChecked()); // refused: nothing changed
    sheet->confirmReset = [] { return true; };
    sheet->OnFactorySettings();
    QVERIFY(viewHtml->isChecked());
    QCOMPARE(sheet->values().getInt(IniKey::HTMLView), 1);
}

namespace {

QStringList headerTitles(const wndListView* list)
{
    QStringList titles;
    for (int i = 0; i < list->columnCount(); ++i)
        titles << list->headerItem()->text(i);
    return titles;
}

const dlgPropertyPage::Binding* bindingOf(const ctrlPropertySheet* sheet, IniKey key)
{
    for (const dlgPropertyPage* page : sheet->pages())
        for (const dlgPropertyPage::Binding& b : page->bindings())
            if (b.key == key)
                return &b;
    return nullptr;
}

} // namespace

void TestCtrlPropertySheet::listColumnsFollowThePageAtOnceAndAfterRestart()
{
    testsupport::TempHome home;
    const QStringList all = {QStringLiteral("URL"),
                             QString::fromUtf8("名前"),
                             QString::fromUtf8("プロトコル"),
                             QString::fromUtf8("説明"),
                             QString::fromUtf8("ファイル種類"),
                             QString::fromUtf8("サイズ"),
                             QString::fromUtf8("更新日時")};
    const QStringList chosen = {QString::fromUtf8("名前"),       QStringLiteral("URL"),
                                QString::fromUtf8("プロトコル"), QString::fromUtf8("ファイル種類"),
                                QString::fromUtf8("サイズ"),     QString::fromUtf8("更新日時")};
    testsupport::writeFile(home.dir() + "pic.png", std::string(1500, 'x'));
    {
        Running run;
        wndListView* list = run.app->listView();
        QCOMPARE(headerTitles(list), all);
        list->addResource("pic.png", "Picture", home.dir() + "pic.png", ".png");
        list->sortRows();
        ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::detailed);
        auto* columns = static_cast<dlgPrefListView*>(sheet->pages().at(2));
        columns->list()->item(3)->setCheckState(Qt::Unchecked); // 説明
        columns->list()->setCurrentRow(1);
        columns->moveSelected(-1); // 名前 before URL
        QVERIFY(sheet->OnOK());
        // At once: the titles, their order, the texts under them, and a first column wide enough
        // for its title.
        QCOMPARE(headerTitles(list), chosen);
        QCOMPARE(list->columns(), (std::vector<int>{fieldName, fieldUrl, fieldProtocol, fieldType,
                                                    fieldSize, fieldModified}));
        QTreeWidgetItem* row = list->topLevelItem(0);
        QVERIFY(row != nullptr);
        QCOMPARE(row->text(0), QStringLiteral("pic.png"));
        QCOMPARE(row->text(2), QStringLiteral("file"));
        QCOMPARE(row->text(4), QStringLiteral("1,500 B"));
        QVERIFY(row->text(5).startsWith(QString::number(QDate::currentDate().year())));
        for (int i = 0; i < list->columnCount(); ++i)
            QVERIFY(list->columnWidth(i) >=
                    list->header()->fontMetrics().horizontalAdvance(chosen[i]));
        // A click on a column sorts by the field under it.
        list->onColumnClicked(1);
        QCOMPARE(list->sortKeys()[0], fieldUrl * 2 + 1); // URL was the primary key: now descending
        sheet->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Running again;
    QCOMPARE(headerTitles(again.app->listView()), chosen);
}

void TestCtrlPropertySheet::chosenFontReachesTheThreeViewsAtOnce()
{
    testsupport::TempHome home;
    Running run;
    QString family;
    for (const QString& f : QFontDatabase::families())
        if (f != run.app->treeView()->font().family() && !QFontDatabase::isPrivateFamily(f))
            family = f;
    if (family.isEmpty())
        QSKIP("this desktop has a single font family");
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::detailed);
    const dlgPropertyPage::Binding* face = bindingOf(sheet, IniKey::FontName);
    const dlgPropertyPage::Binding* size = bindingOf(sheet, IniKey::FontSize);
    QVERIFY(face != nullptr && size != nullptr);
    static_cast<QComboBox*>(face->widget)->setCurrentText(family);
    static_cast<QComboBox*>(size->widget)->setCurrentText(QStringLiteral("16"));
    QVERIFY(sheet->OnOK());
    QWidget* views[] = {run.app->treeView(), run.app->listView(), run.app->htmlView()->editor()};
    for (QWidget* view : views) {
        QCOMPARE(view->font().family(), family);
        QVERIFY(view->font().pointSize() >= 16);
    }
}

// Days and switches of the キャビネット page reach the footprint and snapshot cabinets when the
// sheet is confirmed, not at the next start: the next save ages by them.
void TestCtrlPropertySheet::ageingSettingsReachTheCabinetsAtOnce()
{
    testsupport::TempHome home;
    Running run;
    auto* route = static_cast<tviRouteSnapshot*>(
        tviSourceCabinets::find(*run.app->tree(), typeRouteSnapshot));
    auto* snapshots = static_cast<tviPageSnapshot*>(run.app->tree()->snapshotCabinet());
    QVERIFY(route != nullptr && snapshots != nullptr);
    ctrlPropertySheet* sheet = run.open(ctrlPropertySheet::Mode::detailed);
    const std::map<IniKey, QString> typed = {{IniKey::ERLimitDay, "400"},
                                             {IniKey::ERLimitColor, "300"},
                                             {IniKey::EPLimitDay, "200"},
                                             {IniKey::EPLimitColor, "100"}};
    for (const dlgPropertyPage::Binding& b : sheet->pages().at(3)->bindings()) {
        if (typed.count(b.key) != 0)
            static_cast<QLineEdit*>(b.widget)->setText(typed.at(b.key));
        if (b.key == IniKey::CRLimitDay || b.key == IniKey::CPLimitDay)
            static_cast<QCheckBox*>(b.widget)->setChecked(false);
    }
    QVERIFY(sheet->OnOK());
    QCOMPARE(route->getDeleteDay(), 400);
    QCOMPARE(route->getColorDay(), 300);
    QVERIFY(!route->deleteOn());
    QCOMPARE(snapshots->getLimitDay(), 200);
    QCOMPARE(snapshots->getColorDay(), 100);
    QVERIFY(!snapshots->ageing().isDeleteOn());
    // A hand-edited day count below 1 counts as 1 for footprints, as for snapshots.
    GetUtlIniInfo()->setInt(IniKey::ERLimitDay, 0);
    GetUtlIniInfo()->setInt(IniKey::EPLimitDay, -5);
    route->applySettings(*GetUtlIniInfo());
    snapshots->applySettings(*GetUtlIniInfo());
    QCOMPARE(route->getDeleteDay(), 1);
    QCOMPARE(snapshots->getLimitDay(), 1);
}

QTEST_MAIN(TestCtrlPropertySheet)
#include "test_ctrlPropertySheet.moc"
