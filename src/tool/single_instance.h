// One running instance per user: a lock that survives a crash, and a socket to wake the first.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace pelimator {

// Lives in the user's private runtime directory (mode 0700), not in a world-writable folder, so
// no other user can take or fake the name. QLockFile notices a lock left by a crashed process.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // key names the program; tests pass their own so they do not meet a running Pelimator.
    // directory defaults to the user's runtime directory.
    explicit SingleInstance(QString key, QString directory = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first instance: it then holds the lock and listens for others.
    // False when another one runs; that one has been asked to bring its window forward.
    bool TryBecomePrimary();

signals:
    // A later start asked this instance to show its main window.
    void ActivationRequested();

private:
    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace pelimator
