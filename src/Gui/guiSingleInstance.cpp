#include "Gui/guiSingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace {

constexpr char raiseRequest[] = "raise\n";

} // namespace

guiSingleInstance::guiSingleInstance(const QString& directory, QObject* parent)
    : QObject(parent), lock_(std::make_unique<QLockFile>(QDir(directory).filePath(QStringLiteral("Quillara.lock"))))
{
    // The socket's name is derived from the directory, so that each configuration has its own.
    QByteArray digest = QCryptographicHash::hash(QDir(directory).absolutePath().toUtf8(), QCryptographicHash::Sha1);
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

bool guiSingleInstance::signalFirst(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(raiseRequest, sizeof raiseRequest - 1);
    bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}

void guiSingleInstance::onConnection()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Only the one request is known; anything else (and anything long) is ignored.
            QByteArray line = socket->read(64);
            if (line.startsWith("raise"))
                Q_EMIT raiseRequested();
        });
    }
}
