#include "server/ZelkServer.h"

#include "protocol/Codepage.h"
#include "protocol/Messages.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace zelk::server {

namespace {

constexpr qsizetype kLogLimit = 300;
// How long a half-decided input waits for the bytes that would decide it.
constexpr int kRestMs = 100;
constexpr int kBacklog = 512;

// One log line per message: control characters shown as escapes, long data cut short.
QString printable(QByteArrayView bytes)
{
    const QString text = fromCodePage(bytes.first(std::min(bytes.size(), kLogLimit)));
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\n')
            out += u"\\n";
        else if (c == u'\r')
            out += u"\\r";
        else if (c.unicode() < 32 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            out += u"\\x%1"_s.arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    if (bytes.size() > kLogLimit)
        out += u"… (%1 bytes)"_s.arg(bytes.size());
    return out;
}

} // namespace

ServerConnection::ServerConnection(QTcpSocket *socket, int id, ZelkServer *server)
    : QObject(server)
    , m_socket(socket)
    , m_restTimer(new QTimer(this))
    , m_id(id)
    , m_server(server)
{
    socket->setParent(this);
    m_restTimer->setSingleShot(true);
    m_restTimer->setInterval(kRestMs);
    connect(m_restTimer, &QTimer::timeout, this, [this] { process(MessageDecoder::AtRest); });
    connect(socket, &QTcpSocket::readyRead, this, &ServerConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] { m_server->forget(this); });
}

QString ServerConnection::peer() const
{
    return m_socket->peerAddress().toString() + u':' + QString::number(m_socket->peerPort());
}

void ServerConnection::send(const QByteArray &bytes)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_server->log(this, u"->", bytes);
    ++m_server->m_messagesOut;
    m_socket->write(bytes);
}

void ServerConnection::close()
{
    m_socket->abort();
}

void ServerConnection::onReadyRead()
{
    m_decoder.append(m_socket->readAll());
    process(MessageDecoder::MoreMayFollow);
}

void ServerConnection::process(MessageDecoder::Input input)
{
    m_restTimer->stop();
    QPointer<ServerConnection> alive(this);
    while (alive && m_socket->state() == QAbstractSocket::ConnectedState) {
        const std::optional<Frame> frame = m_decoder.next(input);
        if (!frame)
            break;
        m_server->handleFrame(this, *frame);
    }
    if (!alive)
        return;
    if (m_decoder.overflowed()) {
        m_server->logText(u"#%1 sent more than 1 MB without a complete message: disconnected"_s.arg(m_id));
        m_socket->abort();
    } else if (m_decoder.pending() > 0 && input == MessageDecoder::MoreMayFollow) {
        m_restTimer->start();
    }
}

ZelkServer::ZelkServer(ServerState state, QObject *parent)
    : QObject(parent)
    , m_core(std::move(state))
    , m_listener(new QTcpServer(this))
{
    connect(m_listener, &QTcpServer::newConnection, this, [this] { onNewConnection(m_listener); });
}

ZelkServer::~ZelkServer() = default;

bool ZelkServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    // A whole ward of clients reconnects at once after a restart; Qt's default backlog of
    // 50 would make the rest wait a second for the kernel's SYN retry.
    m_listener->setListenBacklogSize(kBacklog);
    if (m_listener->listen(address, port))
        return true;
    if (error)
        *error = m_listener->errorString();
    return false;
}

bool ZelkServer::listenUpdate(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_updateListener) {
        m_updateListener = new QTcpServer(this);
        connect(m_updateListener, &QTcpServer::newConnection, this,
                [this] { onNewConnection(m_updateListener); });
    }
    m_updateListener->setListenBacklogSize(kBacklog);
    if (m_updateListener->listen(address, port))
        return true;
    if (error)
        *error = m_updateListener->errorString();
    return false;
}

quint16 ZelkServer::port() const
{
    return m_listener->serverPort();
}

quint16 ZelkServer::updatePort() const
{
    return m_updateListener ? m_updateListener->serverPort() : 0;
}

void ZelkServer::onNewConnection(QTcpServer *listener)
{
    while (QTcpSocket *socket = listener->nextPendingConnection()) {
        auto *connection = new ServerConnection(socket, m_nextId++, this);
        m_connections.append(connection);
        logText(u"#%1 connected from %2"_s.arg(connection->id()).arg(connection->peer()));
    }
}

void ZelkServer::forget(ServerConnection *connection)
{
    if (!m_connections.removeOne(connection))
        return;
    logText(u"#%1 disconnected"_s.arg(connection->id()));
    const int id = connection->id();
    connection->deleteLater();
    Q_EMIT connectionClosed(id);
}

void ZelkServer::handleFrame(ServerConnection *connection, const Frame &frame)
{
    ++m_messagesIn;
    log(connection, u"<-", frame.raw);
    apply(connection, m_core.handle(frame, connection->m_info));
}

void ZelkServer::apply(ServerConnection *origin, const Outcome &outcome)
{
    if (outcome.stateChanged && !m_stateFile.isEmpty()) {
        QString error;
        if (!saveState(&error))
            logText(u"could not save the state to %1: %2"_s.arg(m_stateFile, error));
    }
    if (origin) {
        for (const QByteArray &reply : outcome.replies)
            origin->send(reply);
        if (outcome.executable)
            streamExecutable(origin, *outcome.executable);
    }
    push(outcome.pushTo);
}

void ZelkServer::push(const QStringList &clients)
{
    for (const QString &name : clients) {
        const Client *client = m_core.state().client(name);
        if (!client)
            continue;
        QByteArray list; // built once per client, only when someone listens
        for (ServerConnection *c : std::as_const(m_connections)) {
            if (!c->m_info.wantsPushes || c->m_info.clientName.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            if (list.isEmpty())
                list = m_core.callListMessage(*client);
            c->send(list);
        }
    }
}

void ZelkServer::streamExecutable(ServerConnection *connection, const QByteArray &executable)
{
    const QByteArray whole = msg::retNewClient(executable);
    const qsizetype tailSize = toCodePage(u":RETNEWCLIENT¤").size() + toCodePage(u"#DATAEND#").size();
    const QByteArray head = whole.left(whole.size() - tailSize);
    const QByteArray tail = whole.right(tailSize);
    QTimer::singleShot(m_newClientPause, connection, [this, connection, head, tail] {
        connection->send(head);
        connection->m_socket->flush();
        QTimer::singleShot(m_newClientPause, connection, [connection, tail] { connection->send(tail); });
    });
}

bool ZelkServer::saveState(QString *error)
{
    QSaveFile file(m_stateFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_core.state().toJson()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ZelkServer::setCalled(qint32 resource, bool called, QString *error)
{
    const std::optional<Outcome> outcome = m_core.setCalled(resource, called, error);
    if (outcome)
        apply(nullptr, *outcome);
    return outcome.has_value();
}

bool ZelkServer::setComing(qint32 resource, const QString &name, const QDateTime &when, QString *error)
{
    const std::optional<Outcome> outcome = m_core.setComing(resource, name, when, error);
    if (outcome)
        apply(nullptr, *outcome);
    return outcome.has_value();
}

int ZelkServer::sendRaw(const QString &clientName, const QByteArray &bytes)
{
    int count = 0;
    const QList<ServerConnection *> targets = m_connections;
    for (ServerConnection *c : targets) {
        if (clientName == u"*"_s || c->m_info.clientName.compare(clientName, Qt::CaseInsensitive) == 0) {
            c->send(bytes);
            ++count;
        }
    }
    return count;
}

void ZelkServer::dropAll()
{
    const QList<ServerConnection *> targets = m_connections;
    for (ServerConnection *c : targets)
        c->close();
}

void ZelkServer::setVersion(const QString &version)
{
    m_core.state().version = version;
    if (!m_stateFile.isEmpty())
        saveState();
}

QList<const ServerConnection *> ZelkServer::connections() const
{
    QList<const ServerConnection *> list;
    for (const ServerConnection *c : m_connections)
        list.append(c);
    return list;
}

void ZelkServer::log(const ServerConnection *connection, QStringView direction, QByteArrayView bytes) const
{
    if (!m_logging)
        return;
    logText(u"#"_s + QString::number(connection->id()) + u' ' + direction + u' ' + printable(bytes));
}

void ZelkServer::logText(const QString &line) const
{
    if (!m_logging)
        return;
    const QString stamped = QTime::currentTime().toString(u"HH:mm:ss.zzz"_s) + u' ' + line + u'\n';
    std::fputs(stamped.toLocal8Bit().constData(), stderr);
}

} // namespace zelk::server
