// Every text the window shows is readable: with a Japanese home directory and Japanese
// cabinet, snapshot and footprint names (and characters Shift_JIS lacks), every dialog, every
// property page, the preference sheet, the tree, the list and the status bar are walked, and
// no visible text may hold U+FFFD, half-width katakana the data does not hold (Shift_JIS bytes
// shown as UTF-8), a raw "&#" or "&amp;", or an accelerator mark "(&X)" that Qt left as it is.
#include "GuiTestWindow.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Dialog/ctrlPropertySheet.h"
#include "Dialog/dlgSSPage.h"
#include "Dialog/dlgSSRoute.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Gui/QuillaG.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiJapanese.h"
#include "Gui/toolStatusBar.h"
#include "Gui/wndApplication.h"
#include "Gui/wndListView.h"
#include "Gui/wndTreeView.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Cabinet/tviCabinetItem.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"
#include "TreeViewItemProperty/tviPropertySheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>

namespace {

// What a label, button or tab shows of its text: "&X" is an underlined X, "&&" one '&'.
QString shownMnemonic(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

struct Collected {
    QStringList texts;
    void add(const QString& where, const QString& text)
    {
        if (!text.isEmpty())
            texts << where + QStringLiteral(": ") + text;
    }
};

void collectModel(Collected& out, const QString& where, const QAbstractItemModel* model,
                  const QModelIndex& parent)
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        for (int column = 0; column < model->columnCount(parent); ++column) {
            QModelIndex index = model->index(row, column, parent);
            out.add(where, model->data(index, Qt::DisplayRole).toString());
            out.add(where, model->data(index, Qt::ToolTipRole).toString());
        }
        collectModel(out, where, model, model->index(row, 0, parent));
    }
}

// Every text a window holds, as the user sees it.
void collect(Collected& out, QWidget* window)
{
    QString where = window->metaObject()->className();
    out.add(where, window->windowTitle());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (auto* label = qobject_cast<QLabel*>(w))
            out.add(where,
                    label->buddy() != nullptr ? shownMnemonic(label->text()) : label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            out.add(where, shownMnemonic(button->text()));
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            out.add(where, edit->text());
        else if (auto* note = qobject_cast<QPlainTextEdit*>(w))
            out.add(where, note->toPlainText());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            out.add(where, shownMnemonic(group->title()));
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                out.add(where, combo->itemText(i));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                out.add(where, shownMnemonic(tabs->tabText(i)));
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w);
                   view != nullptr && view->model() != nullptr) {
            collectModel(out, where, view->model(), {});
        }
        out.add(where, w->toolTip());
    }
}

// The faults a reader would see; data holds the test's own texts, which may hold anything.
QStringList unreadable(const Collected& collected)
{
    static const QRegularExpression halfWidthKana(QStringLiteral("[\\x{FF61}-\\x{FF9F}]{2,}"));
    static const QRegularExpression mnemonic(QStringLiteral("\\(&[A-Za-z0-9]\\)"));
    // The program's own labels written in half-width on purpose, as the dialogs have them.
    static const QRegularExpression ownHalfWidth(QStringLiteral(": ｷｬﾝｾﾙ$"));
    QStringList faults;
    for (const QString& text : collected.texts) {
        bool kana = text.contains(halfWidthKana) && !text.contains(ownHalfWidth);
        if (text.contains(QChar(0xFFFD)) || kana || text.contains(QStringLiteral("&#")) ||
            text.contains(QStringLiteral("&amp;")) || text.contains(mnemonic))
            faults << text;
    }
    return faults;
}

struct Running : GuiTestWindow {
    Running() : GuiTestWindow({.engine = unpaced(), .answerYes = true, .focusTree = true}) {}
};

// Every visible window but the main one, collected and closed.
void collectDialogs(Collected& out, QWidget* mainWindow)
{
    QTest::qWait(0);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == mainWindow || !w->isVisible())
            continue;
        collect(out, w);
        w->close();
    }
    QTest::qWait(0);
}

} // namespace

class TestReadableTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyDialogPageAndViewIsReadable();
    void qtsOwnDialogsAreJapanese();
};

void TestReadableTexts::everyDialogPageAndViewIsReadable()
{
    testsupport::TempHome temp;
    std::filesystem::path home = temp.path() / "クイラーラの家";
    std::filesystem::create_directories(home / "ページ集");
    ::setenv("QUILLARA_HOME", home.c_str(), 1);
    std::string page = (home / "ページ集" / "索引.html").string();
    testsupport::writeFile(page, "<html><head><title>索引のページ 😀 Café</title></head><body>"
                                 "<a href=\"次.html\">次へ – 한국어</a></body></html>");
    tviCabinetDocument doc;
    doc.name = platform::utf8ToSjis("日本のキャビネット 😀");
    doc.description = platform::utf8ToSjis("説明 Müller & Co");
    doc.entries.push_back(
        tviCabinetEntry{3, -1, platform::utf8ToSjis("フォルダ — 〜"), "", "", "", "", false, 0});
    doc.entries.push_back(
        tviCabinetEntry{4, 0, platform::utf8ToSjis("索引 😀"), page, "", "", "", true, 0});
    std::string cabinetPath = (home / "キャビネット.scb").string();
    testsupport::writeFile(cabinetPath, tviCabinetFile::write(doc));

    Running run;
    Collected texts;
    QVERIFY(run.app->treeView()->openCabinetFile(cabinetPath));
    TreeNode item = nullptr;
    TreeNode opened = nullptr;
    for (TreeNode root = run.tree()->getFirstChild(kTreeRoot); root != nullptr;
         root = run.tree()->getNextSibling(root))
        opened = root;
    for (TreeNode n : run.tree()->subtreeNodes(opened))
        if (!run.tree()->getItem(n)->getUrl().empty())
            item = n;
    QVERIFY(item != nullptr);

    // A snapshot and a footprint of the page, under Japanese names.
    run.tree()->selectNode(item);
    QVERIFY(run.app->runMenuId(32801));
    dlgSSPage* snapshot = run.app->snapshotDialog();
    QVERIFY(snapshot != nullptr);
    collect(texts, snapshot);
    snapshot->findChild<QLineEdit*>(QStringLiteral("name"))
        ->setText(QStringLiteral("索引スナップ 😀"));
    for (QPushButton* button : snapshot->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("OK"))
            button->click();
    auto* snapshots = static_cast<tviPageSnapshot*>(run.tree()->snapshotCabinet());
    QTRY_VERIFY_WITH_TIMEOUT(run.tree()->getFirstChild(snapshots->getHandle()) != nullptr, 20000);
    run.tree()->selectNode(item);
    QVERIFY(run.run(1021));
    dlgSSRoute* footprint = run.app->treeView()->footprintDialog();
    QVERIFY(footprint != nullptr);
    collect(texts, footprint);
    footprint->setName(platform::utf8ToSjis("足跡 日本 😀"));
    footprint->OnOK();

    // Every node: the tree, the list, the status bar and its property sheet.
    std::vector<TreeNode> nodes;
    for (TreeNode root = run.tree()->getFirstChild(kTreeRoot); root != nullptr;
         root = run.tree()->getNextSibling(root))
        for (TreeNode n : run.tree()->subtreeNodes(root))
            nodes.push_back(n);
    for (TreeNode n : nodes) {
        run.tree()->selectNode(n);
        run.app->refreshViews();
        for (int part = 0; part < 3; ++part)
            texts.add(QStringLiteral("status bar"), run.app->statusBarPane()->partText(part));
        collect(texts, run.app->listView());
        tviPropertySheet sheet(run.tree(), run.tree()->getItem(n));
        collect(texts, &sheet);
    }
    collect(texts, run.app->treeView());
    bool snapshotPathShown = false;
    for (const QString& t : texts.texts)
        snapshotPathShown =
            snapshotPathShown || t.contains(QStringLiteral("クイラーラの家/Data/Snapshot/"));
    QVERIFY2(snapshotPathShown, qPrintable(texts.texts.join('\n')));

    // The dialogs of the menus, and the preference sheet in both its modes.
    run.tree()->selectNode(opened);
    for (int code : {1031, 1033, 1023, 1027, 1029, 1100, 1021}) {
        run.run(code);
        collectDialogs(texts, run.app);
    }
    QVERIFY(run.run(1018));
    ctrlPropertySheet* sheet = run.app->preferenceSheet();
    QVERIFY(sheet != nullptr);
    collect(texts, sheet);
    for (QPushButton* button : sheet->findChildren<QPushButton*>())
        if (button->text().startsWith(QStringLiteral("詳細設定へ")))
            button->click();
    collect(texts, sheet);
    sheet->close();

    QVERIFY(texts.texts.size() > 100);
    QStringList faults = unreadable(texts);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The characters Shift_JIS lacks are there as themselves.
    QVERIFY(texts.texts.filter(QStringLiteral("日本のキャビネット 😀")).size() > 0);
    QVERIFY(texts.texts.filter(QStringLiteral("索引スナップ 😀")).size() > 0);
    QVERIFY(texts.texts.filter(QStringLiteral("足跡 日本 😀")).size() > 0);
}

void TestReadableTexts::qtsOwnDialogsAreJapanese()
{
    QVERIFY(guiJapanese::installTranslations(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Q"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
    QFileDialog chooser(nullptr, QStringLiteral("t"));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.show();
    Collected texts;
    collect(texts, &chooser);
    chooser.close();
    for (const QString& english :
         {QStringLiteral("Look in:"), QStringLiteral("Choose"), QStringLiteral("Cancel")})
        QVERIFY2(texts.texts
                     .filter(QRegularExpression(QStringLiteral(": ") +
                                                QRegularExpression::escape(english) +
                                                QStringLiteral("$")))
                     .isEmpty(),
                 qPrintable(english));
    // The face for Japanese text exists; the Windows default one is replaced by it.
    QString family = guiJapanese::familyFor(QStringLiteral("ＭＳ Ｐゴシック"));
    QVERIFY(!family.isEmpty());
    QCOMPARE(guiJapanese::familyFor(family), family);
}

QTEST_MAIN(TestReadableTexts)
#include "test_readableTexts.moc"
