#include "server/ListenerAcceptor.h"

#include <QString>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace zelk::server {

qintptr ListenerAcceptor::acceptOne(qintptr listening, QString *reason)
{
    for (;;) {
        const int descriptor = ::accept4(int(listening), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0)
            return descriptor;
        switch (errno) {
        case EINTR:
        case ECONNABORTED: // the peer gave up before we took it: take the next one
        case EPROTO:
            continue;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return -1; // nothing waits any more
        default: // EMFILE, ENFILE, ENOBUFS, ENOMEM, or worse: never try again at once
            *reason = QString::fromLocal8Bit(std::strerror(errno));
            return -2;
        }
    }
}

void ListenerAcceptor::closeDescriptor(qintptr descriptor)
{
    ::close(int(descriptor));
}

} // namespace zelk::server
