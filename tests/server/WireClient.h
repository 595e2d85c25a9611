#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>

// A raw peer of the server for tests and benchmarks: sends bytes as they are and collects
// what arrives, so checks can look at the exact Windows-1252 bytes on the wire.
class WireClient final : public QObject
{
    Q_OBJECT

public:
    explicit WireClient(QObject *parent = nullptr);

    bool connectTo(quint16 port, int timeoutMs = 5000);
    void send(const QByteArray &bytes);
    // Waits until `marker` has arrived; returns everything up to and including it and
    // removes that from what was received. Empty on time-out.
    QByteArray takeUntil(QByteArrayView marker, int timeoutMs = 5000);
    // Waits for `ms` and returns (and clears) whatever arrived meanwhile.
    QByteArray drain(int ms);
    bool waitForDisconnect(int timeoutMs = 5000);

    QTcpSocket &socket() { return m_socket; }
    QByteArray &received() { return m_received; }

private:
    void spin(int ms);

    QTcpSocket m_socket;
    QByteArray m_received;
};

// The text as the server sends it: "¤" and "å" each one byte.
QByteArray cp(QStringView text);
