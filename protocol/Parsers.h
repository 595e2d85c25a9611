#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace zelk {

// Field encodings of the protocol.
qint32 wireInt(QStringView field);         // 0 when not a valid decimal integer
bool wireBool(QStringView field);          // non-zero number or "True" (any case)
bool wireActive(QStringView field);        // false only for exactly "F"
// Regional short date + long time; a field that does not parse is `now`.
QDateTime wireDateTime(QStringView field, const QDateTime &now);
// How date and time are written on the wire by our server (Swedish regional format).
QString wireDateTimeText(const QDateTime &when);

namespace msg {

// One record of RETCALLLIST, in wire order.
struct CallListRecord
{
    QString CallNamn;
    qint32 CallLOPNR = 0;
    QString CallFullname;
    qint32 CallColor = 0;
    bool IsAvbryt = false;
    bool IsCalled = false;
    QDateTime CallTime;
    QString ComingName;
    QDateTime ComingTime;
    qint32 ComingLopnr = 0;
};

struct CallableEntry
{
    QString text;        // the name, with " - (inaktiv)" appended when inactive
    qint32 number = 0;
};

} // namespace msg

// Parsers over a message cut out with cutMessage() (so it ends with its separator).
QString parseServerVersion(QStringView cut);
QString parseIniText(QStringView cut);
struct ClientDataFields
{
    QString name;
    QString friendlyName;
    qint32 color = 0;
};
ClientDataFields parseClientData(QStringView cut);
QList<qint32> parseStationCallables(QStringView cut);
QList<msg::CallableEntry> parseAllCallables(QStringView cut);
// One pass over the text: the same fields that GetField(cut, 10*r + k, '~') gives.
QList<msg::CallListRecord> parseCallList(QStringView cut, const QDateTime &now = QDateTime::currentDateTime());

// The untagged error reply: the text after "ERROR:" and the character that follows it
// (normally a blank), or nothing when the text holds no "ERROR:".
std::optional<QString> parseErrorReply(QStringView text);
// "ERROR: 001": this client is not in the server's register.
bool isNotRegisteredReply(QStringView text);

} // namespace zelk
