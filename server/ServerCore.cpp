#include "server/ServerCore.h"

#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelk::server {

namespace {

QString field(const QStringList &fields, qsizetype index)
{
    return index < fields.size() ? fields.at(index) : QString();
}

int typeOf(const QStringList &fields, qsizetype index)
{
    return wireInt(field(fields, index));
}

Outcome reply(const QString &message)
{
    Outcome o;
    o.replies.append(toCodePage(message));
    return o;
}

// A list reply can span many reads; the envelope tells the client to collect it whole.
Outcome envelopedReply(const QString &message)
{
    return reply(msg::envelope(message));
}

Outcome error(const QString &text)
{
    Outcome o;
    o.replies.append(ServerCore::errorReply(text));
    return o;
}

const QString kUnknownClient = u"001"_s;

// A file name as the client sends it: its own executable's name, never a path.
bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == u"."_s || name == u".."_s)
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'/' || c == u'\\' || c.unicode() < 32;
    });
}

} // namespace

QStringList splitFields(const QString &body, QChar separator)
{
    QStringList fields = body.split(separator);
    for (QString &f : fields)
        f = trimControls(f).toString();
    return fields;
}

ServerCore::ServerCore(ServerState state)
    : m_state(std::move(state))
{
}

QByteArray ServerCore::errorReply(QStringView text)
{
    return toCodePage(QString(kErrorReply + u' ' + text));
}

Outcome ServerCore::handle(const Frame &frame, ConnectionInfo &connection)
{
    if (frame.kind != Frame::Message)
        return error(u"003 Felaktigt meddelande"_s);

    const QString body = fromCodePage(frame.body);
    const QStringList f = splitFields(body, QChar::fromLatin1(frame.separator));
    const QByteArrayView tag = frame.tag;
    if (frame.separator == ':') {
        if (tag == "GETSERVERVERSION")
            return getServerVersion(f, connection);
        if (tag == "RECONNECT")
            return reconnect(f, connection);
        if (tag == "GETCALLLIST")
            return getCallList(f, connection);
        if (tag == "CALLING")
            return calling(f, connection);
        if (tag == "REGISTERUPATEMACHINE")
            return registerMachine(f, connection);
        if (tag == "POSTCALLABLESLIST")
            return postCallables(f, connection);
        if (tag == "GETALLCALLABLES")
            return getAllCallables(f, connection);
        if (tag == "GETSTATIONCALLABLES")
            return getStationCallables(f, connection);
        if (tag == "SETINITEXT")
            return setIniText(body);
        if (tag == "GETINITEXT")
            return getIniText(f);
        if (tag == "GETNEWCLIENT")
            return getNewClient(f);
    }
    return error(u"002 Okänt meddelande " + QString::fromLatin1(frame.tag));
}

Client *ServerCore::knownClient(const QString &name, int type, bool *created)
{
    *created = false;
    if (Client *c = m_state.client(name))
        return c;
    if (!m_state.autoAssign || !clientNameProblem(name).isEmpty())
        return nullptr;
    *created = true;
    return &m_state.addClient(name, type);
}

Outcome ServerCore::getServerVersion(const QStringList &f, ConnectionInfo &c)
{
    c.clientName = field(f, 0);
    Outcome o = reply(msg::retServerVersion(m_state.version));
    if (const Client *client = m_state.client(c.clientName))
        o.replies.append(clientDataMessage(*client));
    return o;
}

// The periodic renewal of a known session: the connection belongs to the client again and
// receives its pushed call lists. Anything sent back would make the client rebuild its list
// (and an open settings dialog reload its tab), so nothing is.
Outcome ServerCore::reconnect(const QStringList &f, ConnectionInfo &c)
{
    const QString name = field(f, 0);
    const Client *client = m_state.client(name);
    c.clientName = client ? client->name : name;
    c.wantsPushes = true;
    return {};
}

QByteArray ServerCore::clientDataMessage(const Client &client) const
{
    return toCodePage(msg::zelkClientData(client.name, client.place, client.color));
}

Outcome ServerCore::getCallList(const QStringList &f, ConnectionInfo &c)
{
    const QString name = field(f, 0);
    bool created = false;
    const Client *client = knownClient(name, typeOf(f, 1), &created);
    if (!client)
        return error(kUnknownClient);
    c.clientName = client->name;
    c.wantsPushes = true;
    Outcome o;
    o.stateChanged = created;
    o.replies.append(clientDataMessage(*client));
    o.replies.append(callListMessage(*client));
    return o;
}

Outcome ServerCore::calling(const QStringList &f, ConnectionInfo &c)
{
    bool isNumber = false;
    const qint32 number = field(f, 0).toInt(&isNumber);
    const QString name = field(f, 1);
    const Resource *resource = isNumber ? m_state.resource(number) : nullptr;
    if (!resource)
        return error(u"004 Resursen " + field(f, 0) + u" finns inte");
    bool created = false;
    const Client *client = knownClient(name, 0, &created);
    if (!client)
        return error(kUnknownClient);
    c.clientName = client->name;
    c.wantsPushes = true;
    const ClientResource *entry = client->entry(number);
    if (!resource->active || (entry && !entry->callable)) {
        Outcome o = error(u"005 " + resource->shortName + u" kan inte kallas från denna klient");
        o.stateChanged = created;
        return o;
    }
    Outcome o = toggle(number);
    o.stateChanged = true;
    return o;
}

Outcome ServerCore::toggle(qint32 resource)
{
    if (m_state.calls.remove(resource) == 0)
        m_state.calls.insert(resource, Call{now(), {}, {}, 0});
    Outcome o;
    o.stateChanged = true;
    o.pushTo = holders(resource);
    return o;
}

Outcome ServerCore::registerMachine(const QStringList &f, ConnectionInfo &c)
{
    const QString name = field(f, 0);
    if (const QString problem = clientNameProblem(name); !problem.isEmpty())
        return error(u"007 "_s + problem);
    Client *client = m_state.client(name);
    if (!client)
        client = &m_state.addClient(name, typeOf(f, 1));
    client->type = typeOf(f, 1);
    client->place = field(f, 2);
    client->color = wireInt(field(f, 3));
    c.clientName = client->name;
    Outcome o = reply(msg::zelkClientData(client->name, client->place, client->color));
    o.stateChanged = true;
    return o;
}

Outcome ServerCore::postCallables(const QStringList &f, ConnectionInfo &c)
{
    const QString name = field(f, 0);
    bool created = false;
    Client *client = knownClient(name, typeOf(f, 1), &created);
    if (!client)
        return error(kUnknownClient);

    struct Wanted
    {
        qint32 position;
        qint32 number;
    };
    QList<Wanted> wanted;
    for (qsizetype i = 2; i < f.size(); i += 2) {
        if (f.at(i).isEmpty())
            break;
        wanted.append(Wanted{wireInt(field(f, i + 1)), wireInt(f.at(i))});
    }
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const Wanted &a, const Wanted &b) { return a.position < b.position; });

    // Unknown numbers and repeats are left out; a resource keeps its callable mark.
    QList<ClientResource> list;
    for (const Wanted &w : wanted) {
        if (!m_state.resource(w.number))
            continue;
        if (std::any_of(list.cbegin(), list.cend(), [&](const ClientResource &e) { return e.number == w.number; }))
            continue;
        const ClientResource *old = client->entry(w.number);
        list.append(ClientResource{w.number, old ? old->callable : true});
    }
    client->resources = list;
    c.clientName = client->name;
    c.wantsPushes = true;
    Outcome o;
    o.stateChanged = true;
    o.pushTo.append(client->name);
    return o;
}

Outcome ServerCore::getAllCallables(const QStringList &f, ConnectionInfo &c)
{
    if (!field(f, 0).isEmpty())
        c.clientName = field(f, 0);
    QList<msg::CallableResource> list;
    for (const Resource &r : m_state.resources) {
        list.append(msg::CallableResource{r.fullName.isEmpty() ? r.shortName : r.fullName, r.number,
                                          r.shortName, r.fullName, r.color, QString(), r.active});
    }
    return envelopedReply(msg::retAllCallables(list));
}

Outcome ServerCore::getStationCallables(const QStringList &f, ConnectionInfo &c)
{
    QList<qint32> numbers;
    if (const Client *client = m_state.client(field(f, 0))) {
        c.clientName = client->name;
        for (const ClientResource &e : client->resources)
            numbers.append(e.number);
    }
    return envelopedReply(msg::retStationCallables(numbers));
}

// "machine\section:key:value" or "section:key:value"; the value is the rest of the body,
// so a value holding ":" is kept whole here even though a client reads it back cut.
Outcome ServerCore::setIniText(const QString &body)
{
    const qsizetype first = body.indexOf(u':');
    const qsizetype second = first < 0 ? -1 : body.indexOf(u':', first + 1);
    if (second < 0)
        return error(u"003 Felaktigt meddelande"_s);
    const QString address = trimControls(QStringView(body).left(first)).toString();
    const QString key = trimControls(QStringView(body).sliced(first + 1, second - first - 1)).toString();
    const QString value = trimControls(QStringView(body).sliced(second + 1)).toString();
    const qsizetype slash = address.indexOf(u'\\');
    const QString machine = slash < 0 ? QString() : address.left(slash).trimmed();
    const QString section = slash < 0 ? address : address.mid(slash + 1).trimmed();
    if (section.isEmpty() || key.isEmpty())
        return error(u"003 Felaktigt meddelande"_s);
    m_state.setSetting(machine, section, key, value);
    Outcome o;
    o.stateChanged = true;
    return o;
}

Outcome ServerCore::getIniText(const QStringList &f)
{
    const QString address = field(f, 0);
    const qsizetype slash = address.indexOf(u'\\');
    const QString machine = slash < 0 ? QString() : address.left(slash).trimmed();
    const QString section = slash < 0 ? address : address.mid(slash + 1).trimmed();
    return reply(msg::retIniText(m_state.setting(machine, section, field(f, 1))));
}

Outcome ServerCore::getNewClient(const QStringList &f)
{
    const QString fileName = field(f, 0);
    if (m_updateDir.isEmpty())
        return error(u"006 Ingen uppdatering finns på denna server"_s);
    const QFileInfo info(QDir(m_updateDir), fileName);
    if (!isPlainFileName(fileName) || !info.isFile())
        return error(u"006 Filen " + fileName + u" finns inte på uppdateringsservern");
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return error(u"006 Filen " + fileName + u" kan inte läsas");
    Outcome o;
    o.executable = file.readAll();
    return o;
}

QByteArray ServerCore::callListMessage(const Client &client) const
{
    QList<msg::CallListRecord> records;
    for (const ClientResource &e : client.resources) {
        const Resource *r = m_state.resource(e.number);
        if (!r)
            continue;
        msg::CallListRecord rec;
        rec.CallNamn = r->shortName;
        rec.CallLOPNR = r->number;
        rec.CallFullname = r->fullName;
        rec.CallColor = r->color;
        rec.IsAvbryt = !e.callable || !r->active;
        const auto call = m_state.calls.constFind(r->number);
        if (call != m_state.calls.cend()) {
            rec.IsCalled = true;
            rec.CallTime = call->callTime;
            rec.ComingName = call->comingName;
            rec.ComingTime = call->comingTime;
            rec.ComingLopnr = call->comingNumber;
        }
        records.append(rec);
    }
    return toCodePage(msg::envelope(msg::retCallList(records)));
}

QStringList ServerCore::holders(qint32 resource) const
{
    QStringList names;
    for (const Client &c : m_state.clients) {
        if (c.holds(resource))
            names.append(c.name);
    }
    return names;
}

std::optional<Outcome> ServerCore::setCalled(qint32 resource, bool called, QString *errorText)
{
    if (!m_state.resource(resource)) {
        *errorText = u"unknown resource %1"_s.arg(resource);
        return std::nullopt;
    }
    if (m_state.calls.contains(resource) == called) {
        *errorText = called ? u"resource %1 is already called"_s.arg(resource)
                            : u"resource %1 is not called"_s.arg(resource);
        return std::nullopt;
    }
    return toggle(resource);
}

std::optional<Outcome> ServerCore::setComing(qint32 resource, const QString &name,
                                             const QDateTime &when, QString *errorText)
{
    auto call = m_state.calls.find(resource);
    if (call == m_state.calls.end()) {
        *errorText = u"resource %1 is not called"_s.arg(resource);
        return std::nullopt;
    }
    if (name.isEmpty()) {
        *errorText = u"who is coming?"_s;
        return std::nullopt;
    }
    call->comingName = name;
    call->comingTime = when;
    call->comingNumber = resource;
    Outcome o;
    o.stateChanged = true;
    o.pushTo = holders(resource);
    return o;
}

} // namespace zelk::server
