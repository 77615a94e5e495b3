// One running instance per desktop session, and the message a later start hands to it.
#include "tool/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QUrl>
#include <cctype>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace pelimator {

namespace {

constexpr int kWaitMs = 5000;
constexpr int kConnectAttempts = 10;
constexpr unsigned long kConnectPauseMs = 200;
// A message longer than this is no start of ours: a few thousand long paths fit easily.
constexpr qsizetype kMaxMessageBytes = qsizetype{4} * 1024 * 1024;
const QByteArray kActivate = "activate";
const QByteArray kOpen = "open ";
const QByteArray kEnd = "end";
const QByteArray kAcknowledge = "ok\n";

// A folder owned by uid that only its owner may enter. lstat: a symbolic link is refused, so a
// link planted under the temporary folder cannot send us (or our chmod) elsewhere.
bool IsPrivateFolder(const QByteArray& path, uid_t uid, bool followLink, bool tighten) {
    struct stat info {};
    const int result =
        followLink ? ::stat(path.constData(), &info) : ::lstat(path.constData(), &info);
    if (result != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid) return false;
    if ((info.st_mode & 077) == 0) return true;
    return tighten && ::chmod(path.constData(), 0700) == 0;
}

bool IsWayland(const QString& platform) { return platform.startsWith(QStringLiteral("wayland")); }
bool IsX11(const QString& platform) { return platform == QStringLiteral("xcb"); }

// "host:display.screen" as the X server's address: "unix:0" and ":0" are one server, ":0" is
// ":0.0". Anything that does not parse is kept as it is (still one name per display).
QString X11Server(const QString& display) {
    const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return display;
    QString host = display.left(colon);
    if (host == QStringLiteral("unix")) host.clear();
    QString number = display.mid(colon + 1);
    if (!number.contains(QLatin1Char('.'))) number += QStringLiteral(".0");
    return host + QLatin1Char(':') + number;
}

// Characters a file name takes as they are; every other byte as "_xx".
QString FileNamePart(const QString& text) {
    QString part;
    for (const char byte : text.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if (std::isalnum(c) != 0 || c == '.' || c == '-') {
            part += QLatin1Char(static_cast<char>(c));
        } else {
            part += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
        }
    }
    return part;
}

// A socket's path has about 100 bytes; the folder takes some of them.
constexpr qsizetype kMaxPlaceChars = 40;

}  // namespace

DisplayPlace CurrentDisplayPlace() {
    return DisplayPlace{QGuiApplication::platformName(), qEnvironmentVariable("WAYLAND_DISPLAY"),
                        qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("XDG_SESSION_ID")};
}

QString DisplayName(const DisplayPlace& place) {
    if (IsWayland(place.platform) && !place.waylandDisplay.isEmpty()) return place.waylandDisplay;
    if (IsX11(place.platform) && !place.x11Display.isEmpty()) return place.x11Display;
    return place.platform;
}

QString InstanceKey(const QString& program, const DisplayPlace& place) {
    QString where;
    if (IsWayland(place.platform) && !place.waylandDisplay.isEmpty()) {
        where = QStringLiteral("wayland-") + place.waylandDisplay;
    } else if (IsX11(place.platform) && !place.x11Display.isEmpty()) {
        where = QStringLiteral("x11-") + X11Server(place.x11Display);
    } else {
        // No display names the place: the platform, and the login session when there is one.
        where = place.platform.isEmpty() ? QStringLiteral("unknown") : place.platform;
        if (!place.sessionId.isEmpty()) where += QStringLiteral("-session-") + place.sessionId;
    }
    QString part = FileNamePart(where);
    if (part.size() > kMaxPlaceChars) {
        part = QString::fromLatin1(
            QCryptographicHash::hash(where.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    }
    return program + QLatin1Char('-') + part;
}

QString PrivateRuntimeDirectory(const QString& runtimeDir, const QString& tempDir, uid_t uid) {
    // The runtime folder is the system's: used as it is, never changed.
    if (QDir::isAbsolutePath(runtimeDir) &&
        IsPrivateFolder(QFile::encodeName(runtimeDir), uid, /*followLink=*/true,
                        /*tighten=*/false)) {
        return runtimeDir;
    }
    if (!QDir::isAbsolutePath(tempDir)) return {};
    const QString own = QDir(tempDir).filePath(QStringLiteral("pelimator-%1").arg(uid));
    const QByteArray encoded = QFile::encodeName(own);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) return {};
    // Ours (made now, or by an earlier start): brought back to 0700 if someone widened it.
    return IsPrivateFolder(encoded, uid, /*followLink=*/false, /*tighten=*/true) ? own : QString();
}

QString PrivateRuntimeDirectory() {
    return PrivateRuntimeDirectory(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
                                   ::getuid());
}

QByteArray EncodeActivation(const QStringList& files) {
    QByteArray message = kActivate + '\n';
    for (const QString& file : files) {
        // Percent-encoding keeps line ends and any other byte of a name out of the framing.
        message += kOpen + QUrl::toPercentEncoding(file) + '\n';
    }
    return message + kEnd + '\n';
}

std::optional<QStringList> DecodeActivation(const QByteArray& message) {
    QStringList files;
    qsizetype start = 0;
    while (true) {
        const qsizetype end = message.indexOf('\n', start);
        if (end < 0) return std::nullopt;
        const QByteArray line = message.mid(start, end - start);
        start = end + 1;
        if (line == kEnd) return files;
        if (line.startsWith(kOpen)) {
            const QString file =
                QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(kOpen.size())));
            if (!file.isEmpty()) files.append(file);
        }
        // "activate" and lines of a later version are skipped.
    }
}

SingleInstance::SingleInstance(const QString& key, QString directory, QObject* parent)
    : QObject(parent) {
    if (directory.isEmpty()) directory = PrivateRuntimeDirectory();
    if (directory.isEmpty()) return;  // no private folder: IsUnique() is false
    m_lockPath = QDir(directory).filePath(key + QStringLiteral(".lock"));
    m_socketPath = QDir(directory).filePath(key + QStringLiteral(".socket"));
}

SingleInstance::~SingleInstance() {
    if (m_server != nullptr) m_server->close();
}

bool SingleInstance::TryBecomePrimary(const QStringList& files) {
    if (!IsUnique()) return true;
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    if (!m_lock->tryLock(100)) {
        m_lock.reset();
        // The first instance may hold the lock a moment before it listens: a few tries.
        QLocalSocket socket;
        for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
            socket.connectToServer(m_socketPath);
            if (socket.waitForConnected(kWaitMs)) break;
            QThread::msleep(kConnectPauseMs);
        }
        if (socket.state() == QLocalSocket::ConnectedState) {
            socket.write(EncodeActivation(files));
            socket.waitForBytesWritten(kWaitMs);
            QByteArray answer;
            while (answer.size() < kAcknowledge.size() && socket.waitForReadyRead(kWaitMs)) {
                answer += socket.readAll();
            }
            m_delivered = answer.startsWith(kAcknowledge);
            socket.disconnectFromServer();
        }
        return false;
    }
    // The lock is ours, so a socket file left behind is from a crashed instance.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(m_socketPath);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::Accept);
    return true;
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Each connection reads its own message; done once it has been answered.
        auto buffer = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        const auto read = [this, socket, buffer, done] {
            if (*done) return;
            *buffer += socket->readAll();
            if (buffer->size() > kMaxMessageBytes) {
                *done = true;
                socket->abort();
                return;
            }
            if (const auto files = DecodeActivation(*buffer)) {
                *done = true;
                // Answer first: the files may take a while to open, or show a message box. The
                // request goes out from the event loop, not from inside the socket's signal: it
                // runs an event loop of its own, in which the socket may go.
                socket->write(kAcknowledge);
                socket->flush();
                QMetaObject::invokeMethod(
                    this, [this, files = *files] { emit ActivationRequested(files); },
                    Qt::QueuedConnection);
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, done] {
            socket->deleteLater();
            if (*done) return;
            *done = true;
            QMetaObject::invokeMethod(
                this, [this] { emit ActivationRequested({}); }, Qt::QueuedConnection);
        });
        if (socket->bytesAvailable() > 0) read();
    }
}

}  // namespace pelimator
