#pragma once

#include "server/MessageDecoder.h"
#include "server/ServerState.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zelk::server {

// What the server knows of one connection.
struct ConnectionInfo
{
    QString clientName;       // the name the peer last used for itself
    bool wantsPushes = false; // a calling client's main connection: receives pushed call lists
};

// What handling one message asks the network layer to do.
struct Outcome
{
    QList<QByteArray> replies;            // to the sending connection, in order, in the code page
    QStringList pushTo;                   // clients whose call list changed
    bool stateChanged = false;            // persist before anything is sent
    std::optional<QByteArray> executable; // GETNEWCLIENT: the file to stream back
};

// The signalling and update logic, apart from sockets: one message in, replies out.
class ServerCore
{
public:
    explicit ServerCore(ServerState state = ServerState::demo());

    ServerState &state() { return m_state; }
    const ServerState &state() const { return m_state; }

    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock(); }
    // Folder from which GETNEWCLIENT serves files; empty disables the update role.
    void setUpdateDir(const QString &dir) { m_updateDir = dir; }
    QString updateDir() const { return m_updateDir; }

    Outcome handle(const Frame &frame, ConnectionInfo &connection);

    // RETCALLLIST for a client, inside the envelope, in the code page.
    QByteArray callListMessage(const Client &client) const;
    // ZELKCLIENTDATA: the client's name, place and colour as registered.
    QByteArray clientDataMessage(const Client &client) const;
    QStringList holders(qint32 resource) const;

    // Operations of the control channel, as another client or the resource itself would.
    std::optional<Outcome> setCalled(qint32 resource, bool called, QString *error);
    std::optional<Outcome> setComing(qint32 resource, const QString &name, const QDateTime &when,
                                     QString *error);

    // The text of every error reply sent by this server.
    static QByteArray errorReply(QStringView text);

private:
    Outcome getServerVersion(const QStringList &f, ConnectionInfo &c);
    Outcome reconnect(const QStringList &f, ConnectionInfo &c);
    Outcome getCallList(const QStringList &f, ConnectionInfo &c);
    Outcome calling(const QStringList &f, ConnectionInfo &c);
    Outcome registerMachine(const QStringList &f, ConnectionInfo &c);
    Outcome postCallables(const QStringList &f, ConnectionInfo &c);
    Outcome getAllCallables(const QStringList &f, ConnectionInfo &c);
    Outcome getStationCallables(const QStringList &f, ConnectionInfo &c);
    Outcome setIniText(const QString &body);
    Outcome getIniText(const QStringList &f);
    Outcome getNewClient(const QStringList &f);

    // The named client; an unknown one is registered when auto-assignment is on.
    Client *knownClient(const QString &name, int type, bool *created);
    Outcome toggle(qint32 resource);

    ServerState m_state;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
    QString m_updateDir;
};

// Splits a message body at its separator; each field trimmed of blanks and control codes.
QStringList splitFields(const QString &body, QChar separator);

} // namespace zelk::server
