// One running instance per user.
#include "tool/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace pelimator {

SingleInstance::SingleInstance(QString key, QString directory, QObject* parent) : QObject(parent) {
    if (directory.isEmpty()) {
        directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    QDir().mkpath(directory);
    m_lockPath = QDir(directory).filePath(key + QStringLiteral(".lock"));
    m_socketPath = QDir(directory).filePath(key + QStringLiteral(".socket"));
}

SingleInstance::~SingleInstance() {
    if (m_server) m_server->close();
}

bool SingleInstance::TryBecomePrimary() {
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    if (!m_lock->tryLock(100)) {
        m_lock.reset();
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(1000)) {
            socket.write("activate\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        return false;
    }
    // The lock is ours, so a socket file left behind is from a crashed instance.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(m_socketPath);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit ActivationRequested();
        }
    });
    return true;
}

}  // namespace pelimator
