#include "server/ZelkServer.h"

#include "protocol/Codepage.h"
#include "server/ListenerAcceptor.h"
#include "protocol/Messages.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>
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
    , m_idleTimer(new QTimer(this))
    , m_id(id)
    , m_server(server)
    , m_decoder(server->m_inputLimit)
{
    socket->setParent(this);
    m_restTimer->setSingleShot(true);
    m_restTimer->setInterval(kRestMs);
    connect(m_restTimer, &QTimer::timeout, this, [this] { process(MessageDecoder::AtRest); });
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(server->m_idleLimitMs);
    connect(m_idleTimer, &QTimer::timeout, this, &ServerConnection::onIdle);
    m_idleTimer->start();
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

// A calling client's connection is quiet for hours while it waits for pushed call lists, so
// only a connection that never said who it is, or that holds the beginning of a message
// it does not finish, is closed when the limit has passed.
void ServerConnection::onIdle()
{
    if (m_info.clientName.isEmpty() || m_decoder.pending() > 0) {
        m_server->logText(u"#%1 idle for %2 ms %3: disconnected"_s.arg(m_id).arg(m_idleTimer->interval())
                              .arg(m_decoder.pending() > 0 ? u"inside a message"_s : u"without a message"_s));
        m_socket->abort();
        return;
    }
    m_idleTimer->start();
}

void ServerConnection::process(MessageDecoder::Input input)
{
    m_restTimer->stop();
    QPointer<ServerConnection> alive(this);
    while (alive && m_socket->state() == QAbstractSocket::ConnectedState) {
        const std::optional<Frame> frame = m_decoder.next(input);
        if (!frame)
            break;
        m_idleTimer->start(); // a complete unit arrived: the limit counts from here
        m_server->handleFrame(this, *frame);
    }
    if (!alive)
        return;
    if (m_decoder.overflowed()) {
        m_server->logText(u"#%1 sent more than %2 bytes without a complete message: disconnected"_s
                              .arg(m_id)
                              .arg(m_server->m_inputLimit));
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
}

void ZelkServer::acceptOn(QTcpServer *listener)
{
    auto *acceptor = new ListenerAcceptor(listener, listener);
    connect(acceptor, &ListenerAcceptor::accepted, this, &ZelkServer::onAccepted);
    connect(acceptor, &ListenerAcceptor::shortageBegan, this, [this](const QString &reason) {
        logText(u"cannot accept connections (%1): trying again every %2 ms and whenever one closes"_s.arg(reason).arg(
            ListenerAcceptor::kRetryMs));
    });
    connect(acceptor, &ListenerAcceptor::shortageEnded, this, [this] { logText(u"accepting connections again"_s); });
    m_acceptors.append(acceptor);
}

ZelkServer::~ZelkServer() = default;

bool ZelkServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    // A whole ward of clients reconnects at once after a restart; Qt's default backlog of
    // 50 would make the rest wait a second for the kernel's SYN retry.
    m_listener->setListenBacklogSize(kBacklog);
    if (m_listener->listen(address, port)) {
        acceptOn(m_listener);
        return true;
    }
    if (error)
        *error = m_listener->errorString();
    return false;
}

bool ZelkServer::listenUpdate(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_updateListener) {
        m_updateListener = new QTcpServer(this);
    }
    m_updateListener->setListenBacklogSize(kBacklog);
    if (m_updateListener->listen(address, port)) {
        acceptOn(m_updateListener);
        return true;
    }
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

void ZelkServer::onAccepted(qintptr descriptor)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->setSocketDescriptor(descriptor)) {
        logText(u"a new connection could not be set up: %1"_s.arg(socket->errorString()));
        ListenerAcceptor::closeDescriptor(descriptor);
        return;
    }
    auto *connection = new ServerConnection(socket.release(), m_nextId++, this);
    m_connections.append(connection);
    logText(u"#%1 connected from %2"_s.arg(connection->id()).arg(connection->peer()));
}

void ZelkServer::forget(ServerConnection *connection)
{
    if (!m_connections.removeOne(connection))
        return;
    logText(u"#%1 disconnected"_s.arg(connection->id()));
    const int id = connection->id();
    connection->deleteLater();
    Q_EMIT connectionClosed(id);
    // Its descriptor is free once the socket is gone; a waiting connection may take it.
    for (ListenerAcceptor *acceptor : std::as_const(m_acceptors)) {
        if (acceptor->waiting())
            QTimer::singleShot(0, acceptor, &ListenerAcceptor::retryNow);
    }
}

void ZelkServer::handleFrame(ServerConnection *connection, const Frame &frame)
{
    ++m_messagesIn;
    log(connection, u"<-", frame.raw);
    Q_EMIT messageReceived(connection->id(), frame.raw);
    const std::optional<ServerState> before = snapshot();
    Outcome outcome = m_core.handle(frame, connection->m_info);
    QString error;
    if (!persist(outcome, before, &error)) {
        outcome = Outcome();
        outcome.replies.append(ServerCore::errorReply(QString(u"008 Ändringen kunde inte sparas: "_s + error)));
    }
    apply(connection, outcome);
}

std::optional<ServerState> ZelkServer::snapshot() const
{
    // Implicitly shared: the copy costs something only when the handling changes the state.
    if (m_stateFile.isEmpty())
        return std::nullopt;
    return m_core.state();
}

bool ZelkServer::persist(const Outcome &outcome, const std::optional<ServerState> &before, QString *error)
{
    if (!outcome.stateChanged || !before)
        return true;
    if (saveState(error))
        return true;
    // What is not on disk is not acknowledged, and not kept either: a restart would lose it.
    logText(u"could not save the state to %1: %2; the change is undone"_s.arg(m_stateFile, *error));
    m_core.state() = *before;
    return false;
}

void ZelkServer::apply(ServerConnection *origin, const Outcome &outcome)
{
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
    const std::optional<ServerState> before = snapshot();
    const std::optional<Outcome> outcome = m_core.setCalled(resource, called, error);
    if (!outcome || !persist(*outcome, before, error))
        return false;
    apply(nullptr, *outcome);
    return true;
}

bool ZelkServer::setComing(qint32 resource, const QString &name, const QDateTime &when, QString *error)
{
    const std::optional<ServerState> before = snapshot();
    const std::optional<Outcome> outcome = m_core.setComing(resource, name, when, error);
    if (!outcome || !persist(*outcome, before, error))
        return false;
    apply(nullptr, *outcome);
    return true;
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
