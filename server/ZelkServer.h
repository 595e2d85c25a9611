#pragma once

#include "server/MessageDecoder.h"
#include "server/ServerCore.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace zelk::server {

class ListenerAcceptor;
class ZelkServer;

// One peer: its socket, its half-read input and what it said about itself.
class ServerConnection final : public QObject
{
    Q_OBJECT

public:
    ServerConnection(QTcpSocket *socket, int id, ZelkServer *server);

    int id() const { return m_id; }
    const ConnectionInfo &info() const { return m_info; }
    QString peer() const;
    void send(const QByteArray &bytes);
    void close();

private:
    void onReadyRead();
    void onIdle();
    void process(MessageDecoder::Input input);

    QTcpSocket *m_socket;
    QTimer *m_restTimer;
    QTimer *m_idleTimer;
    int m_id;
    ZelkServer *m_server;
    MessageDecoder m_decoder;
    ConnectionInfo m_info;
    friend class ZelkServer;
};

// The signalling and update server: accepts connections, answers each message, pushes
// call lists when calls change, streams a newer client executable, and keeps its state
// in a file when asked to.
class ZelkServer final : public QObject
{
    Q_OBJECT

public:
    explicit ZelkServer(ServerState state, QObject *parent = nullptr);
    ~ZelkServer() override;

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    // A second port for the update role (the main port answers GETNEWCLIENT too).
    bool listenUpdate(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;
    quint16 updatePort() const;

    ServerCore &core() { return m_core; }

    // Written after every change, before the change is acknowledged; a change that cannot be
    // written is undone and answered with an error.
    void setStateFile(const QString &path) { m_stateFile = path; }
    // What one connection may hold of a message it has not finished (64 KB; the client's
    // longest message, a resource list, stays far below it). Applies to new connections.
    void setInputLimit(qsizetype bytes) { m_inputLimit = bytes; }
    // How long a connection may stay without completing a message while it holds an
    // unfinished one or has not yet said who it is (60 s). Applies to new connections.
    void setIdleLimit(int ms) { m_idleLimitMs = ms; }
    bool saveState(QString *error = nullptr);
    void setLogging(bool enabled) { m_logging = enabled; }
    // Pause before and inside a RETNEWCLIENT stream, so that the client sees the envelope's
    // start and end in different reads and apart from the version reply before it.
    void setNewClientPause(int ms) { m_newClientPause = ms; }

    // Control operations.
    bool setCalled(qint32 resource, bool called, QString *error);
    bool setComing(qint32 resource, const QString &name, const QDateTime &when, QString *error);
    int sendRaw(const QString &clientName, const QByteArray &bytes); // "*" for every connection
    void dropAll();
    void setVersion(const QString &version);
    QList<const ServerConnection *> connections() const;

    quint64 messagesIn() const { return m_messagesIn; }
    quint64 messagesOut() const { return m_messagesOut; }

Q_SIGNALS:
    // A connection was closed or dropped.
    void connectionClosed(int id);
    // A complete message arrived (its bytes as received), before it is handled.
    void messageReceived(int connectionId, const QByteArray &raw);

private:
    void acceptOn(QTcpServer *listener);
    void onAccepted(qintptr descriptor);
    // Saves a change before it is acknowledged; on failure restores `before`.
    std::optional<ServerState> snapshot() const;
    bool persist(const Outcome &outcome, const std::optional<ServerState> &before, QString *error);
    void handleFrame(ServerConnection *connection, const Frame &frame);
    void apply(ServerConnection *origin, const Outcome &outcome);
    void push(const QStringList &clients);
    void streamExecutable(ServerConnection *connection, const QByteArray &executable);
    void log(const ServerConnection *connection, QStringView direction, QByteArrayView bytes) const;
    void logText(const QString &line) const;
    void forget(ServerConnection *connection);

    ServerCore m_core;
    QTcpServer *m_listener;
    QTcpServer *m_updateListener = nullptr;
    QList<ServerConnection *> m_connections;
    QString m_stateFile;
    bool m_logging = true;
    int m_newClientPause = 200;
    int m_nextId = 1;
    qsizetype m_inputLimit = 64 * 1024;
    int m_idleLimitMs = 60000;
    QList<ListenerAcceptor *> m_acceptors; // owned by their listeners
    quint64 m_messagesIn = 0;
    quint64 m_messagesOut = 0;
    friend class ServerConnection;
};

} // namespace zelk::server
