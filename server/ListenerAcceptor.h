#pragma once

#include <QObject>

class QSocketNotifier;
class QTcpServer;
class QTimer;

namespace zelk::server {

// Takes the accepting of new connections over from a listening QTcpServer. Qt takes a failed
// accept for want of file descriptors as a passing condition and is woken again at once by
// the still waiting connection, so the process spins at full load for as long as the
// shortage lasts. Here a failed accept puts the listener to sleep, and it tries again after a
// pause or as soon as a connection of ours has closed.
class ListenerAcceptor final : public QObject
{
    Q_OBJECT

public:
    // `listener` must be listening; it stays the owner of the listening socket.
    explicit ListenerAcceptor(QTcpServer *listener, QObject *parent = nullptr);

    // A descriptor may have come free: try at once instead of waiting for the pause to end.
    void retryNow();
    bool waiting() const { return m_waiting; }

    static constexpr int kRetryMs = 250;
    // For a descriptor that could not be handed to a socket.
    static void closeDescriptor(qintptr descriptor);

Q_SIGNALS:
    // A new connection's descriptor (non-blocking, close-on-exec); the receiver owns it.
    void accepted(qintptr descriptor);
    // The first failed accept of a shortage, and the first accept after it.
    void shortageBegan(const QString &reason);
    void shortageEnded();

private:
    void acceptPending();
    // The platform's accept: a descriptor, -1 when nothing is waiting, or -2 when the
    // process or system is out of resources (`reason` says which).
    static qintptr acceptOne(qintptr listening, QString *reason);

    qintptr m_listening;
    QSocketNotifier *m_notifier;
    QTimer *m_retry;
    bool m_waiting = false;
};

} // namespace zelk::server
