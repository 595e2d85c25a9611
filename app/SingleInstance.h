#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace zelk {

// The desktop session this process belongs to, as a file-name component.
QString desktopSessionKey();
// name qualified by the desktop session, as a named mutex without a prefix is on Windows.
QString sessionInstanceName(const QString &name);

// Admits one calling client per desktop session. The lock file, named for the session in the
// user's runtime folder, plays the part of a named mutex (a crashed holder's lock counts as
// stale and is taken over); the local server of the same name lets a second start ask the
// running instance to come to the front.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening; false when another instance holds the lock.
    bool tryAcquire();
    bool isPrimary() const { return m_primary; }

    // Keeps trying to take over the lock, for an instance started regardless of it (a fresh
    // copy after a self-update): once the old instance has ended, later starts find this one.
    void acquireWhenFree(int retryMs = 1000);

    // Asks the running instance to come to the front; false when it does not answer.
    static bool activateRunning(const QString &name, int timeoutMs = 2000);

Q_SIGNALS:
    // A second start asked this instance to come to the front.
    void activationRequested();

private:
    void onNewConnection();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QTimer m_retry;
    bool m_primary = false;
};

} // namespace zelk
