#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback server that answers GETINITEXT from a table ("section field:key" -> value) and
// records every message it receives, plus the client end that hands RETINITEXT replies to the
// settings store as the session's dispatcher does.
class FakeSettingsServer final : public QObject
{
    Q_OBJECT

public:
    explicit FakeSettingsServer(QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    // "MACHINE\ZELK:SelectMode" -> "2"; "\ZELK:SelectMode" is the shared value.
    QHash<QString, QString> values;
    bool answer = true;
    QStringList received; // complete messages, "¤...¤"

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *peer);

    QTcpServer m_server;
    QByteArray m_pending;
};

// The client side: a connected socket whose replies are delivered to deliverIniTextReply.
class SettingsClient final : public QObject
{
    Q_OBJECT

public:
    explicit SettingsClient(QObject *parent = nullptr);
    bool connectTo(quint16 port);
    QTcpSocket socket;

private:
    void onReadyRead();
    QByteArray m_pending;
};
