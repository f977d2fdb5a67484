#include "Gui/guiSingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace {

constexpr char raiseRequest[] = "raise\n";
// A later start's requests are short lines; more than this is not from us.
constexpr qint64 requestLimit = 64 * 1024;

} // namespace

guiSingleInstance::guiSingleInstance(const QString& directory, QObject* parent)
    : QObject(parent),
      lock_(std::make_unique<QLockFile>(QDir(directory).filePath(QStringLiteral("Quillara.lock"))))
{
    // The socket's name is derived from the directory, so that each configuration has its own.
    QByteArray digest =
        QCryptographicHash::hash(QDir(directory).absolutePath().toUtf8(), QCryptographicHash::Sha1);
    serverName_ = QStringLiteral("QuillaraV1.0-") + QString::fromLatin1(digest.toHex().left(16));
    connect(&server_, &QLocalServer::newConnection, this, &guiSingleInstance::onConnection);
}

guiSingleInstance::~guiSingleInstance()
{
    server_.close();
    if (lock_->isLocked())
        lock_->unlock();
}

bool guiSingleInstance::acquire()
{
    if (!lock_->tryLock(0))
        return false;
    // The lock is ours, so a socket of that name is a leftover of a crashed start.
    QLocalServer::removeServer(serverName_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(serverName_);
}

bool guiSingleInstance::signalFirst(const QStringList& requests, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message(raiseRequest, sizeof raiseRequest - 1);
    for (const QString& request : requests) {
        QString line = request;
        line.remove('\n');
        message += line.toUtf8() + '\n';
    }
    socket.write(message.left(requestLimit));
    bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}

void guiSingleInstance::onConnection()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Whole lines only; unknown lines (and anything beyond the limit) are ignored.
            QByteArray& pending = pending_[socket];
            pending += socket->read(requestLimit - pending.size());
            qsizetype end = 0;
            while ((end = pending.indexOf('\n')) >= 0) {
                QString line = QString::fromUtf8(pending.left(end));
                pending.remove(0, end + 1);
                if (line == QLatin1String("raise"))
                    Q_EMIT raiseRequested();
                else if (line.startsWith(QLatin1String("open ")))
                    Q_EMIT openRequested(QStringLiteral("open"), line.mid(5));
                else if (line.startsWith(QLatin1String("go ")))
                    Q_EMIT openRequested(QStringLiteral("go"), line.mid(3));
                else if (line.startsWith(QLatin1String("missing ")))
                    Q_EMIT openRequested(QStringLiteral("missing"), line.mid(8));
            }
            if (pending.size() >= requestLimit)
                socket->abort();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { pending_.erase(socket); });
    }
}
