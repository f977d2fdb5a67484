#pragma once

#include "Common/utlCommandTarget.h"
#include "Engine/Core/clsEngineOptions.h"
#include "Engine/Core/clsEngineTarget.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <memory>
#include <optional>

class QSplitter;
class ctrlPropertySheet;
class dlgSSPage;
class tviTreeViewItem;
class QTimer;
class clsQuillaraEngine;
class ctrlQtTreeView;
class toolRebar;
class toolStatusBar;
class wndHtmlView;
class wndListView;
class wndMessageTarget;
class wndTreeView;

// The main window: the rebar across the top, the tree on the left, the list above the HTML view
// on the right and the status bar below. It routes every command to the focused pane first,
// then to the status bar, then to itself, and hands the engine's notifications to the tree.
class wndApplication : public QMainWindow, public utlCommandTarget, public clsEngineTarget {
    Q_OBJECT
public:
    enum Pane {
        paneNone = -1,
        paneRebar = 1,
        paneStatusBar = 2,
        paneTree = 3,
        paneList = 4,
        paneHtml = 5
    };

    wndApplication();
    ~wndApplication() override;

    // Uses an engine of the window's own with these options instead of the process-wide one
    // (tests and benchmarks that must not wait a second between requests). Before init.
    void useOwnEngine(const clsEngineOptions& options);
    // Without persist set (screenshots) nothing is written at shut-down.
    void setPersist(bool persist) { persist_ = persist; }

    virtual bool init();
    virtual bool save();
    virtual bool term();
    virtual bool isEngineBusy();
    bool executeCommand(int code, bool query, bool& handled) override;
    virtual bool executeCommandApp(int code, bool query, bool& handled);
    virtual bool exitApplication();
    virtual bool openAboutDialog();
    virtual bool showListView(int mode);
    virtual bool showHtmlView(int mode);
    virtual bool applyFont();
    // Command 1018: the preference sheet (window-modal; one at a time).
    virtual bool openPreferences();
    // Command 6002: the settings take effect at once (views shown, tree, colours, font).
    virtual bool applySettings();
    ctrlPropertySheet* preferenceSheet() const;

    // A menu, accelerator or tool-bar identifier: translated and executed by the command root.
    bool runMenuId(int menuId);
    // Whether the command of a menu identifier is available (for greying).
    bool isMenuIdAvailable(int menuId);
    // Command 1200: the list, the HTML view and the status bar show the selected item.
    void refreshViews();

    void onNodeNotify(int id, clsQuillaraItem* node, clsNodePhase phase) override;
    void onHeadNotify(int id, int linkKind, const std::string& address, const std::string& fileName,
                      const std::string& protocol, int contentLength,
                      const std::string& lastModifiedText) override;
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override;
    // The snapshot dialog for item (command 1019); its answer (1020) goes to that item.
    void openSnapshotDialog(class tviTreeViewItem* item, const std::string& name);
    dlgSSPage* snapshotDialog() const;

    int focusPane() const { return focusPane_; }
    void setFocusPane(int pane);
    bool isListVisible() const { return listVisible_; }
    bool isHtmlVisible() const { return htmlVisible_; }
    ctrlQtTreeView* tree() const { return tree_.get(); }
    wndTreeView* treeView() const { return treeView_; }
    wndListView* listView() const { return listView_; }
    wndHtmlView* htmlView() const { return htmlView_; }
    toolRebar* rebar() const { return rebar_; }
    toolStatusBar* statusBarPane() const { return statusBar_; }
    wndMessageTarget* messageTarget() const { return messageTarget_.get(); }
    clsQuillaraEngine* engine() const { return engine_; }
    // The divider positions: the tree's width and the list's height.
    int treeViewWidth() const;
    int listViewHeight() const;

    // A message to the user that needs no answer: in a box that does not block the window.
    void tellUser(const QString& text);
    const QString& lastTold() const { return lastTold_; }

    // A stored window rectangle that lies on no screen is moved onto the primary one.
    static QRect placeOnScreen(const QRect& stored, const QList<QRect>& screens,
                               const QRect& primary);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool answerSnapshot(bool query, bool& handled);
    // Command 2010: the URL box's text, checked and completed, goes to the tree.
    bool goToTypedAddress();
    void createPanes();
    void restoreGeometry();
    void applyDividers();
    void onFocusChanged(QWidget* now);
    void cyclePane(bool backwards);
    bool offerToPane(int pane, int code, bool query, bool& handled);
    bool attachEngine();
    void releaseEngine();

    std::unique_ptr<wndMessageTarget> messageTarget_;
    std::unique_ptr<ctrlQtTreeView> tree_;
    std::unique_ptr<clsQuillaraEngine> ownEngine_;
    std::optional<clsEngineOptions> ownEngineOptions_;
    clsQuillaraEngine* engine_ = nullptr;
    bool sharedEngine_ = false;
    toolRebar* rebar_ = nullptr;
    toolStatusBar* statusBar_ = nullptr;
    wndTreeView* treeView_ = nullptr;
    wndListView* listView_ = nullptr;
    wndHtmlView* htmlView_ = nullptr;
    QSplitter* xSplitter_ = nullptr;
    QSplitter* ySplitter_ = nullptr;
    QTimer* saveTimer_ = nullptr;
    QPointer<ctrlPropertySheet> prefSheet_;
    QPointer<dlgSSPage> snapshotDialog_;
    tviTreeViewItem* snapshotItem_ = nullptr;
    QString lastTold_;
    int focusPane_ = paneNone;
    int treeViewWidth_ = 0;
    int listViewHeight_ = 0;
    bool listVisible_ = true;
    bool htmlVisible_ = true;
    bool persist_ = true;
    bool saved_ = false;
    bool terminated_ = false;
};
