#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

QString sessionComponent(QString text)
{
    for (QChar &c : text) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'_')
            c = u'_';
    }
    return text;
}

} // namespace

QString desktopSessionKey()
{
    // One user may run several desktop sessions at once, and they share the runtime folder.
    // Every program of a desktop knows its X display (also under Wayland, through Xwayland),
    // while the login session's id is missing in programs started by the user's service
    // manager; so the display comes first, without its screen number (":0" and ":0.0" are
    // one desktop).
    static const QRegularExpression screen(u"^(.*:[0-9]+)\\.[0-9]+$"_s);
    QString display = qEnvironmentVariable("DISPLAY").trimmed();
    display.replace(screen, u"\\1"_s);
    for (const QString &value : {display, qEnvironmentVariable("WAYLAND_DISPLAY").trimmed(),
                                 qEnvironmentVariable("XDG_SESSION_ID").trimmed()}) {
        if (!value.isEmpty())
            return sessionComponent(value);
    }
    return u"console"_s;
}

QString sessionInstanceName(const QString &name)
{
    return name + u'-' + desktopSessionKey();
}

namespace {

constexpr QByteArrayView kActivate = "activate\n";

// Both the lock and the activation socket live in the user's runtime folder; without one,
// in a folder of this user's own under the temporary folder, never in a folder that all
// users share.
QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    const QString own = QDir::tempPath() + u"/zelk-runtime-"_s + QString::number(::getuid());
    QDir().mkpath(own);
    const QFileInfo info(own);
    if (!info.isDir() || info.ownerId() != ::getuid()) {
        // Someone else's folder of that name: this user's cache folder is the user's own.
        const QString cache = QDir::homePath() + u"/.cache/Kestrova"_s;
        QDir().mkpath(cache);
        return cache;
    }
    QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return own;
}

QString lockFilePath(const QString &name)
{
    return runtimeFolder() + u'/' + sessionInstanceName(name) + u".lock"_s;
}

QString socketPath(const QString &name)
{
    return runtimeFolder() + u'/' + sessionInstanceName(name);
}

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent), m_name(socketPath(name)), m_lock(std::make_unique<QLockFile>(lockFilePath(name)))
{
    m_lock->setStaleLockTime(0); // stale only when its holder no longer runs
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    m_retry.setSingleShot(false);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (tryAcquire())
            m_retry.stop();
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryAcquire()
{
    if (m_primary)
        return true;
    if (!m_lock->tryLock(0))
        return false;
    // Holding the lock proves that no other instance listens: a socket file left behind by
    // a crashed instance may be removed.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_name))
        qWarning("ZELK: cannot listen for activation requests: %s",
                 qPrintable(m_server.errorString()));
    m_primary = true;
    return true;
}

void SingleInstance::acquireWhenFree(int retryMs)
{
    if (m_primary)
        return;
    m_retry.start(retryMs);
}

bool SingleInstance::activateRunning(const QString &name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(name));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivate.data(), kActivate.size());
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return sent;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        // The request may already be buffered (or the peer gone) by the time the
        // connection is taken, so look at what is there now as well as on later reads.
        const auto readRequest = [this, socket] {
            if (socket->readAll().contains(kActivate))
                Q_EMIT activationRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        readRequest();
    }
}

} // namespace zelk
