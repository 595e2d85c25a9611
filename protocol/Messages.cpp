#include "protocol/Messages.h"

#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Parsers.h"

using namespace Qt::StringLiterals;

namespace zelk::msg {

namespace {

// "¤TAG:" f1 ":" f2 ... fn ":TAG¤"
QString frame(QStringView tag, const QStringList &fields, QChar separator = u':')
{
    return openingTag(tag, separator) + fields.join(separator) + closingTag(tag, separator);
}

QString typeField(TZELKClientType type)
{
    return clientTypeField(type);
}

} // namespace

QString getServerVersion(const QString &clientName, TZELKClientType type)
{
    return frame(u"GETSERVERVERSION", {clientName, typeField(type)});
}

QString reconnect(const QString &clientName, TZELKClientType type)
{
    return frame(u"RECONNECT", {clientName, typeField(type)});
}

QString getCallList(const QString &clientName, TZELKClientType type)
{
    return frame(u"GETCALLLIST", {clientName, typeField(type)});
}

QString calling(qint32 callLopnr, const QString &clientName)
{
    return frame(u"CALLING", {QString::number(callLopnr), clientName});
}

QString registerAutomatic(const TZELKClientData &data, TZELKClientType type)
{
    return u"¤REGISTERUPATEMACHINE:"_s + data.Name + u':' + typeField(type) + u':'
           + data.FriendlyName + u':' + QString::number(data.Color) + u":::REGISTERUPATEMACHINE¤"_s;
}

QString registerFromDialog(const QString &clientName, TZELKClientType type, const QString &place,
                           qint32 colour, qint32 lopnr)
{
    return u"¤REGISTERUPATEMACHINE:"_s + clientName + u':' + typeField(type) + u':' + place + u':'
           + QString::number(colour) + u"::"_s + QString::number(lopnr)
           + u":REGISTERUPATEMACHINE¤"_s;
}

QString postCallablesFromCommandLine(const QString &clientName, TZELKClientType type,
                                     const QString &list)
{
    return u"¤POSTCALLABLESLIST:"_s + clientName + u':' + typeField(type) + u':' + list
           + u"POSTCALLABLESLIST¤"_s;
}

QString postCallablesFromDialog(const QString &clientName, TZELKClientType type,
                                const QList<qint32> &numbers)
{
    QString list;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        list += QString::number(numbers[i]) + u':' + QString::number(i) + u':';
    return postCallablesFromCommandLine(clientName, type, list);
}

QString getAllCallables(const QString &clientName)
{
    return frame(u"GETALLCALLABLES", {clientName});
}

QString getStationCallables(const QString &clientName)
{
    return frame(u"GETSTATIONCALLABLES", {clientName});
}

QString setIniTextPerClient(const QString &machineName, const QString &section, const QString &key,
                            const QString &value)
{
    return frame(u"SETINITEXT", {machineName + u'\\' + section, key, value});
}

QString setIniTextShared(const QString &section, const QString &key, const QString &value)
{
    return frame(u"SETINITEXT", {section, key, value});
}

QString getIniTextPerClient(const QString &machineName, const QString &section, const QString &key)
{
    return frame(u"GETINITEXT", {machineName + u'\\' + section, key});
}

QString getIniTextShared(const QString &section, const QString &key)
{
    return frame(u"GETINITEXT", {u'\\' + section, key});
}

QString getNewClient(const QString &exeFileName, const QString &clientName, TZELKClientType type)
{
    return frame(u"GETNEWCLIENT", {exeFileName, clientName, typeField(type)});
}

QString retServerVersion(const QString &version)
{
    return frame(u"RETSERVERVERSION", {version});
}

QString retIniText(const QString &value)
{
    return frame(u"RETINITEXT", {value});
}

QString zelkClientData(const QString &name, const QString &friendlyName, qint32 colour)
{
    return frame(u"ZELKCLIENTDATA", {name, friendlyName, QString::number(colour)});
}

QString retStationCallables(const QList<qint32> &numbers)
{
    QStringList fields;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        fields << QString::number(numbers[i]) << QString::number(i);
    return frame(u"RETSTATIONCALLABLES", fields);
}

QString retAllCallables(const QList<CallableResource> &resources)
{
    QStringList fields;
    for (const CallableResource &r : resources) {
        fields << r.name << QString::number(r.number) << r.shortName << r.fullName
               << QString::number(r.colour) << r.extra << (r.active ? u"T"_s : u"F"_s);
    }
    return frame(u"RETALLCALLABLES", fields);
}

QString retCallList(const QList<CallListRecord> &records)
{
    const auto flag = [](bool b) { return b ? u"True"_s : u"False"_s; };
    QStringList fields;
    for (const CallListRecord &r : records) {
        fields << r.CallNamn << QString::number(r.CallLOPNR) << r.CallFullname
               << QString::number(r.CallColor) << flag(r.IsAvbryt) << flag(r.IsCalled)
               << wireDateTimeText(r.CallTime) << r.ComingName << wireDateTimeText(r.ComingTime)
               << QString::number(r.ComingLopnr);
    }
    return frame(u"RETCALLLIST", fields, u'~');
}

QString envelope(const QString &messages)
{
    return kDataStart + messages + kDataEnd;
}

QByteArray retNewClient(const QByteArray &executable)
{
    return toCodePage(kDataStart) + toCodePage(u"¤RETNEWCLIENT:") + executable
           + toCodePage(u":RETNEWCLIENT¤") + toCodePage(kDataEnd);
}

} // namespace zelk::msg
