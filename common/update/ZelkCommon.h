#pragma once

#include "common/update/SleepWakePolicy.h"
#include "common/update/UpdateFiles.h"
#include "common/update/UpdateReceiver.h"

#include <QEventLoop>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <memory>

namespace zelk {

class PowerMonitor;

// The version text the update server last reported; the administration dialog shows it.
extern QString UpdateServerVersion;

// The hidden common object of the program: the connection to the update server with its
// timer, and the system's sleep and wake for the main connection. It is never shown.
//
// The self-update runs from the main connection's connect handler: StartUpdateCheck asks the
// settings for the wanted version (CHECKVERSION, keyed by the program's file name), and when
// that is newer than the running one starts a copy of it from DataFolder, fetching it from
// the update server first when no such copy is there. Every wait keeps the event loop running.
class TfrmZELKcommon final : public QObject
{
    Q_OBJECT

public:
    explicit TfrmZELKcommon(QObject *parent = nullptr);
    ~TfrmZELKcommon() override;

    // Runs the whole check; true when a new version has been started and the caller must
    // close the program. Waits at most connect + state + download intervals (5 s, 5 s, 60 s).
    bool StartUpdateCheck();

    // Listens for the system's sleep and wake from now on (the login manager over the system
    // bus; nothing happens where there is none). reopen opens the main connection anew as a
    // fresh registration, e.g. the session's ConnectToServer(false).
    void startPowerNotifications(std::function<void()> reopen);
    SleepWakePolicy &powerPolicy() { return m_powerPolicy; }

    // --- for tests ---
    struct Intervals
    {
        std::chrono::milliseconds connect{5000};
        std::chrono::milliseconds state{5000};
        std::chrono::milliseconds download{60000};
    };
    void setIntervals(const Intervals &intervals) { m_intervals = intervals; }
    void setProcessStarter(ProcessStarter starter) { m_startProcess = std::move(starter); }
    // The program file the check is about (its name keys CHECKVERSION and names the copy in
    // DataFolder); the running program's own by default.
    void setProgramFile(const QString &path) { m_programFile = path; }
    // The running version; the program's own version record by default.
    void setOwnProductVersion(const QString &version) { m_ownVersion = version; }

    int updateState() const { return m_updateState; }
    bool updateStarted() const { return m_updateStarted; }
    bool updateFailed() const { return m_updateFailed; }
    bool updateTimedOut() const { return m_updateTimedOut; }
    bool DataNotReady() const { return m_receiver.DataNotReady(); }
    bool DataIsNewFile() const { return m_receiver.DataIsNewFile(); }

    QTcpSocket UpdateSocket;
    QTimer UpdateTimer;

private:
    void UpdateSocketConnect();
    void UpdateSocketRead();
    void UpdateSocketError(QAbstractSocket::SocketError error);
    void UpdateTimerTimer();

    void handleNewFile(const QByteArray &bytes);
    void handleTextReply(const QString &reply);
    // Starts the stored copy; false (reported) when it could not be started.
    bool startNewVersion(const QString &file);
    void failUpdate(const QString &message);

    void restartUpdateTimer(std::chrono::milliseconds interval);
    void rearmUpdateTimer();
    template <typename Done>
    void waitUntil(Done done);
    void wakeWaits();

    QString programFileName() const;

    Intervals m_intervals;
    ProcessStarter m_startProcess;
    QString m_programFile;
    QString m_ownVersion;

    UpdateReceiver m_receiver;
    int m_updateState = 0;     // 0 not yet known, 1 current, 2 a newer version is wanted
    bool m_updateStarted = false;
    bool m_updateFailed = false;
    bool m_updateTimedOut = false;
    bool m_updateConnected = false;
    bool m_downloadWanted = false; // GETNEWCLIENT was sent and its answer is still awaited
    int m_wantedVersion = 0;
    int m_ownVersionNumber = 0;
    QList<QEventLoop *> m_waits;

    SleepWakePolicy m_powerPolicy;
    std::unique_ptr<PowerMonitor> m_powerMonitor;
};

} // namespace zelk
