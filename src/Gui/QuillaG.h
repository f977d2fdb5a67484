#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class wndApplication;

// The entry: creates the process-wide services in their order, the window and the command
// root, and takes them down again in the reverse order. steps() records what ran, in order.
class QuillaG {
public:
    struct Options {
        bool showSplash = false; // an empty command line
        QString screenshotPath;  // --screenshot FILE.png
        QString cabinetPath;     // and the cabinet to open with it
        QString dialogName;      // --dialog NAME: a picture of that dialog instead
        QStringList openPaths;   // cabinet files (.scb) to open, absolute
        QStringList addresses;   // addresses to go to, as the URL box does
        QStringList missing;     // files that are not there, absolute: the window says so
        QStringList ignored;     // anything else: logged, never a failed start
        QString error;           // a command line that is not understood
    };
    static Options parseArguments(const QStringList& arguments);
    static bool isAddressArgument(const QString& argument);
    // Opens the cabinet files behind the selection and goes to the addresses, then brings the
    // window to the front (command-line arguments of this start or of a later one).
    // Files that are not there are named in a message of the window.
    static void applyArguments(wndApplication& app, const QStringList& openPaths,
                               const QStringList& addresses, const QStringList& missing = {});

    QuillaG();
    ~QuillaG();

    // Log, registry key, settings (loaded at once), help and the page cache.
    bool startServices();
    // The window (app when given, else a new one), the command root, then the window's init.
    bool startWindow(std::unique_ptr<wndApplication> app = nullptr);
    // The window's term and the services in reverse order; safe to call twice.
    void stop();

    wndApplication* application() const { return app_.get(); }
    const std::vector<std::string>& steps() const { return steps_; }

private:
    std::unique_ptr<wndApplication> app_;
    std::vector<std::string> steps_;
    bool servicesStarted_ = false;
};

// main() of the window program.
int runQuillaG(int argc, char** argv);
