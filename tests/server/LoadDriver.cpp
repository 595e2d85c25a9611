#include "LoadDriver.h"

#include "protocol/Codepage.h"
#include "protocol/Messages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kListEnd = "~RETCALLLIST\xA4#DATAEND#";

int resourceOf(int client)
{
    return client / 2 + 1;
}

} // namespace

LoadDriver::LoadDriver(quint16 port, int clients, int callsPerClient, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_clients(clients)
    , m_calls(callsPerClient)
{
}

QString LoadDriver::clientName(int index)
{
    return u"LAST%1_Call"_s.arg(index, 3, 10, QChar(u'0'));
}

QByteArray LoadDriver::seed(int clients)
{
    QJsonArray resources;
    for (int r = 1; r <= resourceOf(clients - 1); ++r)
        resources.append(QJsonObject{{u"number"_s, r}, {u"shortName"_s, u"Rum %1"_s.arg(r)},
                                     {u"fullName"_s, u"Behandlingsrum %1 på våning två"_s.arg(r)}});
    QJsonArray list;
    for (int i = 0; i < clients; ++i)
        list.append(QJsonObject{{u"name"_s, clientName(i)}, {u"resources"_s, QJsonArray{resourceOf(i)}}});
    return QJsonDocument(QJsonObject{{u"autoAssign"_s, false}, {u"resources"_s, resources}, {u"clients"_s, list}})
        .toJson();
}

void LoadDriver::onRead(int index)
{
    Peer &p = m_peers[index];
    p.received += p.socket->readAll();
    qsizetype at;
    while ((at = p.received.indexOf(kListEnd)) >= 0) {
        p.lastList = p.received.left(at + kListEnd.size());
        p.received.remove(0, at + kListEnd.size());
        if (!p.ready) {
            p.ready = true;
            ++m_ready;
        } else {
            ++p.lists;
        }
    }
}

LoadDriver::Result LoadDriver::run(int timeoutMs)
{
    Result result;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);

    m_peers.resize(m_clients);
    for (int i = 0; i < m_clients; ++i) {
        auto *socket = new QTcpSocket(this);
        m_peers[i].socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, i, &loop] {
            onRead(i);
            if (m_ready == m_clients) {
                bool all = true;
                for (const Peer &p : std::as_const(m_peers))
                    all = all && p.lists >= 2LL * m_calls;
                if (all)
                    loop.quit();
            }
        });
        connect(socket, &QTcpSocket::connected, this, [this, socket, i] {
            socket->write(zelk::toCodePage(zelk::msg::getCallList(clientName(i), zelk::TZELKClientType::ctCall)));
        });
        socket->connectToHost(QHostAddress::LocalHost, m_port);
    }

    // Once every client holds its list, all of them call at once.
    QElapsedTimer clock;
    QTimer starter;
    connect(&starter, &QTimer::timeout, this, [&] {
        if (m_ready < m_clients)
            return;
        starter.stop();
        clock.start();
        for (int i = 0; i < m_clients; ++i) {
            QByteArray burst;
            const QByteArray one = zelk::toCodePage(zelk::msg::calling(resourceOf(i), clientName(i)));
            for (int k = 0; k < m_calls; ++k)
                burst += one;
            m_peers[i].socket->write(burst);
            result.callsSent += m_calls;
        }
    });
    starter.start(5);
    loop.exec();

    result.elapsedMs = clock.isValid() ? clock.elapsed() : -1;
    result.finished = true;
    for (const Peer &p : std::as_const(m_peers)) {
        // Each resource is held by two clients, each calling it m_calls times.
        result.listsExpected += 2LL * m_calls;
        result.listsReceived += p.lists;
        if (p.lists != 2LL * m_calls)
            result.finished = false;
        // An even number of calls on each resource leaves it not called.
        if (!p.lastList.contains("~False~False~"))
            ++result.badLists;
    }
    return result;
}
