#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QTcpSocket;

// Drives many calling clients at once: each takes its call list, then sends its CALLING
// messages in one go and counts the RETCALLLIST messages pushed back. Shared by the load
// test and the benchmark.
class LoadDriver final : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool finished = false;      // every client received every expected list
        qint64 callsSent = 0;
        qint64 listsExpected = 0;
        qint64 listsReceived = 0;
        qint64 badLists = 0;        // a final list that does not show the expected calls
        qint64 elapsedMs = 0;
    };

    LoadDriver(quint16 port, int clients, int callsPerClient, QObject *parent = nullptr);

    // The JSON seed: one resource per pair of clients, each pair sharing it.
    static QByteArray seed(int clients);
    static QString clientName(int index);

    Result run(int timeoutMs);

private:
    struct Peer
    {
        QTcpSocket *socket = nullptr;
        QByteArray received;
        qint64 lists = 0;
        bool ready = false;
        QByteArray lastList;
    };
    void onRead(int index);

    quint16 m_port;
    int m_clients;
    int m_calls;
    QList<Peer> m_peers;
    int m_ready = 0;
};
