#pragma once

#include <QObject>

namespace zelk {

// The end of the user's session as the platform announces it: on Linux SIGTERM (sent by the
// session manager or systemd when the session ends) and SIGHUP (the terminal went away).
// The signal arrives in a handler and is passed to the event loop through a pipe.
class SessionEnd final : public QObject
{
    Q_OBJECT

public:
    explicit SessionEnd(QObject *parent = nullptr);
    ~SessionEnd() override;

Q_SIGNALS:
    void sessionEnding();
};

} // namespace zelk
