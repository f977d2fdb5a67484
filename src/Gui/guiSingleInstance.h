#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

// One window per configuration directory: the first start holds a lock file there and listens
// on a local socket; a second start finds the lock taken, asks the first one to come to the
// front and ends.
class guiSingleInstance : public QObject {
    Q_OBJECT
public:
    // directory: where the lock file lives (the configuration directory).
    explicit guiSingleInstance(const QString& directory, QObject* parent = nullptr);
    ~guiSingleInstance() override;

    // True when this is the first instance (the lock is held and the socket listens).
    bool acquire();
    // From a second instance: asks the first to raise its window and to carry out requests
    // ("open PATH", "go ADDRESS", one a line); true when it answered.
    bool signalFirst(const QStringList& requests = {}, int timeoutMs = 2000);
    const QString& serverName() const { return serverName_; }

signals:
    void raiseRequested();
    // kind "open" (a cabinet file), "go" (an address) or "missing" (a file that is not there),
    // from a later start's command line.
    void openRequested(const QString& kind, const QString& value);

private:
    void onConnection();

    std::unique_ptr<QLockFile> lock_;
    // Before the server: the server's sockets, destroyed with it, still erase themselves here.
    std::map<const QObject*, QByteArray> pending_;
    QLocalServer server_;
    QString serverName_;
};
