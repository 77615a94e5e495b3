// One running instance per desktop session: a lock that survives a crash, and a socket to wake
// the first.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include <sys/types.h>

class QLocalServer;
class QLockFile;

namespace pelimator {

// The folder for the lock and the socket: runtimeDir (XDG_RUNTIME_DIR) when it is a folder owned
// by uid that no one else may enter; otherwise "pelimator-<uid>" under tempDir, created with mode
// 0700 (an existing one must be a real folder owned by uid; its mode is brought back to 0700).
// Empty when neither is usable: never the current folder.
[[nodiscard]] QString PrivateRuntimeDirectory(const QString& runtimeDir, const QString& tempDir,
                                              uid_t uid);
// The same for this process: XDG_RUNTIME_DIR, the temporary folder, the real user id.
[[nodiscard]] QString PrivateRuntimeDirectory();

// Where the windows of this start appear, as they tell one desktop session from another.
struct DisplayPlace {
    QString platform;        // the Qt platform: "xcb", "wayland", "offscreen", ...
    QString waylandDisplay;  // $WAYLAND_DISPLAY
    QString x11Display;      // $DISPLAY
    QString sessionId;       // $XDG_SESSION_ID
};
// The same for this process; needs the application object (for its platform).
[[nodiscard]] DisplayPlace CurrentDisplayPlace();

// The name of the lock and socket of program on that display: starts whose windows would appear
// on the same display share it and hand over to each other; starts on another display, another
// login or remote session each run their own. X11: the server's host and display number (screen
// 0 when left out; "unix:" is the local host); Wayland: the compositor's socket name; another
// platform: its own name, with the login session where no display says more. Only characters a
// file name takes; a long one is shortened to a hash.
[[nodiscard]] QString InstanceKey(const QString& program, const DisplayPlace& place);
// A short, readable name of the display for messages (":0", "wayland-0", "offscreen").
[[nodiscard]] QString DisplayName(const DisplayPlace& place);

// What a later start sends to the first one: "activate", one "open <percent-encoded path>" per
// drawing, "end", each line ending in LF. A message without "end" (a start that died on the way,
// or an older program that sends only "activate") counts as an activation without drawings.
[[nodiscard]] QByteArray EncodeActivation(const QStringList& files);
// The drawings of a complete message; nullopt while "end" has not arrived.
[[nodiscard]] std::optional<QStringList> DecodeActivation(const QByteArray& message);

// The lock and socket live in PrivateRuntimeDirectory(), so no other user can take or fake the
// name. QLockFile notices a lock left by a crashed process.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // key names the program; tests pass their own so they do not meet a running Pelimator.
    // directory defaults to PrivateRuntimeDirectory().
    explicit SingleInstance(const QString& key, QString directory = {}, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    SingleInstance(SingleInstance&&) = delete;
    SingleInstance& operator=(SingleInstance&&) = delete;

    // True when this is the first instance: it then holds the lock and listens for others.
    // False when another one runs; that one has been asked to open files (absolute paths) and
    // to bring its windows forward. Also true, without any lock, when no private folder exists
    // (IsUnique() tells): the program then runs, and a later start runs beside it.
    bool TryBecomePrimary(const QStringList& files = {});

    // False when no private folder was found, so this instance could not take the lock.
    [[nodiscard]] bool IsUnique() const noexcept { return !m_lockPath.isEmpty(); }
    // After TryBecomePrimary gave false: whether the running instance confirmed the message.
    [[nodiscard]] bool Delivered() const noexcept { return m_delivered; }

signals:
    // A later start asked this instance to open files (none: just show its windows).
    void ActivationRequested(const QStringList& files);

private:
    void Accept();

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_delivered = false;
};

}  // namespace pelimator
