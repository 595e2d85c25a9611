#include "server/ListenerAcceptor.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

namespace zelk::server {

ListenerAcceptor::ListenerAcceptor(QTcpServer *listener, QObject *parent)
    : QObject(parent)
    , m_listening(listener->socketDescriptor())
    , m_notifier(new QSocketNotifier(m_listening, QSocketNotifier::Read, this))
    , m_retry(new QTimer(this))
{
    listener->pauseAccepting(); // its own notifier stays off from now on
    m_retry->setSingleShot(true);
    m_retry->setInterval(kRetryMs);
    connect(m_retry, &QTimer::timeout, this, &ListenerAcceptor::retryNow);
    connect(m_notifier, &QSocketNotifier::activated, this, &ListenerAcceptor::acceptPending);
}

void ListenerAcceptor::retryNow()
{
    if (!m_waiting)
        return;
    m_retry->stop();
    acceptPending();
}

void ListenerAcceptor::acceptPending()
{
    for (;;) {
        QString reason;
        const qintptr descriptor = acceptOne(m_listening, &reason);
        if (descriptor == -1)
            break;
        if (descriptor == -2) {
            // Sleep until the pause is over; the waiting connection would wake us at once.
            m_notifier->setEnabled(false);
            if (!m_waiting) {
                m_waiting = true;
                Q_EMIT shortageBegan(reason);
            }
            m_retry->start();
            return;
        }
        if (m_waiting) {
            m_waiting = false;
            Q_EMIT shortageEnded();
        }
        Q_EMIT accepted(descriptor);
    }
    m_notifier->setEnabled(true);
    if (m_waiting) {
        m_waiting = false;
        Q_EMIT shortageEnded();
    }
}

} // namespace zelk::server
