#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

namespace zelk::server {

// A person or room that can be called.
struct Resource
{
    qint32 number = 0;
    QString shortName;
    QString fullName;
    qint32 color = 0; // 0x00BBGGRR
    bool active = true;
};

// One entry of a client's list: the resource and whether this client may call it.
struct ClientResource
{
    qint32 number = 0;
    bool callable = true;
};

// A registered workstation.
struct Client
{
    QString name;
    int type = 0;
    QString place;
    qint32 color = 0;
    qint32 number = 0;
    QList<ClientResource> resources;

    bool holds(qint32 resource) const;
    const ClientResource *entry(qint32 resource) const;
};

// A call in progress; a resource without an entry is not called.
struct Call
{
    QDateTime callTime;
    QString comingName;
    QDateTime comingTime;
    qint32 comingNumber = 0;
};

// Everything the server knows, and its JSON form (used for --data and --state alike).
// Client names and setting addresses are matched without regard to letter case, as
// Windows computer names and INI keys are.
class ServerState
{
public:
    // About ten resources with Swedish names; unknown calling clients get the demo list.
    static ServerState demo();

    // Replaces this state with the document's content. On failure the state is unchanged.
    bool loadJson(const QByteArray &json, QString *error);
    QByteArray toJson() const;

    const Resource *resource(qint32 number) const;
    Client *client(const QString &name);
    const Client *client(const QString &name) const;
    // Registers a new client (with the default list when auto-assignment is on).
    Client &addClient(const QString &name, int type);

    // Settings: an empty machine addresses the value shared by all clients.
    QString setting(const QString &machine, const QString &section, const QString &key) const;
    void setSetting(const QString &machine, const QString &section, const QString &key,
                    const QString &value);

    QString version = QStringLiteral("1.10.5");
    // Unknown clients that ask for their call list are registered with defaultResources.
    bool autoAssign = true;
    QList<ClientResource> defaultResources;
    QMap<qint32, Resource> resources;
    QList<Client> clients;
    QMap<qint32, Call> calls;

    struct Setting
    {
        QString machine;
        QString section;
        QString key;
        QString value;
    };
    QMap<QString, Setting> settings; // by settingId()

    static QString settingId(const QString &machine, const QString &section, const QString &key);

private:
    qint32 nextClientNumber() const;
};

// A client name travels in message fields and names the client's settings: one holding a
// field or message separator or a backslash would shift or split them.
bool holdsNameSeparator(const QString &name);
// Why a client name cannot be registered, as the error reply says it; empty when it can.
QString clientNameProblem(const QString &name);

// "#RRGGBB" to the wire colour 0x00BBGGRR; plain integers pass through.
qint32 colorFromJson(const class QJsonValue &value);

} // namespace zelk::server
