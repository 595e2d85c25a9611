#include "session/ServerSession.h"

#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Settings.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"
#include "session/AdminDialogPort.h"
#include "session/SessionState.h"
#include "session/SocketErrors.h"

#include <QHostAddress>
#include <QRandomGenerator>

#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

bool IsIPv4Address(QStringView text)
{
    const auto parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

ServerSession::ServerSession(CallListModel &callList, QObject *parent)
    : QObject(parent), m_callList(callList), m_dispatcher(callList, this)
{
    Timer3.setSingleShot(true);
    ReconnectTimer.setSingleShot(true);
    m_random = [] { return static_cast<int>(QRandomGenerator::global()->bounded(15000)); };
    connect(&ClientSocket1, &QTcpSocket::connected, this, &ServerSession::ClientSocket1Connect);
    connect(&ClientSocket1, &QTcpSocket::disconnected, this, &ServerSession::ClientSocket1Disconnect);
    connect(&ClientSocket1, &QTcpSocket::errorOccurred, this, &ServerSession::ClientSocket1Error);
    // Queued: Qt does not emit readyRead again while a handler of it is still running, yet
    // the read handler waits (message boxes, the modal dialog, a settings read) for data
    // that arrives meanwhile and must be dispatched in a nested pass.
    connect(&ClientSocket1, &QTcpSocket::readyRead, this, &ServerSession::ClientSocket1Read,
            Qt::QueuedConnection);
    connect(&Timer3, &QTimer::timeout, this, &ServerSession::Timer3Timer);
    connect(&ReconnectTimer, &QTimer::timeout, this, &ServerSession::ReconnectTimerTimer);
    m_dispatcher.setVersionCheck([this](const QString &version) { return checkServerVersion(version); });
}

ServerSession::~ServerSession()
{
    // No handler may run on a half-destroyed session while the socket closes.
    ClientSocket1.disconnect(this);
    ClientSocket1.abort();
}

void ServerSession::setAdminDialog(AdminDialogPort *dialog)
{
    m_dialog = dialog;
    m_dispatcher.setAdminDialog(dialog);
}

void ServerSession::setAutoRegistration(bool registerauto, const QString &paramcalllista)
{
    m_registerauto = registerauto;
    m_paramcalllista = paramcalllista;
}

void ServerSession::setTimeUnits(int secondMs, int minuteMs)
{
    m_secondMs = secondMs;
    m_minuteMs = minuteMs;
}

void ServerSession::setLabel1Caption(const QString &text)
{
    m_Label1Caption = text;
    Q_EMIT statusTextChanged(text);
}

void ServerSession::send(const QString &message)
{
    ClientSocket1.write(toCodePage(message));
}

void ServerSession::startFirstConnection()
{
    ReconnectAllowed = false;
    if (ReadSettingDef(keys::ServerName, kNotFound.toString()) != kNotFound) {
        ConnectToServer(false);
        return;
    }
    ShowError(u"Gå till Systemregistret och ställ in servernamn och serverport."_s);
    if (m_dialog)
        m_dialog->openServerSettings();
}

void ServerSession::ConnectToServer(bool refresh)
{
    if (ClientSocket1.state() != QAbstractSocket::UnconnectedState) {
        ClientSocket1.flush(); // what was just sent (a dialog's last save) still goes out
        ClientSocket1.abort();
    }
    m_versionRefused = false;
    m_assembler.reset();
    const QString server = ReadSetting(keys::ServerName);
    if (IsIPv4Address(server)) {
        m_address = server;
        m_hostName.clear();
    } else {
        m_hostName = server;
        m_address.clear();
    }
    m_port = static_cast<quint16>(qBound(0, settingToInt(ReadSetting(keys::ServerPort), defaults::ServerPort), 65535));
    m_socketTag = refresh ? 1 : 0;
    try {
        if (!m_address.isEmpty())
            ClientSocket1.connectToHost(QHostAddress(m_address), m_port);
        else
            ClientSocket1.connectToHost(m_hostName, m_port);
    } catch (const std::exception &e) {
        ShowError(u"Error when connecting to server!\n\n"_s + QString::fromLocal8Bit(e.what()));
    }
}

void ServerSession::ClientSocket1Connect()
{
    Timer3.stop();
    MainSocket = &ClientSocket1;
    ReconnectAllowed = true;
    Q_EMIT connectionActiveChanged(true);
    if (CheckUpdateOnConnect) {
        CheckUpdateOnConnect = false;
        if (m_updateCheck && m_updateCheck()) {
            ClientSocket1.abort();
            Q_EMIT closeRequested();
            return;
        }
        if (m_reloadOnConnect)
            m_reloadOnConnect();
    }
    if (m_socketTag == 1) {
        send(msg::reconnect(GetClientName(), ClientType));
        Q_EMIT trayImageRequested(0);
        setLabel1Caption(u"Ansluten"_s);
        applyRefreshRule();
        return;
    }
    if (m_registerauto) {
        send(msg::registerAutomatic(ClientData, ClientType));
        send(msg::postCallablesFromCommandLine(GetClientName(), ClientType, m_paramcalllista));
    }
    send(msg::getServerVersion(GetClientName(), ClientType));
}

void ServerSession::applyRefreshRule()
{
    ReconnectTimer.stop();
    if (readBoolSetting(keys::RefreshConnection, defaults::RefreshConnection)) {
        const int minutes = qMax(1, readIntSetting(keys::RefreshConnectionTimer, defaults::RefreshConnectionTimer));
        ReconnectTimer.start(minutes * m_minuteMs);
    }
}

bool ServerSession::checkServerVersion(const QString &version)
{
    const int number = serverVersionNumber(version);
    ServerVersion = version;
    if (m_dialog && m_dialog->isDialogVisible())
        m_dialog->refreshActivePage();
    if (number < kMinimumServerVersion) {
        m_versionRefused = true;
        ShowError(u"Fel serverversion!\n\nZELK-Servern har version "_s + version + u"\nMinst version "_s
                  + kMinimumServerVersionText + u" krävs!"_s);
        ClientSocket1.abort();
        ReconnectTimer.stop();
        Timer3.stop();
        setLabel1Caption(u"Fel serverversion "_s + version + u" INTE ansluten"_s);
        return false;
    }
    send(msg::getCallList(GetClientName(), ClientType));
    Q_EMIT trayImageRequested(0);
    setLabel1Caption(u"Ansluten"_s);
    applyRefreshRule();
    return true;
}

void ServerSession::startCountdown(bool showStatus)
{
    Timer3.stop();
    m_timer3Tag = retryDelayMs(m_random());
    Timer3.start(m_secondMs);
    if (showStatus)
        setLabel1Caption(u"Ej ansluten - nästa försök om %1 sekunder"_s.arg(m_timer3Tag / 1000));
}

void ServerSession::ClientSocket1Disconnect()
{
    Q_EMIT connectionActiveChanged(false);
    if (ReconnectAllowed)
        startCountdown(true);
    else
        setLabel1Caption(u"Ej ansluten - kontrollera Serverinställningarna i Systemregistret"_s);
}

void ServerSession::ClientSocket1Error(QAbstractSocket::SocketError error)
{
    // The server closing the connection is a disconnect: the disconnect handler follows and
    // does what a loss needs; a second countdown or a question would be wrong.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    Q_EMIT connectionActiveChanged(isOpen());
    if (ReconnectAllowed) {
        // A refused version stays refused until the settings are saved again.
        if (!m_versionRefused)
            startCountdown(true);
        return;
    }
    const int answer = AskYesNo(u"Det gick inte att ansluta till "_s + m_hostName + m_address + u" på port "_s
                                + QString::number(m_port) + u"!\n\nFelkoden är: "_s
                                + QString::number(windowsSocketErrorCode(error))
                                + u"\n\nRedigera serverinställningarna?"_s);
    if (answer == kAnswerYes && m_dialog)
        m_dialog->openServerSettings();
}

void ServerSession::ClientSocket1Read()
{
    try {
        const QString read = fromCodePage(ClientSocket1.readAll());
        // Envelope by envelope, in the order the stream brought them.
        for (QString &block : m_assembler.takeBlocks(read))
            m_dispatcher.DispatchIncoming(std::move(block));
    } catch (const std::exception &e) {
        ShowError(u"Error in ClientSocket1Read!\n\n"_s + QString::fromLocal8Bit(e.what()));
    }
}

void ServerSession::Timer3Timer()
{
    Timer3.stop();
    if (m_timer3Tag > 0) {
        m_timer3Tag -= 1000;
        Timer3.start(m_secondMs);
        setLabel1Caption(u"Ej ansluten - nästa försök om %1 sekunder"_s.arg(m_timer3Tag / 1000));
        return;
    }
    if (m_timer3Tag == 0 && !isOpen()) {
        ConnectToServer(false);
        startCountdown(false);
    }
}

void ServerSession::ReconnectTimerTimer()
{
    ReconnectTimer.stop();
    ClientSocket1.flush();
    ClientSocket1.abort();
    ConnectToServer(true);
}

} // namespace zelk
