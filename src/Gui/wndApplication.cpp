#include "Gui/wndApplication.h"

#include "Dialog/dlgSSPage.h"
#include "TreeViewItem/Snapshot/tviPageSnapshot.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlHelp.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Engine/Text/utlStatusText.h"
#include "Engine/Url/utlTypedAddress.h"
#include "Engine/Core/clsQuillaraEngine.h"
#include "Engine/Core/clsQuillaraItem.h"
#include "Dialog/ctrlPropertySheet.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiJapanese.h"
#include "Gui/guiMenus.h"
#include "QtBridge/guiText.h"
#include "Gui/toolRebar.h"
#include "Gui/toolStatusBar.h"
#include "Gui/toolUrlBox.h"
#include "Gui/wndHtmlView.h"
#include "Gui/wndListView.h"
#include "Gui/wndMessageTarget.h"
#include "Gui/wndTreeView.h"
#include "Platform/Tick.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"
#include "TreeViewItem/Browser/tviSourceCabinets.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"
#include "TreeViewItem/Base/tviURLItem.h"

#include <QCoreApplication>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

constexpr int useDefault = INT_MIN; // CW_USEDEFAULT: the value was never stored
constexpr int minimumClientWidth = 232;
constexpr int minimumClientHeight = 136;
const char* const helpIndexTitle = utlTexts::sjis(utlText::helpIndex);

struct PaneFailure {
    int pane;
    const char* message;
};

constexpr PaneFailure paneFailures[] = {
    {wndApplication::paneRebar,
     QT_TRANSLATE_NOOP("wndApplication", "ReBarのコマンド実行に失敗しました")},
    {wndApplication::paneTree,
     QT_TRANSLATE_NOOP("wndApplication", "ツリービューのコマンド実行に失敗しました")},
    {wndApplication::paneList,
     QT_TRANSLATE_NOOP("wndApplication", "リストビューのコマンド実行に失敗しました")},
    {wndApplication::paneHtml,
     QT_TRANSLATE_NOOP("wndApplication", "HTMLビューのコマンド実行に失敗しました")},
    {wndApplication::paneStatusBar,
     QT_TRANSLATE_NOOP("wndApplication", "ステータスバーのコマンド実行に失敗しました")},
};

constexpr const char* appFailure =
    QT_TRANSLATE_NOOP("wndApplication", "アプリケーションのコマンド実行に失敗しました");

const char* paneFailure(int pane)
{
    for (const PaneFailure& f : paneFailures) {
        if (f.pane == pane)
            return f.message;
    }
    return appFailure;
}

// What the log says when one of the window's own commands fails; the others log nothing of
// their own.
struct AppFailure {
    utlCommand command;
    const char* failure;
};

constexpr AppFailure appFailures[] = {
    {utlCommand::exitApplication,
     QT_TRANSLATE_NOOP("wndApplication", "アプリケーションの終了に失敗しました")},
    {utlCommand::about,
     QT_TRANSLATE_NOOP("wndApplication", "クイララについての表示に失敗しました")},
    {utlCommand::toggleListView,
     QT_TRANSLATE_NOOP("wndApplication", "リストビュー表示切り替えに失敗しました")},
    {utlCommand::showListView,
     QT_TRANSLATE_NOOP("wndApplication", "リストビューの表示に失敗しました")},
    {utlCommand::hideListView,
     QT_TRANSLATE_NOOP("wndApplication", "リストビューの非表示に失敗しました")},
    {utlCommand::toggleHtmlView,
     QT_TRANSLATE_NOOP("wndApplication", "HTMLビューの表示切り替えに失敗しました")},
    {utlCommand::showHtmlView,
     QT_TRANSLATE_NOOP("wndApplication", "HTMLビューの表示に失敗しました")},
    {utlCommand::hideHtmlView,
     QT_TRANSLATE_NOOP("wndApplication", "HTMLビューの非表示に失敗しました")},
};

// The 文字コード entries, in the order of the item's charset choice (automatic first).
bool isCharsetChoice(int menuId, int choice)
{
    constexpr int entries[] = {32796, 32797, 32798, 32890};
    return choice >= 0 && choice < 4 && entries[choice] == menuId;
}

const char* appFailureOf(int code)
{
    for (const AppFailure& f : appFailures) {
        if (codeOf(f.command) == code)
            return f.failure;
    }
    return nullptr;
}

} // namespace

wndApplication::wndApplication()
    : messageTarget_(std::make_unique<wndMessageTarget>()),
      tree_(std::make_unique<ctrlQtTreeView>())
{
    setWindowTitle(QStringLiteral("Quillara"));
    messageTarget_->setDiscarder(
        [](const platform::Message& m) { clsQuillaraEngine::DiscardMessage(m); });
    messageTarget_->setHandler([this](const platform::Message& m) {
        if (engine_ == nullptr || !engine_->handleMessage(m))
            clsQuillaraEngine::DiscardMessage(m);
    });
}

wndApplication::~wndApplication()
{
    term();
}

void wndApplication::useOwnEngine(const clsEngineOptions& options)
{
    ownEngineOptions_ = options;
}

bool wndApplication::attachEngine()
{
    if (ownEngineOptions_) {
        ownEngine_ = std::make_unique<clsQuillaraEngine>();
        if (!ownEngine_->init(this, messageTarget_.get(), *ownEngineOptions_)) {
            ownEngine_.reset();
            return false;
        }
        engine_ = ownEngine_.get();
    } else {
        if (!clsQuillaraEngine::acquireEngine(this, messageTarget_.get()))
            return false;
        engine_ = clsQuillaraEngine::getEngine();
        sharedEngine_ = true;
    }
    tree_->setEngine(engine_);
    return engine_ != nullptr;
}

void wndApplication::releaseEngine()
{
    if (tree_)
        tree_->setEngine(nullptr);
    if (ownEngine_) {
        ownEngine_->term();
        ownEngine_.reset();
    } else if (sharedEngine_) {
        clsQuillaraEngine::releaseEngine();
        sharedEngine_ = false;
    }
    engine_ = nullptr;
    // Notifications still queued carry node references; they go back unheard.
    messageTarget_->discardAll();
}

bool wndApplication::init()
{
    if (!attachEngine())
        logError(gui::fromQt(tr("エンジンの取得に失敗しました")));
    utlIniInfo* ini = GetUtlIniInfo();
    listVisible_ = ini->getInt(IniKey::ListView) == 1;
    htmlVisible_ = ini->getInt(IniKey::HTMLView) == 1;
    treeViewWidth_ = ini->getInt(IniKey::MainWinTreeViewWidth);
    listViewHeight_ = ini->getInt(IniKey::MainWinTreeViewHeight);
    focusPane_ = paneNone;
    createPanes();
    restoreGeometry();
    tree_->loadSettings(*ini);
    tree_->setMarkColours(ini->getInt(IniKey::MarkColor), ini->getInt(IniKey::RouteMarkColor),
                          ini->getInt(IniKey::PageMarkColor));
    tree_->browserCommand = ini->getString(IniKey::BrowserCommand);
    applyFont();
    treeView_->openCabinets(*ini);
    // The snapshot dialog; every other dialog goes on to the handler set before.
    auto otherDialogs = tree_->dialogHandler;
    tree_->dialogHandler = [this, otherDialogs](tviDialog dialog, tviTreeViewItem* item,
                                                const std::string& name) {
        if (dialog == tviDialog::snapshot)
            openSnapshotDialog(item, name);
        else if (otherDialogs)
            otherDialogs(dialog, item, name);
    };
    listView_->loadSettings(*ini);
    rebar_->loadSettings(*ini);
    if (ini->getInt(IniKey::MainWinMaxim) == 1)
        showMaximized();
    else
        show();
    // The dividers are placed on the final sizes of the panes, not on those before the show:
    // the window's own layout (menu, tool and status bars) first, then the panes'.
    if (QLayout* own = layout())
        own->activate();
    if (QLayout* panes = centralWidget()->layout())
        panes->activate();
    applyDividers();
    treeView_->setFocus();
    setFocusPane(paneTree);
    return true;
}

void wndApplication::createPanes()
{
    auto run = [this](int menuId) { runMenuId(menuId); };
    guiMenus::fillMainMenu(menuBar(), run);
    guiMenus::addHiddenAccelerators(this, run);
    for (QAction* action : menuBar()->actions()) {
        QMenu* menu = action->menu();
        if (menu == nullptr)
            continue;
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            guiMenus::updateMenu(
                menu, [this](int id) { return isMenuIdAvailable(id); },
                [this](int id) {
                    tviTreeViewItem* item = treeView_->selectedItem();
                    return (id == 32791 && listVisible_) || (id == 32792 && htmlVisible_) ||
                           (id == 32841 && item != nullptr && item->isMarked()) ||
                           (id == 32834 &&
                            tviSourceCabinets::find(*tree_, typeInternetExplorer) != nullptr) ||
                           (id == 32835 &&
                            tviSourceCabinets::find(*tree_, typeNetscapeNavigator) != nullptr) ||
                           (item != nullptr && isCharsetChoice(id, tree_->charsetChoiceOf(item)));
                });
        });
        connect(menu, &QMenu::aboutToHide, this, [menu] { guiMenus::enableAll(menu); });
    }

    treeView_ = new wndTreeView(tree_.get());
    listView_ = new wndListView;
    htmlView_ = new wndHtmlView;
    rebar_ = new toolRebar(run, [this] { return isEngineBusy(); });
    statusBar_ = new toolStatusBar;
    listView_->setOpener([this](const std::string& address, bool newWindow) {
        return tree_->openExternal(address, newWindow);
    });

    ySplitter_ = new QSplitter(Qt::Vertical);
    ySplitter_->addWidget(listView_);
    ySplitter_->addWidget(htmlView_);
    ySplitter_->setChildrenCollapsible(false);
    xSplitter_ = new QSplitter(Qt::Horizontal);
    xSplitter_->addWidget(treeView_);
    xSplitter_->addWidget(ySplitter_);
    xSplitter_->setChildrenCollapsible(false);
    xSplitter_->setHandleWidth(4);
    ySplitter_->setHandleWidth(4);
    // No stretch factors: resizing the window then keeps the proportions of the panes.

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(rebar_);
    layout->addWidget(xSplitter_, 1);
    setCentralWidget(central);
    setStatusBar(statusBar_);
    setMinimumSize(minimumClientWidth + 8, minimumClientHeight + 64);
    // The core's status texts (searches, snapshots) go to this status bar.
    ::setStatusBar(statusBar_);

    connect(treeView_, &wndTreeView::selectionChangedTo, this, [this](tviTreeViewItem* item) {
        rebar_->urlBox()->showAddress(item != nullptr ? item->getUrl() : std::string());
        bool handled = false;
        GetUtlCommandRoot()->executeCommand(codeOf(utlCommand::refreshViews), false, handled);
    });
    connect(rebar_->urlBox(), &toolUrlBox::addressEntered, this, [this] {
        bool handled = false;
        GetUtlCommandRoot()->executeCommand(codeOf(utlCommand::goToTypedAddress), false, handled);
    });
    connect(htmlView_, &wndHtmlView::cycleRequested, this, [this](bool backwards) {
        bool handled = false;
        GetUtlCommandRoot()->executeCommand(backwards ? codeOf(utlCommand::previousPane)
                                                      : codeOf(utlCommand::nextPane),
                                            false, handled);
    });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    listView_->setVisible(listVisible_);
    htmlView_->setVisible(htmlVisible_);
    ySplitter_->setVisible(listVisible_ || htmlVisible_);

    saveTimer_ = new QTimer(this);
    connect(saveTimer_, &QTimer::timeout, this, [this] {
        if (!tree_->saveDueCabinets(static_cast<int64_t>(platform::tickCount())))
            logError(gui::fromQt(tr("キャビネットの保存に失敗しました")));
    });
    saveTimer_->start(500);
}

QRect wndApplication::placeOnScreen(const QRect& stored, const QList<QRect>& screens,
                                    const QRect& primary)
{
    // Enough of the window must show to take hold of it: a corner of the caption at least.
    constexpr int grip = 48;
    for (const QRect& screen : screens) {
        QRect visible = screen.intersected(stored);
        if (visible.width() >= grip && visible.height() >= 16)
            return stored;
    }
    QSize size = stored.size().boundedTo(primary.size());
    QRect moved(primary.topLeft(), size);
    moved.moveCenter(primary.center());
    return moved;
}

void wndApplication::restoreGeometry()
{
    utlIniInfo* ini = GetUtlIniInfo();
    int left = ini->getInt(IniKey::MainWinLeft);
    int top = ini->getInt(IniKey::MainWinTop);
    int right = ini->getInt(IniKey::MainWinRight);
    int bottom = ini->getInt(IniKey::MainWinBottom);
    QScreen* primaryScreen = QGuiApplication::primaryScreen();
    QRect primary =
        primaryScreen != nullptr ? primaryScreen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect stored;
    if (left == useDefault || top == useDefault || right <= left || bottom <= top) {
        QSize size(std::min(960, primary.width()), std::min(640, primary.height()));
        stored = QRect(QPoint(0, 0), size);
        stored.moveCenter(primary.center());
    } else {
        stored = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    }
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    QRect placed = placeOnScreen(stored, screens, primary);
    resize(placed.size().expandedTo(minimumSize()));
    move(placed.topLeft());
}

void wndApplication::applyDividers()
{
    // The sizes given add up to the room beside the handle: otherwise the splitter scales
    // them, and the stored divider comes back a few pixels off.
    QSize area = xSplitter_->size() - QSize(xSplitter_->handleWidth(), ySplitter_->handleWidth());
    int width =
        treeViewWidth_ == useDefault || treeViewWidth_ <= 0 ? area.width() / 2 : treeViewWidth_;
    width = std::clamp(width, 16, std::max(16, area.width() - 16));
    xSplitter_->setSizes({width, std::max(1, area.width() - width)});
    int height =
        listViewHeight_ == useDefault || listViewHeight_ <= 0 ? area.height() / 2 : listViewHeight_;
    height = std::clamp(height, 16, std::max(16, area.height() - 16));
    ySplitter_->setSizes({height, std::max(1, area.height() - height)});
}

int wndApplication::treeViewWidth() const
{
    if (!ySplitter_->isVisible())
        return treeViewWidth_;
    return xSplitter_->sizes().value(0);
}

int wndApplication::listViewHeight() const
{
    if (!listVisible_ || !htmlVisible_)
        return listViewHeight_;
    return ySplitter_->sizes().value(0);
}

bool wndApplication::save()
{
    if (!persist_)
        return true;
    utlIniInfo* ini = GetUtlIniInfo();
    // The frame's position and the client's size, which is what move and resize take back.
    QRect normal = isMaximized() || isMinimized() ? normalGeometry() : QRect(pos(), size());
    ini->setInt(IniKey::MainWinLeft, normal.left());
    ini->setInt(IniKey::MainWinTop, normal.top());
    ini->setInt(IniKey::MainWinRight, normal.left() + normal.width());
    ini->setInt(IniKey::MainWinBottom, normal.top() + normal.height());
    ini->setInt(IniKey::MainWinMaxim, isMaximized() ? 1 : 0);
    treeViewWidth_ = treeViewWidth();
    listViewHeight_ = listViewHeight();
    ini->setInt(IniKey::MainWinTreeViewWidth, treeViewWidth_);
    ini->setInt(IniKey::MainWinTreeViewHeight, listViewHeight_);
    ini->setInt(IniKey::ListView, listVisible_ ? 1 : 0);
    ini->setInt(IniKey::HTMLView, htmlVisible_ ? 1 : 0);
    rebar_->saveSettings(*ini);
    listView_->saveSettings(*ini);
    treeView_->storeSearchDialogPlace();
    std::vector<std::string> cabinets;
    bool ok = tree_->saveAll(&cabinets);
    auto* route =
        static_cast<tviRouteSnapshot*>(tviSourceCabinets::find(*tree_, typeRouteSnapshot));
    if (route != nullptr && !route->isReadOnly())
        ok = route->save() && ok;
    if (!ok)
        logError(gui::fromQt(tr("キャビネットの保存に失敗しました")));
    while (ini->removeCabinetFile(0)) {
    }
    for (const std::string& path : cabinets)
        ini->addCabinetFile(path);
    ok = ini->save() && ok;
    saved_ = true;
    return ok;
}

bool wndApplication::term()
{
    if (terminated_)
        return true;
    terminated_ = true;
    ::clearStatusBar();
    if (saveTimer_ != nullptr)
        saveTimer_->stop();
    // The snapshot dialog points at an item; the views go before the tree they show, the
    // tree's items before the engine.
    delete snapshotDialog_;
    snapshotItem_ = nullptr;
    delete takeCentralWidget();
    treeView_ = nullptr;
    listView_ = nullptr;
    htmlView_ = nullptr;
    rebar_ = nullptr;
    xSplitter_ = ySplitter_ = nullptr;
    tree_.reset();
    releaseEngine();
    return true;
}

void wndApplication::closeEvent(QCloseEvent* event)
{
    if (!saved_)
        save();
    event->accept();
}

bool wndApplication::isEngineBusy()
{
    if (engine_ == nullptr)
        return false;
    int state = 0, a = 0, b = 0;
    return engine_->getActivity(state, a, b) && state > 0;
}

void wndApplication::setFocusPane(int pane)
{
    focusPane_ = pane;
}

void wndApplication::onFocusChanged(QWidget* now)
{
    if (now == nullptr || treeView_ == nullptr)
        return;
    if (rebar_->isAncestorOf(now))
        focusPane_ = paneRebar;
    else if (now == treeView_ || treeView_->isAncestorOf(now))
        focusPane_ = paneTree;
    else if (now == listView_ || listView_->isAncestorOf(now))
        focusPane_ = paneList;
    else if (htmlView_->isAncestorOf(now))
        focusPane_ = paneHtml;
}

// A pane's failure is logged under executeCommand, the window's entry point for commands.
bool wndApplication::offerToPane(int pane, int code, bool query, bool& handled)
{
    utlCommandTarget* target = nullptr;
    switch (pane) {
    case paneRebar: target = rebar_; break;
    case paneTree: target = treeView_; break;
    case paneList: target = listView_; break;
    case paneHtml: target = htmlView_; break;
    case paneStatusBar: target = statusBar_; break;
    default: return true;
    }
    if (target == nullptr)
        return true;
    if (!target->executeCommand(code, query, handled))
        return logErrorAs(
            "wndApplication::executeCommand",
            gui::fromQt(QCoreApplication::translate("wndApplication", paneFailure(pane))));
    return true;
}

bool wndApplication::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    if (code == codeOf(utlCommand::snapshotConfirmed) && snapshotDialog_ != nullptr &&
        snapshotDialog_->isAnswering())
        return answerSnapshot(query, handled);
    if (!offerToPane(focusPane_, code, query, handled))
        return false;
    if (!handled && !offerToPane(paneStatusBar, code, query, handled))
        return false;
    // The tree's own dialogs and searches work whichever pane has the focus: a modeless
    // dialog's command must reach the tree even when the list was clicked meanwhile.
    if (!handled && focusPane_ != paneTree && commandPaneOf(code) == utlCommandPane::tree &&
        !offerToPane(paneTree, code, query, handled))
        return false;
    if (!handled && !executeCommandApp(code, query, handled))
        return logError(gui::fromQt(QCoreApplication::translate("wndApplication", appFailure)));
    return true;
}

bool wndApplication::executeCommandApp(int code, bool query, bool& handled)
{
    handled = commandPaneOf(code) == utlCommandPane::application;
    if (!handled || query)
        return true;
    bool ok = true;
    switch (code) {
    case codeOf(utlCommand::exitApplication): ok = exitApplication(); break;
    case codeOf(utlCommand::about): ok = openAboutDialog(); break;
    case codeOf(utlCommand::toggleListView):
    case codeOf(utlCommand::showListView):
    case codeOf(utlCommand::hideListView):
        ok = showListView(code - codeOf(utlCommand::toggleListView));
        break;
    case codeOf(utlCommand::toggleHtmlView):
    case codeOf(utlCommand::showHtmlView):
    case codeOf(utlCommand::hideHtmlView):
        ok = showHtmlView(code - codeOf(utlCommand::toggleHtmlView));
        break;
    case codeOf(utlCommand::refreshViews): refreshViews(); break;
    case codeOf(utlCommand::goToTypedAddress): ok = goToTypedAddress(); break;
    case codeOf(utlCommand::preferences): ok = openPreferences(); break;
    case codeOf(utlCommand::applySettings): ok = applySettings(); break;
    case codeOf(utlCommand::stop):
        if (engine_ != nullptr)
            ok = engine_->queueStop();
        treeView_->viewport()->update();
        break;
    case codeOf(utlCommand::helpContents): ok = GetUtlHelp()->showTopic(helpIndexTitle); break;
    case codeOf(utlCommand::previousPane):
    case codeOf(utlCommand::nextPane): cyclePane(code == codeOf(utlCommand::previousPane)); break;
    default: break;
    }
    const char* failure = appFailureOf(code);
    if (!ok && failure != nullptr)
        logError(gui::fromQt(QCoreApplication::translate("wndApplication", failure)));
    return ok;
}

void wndApplication::tellUser(const QString& text)
{
    lastTold_ = text;
    if (!tree_->interactive)
        return;
    auto* box =
        new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool wndApplication::goToTypedAddress()
{
    const std::string& typed = rebar_->urlBox()->currentAddress();
    std::string address;
    // Text that is no address is not kept as an item that can only fail.
    if (!addressFromTyped(typed, address)) {
        statusBar_->setPartText(
            0,
            gui::fromQt(tr("「")) + rebar_->urlBox()->currentTyped() +
                gui::fromQt(tr("」はアドレスではありません。"))); // 「…」はアドレスではありません。
        return true;
    }
    rebar_->urlBox()->remember(address);
    if (!treeView_->goToAddress(address))
        return false;
    // The menus then act on the item gone to, as they would after a click on it.
    treeView_->setFocus();
    return true;
}

bool wndApplication::exitApplication()
{
    return close() || true;
}

bool wndApplication::openAboutDialog()
{
    QString title = tr("クイラーラについて");
    QString text = tr("ウェブアドレスをキャビネットに整理し、リンクを調べます。");
    QMessageBox::about(this, title, QStringLiteral("Quillara 1.0\n\n") + text);
    return true;
}

void wndApplication::cyclePane(bool backwards)
{
    std::vector<int> order{paneRebar, paneTree};
    if (listVisible_)
        order.push_back(paneList);
    if (htmlVisible_)
        order.push_back(paneHtml);
    auto it = std::find(order.begin(), order.end(), focusPane_);
    size_t at = it == order.end() ? 0 : static_cast<size_t>(it - order.begin());
    size_t next = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    switch (order[next]) {
    case paneRebar: rebar_->urlBox()->setFocus(); break;
    case paneTree: treeView_->setFocus(); break;
    case paneList: listView_->setFocus(); break;
    case paneHtml: htmlView_->editor()->setFocus(); break;
    default: break;
    }
    focusPane_ = order[next];
}

bool wndApplication::showListView(int mode)
{
    bool visible = mode == 0 ? !listVisible_ : mode == 1;
    if (visible == listVisible_)
        return true;
    if (listVisible_ && htmlVisible_)
        listViewHeight_ = ySplitter_->sizes().value(0);
    if (ySplitter_->isVisible())
        treeViewWidth_ = xSplitter_->sizes().value(0);
    listVisible_ = visible;
    listView_->setVisible(visible);
    ySplitter_->setVisible(listVisible_ || htmlVisible_);
    applyDividers();
    if (!visible && focusPane_ == paneList)
        cyclePane(false);
    return true;
}

bool wndApplication::showHtmlView(int mode)
{
    bool visible = mode == 0 ? !htmlVisible_ : mode == 1;
    if (visible == htmlVisible_)
        return true;
    if (listVisible_ && htmlVisible_)
        listViewHeight_ = ySplitter_->sizes().value(0);
    if (ySplitter_->isVisible())
        treeViewWidth_ = xSplitter_->sizes().value(0);
    htmlVisible_ = visible;
    htmlView_->setVisible(visible);
    ySplitter_->setVisible(listVisible_ || htmlVisible_);
    applyDividers();
    if (!visible && focusPane_ == paneHtml)
        cyclePane(false);
    return true;
}

ctrlPropertySheet* wndApplication::preferenceSheet() const
{
    return prefSheet_;
}

bool wndApplication::openPreferences()
{
    if (prefSheet_ != nullptr) {
        prefSheet_->raise();
        prefSheet_->activateWindow();
        return true;
    }
    prefSheet_ = new ctrlPropertySheet(this);
    prefSheet_->setAttribute(Qt::WA_DeleteOnClose);
    prefSheet_->initvalue();
    prefSheet_->init(ctrlPropertySheet::Mode::easy);
    prefSheet_->open();
    return true;
}

bool wndApplication::applySettings()
{
    utlIniInfo* ini = GetUtlIniInfo();
    showListView(ini->getInt(IniKey::ListView) == 1 ? 1 : 2);
    showHtmlView(ini->getInt(IniKey::HTMLView) == 1 ? 1 : 2);
    tree_->loadSettings(*ini);
    tree_->setMarkColours(ini->getInt(IniKey::MarkColor), ini->getInt(IniKey::RouteMarkColor),
                          ini->getInt(IniKey::PageMarkColor));
    tree_->browserCommand = ini->getString(IniKey::BrowserCommand);
    tviSourceCabinets::applySettings(*tree_, *ini);
    listView_->applySettings(*ini);
    // Footprints and snapshots age by the new days from the next save on.
    if (auto* route =
            static_cast<tviRouteSnapshot*>(tviSourceCabinets::find(*tree_, typeRouteSnapshot)))
        route->applySettings(*ini);
    if (auto* snapshots = static_cast<tviPageSnapshot*>(tree_->snapshotCabinet()))
        snapshots->applySettings(*ini);
    treeView_->viewport()->update();
    return applyFont();
}

bool wndApplication::applyFont()
{
    utlIniInfo* ini = GetUtlIniInfo();
    std::string stored = ini->getString(IniKey::FontName);
    // A face this desktop lacks gives way to its Japanese sans-serif face. The Windows default
    // face, which no Linux desktop has, is replaced in the setting too, so that the preference
    // sheet offers a face that exists; a face the user named is kept.
    QString family = guiJapanese::familyFor(gui::toQt(stored));
    if (!family.isEmpty() && stored == utlIniInfo::info(IniKey::FontName).textDefault)
        ini->setString(IniKey::FontName, gui::fromQt(family));
    int size = ini->getInt(IniKey::FontSize);
    QFont font = QApplication::font();
    if (!family.isEmpty())
        font.setFamily(family);
    if (size > 0 && size < 100)
        font.setPointSize(size + 1);
    treeView_->setFont(font);
    listView_->setFont(font);
    htmlView_->editor()->setFont(font);
    return true;
}

// A failure is logged under OnCommand, the handler of menu and accelerator commands.
bool wndApplication::runMenuId(int menuId)
{
    utlCommandRoot* root = GetUtlCommandRoot();
    int code = root->getCommand(menuId);
    if (code == -1)
        return true;
    bool handled = false;
    if (!root->executeCommand(code, false, handled))
        return logErrorAs("wndApplication::OnCommand",
                          gui::fromQt(tr("コマンド実行に失敗しました")));
    return true;
}

bool wndApplication::isMenuIdAvailable(int menuId)
{
    int code = guiMenus::commandOf(menuId);
    if (code == -1)
        return true;
    bool handled = false;
    return executeCommand(code, true, handled) && handled;
}

void wndApplication::refreshViews()
{
    tviTreeViewItem* item = treeView_->selectedItem();
    clsQuillaraItem* node = item != nullptr ? item->getRequest() : nullptr;
    listView_->fillFrom(node);
    if (item != nullptr && item->getStatus() == clsRequestStatus::failed) {
        std::string failure;
        bool isError = false;
        item->getStatusText(failure, isError);
        htmlView_->fillFailed(node, failure);
    } else {
        htmlView_->fillFrom(node);
    }
    if (item == nullptr) {
        for (int part = 0; part < 3; ++part)
            statusBar_->setPartText(part, QString());
        return;
    }
    std::string status;
    bool isError = false;
    item->getStatusText(status, isError);
    std::string url = item->getUrl();
    std::string first = url.empty() ? item->getDescription() : url;
    std::replace_if(
        first.begin(), first.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    statusBar_->setPartText(0, url.empty() ? gui::toQt(first) : gui::addressToQt(first));
    auto* urlItem = dynamic_cast<tviURLItem*>(item);
    statusBar_->setPartText(1, urlItem != nullptr ? urlItem->getTitle() : std::string());
    statusBar_->setPartColour(isError ? 0x0000C0 : 0x000000);
    statusBar_->setPartText(2, status);
}

void wndApplication::onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase)
{
    if (tree_ == nullptr)
        return;
    tree_->onNodeNotify(id, node, phase);
    if (phase != clsNodePhase::complete)
        return;
    tviTreeViewItem* selected = treeView_->selectedItem();
    if (selected == nullptr || selected->getRequestNumber() != id)
        return;
    bool handled = false;
    GetUtlCommandRoot()->executeCommand(codeOf(utlCommand::refreshViews), false, handled);
}

void wndApplication::onSnapshotNotify(int id, const clsSnapshotReport& report,
                                      clsSnapshotPhase phase)
{
    if (tree_ == nullptr)
        return;
    tree_->onSnapshotNotify(id, report, phase);
    tviTreeViewItem* selected = treeView_->selectedItem();
    if (phase != clsSnapshotPhase::ended || selected == nullptr ||
        selected->getType() != typePSSItem)
        return;
    // The selected snapshot was shown before its page was saved (nothing, or part of it): its
    // saved page is read now, and the views fill when that read ends.
    if (!selected->getUrl().empty() && engine_ != nullptr &&
        selected->getStatus() != clsRequestStatus::reading)
        tree_->request(selected, selected->getRequestNumber() >= 0 ? clsRequestMode::reload
                                                                   : clsRequestMode::read);
    refreshViews();
}

void wndApplication::openSnapshotDialog(tviTreeViewItem* item, const std::string& name)
{
    auto* cabinet = static_cast<tviPageSnapshot*>(tree_->snapshotCabinet());
    if (cabinet == nullptr || item == nullptr)
        return;
    // Asked again for another page while open, the dialog takes that page's snapshot.
    snapshotItem_ = item;
    if (snapshotDialog_ == nullptr) {
        snapshotDialog_ = new dlgSSPage(
            this, cabinet->getFolderPath(), cabinet->getColorDay(), cabinet->getLimitDay(), name,
            cabinet->ageing().isDeleteOn(), GetUtlIniInfo()->getInt(IniKey::SnapshotScripts) != 0);
        connect(snapshotDialog_, &QDialog::finished, snapshotDialog_, &QObject::deleteLater);
    } else {
        snapshotDialog_->setName(name);
    }
    snapshotDialog_->show();
    snapshotDialog_->raise();
    snapshotDialog_->activateWindow();
}

dlgSSPage* wndApplication::snapshotDialog() const
{
    return snapshotDialog_;
}

// The snapshot dialog's answer (1020) goes to the item it was opened for, wherever the
// selection went meanwhile. False keeps the dialog open: the item asked for a name.
bool wndApplication::answerSnapshot(bool query, bool& handled)
{
    handled = true;
    if (query)
        return true;
    tviTreeViewItem* item = snapshotItem_;
    if (item == nullptr || !tree_->owns(item) || item->getHandle() == nullptr) {
        snapshotItem_ = nullptr;
        return true;
    }
    tree_->dialogData = tviDialogData{};
    tree_->dialogData.name = snapshotDialog_->getName();
    tree_->dialogData.autoDelete = snapshotDialog_->getAutoDelete();
    tree_->dialogData.confirmed = snapshotDialog_->isAccepted();
    bool done = false;
    bool ok = item->executeCommand(codeOf(utlCommand::snapshotConfirmed), false, done);
    bool asked = snapshotDialog_->isAccepted() && !tree_->dialogData.confirmed;
    tree_->dialogData = tviDialogData{};
    if (!ok || asked)
        return false;
    snapshotItem_ = nullptr;
    return true;
}

void wndApplication::onHeadNotify(int id, int linkKind, const std::string& address,
                                  const std::string& fileName, const std::string& protocol,
                                  int contentLength, const std::string& lastModifiedText)
{
    if (tree_ != nullptr)
        tree_->onHeadNotify(id, linkKind, address, fileName, protocol, contentLength,
                            lastModifiedText);
}
