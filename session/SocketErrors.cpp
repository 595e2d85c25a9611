#include "session/SocketErrors.h"

namespace zelk {

int windowsSocketErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10051;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::AddressInUseError: return 10048;
    default: return 10000 + static_cast<int>(error);
    }
}

} // namespace zelk
