#pragma once

#include <QDBusConnection>
#include <QObject>

namespace zelk {

// The system's sleep and wake as the login manager announces them (PrepareForSleep on the
// system bus). Where there is no such bus or no login manager nothing is ever announced.
class PowerMonitor final : public QObject
{
    Q_OBJECT

public:
    explicit PowerMonitor(QObject *parent = nullptr); // the system bus
    PowerMonitor(const QDBusConnection &bus, QObject *parent = nullptr);

    bool isListening() const { return m_listening; }

Q_SIGNALS:
    // true before the system sleeps, false after it woke up.
    void prepareForSleep(bool sleeping);

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    bool m_listening = false;
};

} // namespace zelk
