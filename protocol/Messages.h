#pragma once

#include "protocol/ClientTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zelk::msg {

// Builders of every message of the text protocol, as UTF-16 text; the caller converts the
// text with toCodePage() just before it is handed to a socket.

// --- client to signalling server ---
QString getServerVersion(const QString &clientName, TZELKClientType type);
QString reconnect(const QString &clientName, TZELKClientType type);
QString getCallList(const QString &clientName, TZELKClientType type);
QString calling(qint32 callLopnr, const QString &clientName);
// The automatic registration, from the command line's client data.
QString registerAutomatic(const TZELKClientData &data, TZELKClientType type);
// The registration from the administration dialog: place and colour as entered.
QString registerFromDialog(const QString &clientName, TZELKClientType type, const QString &place,
                           qint32 colour, qint32 lopnr);
// The list from the command line, inserted unchanged ("number:position:" pairs).
QString postCallablesFromCommandLine(const QString &clientName, TZELKClientType type,
                                     const QString &list);
// The dialog's list: each number with its position 0, 1, 2 ...
QString postCallablesFromDialog(const QString &clientName, TZELKClientType type,
                                const QList<qint32> &numbers);
QString getAllCallables(const QString &clientName);
QString getStationCallables(const QString &clientName);
QString setIniTextPerClient(const QString &machineName, const QString &section, const QString &key,
                            const QString &value);
QString setIniTextShared(const QString &section, const QString &key, const QString &value);
QString getIniTextPerClient(const QString &machineName, const QString &section, const QString &key);
QString getIniTextShared(const QString &section, const QString &key);

// --- client to update server ---
QString getNewClient(const QString &exeFileName, const QString &clientName, TZELKClientType type);

// --- server to client (used by the demo server and by tests) ---
QString retServerVersion(const QString &version);
QString retIniText(const QString &value);
QString zelkClientData(const QString &name, const QString &friendlyName, qint32 colour);
QString retStationCallables(const QList<qint32> &numbers);

struct CallableResource
{
    QString name;
    qint32 number = 0;
    QString shortName;
    QString fullName;
    qint32 colour = 0;
    QString extra;
    bool active = true;
};
QString retAllCallables(const QList<CallableResource> &resources);

struct CallListRecord;
QString retCallList(const QList<CallListRecord> &records);

// The envelope "#DATASTART#" ... "#DATAEND#".
QString envelope(const QString &messages);
// RETNEWCLIENT around raw executable bytes, already in the code page, inside the envelope.
QByteArray retNewClient(const QByteArray &executable);

} // namespace zelk::msg
