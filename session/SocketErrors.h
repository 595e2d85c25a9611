#pragma once

#include <QAbstractSocket>

namespace zelk {

// The error number a Windows workstation shows for the same socket failure, so that messages
// and the administrators' documentation of the codes agree on every platform.
int windowsSocketErrorCode(QAbstractSocket::SocketError error);

} // namespace zelk
