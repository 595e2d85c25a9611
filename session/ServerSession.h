#pragma once

#include "session/CallListModel.h"
#include "session/IncomingAssembler.h"
#include "session/IncomingDispatcher.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace zelk {

class AdminDialogPort;

// Whether the text is a dotted IPv4 address: four parts, each a whole number from 0 to 255.
bool IsIPv4Address(QStringView text);

// The one connection of the calling window to the signalling server: opening, what is sent
// when it comes up, the version check, silent retries after a loss, the periodic renewal,
// the status text, and the assembly and dispatch of everything that arrives.
class ServerSession final : public QObject
{
    Q_OBJECT

public:
    ServerSession(CallListModel &callList, QObject *parent = nullptr);
    ~ServerSession() override;

    void setAdminDialog(AdminDialogPort *dialog);
    // From the command line: AUTOREGISTER=1 and the CALLLIST value.
    void setAutoRegistration(bool registerauto, const QString &paramcalllista);
    // Runs the update check at the first connect; true when a newer version is being started.
    void setUpdateCheck(std::function<bool()> check) { m_updateCheck = std::move(check); }
    // Re-reads the speech and display settings when a connection comes up after the update check.
    void setReloadOnConnect(std::function<void()> reload) { m_reloadOnConnect = std::move(reload); }
    // Tests shorten the second of the countdown and the minute of the renewal.
    void setTimeUnits(int secondMs, int minuteMs);
    // Tests fix the random source of the retry delay (0..14999).
    void setRandomSource(std::function<int()> random) { m_random = std::move(random); }

    // The first display initialisation: connect, or ask for the server settings.
    void startFirstConnection();
    void ConnectToServer(bool refresh);
    void send(const QString &message);

    QTcpSocket &socket() { return ClientSocket1; }
    bool isOpen() const { return ClientSocket1.state() == QAbstractSocket::ConnectedState; }
    const QString &Label1Caption() const { return m_Label1Caption; }
    bool versionRefused() const { return m_versionRefused; }
    IncomingDispatcher &dispatcher() { return m_dispatcher; }

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    // 0: the icon at rest, after a connection came up.
    void trayImageRequested(int image);
    // The popup menu's entries are enabled exactly while connected.
    void connectionActiveChanged(bool active);
    // A newer version has been started: the window closes for good.
    void closeRequested();

private:
    void ClientSocket1Connect();
    void ClientSocket1Disconnect();
    void ClientSocket1Error(QAbstractSocket::SocketError error);
    void ClientSocket1Read();
    void Timer3Timer();
    void ReconnectTimerTimer();

    bool checkServerVersion(const QString &version);
    void applyRefreshRule();
    void startCountdown(bool showStatus);
    void setLabel1Caption(const QString &text);

    CallListModel &m_callList;
    QTcpSocket ClientSocket1;
    int m_socketTag = 0; // 1 while the connection was opened by the periodic renewal
    QTimer Timer3;
    int m_timer3Tag = 0; // milliseconds left in the countdown
    QTimer ReconnectTimer;
    QString m_Label1Caption;
    QString m_hostName;
    QString m_address;
    quint16 m_port = 0;
    bool m_registerauto = false;
    QString m_paramcalllista;
    bool m_versionRefused = false;
    int m_secondMs = 1000;
    int m_minuteMs = 60000;
    AdminDialogPort *m_dialog = nullptr;
    IncomingAssembler m_assembler;
    IncomingDispatcher m_dispatcher;
    std::function<bool()> m_updateCheck;
    std::function<void()> m_reloadOnConnect;
    std::function<int()> m_random;
};

} // namespace zelk
