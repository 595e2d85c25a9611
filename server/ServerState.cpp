#include "server/ServerState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelk::server {

namespace {

constexpr qint32 rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

QString colorText(qint32 color)
{
    const int r = color & 0xFF;
    const int g = (color >> 8) & 0xFF;
    const int b = (color >> 16) & 0xFF;
    return u"#%1%2%3"_s.arg(r, 2, 16, QChar(u'0')).arg(g, 2, 16, QChar(u'0')).arg(b, 2, 16, QChar(u'0')).toUpper();
}

QJsonValue dateToJson(const QDateTime &when)
{
    return when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue();
}

QDateTime dateFromJson(const QJsonValue &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QJsonArray entriesToJson(const QList<ClientResource> &entries)
{
    QJsonArray array;
    for (const ClientResource &e : entries) {
        if (e.callable)
            array.append(e.number);
        else
            array.append(QJsonObject{{u"number"_s, e.number}, {u"callable"_s, false}});
    }
    return array;
}

// An entry is a bare number or {"number": n, "callable": false}.
bool entriesFromJson(const QJsonValue &value, QList<ClientResource> *out, QString *error)
{
    out->clear();
    for (const QJsonValue &item : value.toArray()) {
        ClientResource e;
        if (item.isDouble()) {
            e.number = item.toInt();
        } else if (item.isObject()) {
            e.number = item[u"number"].toInt();
            e.callable = item[u"callable"].toBool(true);
        } else {
            *error = u"a resource list entry must be a number or an object"_s;
            return false;
        }
        const bool duplicate = std::any_of(out->cbegin(), out->cend(),
                                           [&](const ClientResource &c) { return c.number == e.number; });
        if (!duplicate)
            out->append(e);
    }
    return true;
}

// Nothing is escaped on the wire: such a name would shift every later field.
bool breaksFields(const QString &text)
{
    return text.contains(u'\u00A4') || text.contains(u'~') || text.contains(u':');
}

} // namespace

bool holdsNameSeparator(const QString &name)
{
    return breaksFields(name) || name.contains(u'\\');
}

QString clientNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return u"Klientnamnet saknas eller består bara av blanksteg"_s;
    if (holdsNameSeparator(name))
        return u"Klientnamnet får inte innehålla \":\", \"~\", \"¤\" eller \"\\\""_s;
    return {};
}

bool Client::holds(qint32 resource) const
{
    return entry(resource) != nullptr;
}

const ClientResource *Client::entry(qint32 resource) const
{
    for (const ClientResource &e : resources) {
        if (e.number == resource)
            return &e;
    }
    return nullptr;
}

qint32 colorFromJson(const QJsonValue &value)
{
    if (value.isString()) {
        QString text = value.toString().trimmed();
        if (text.startsWith(u'#') && text.size() == 7) {
            bool ok = false;
            const uint v = text.mid(1).toUInt(&ok, 16);
            if (ok)
                return rgb(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF));
        }
        return text.toInt();
    }
    return static_cast<qint32>(value.toDouble());
}

ServerState ServerState::demo()
{
    ServerState s;
    const struct
    {
        qint32 number;
        const char16_t *shortName;
        const char16_t *fullName;
        qint32 color;
        bool active;
    } seed[] = {
        {1, u"Åsa", u"Åsa Öberg, sjuksköterska", rgb(0xE5, 0x73, 0x73), true},
        {2, u"Björn", u"Björn Ängström, läkare", rgb(0x64, 0xB5, 0xF6), true},
        {3, u"Märta", u"Märta Lindqvist, tandläkare", rgb(0x81, 0xC7, 0x84), true},
        {4, u"Göran", u"Göran Sjöström, sjukgymnast", rgb(0xFF, 0xB7, 0x4D), true},
        {5, u"Rum 1", u"Behandlingsrum 1", rgb(0xBA, 0x68, 0xC8), true},
        {6, u"Rum 2", u"Behandlingsrum 2", rgb(0x4D, 0xD0, 0xE1), true},
        {7, u"Röntgen", u"Röntgenavdelningen", rgb(0xF0, 0x62, 0x92), true},
        {8, u"Kärlmott.", u"Kärlmottagningen", rgb(0xAE, 0xD5, 0x81), true},
        {9, u"Väntrum", u"Väntrummet", rgb(0xA1, 0x88, 0x7F), true},
        {10, u"Måns", u"Måns Ekström, kurator (ledig)", rgb(0x90, 0xA4, 0xAE), false},
    };
    for (const auto &r : seed) {
        s.resources.insert(r.number, Resource{r.number, QString::fromUtf16(r.shortName),
                                              QString::fromUtf16(r.fullName), r.color, r.active});
    }
    // The waiting room is shown on the drum but is not called from the reception.
    for (qint32 n = 1; n <= 9; ++n)
        s.defaultResources.append(ClientResource{n, n != 9});
    return s;
}

const Resource *ServerState::resource(qint32 number) const
{
    const auto it = resources.constFind(number);
    return it == resources.cend() ? nullptr : &it.value();
}

Client *ServerState::client(const QString &name)
{
    for (Client &c : clients) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

const Client *ServerState::client(const QString &name) const
{
    return const_cast<ServerState *>(this)->client(name);
}

qint32 ServerState::nextClientNumber() const
{
    qint32 highest = 0;
    for (const Client &c : clients)
        highest = std::max(highest, c.number);
    return highest + 1;
}

Client &ServerState::addClient(const QString &name, int type)
{
    Client c;
    c.name = name;
    c.type = type;
    c.place = name;
    c.number = nextClientNumber();
    if (autoAssign)
        c.resources = defaultResources;
    clients.append(c);
    return clients.last();
}

QString ServerState::settingId(const QString &machine, const QString &section, const QString &key)
{
    return machine.toLower() + u'\n' + section.toLower() + u'\n' + key.toLower();
}

QString ServerState::setting(const QString &machine, const QString &section, const QString &key) const
{
    return settings.value(settingId(machine, section, key)).value;
}

void ServerState::setSetting(const QString &machine, const QString &section, const QString &key,
                             const QString &value)
{
    settings.insert(settingId(machine, section, key), Setting{machine, section, key, value});
}

QByteArray ServerState::toJson() const
{
    QJsonObject root;
    root[u"version"] = version;
    root[u"autoAssign"] = autoAssign;
    root[u"defaultResources"] = entriesToJson(defaultResources);

    QJsonArray res;
    for (const Resource &r : resources) {
        res.append(QJsonObject{{u"number"_s, r.number},
                               {u"shortName"_s, r.shortName},
                               {u"fullName"_s, r.fullName},
                               {u"color"_s, colorText(r.color)},
                               {u"active"_s, r.active}});
    }
    root[u"resources"] = res;

    QJsonArray cls;
    for (const Client &c : clients) {
        cls.append(QJsonObject{{u"name"_s, c.name},
                               {u"type"_s, c.type},
                               {u"place"_s, c.place},
                               {u"color"_s, colorText(c.color)},
                               {u"number"_s, c.number},
                               {u"resources"_s, entriesToJson(c.resources)}});
    }
    root[u"clients"] = cls;

    QJsonArray cs;
    for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
        cs.append(QJsonObject{{u"resource"_s, it.key()},
                              {u"callTime"_s, dateToJson(it->callTime)},
                              {u"comingName"_s, it->comingName},
                              {u"comingTime"_s, dateToJson(it->comingTime)},
                              {u"comingNumber"_s, it->comingNumber}});
    }
    root[u"calls"] = cs;

    QJsonArray st;
    for (const Setting &s : settings) {
        st.append(QJsonObject{{u"machine"_s, s.machine},
                              {u"section"_s, s.section},
                              {u"key"_s, s.key},
                              {u"value"_s, s.value}});
    }
    root[u"settings"] = st;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ServerState::loadJson(const QByteArray &json, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                               : u"the document is not an object"_s;
        return false;
    }
    const QJsonObject root = doc.object();
    ServerState s;
    s.version = root[u"version"].toString(version);
    s.autoAssign = root[u"autoAssign"].toBool(true);

    for (const QJsonValue &v : root[u"resources"].toArray()) {
        Resource r;
        r.number = v[u"number"].toInt();
        r.shortName = v[u"shortName"].toString();
        r.fullName = v[u"fullName"].toString(r.shortName);
        r.color = colorFromJson(v[u"color"]);
        r.active = v[u"active"].toBool(true);
        if (r.number == 0 || r.shortName.trimmed().isEmpty()) {
            *error = u"every resource needs a non-zero number and a short name"_s;
            return false;
        }
        if (breaksFields(r.shortName) || breaksFields(r.fullName)) {
            *error = u"resource %1: names must not hold \"¤\", \"~\" or \":\""_s.arg(r.number);
            return false;
        }
        if (s.resources.contains(r.number)) {
            *error = u"resource %1 is listed twice"_s.arg(r.number);
            return false;
        }
        s.resources.insert(r.number, r);
    }

    if (root.contains(u"defaultResources")) {
        if (!entriesFromJson(root[u"defaultResources"], &s.defaultResources, error))
            return false;
    } else {
        for (const Resource &r : s.resources) {
            if (r.active)
                s.defaultResources.append(ClientResource{r.number, true});
        }
    }

    for (const QJsonValue &v : root[u"clients"].toArray()) {
        Client c;
        c.name = v[u"name"].toString().trimmed();
        c.type = v[u"type"].toInt(0);
        c.place = v[u"place"].toString(c.name);
        c.color = colorFromJson(v[u"color"]);
        c.number = v[u"number"].toInt(0);
        if (c.name.isEmpty()) {
            *error = u"every client needs a name that is not only blanks"_s;
            return false;
        }
        if (holdsNameSeparator(c.name)) {
            *error = u"client %1: the name must not hold \"¤\", \"~\", \":\" or \"\\\""_s.arg(c.name);
            return false;
        }
        if (s.client(c.name)) {
            *error = u"client %1 is listed twice"_s.arg(c.name);
            return false;
        }
        if (!entriesFromJson(v[u"resources"], &c.resources, error))
            return false;
        if (c.number == 0)
            c.number = s.nextClientNumber();
        s.clients.append(c);
    }

    for (const QJsonValue &v : root[u"calls"].toArray()) {
        Call call;
        const qint32 number = v[u"resource"].toInt();
        call.callTime = dateFromJson(v[u"callTime"]);
        if (!call.callTime.isValid())
            call.callTime = QDateTime::currentDateTime();
        call.comingName = v[u"comingName"].toString();
        call.comingTime = dateFromJson(v[u"comingTime"]);
        call.comingNumber = v[u"comingNumber"].toInt(0);
        if (!s.resources.contains(number)) {
            *error = u"a call names the unknown resource %1"_s.arg(number);
            return false;
        }
        s.calls.insert(number, call);
    }

    for (const QJsonValue &v : root[u"settings"].toArray()) {
        s.setSetting(v[u"machine"].toString(), v[u"section"].toString(), v[u"key"].toString(),
                     v[u"value"].toString());
    }
    *this = std::move(s);
    return true;
}

} // namespace zelk::server
