#include "AdminTestSupport.h"

#include "protocol/Codepage.h"

#include <QHostAddress>
#include <QSignalSpy>

namespace zelk::admintest {

LoopbackPeer::LoopbackPeer(QObject *parent)
    : QObject(parent)
{
}

bool LoopbackPeer::open()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        return false;
    QSignalSpy accepted(&m_server, &QTcpServer::newConnection);
    client.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    if (!client.waitForConnected(5000))
        return false;
    if (accepted.isEmpty() && !accepted.wait(5000))
        return false;
    remote = m_server.nextPendingConnection();
    if (!remote)
        return false;
    connect(remote, &QTcpSocket::readyRead, this, [this] { received += remote->readAll(); });
    return true;
}

QByteArray wire(const QString &text)
{
    return toCodePage(text);
}

} // namespace zelk::admintest
