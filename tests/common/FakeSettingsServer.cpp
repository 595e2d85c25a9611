#include "FakeSettingsServer.h"

#include "common/Settings.h"
#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

FakeSettingsServer::FakeSettingsServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeSettingsServer::onNewConnection);
}

bool FakeSettingsServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void FakeSettingsServer::onNewConnection()
{
    while (QTcpSocket *peer = m_server.nextPendingConnection()) {
        peer->setParent(this);
        connect(peer, &QTcpSocket::readyRead, this, [this, peer] { onReadyRead(peer); });
    }
}

void FakeSettingsServer::onReadyRead(QTcpSocket *peer)
{
    m_pending += peer->readAll();
    QString text = zelk::fromCodePage(m_pending);
    // Messages end with "¤"; take every complete one.
    for (;;) {
        const qsizetype start = text.indexOf(zelk::kFrameChar);
        if (start < 0)
            break;
        const qsizetype end = text.indexOf(zelk::kFrameChar, start + 1);
        if (end < 0)
            break;
        const QString message = text.mid(start, end - start + 1);
        text.remove(0, end + 1);
        received.append(message);
        if (message.startsWith(u"¤GETINITEXT:") && answer) {
            const QString section = zelk::GetField(message, 1, u':');
            const QString key = zelk::GetField(message, 2, u':');
            const QString value = values.value(section + u':' + key);
            peer->write(zelk::toCodePage(zelk::msg::retIniText(value)));
        }
    }
    m_pending = zelk::toCodePage(text);
}

SettingsClient::SettingsClient(QObject *parent)
    : QObject(parent)
{
    connect(&socket, &QTcpSocket::readyRead, this, &SettingsClient::onReadyRead);
}

bool SettingsClient::connectTo(quint16 port)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(5000);
}

void SettingsClient::onReadyRead()
{
    m_pending += socket.readAll();
    QString text = zelk::fromCodePage(m_pending);
    const QString open = zelk::openingTag(u"RETINITEXT");
    const QString close = zelk::closingTag(u"RETINITEXT");
    while (const auto cut = zelk::cutMessage(text, open, close)) {
        text.remove(cut->begin, cut->end - cut->begin);
        zelk::deliverIniTextReply(zelk::parseIniText(cut->message));
    }
    m_pending = zelk::toCodePage(text);
}
