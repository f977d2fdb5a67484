#include "Gui/QuillaG.h"

#include "Common/utlCommandRoot.h"
#include "Common/utlEnvInfo.h"
#include "Common/utlHelp.h"
#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Dialog/ctrlPropertySheet.h"
#include "Dialog/dlgSearch.h"
#include "Engine/Http/clsUrlCache.h"
#include "Gui/ctrlQtTreeView.h"
#include "Gui/guiJapanese.h"
#include "Gui/guiSingleInstance.h"
#include "QtBridge/guiText.h"
#include "Gui/wndApplication.h"
#include "Gui/wndTreeView.h"
#include "Platform/ProgramPaths.h"
#include "TreeViewItem/Base/tviTreeViewItem.h"

#include <QCoreApplication>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QSplashScreen>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int screenshotLimitMs = 10000;

QPixmap splashPicture()
{
    QPixmap pixmap(420, 220);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, 0, 220);
    gradient.setColorAt(0, QColor(40, 80, 150));
    gradient.setColorAt(1, QColor(10, 30, 70));
    p.fillRect(pixmap.rect(), gradient);
    p.setPen(Qt::white);
    QFont big = QApplication::font();
    big.setPointSize(30);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRect(0, 40, 420, 70), Qt::AlignCenter, QStringLiteral("Quillara"));
    QFont small = QApplication::font();
    small.setPointSize(12);
    p.setFont(small);
    p.drawText(QRect(0, 120, 420, 40), Qt::AlignCenter,
               QCoreApplication::translate("QuillaG", "クイラーラ"));
    p.drawText(QRect(0, 170, 420, 30), Qt::AlignCenter, QStringLiteral("Version 1.0"));
    return pixmap;
}

// Opens the given cabinet and selects its first item, so that the picture shows the views full.
void prepareScreenshot(wndApplication& app, const QString& cabinetPath)
{
    ctrlQtTreeView* tree = app.tree();
    TreeNode first = tree->getFirstChild(kTreeRoot);
    if (first != nullptr)
        tree->expand(first, true);
    if (cabinetPath.isEmpty())
        return;
    if (!app.treeView()->openCabinetFile(cabinetPath.toStdString()))
        return;
    TreeNode last = nullptr;
    for (TreeNode n = tree->getFirstChild(kTreeRoot); n != nullptr; n = tree->getNextSibling(n))
        last = n;
    if (last == nullptr)
        return;
    TreeNode chosen = nullptr;
    for (TreeNode n : tree->subtreeNodes(last)) {
        tree->expand(n, true);
        if (chosen == nullptr && !tree->getItem(n)->getUrl().empty())
            chosen = n;
    }
    if (chosen != nullptr)
        tree->selectNode(chosen);
}

// The window, or the dialog --dialog names: preferences, preferences-detailed, search.
QWidget* openDialogForScreenshot(wndApplication& app, const QString& name)
{
    if (name.isEmpty())
        return &app;
    bool handled = false;
    if (name.startsWith(QLatin1String("preferences"))) {
        app.executeCommand(1018, false, handled);
        ctrlPropertySheet* sheet = app.preferenceSheet();
        if (sheet != nullptr && name == QLatin1String("preferences-detailed"))
            sheet->OnSwitchMode();
        return sheet;
    }
    if (name == QLatin1String("search")) {
        app.executeCommand(1023, false, handled);
        return app.treeView()->searchDialog();
    }
    std::fprintf(stderr,
                 "quillara: unknown dialog %s (preferences, preferences-detailed, search)\n",
                 name.toLocal8Bit().constData());
    return nullptr;
}

int takeScreenshot(QApplication& qapp, QuillaG& program, const QuillaG::Options& options)
{
    wndApplication* app = program.application();
    app->setPersist(false);
    prepareScreenshot(*app, options.cabinetPath);
    bool saved = false;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer poll;
    // A moment for the first requests to start; then wait for the engine to fall idle.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (elapsed.elapsed() < 1500 && app->isEngineBusy() == false && elapsed.elapsed() < 700)
            return;
        if (app->isEngineBusy() && elapsed.elapsed() < screenshotLimitMs)
            return;
        poll.stop();
        QWidget* shown = openDialogForScreenshot(*app, options.dialogName);
        saved = shown != nullptr && shown->grab().save(options.screenshotPath, "PNG");
        if (!saved)
            std::fprintf(stderr, "quillara: cannot write %s\n",
                         options.screenshotPath.toLocal8Bit().constData());
        app->close();
        qapp.quit();
    });
    poll.start(100);
    qapp.exec();
    return saved ? 0 : 2;
}

} // namespace

QuillaG::Options QuillaG::parseArguments(const QStringList& arguments)
{
    Options options;
    options.showSplash = arguments.isEmpty();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--screenshot needs a file name");
                return options;
            }
            options.screenshotPath = arguments[++i];
        } else if (a == QLatin1String("--dialog") && i + 1 < arguments.size()) {
            options.dialogName = arguments[++i];
        } else if (!a.startsWith('-') && !options.screenshotPath.isEmpty() &&
                   options.cabinetPath.isEmpty()) {
            options.cabinetPath = a;
        } else if (isAddressArgument(a)) {
            options.addresses << a;
        } else if (QFileInfo info(a);
                   !a.startsWith('-') && info.isFile() && a.endsWith(QLatin1String(".scb"))) {
            options.openPaths << info.absoluteFilePath();
        } else if (!a.startsWith('-') && !info.exists()) {
            options.missing << info.absoluteFilePath();
        } else {
            options.ignored << a;
        }
    }
    return options;
}

bool QuillaG::isAddressArgument(const QString& argument)
{
    for (const char* scheme : {"http://", "https://", "ftp://", "file:"}) {
        if (argument.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void QuillaG::applyArguments(wndApplication& app, const QStringList& openPaths,
                             const QStringList& addresses, const QStringList& missing)
{
    for (const QString& path : missing) {
        // 「…」が見つかりません。
        app.tellUser(QCoreApplication::translate("QuillaG", "「") + path +
                     QCoreApplication::translate("QuillaG", "」が見つかりません。"));
        logError("no such file: " + path.toStdString());
    }
    for (const QString& path : openPaths) {
        if (!app.treeView()->openCabinetHere(path.toStdString()))
            logError(path.toStdString());
    }
    for (const QString& address : addresses) {
        if (!app.treeView()->goToAddress(gui::addressFromQt(address)))
            logError(gui::addressFromQt(address));
    }
    if (!openPaths.isEmpty() || !addresses.isEmpty() || !missing.isEmpty()) {
        app.showNormal();
        app.raise();
        app.activateWindow();
    }
}

QuillaG::QuillaG() = default;

QuillaG::~QuillaG()
{
    stop();
}

bool QuillaG::startServices()
{
    servicesStarted_ = true;
    bool ok = InitUtlLog("QuillaG");
    steps_.push_back("log");
    ok = InitUtlEnvInfo() && ok;
    steps_.push_back("env");
    if (InitUtlIniInfo()) {
        ok = GetUtlIniInfo()->load() && ok;
    } else {
        ok = false;
    }
    steps_.push_back("ini");
    if (InitUtlHelp()) {
        GetUtlHelp()->setErrorReporter([](const std::string& text, const std::string& caption) {
            QMessageBox::warning(nullptr, gui::toQt(caption), gui::toQt(text));
        });
    } else {
        ok = false;
    }
    steps_.push_back("help");
    // The pages fetched for the HTML view; its bound comes from the settings.
    ok = InitUrlCache() && ok;
    steps_.push_back("urlCache");
    return ok;
}

bool QuillaG::startWindow(std::unique_ptr<wndApplication> app)
{
    app_ = app ? std::move(app) : std::make_unique<wndApplication>();
    steps_.push_back("window");
    bool ok = InitUtlCommand(app_.get());
    steps_.push_back("commandRoot");
    ok = app_->init() && ok;
    steps_.push_back("init");
    return ok;
}

void QuillaG::stop()
{
    if (app_) {
        if (app_->isVisible())
            app_->close(); // closing saves the window's settings
        app_->term();
        steps_.push_back("term");
        app_.reset();
        steps_.push_back("deleteWindow");
    }
    if (!servicesStarted_)
        return;
    servicesStarted_ = false;
    TermUtlCommand();
    steps_.push_back("termCommandRoot");
    TermUrlCache();
    steps_.push_back("termUrlCache");
    TermUtlHelp();
    steps_.push_back("termHelp");
    TermUtlIniInfo();
    steps_.push_back("termIni");
    TermUtlEnvInfo();
    steps_.push_back("termEnv");
    TermUtlLog();
    steps_.push_back("termLog");
}

int runQuillaG(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillara"));
    if (!guiJapanese::installTranslations(qapp))
        std::fprintf(
            stderr,
            "quillara: Qt's Japanese translations are not installed (qt6-translations-l10n)\n");
    QuillaG::Options options = QuillaG::parseArguments(QApplication::arguments().mid(1));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr,
                     "quillara: %s\nusage: quillara [FILE.scb ...] [URL ...] [--screenshot "
                     "FILE.png [--dialog NAME] [CABINET.scb]]\n",
                     options.error.toLocal8Bit().constData());
        return 2;
    }
    bool screenshot = !options.screenshotPath.isEmpty();
    platform::ProgramPaths paths = platform::resolveProgramPaths();
    platform::makeDirectories(paths.configDirectory);
    guiSingleInstance instance(QString::fromStdString(paths.configDirectory));
    if (!screenshot && !instance.acquire()) {
        QStringList requests;
        for (const QString& path : options.openPaths)
            requests << QStringLiteral("open ") + path;
        for (const QString& address : options.addresses)
            requests << QStringLiteral("go ") + address;
        for (const QString& path : options.missing)
            requests << QStringLiteral("missing ") + path;
        instance.signalFirst(requests);
        return 1;
    }
    std::unique_ptr<QSplashScreen> splash;
    if (options.showSplash) {
        splash = std::make_unique<QSplashScreen>(splashPicture());
        splash->show();
        qapp.processEvents();
    }
    QuillaG program;
    program.startServices();
    program.startWindow();
    wndApplication* app = program.application();
    QObject::connect(&instance, &guiSingleInstance::raiseRequested, app, [app] {
        app->showNormal();
        app->raise();
        app->activateWindow();
    });
    QObject::connect(&instance, &guiSingleInstance::openRequested, app,
                     [app](const QString& kind, const QString& value) {
                         QuillaG::applyArguments(
                             *app,
                             kind == QLatin1String("open") ? QStringList{value} : QStringList{},
                             kind == QLatin1String("go") ? QStringList{value} : QStringList{},
                             kind == QLatin1String("missing") ? QStringList{value} : QStringList{});
                     });
    for (const QString& a : options.ignored)
        logError("ignored argument: " + a.toStdString());
    if (!screenshot)
        QuillaG::applyArguments(*app, options.openPaths, options.addresses, options.missing);
    if (splash)
        splash->finish(app);
    int result = screenshot ? takeScreenshot(qapp, program, options) : qapp.exec();
    program.stop();
    return result;
}
