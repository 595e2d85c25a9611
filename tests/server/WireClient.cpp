#include "WireClient.h"

#include "protocol/Codepage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>

// Runs the event loop (the server may live in this thread) until data arrives or `ms` pass.
void WireClient::spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    connect(&m_socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    connect(&m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    loop.exec();
}

WireClient::WireClient(QObject *parent)
    : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { m_received += m_socket.readAll(); });
}

bool WireClient::connectTo(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() != QAbstractSocket::ConnectedState) {
        if (deadline.hasExpired() || m_socket.state() == QAbstractSocket::UnconnectedState)
            return false;
        spin(10);
    }
    return true;
}

void WireClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

QByteArray WireClient::takeUntil(QByteArrayView marker, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype at;
    while ((at = m_received.indexOf(marker)) < 0) {
        if (deadline.hasExpired())
            return {};
        spin(20);
    }
    const QByteArray head = m_received.left(at + marker.size());
    m_received.remove(0, at + marker.size());
    return head;
}

QByteArray WireClient::drain(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        spin(10);
    }
    QByteArray all = m_received;
    m_received.clear();
    return all;
}

bool WireClient::waitForDisconnect(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() != QAbstractSocket::UnconnectedState) {
        if (deadline.hasExpired())
            return false;
        spin(10);
    }
    return true;
}

QByteArray cp(QStringView text)
{
    return zelk::toCodePage(text);
}
