#include "common/update/ZelkCommon.h"

#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Settings.h"
#include "common/update/PowerMonitor.h"
#include "common/update/VersionInfo.h"
#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"
#include "session/ServerSession.h"
#include "session/SocketErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHostAddress>
#include <QScreen>

#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

QString UpdateServerVersion;

namespace {

QPoint desktopCentre()
{
    const QScreen *screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen)
        return {};
    const QRect desktop = screen->virtualGeometry();
    return {desktop.width() / 2, desktop.height() / 2};
}

QString exceptionText(const std::exception &e)
{
    return QString::fromLocal8Bit(e.what());
}

} // namespace

TfrmZELKcommon::TfrmZELKcommon(QObject *parent)
    : QObject(parent), m_startProcess(platformProcessStarter()), m_powerPolicy(this)
{
    UpdateTimer.setInterval(std::chrono::milliseconds(5000));
    connect(&UpdateSocket, &QTcpSocket::connected, this, &TfrmZELKcommon::UpdateSocketConnect);
    connect(&UpdateSocket, &QTcpSocket::readyRead, this, &TfrmZELKcommon::UpdateSocketRead);
    connect(&UpdateSocket, &QTcpSocket::errorOccurred, this, &TfrmZELKcommon::UpdateSocketError);
    connect(&UpdateSocket, &QTcpSocket::disconnected, this, &TfrmZELKcommon::wakeWaits);
    connect(&UpdateTimer, &QTimer::timeout, this, &TfrmZELKcommon::UpdateTimerTimer);
}

TfrmZELKcommon::~TfrmZELKcommon()
{
    // No handler may run into a half-destroyed object while the socket goes down.
    UpdateSocket.disconnect(this);
    UpdateSocket.abort();
}

void TfrmZELKcommon::startPowerNotifications(std::function<void()> reopen)
{
    m_powerPolicy.setReopen(std::move(reopen));
    if (m_powerMonitor)
        return;
    m_powerMonitor = std::make_unique<PowerMonitor>();
    connect(m_powerMonitor.get(), &PowerMonitor::prepareForSleep, &m_powerPolicy,
            &SleepWakePolicy::prepareForSleep);
}

QString TfrmZELKcommon::programFileName() const
{
    const QString path = m_programFile.isEmpty() ? QCoreApplication::applicationFilePath() : m_programFile;
    return QFileInfo(path).fileName();
}

void TfrmZELKcommon::restartUpdateTimer(std::chrono::milliseconds interval)
{
    m_updateTimedOut = false;
    UpdateTimer.stop();
    UpdateTimer.setInterval(interval);
    UpdateTimer.start();
}

void TfrmZELKcommon::rearmUpdateTimer()
{
    UpdateTimer.stop();
    UpdateTimer.start();
}

template <typename Done>
void TfrmZELKcommon::waitUntil(Done done)
{
    QEventLoop loop;
    m_waits.append(&loop);
    while (!done())
        loop.exec();
    m_waits.removeOne(&loop);
}

void TfrmZELKcommon::wakeWaits()
{
    // Every wait checks its own condition again; one that is not done goes on waiting.
    for (QEventLoop *loop : std::as_const(m_waits))
        loop->quit();
}

bool TfrmZELKcommon::StartUpdateCheck()
{
    if (UpdateSocket.state() != QAbstractSocket::UnconnectedState)
        UpdateSocket.abort();
    // What an earlier check left half collected belongs to no reply of this one.
    m_receiver.reset();

    QString host;
    quint16 mainPort = 0;
    if (MainSocket) {
        host = MainSocket->peerName().trimmed();
        if (host.isEmpty())
            host = MainSocket->peerAddress().toString();
        mainPort = MainSocket->peerPort();
    }
    const QString name = ReadSharedSettingDef(keys::UpdateServerName, host).trimmed();
    const int port = settingToInt(ReadSharedSetting(keys::UpdateServerPort), mainPort);

    restartUpdateTimer(m_intervals.connect);
    m_updateState = 0;
    m_updateStarted = false;
    m_updateFailed = false;
    m_updateConnected = false;
    m_downloadWanted = false;

    const quint16 updatePort = static_cast<quint16>(qBound(0, port, 65535));
    if (IsIPv4Address(name))
        UpdateSocket.connectToHost(QHostAddress(name), updatePort);
    else
        UpdateSocket.connectToHost(name, updatePort);
    // A failed connect cannot succeed any more; the check ends then without waiting its time.
    waitUntil([this] {
        return m_updateConnected || m_updateTimedOut || UpdateSocket.state() == QAbstractSocket::UnconnectedState;
    });
    if (!m_updateConnected || m_updateTimedOut) {
        UpdateTimer.stop();
        return false;
    }

    rearmUpdateTimer();
    waitUntil([this] { return m_updateState != 0 || m_updateTimedOut; });
    if (m_updateTimedOut)
        return false;

    if (m_updateState == 1) {
        // The connection stays a while for the server's version reply, then the timer closes it.
        rearmUpdateTimer();
        return false;
    }

    restartUpdateTimer(m_intervals.download);
    waitUntil([this] {
        return m_updateTimedOut || m_updateStarted || m_updateFailed
               || UpdateSocket.state() == QAbstractSocket::UnconnectedState;
    });
    UpdateTimer.stop();
    m_downloadWanted = false;
    if (m_updateStarted && !m_updateTimedOut) {
        rearmUpdateTimer();
        return true;
    }
    // Cut off, failed or lost: nothing of this download may be taken for a later reply.
    m_receiver.reset();
    UpdateSocket.abort();
    return false;
}

void TfrmZELKcommon::UpdateSocketConnect()
{
    m_updateConnected = true;
    try {
        const QString fileName = programFileName();
        const int own = versionNumber(m_ownVersion.isEmpty() ? TCEVersionInfo().ProductVersion : m_ownVersion);
        m_ownVersionNumber = own;
        const int wanted = settingToInt(ReadSetting(keys::checkVersion(fileName)), own);
        m_wantedVersion = wanted;
        UpdateSocket.write(toCodePage(msg::getServerVersion(GetClientName(), ClientType)));

        if (own >= wanted || !readBoolSetting(keys::AllowSelfUpdate, defaults::AllowSelfUpdate)) {
            m_updateState = 1;
            wakeWaits();
            return;
        }
        m_updateState = 2;
        wakeWaits();

        if (DataFolder.isEmpty()) {
            // Without the data folder there is nowhere to keep a copy; the program's own file is
            // never taken for one.
            failUpdate(u"Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \n"_s
                       + DataFolder + u'!');
            return;
        }
        const QString candidate = DataFolder + fileName;
        TCEVersionInfo info;
        if (QFileInfo::exists(candidate) && info.GetInfo(candidate) && versionNumber(info.ProductVersion) == wanted) {
            if (startNewVersion(candidate))
                m_updateStarted = true;
            wakeWaits();
            return;
        }
        m_downloadWanted = true;
        UpdateSocket.write(toCodePage(msg::getNewClient(fileName, GetClientName(), ClientType)));
    } catch (const std::exception &e) {
        // The box must not hold up the connect handler the check runs in.
        ShowErrorNoWait(u"Error in UpdateSocketConnect!\n\n"_s + exceptionText(e));
        m_updateFailed = true;
        wakeWaits();
    }
}

void TfrmZELKcommon::UpdateSocketRead()
{
    try {
        const QByteArray block = UpdateSocket.readAll();
        const QList<UpdateReceiver::Reply> replies = m_receiver.feed(block);
        for (const UpdateReceiver::Reply &reply : replies) {
            if (reply.isFile)
                handleNewFile(reply.bytes);
            else
                handleTextReply(fromCodePage(reply.bytes));
        }
    } catch (const std::exception &e) {
        m_receiver.reset();
        ShowErrorNoWait(u"Error in UpdateSocketRead!\n\n"_s + exceptionText(e));
    }
}

void TfrmZELKcommon::handleNewFile(const QByteArray &bytes)
{
    // Only the answer to this check's GETNEWCLIENT is taken; a program that arrives unasked
    // or after the time ran out is never started.
    if (!m_downloadWanted)
        return;
    m_downloadWanted = false;

    const QString target = DataFolder.isEmpty() ? QString() : DataFolder + programFileName();
    QString found;
    switch (storeExecutable(bytes, target, m_wantedVersion, &found)) {
    case StoreResult::Stored:
        if (startNewVersion(target))
            m_updateStarted = true;
        break;
    case StoreResult::NotStorable:
        failUpdate(u"Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen \n"_s
                   + DataFolder + u'!');
        break;
    case StoreResult::WrongVersion:
        // Both as version texts: the wanted one is a number in the settings, written here
        // with the dots of the version that came (or of the running one).
        failUpdate(u"Uppdateringsservern skickade version "_s + found + u" av programmet, men version "_s
                   + versionTextFor(m_wantedVersion, {found, TCEVersionInfo().ProductVersion})
                   + u" var begärd. Programmet fortsätter med den nuvarande versionen."_s);
        break;
    }
    wakeWaits();
}

void TfrmZELKcommon::handleTextReply(const QString &received)
{
    QString reply = received;
    if (const qsizetype at = reply.indexOf(kDataStart); at >= 0)
        reply.remove(at, kDataStart.size());
    if (const qsizetype at = reply.indexOf(kDataEnd); at >= 0)
        reply.remove(at, kDataEnd.size());

    if (const auto cut = cutMessage(reply, openingTag(u"RETSERVERVERSION"), closingTag(u"RETSERVERVERSION")))
        UpdateServerVersion = parseServerVersion(cut->message);

    const qsizetype error = reply.indexOf(kErrorReply);
    if (error >= 0 && !reply.contains(u"ERROR: 001"))
        ShowErrorNoWait(u"Servern svarade med följande fel: "_s + reply.mid(error + kErrorReply.size() + 1).trimmed());
}

bool TfrmZELKcommon::startNewVersion(const QString &file)
{
    // Only a copy newer than the running program is started: one that is not would hand over
    // to itself again and again. The running program may well be the copy in the data folder,
    // started by an earlier update; its file then holds the newer version by now.
    TCEVersionInfo info;
    if (!info.GetInfo(file) || versionNumber(info.ProductVersion) <= m_ownVersionNumber) {
        failUpdate(u"Den nya versionen kunde inte startas: "_s + QDir::toNativeSeparators(file));
        return false;
    }
    const QString folder = ProgramFolder.isEmpty() ? QDir::currentPath() : ProgramFolder;
    if (!m_startProcess || !m_startProcess(file, restartArguments(commandLineArguments()), folder)) {
        failUpdate(u"Den nya versionen kunde inte startas: "_s + QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

void TfrmZELKcommon::failUpdate(const QString &message)
{
    // The check ends at once; the box waits for the user while the client registers and works.
    m_updateFailed = true;
    wakeWaits();
    ShowErrorNoWait(message);
}

void TfrmZELKcommon::UpdateSocketError(QAbstractSocket::SocketError error)
{
    // The update server closing its end after its answer is a disconnect, not a failure.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        wakeWaits();
        return;
    }
    ShowPointBalloon(u"Error in UpdateSocket: "_s + QString::number(windowsSocketErrorCode(error)), desktopCentre());
    wakeWaits();
}

void TfrmZELKcommon::UpdateTimerTimer()
{
    m_updateTimedOut = true;
    UpdateTimer.stop();
    UpdateSocket.abort();
    wakeWaits();
}

} // namespace zelk
