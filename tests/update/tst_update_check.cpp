// The update check against an update server on loopback, with the settings answered by a
// signalling server double over the main connection.
#include "common/Identity.h"
#include "common/Settings.h"
#include "common/update/VersionInfo.h"
#include "common/update/ZelkCommon.h"
#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "tests/common/FakeSettingsServer.h"
#include "tests/common/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace zelk;

namespace {

// The update server: answers GETSERVERVERSION and GETNEWCLIENT with what the test chose,
// GETNEWCLIENT part by part with a pause between the parts.
class UpdatePeer final : public QObject
{
public:
    UpdatePeer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *peer = m_server.nextPendingConnection()) {
                peer->setParent(this);
                m_peer = peer;
                connect(peer, &QTcpSocket::readyRead, this, [this, peer] { onReadyRead(peer); });
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    bool receivedTag(QStringView tag) const
    {
        return std::any_of(received.begin(), received.end(),
                           [tag](const QString &m) { return m.startsWith(openingTag(tag)); });
    }

    QStringList received;
    QByteArray versionReply;
    QList<QByteArray> newClientReply;
    int pauseMs = 0;
    bool closeAfterVersionReply = false; // as an update server may, once it has answered

private:
    void onReadyRead(QTcpSocket *peer)
    {
        m_pending += fromCodePage(peer->readAll());
        for (;;) {
            const qsizetype start = m_pending.indexOf(kFrameChar);
            const qsizetype end = start < 0 ? -1 : m_pending.indexOf(kFrameChar, start + 1);
            if (end < 0)
                break;
            const QString message = m_pending.mid(start, end - start + 1);
            m_pending.remove(0, end + 1);
            received.append(message);
            if (message.startsWith(openingTag(u"GETSERVERVERSION")) && !versionReply.isEmpty()) {
                peer->write(versionReply);
                if (closeAfterVersionReply)
                    peer->disconnectFromHost();
            }
            else if (message.startsWith(openingTag(u"GETNEWCLIENT")))
                sendPart(0);
        }
    }
    void sendPart(qsizetype i)
    {
        if (!m_peer || i >= newClientReply.size())
            return;
        m_peer->write(newClientReply.at(i));
        m_peer->flush();
        QTimer::singleShot(pauseMs, this, [this, i] { sendPart(i + 1); });
    }

    QTcpServer m_server;
    QPointer<QTcpSocket> m_peer;
    QString m_pending;
};

struct StartRecord
{
    QString program;
    QStringList arguments;
    QString folder;
};

QByteArray ownImage()
{
    QFile file(QCoreApplication::applicationFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray stampedImage(const QString &version)
{
    QByteArray image = ownImage();
    return stampVersionRecord(image, version) ? image : QByteArray();
}

QList<QByteArray> inParts(const QByteArray &data, int parts)
{
    QList<QByteArray> out;
    const qsizetype size = (data.size() + parts - 1) / parts;
    for (qsizetype at = 0; at < data.size(); at += size)
        out.append(data.mid(at, size));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private:
    QString exeName() const { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }
    QString target() const { return DataFolder + exeName(); }
    void setCheckVersion(const QString &value)
    {
        m_settings->values.insert(u"\\CHECKVERSION:"_s + exeName(), value);
    }
    void serveNewClient(const QByteArray &program, int parts = 1, int pauseMs = 0)
    {
        m_peer->newClientReply = inParts(msg::retNewClient(program), parts);
        m_peer->pauseMs = pauseMs;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeSettingsServer> m_settings;
    std::unique_ptr<SettingsClient> m_client;
    std::unique_ptr<UpdatePeer> m_peer;
    std::unique_ptr<TfrmZELKcommon> m_common;
    RecordingPrompts m_prompts;
    FakeSessionInfo m_session;
    QList<StartRecord> m_starts;
    bool m_starterSucceeds = true;
    QByteArray m_newer; // this program stamped 1.10.5

private Q_SLOTS:
    void initTestCase()
    {
        m_newer = stampedImage(u"1.10.5"_s);
        QVERIFY(!m_newer.isEmpty());
        setRemoteSessionInfo(&m_session);
        setUserPrompts(&m_prompts);
        setServerWaitInterval(2000ms);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("ZELK_REGISTRY_DIR", m_dir->filePath(u"registry"_s).toLocal8Bit());
        QVERIFY(QDir().mkpath(m_dir->filePath(u"data"_s)));
        QVERIFY(QDir().mkpath(m_dir->filePath(u"program"_s)));
        DataFolder = m_dir->filePath(u"data"_s) + u'/';
        ProgramFolder = m_dir->filePath(u"program"_s) + u'/';
        setCommandLineArguments({u"PLACE=Room 4"_s, u"NAME=Reception"_s});
        UpdateServerVersion.clear();
        m_prompts.errors.clear();
        m_prompts.errorsNotWaited.clear();
        m_prompts.balloons.clear();
        m_starts.clear();
        m_starterSucceeds = true;

        m_peer = std::make_unique<UpdatePeer>();
        QVERIFY(m_peer->listen());
        m_settings = std::make_unique<FakeSettingsServer>();
        QVERIFY(m_settings->listen());
        m_settings->values.insert(u"\\ServerSettings:UpdateServerName"_s, u"127.0.0.1"_s);
        m_settings->values.insert(u"\\ServerSettings:UpdateServerPort"_s, QString::number(m_peer->port()));
        m_client = std::make_unique<SettingsClient>();
        QVERIFY(m_client->connectTo(m_settings->port()));
        MainSocket = &m_client->socket;

        m_common = std::make_unique<TfrmZELKcommon>();
        m_common->setIntervals({2000ms, 2000ms, 10000ms});
        m_common->setProgramFile(QCoreApplication::applicationFilePath());
        m_common->setProcessStarter([this](const QString &program, const QStringList &args, const QString &folder) {
            m_starts.append({program, args, folder});
            return m_starterSucceeds;
        });
    }

    void cleanup()
    {
        m_common.reset();
        MainSocket = nullptr;
        m_client.reset();
        m_settings.reset();
        m_peer.reset();
        m_dir.reset();
    }

    void checkVersionDecides_data()
    {
        QTest::addColumn<QString>("checkVersion");
        QTest::addColumn<bool>("update");
        QTest::newRow("1104 is the running version") << u"1104"_s << false;
        QTest::newRow("absent") << QString() << false;
        QTest::newRow("not a number") << u"abc"_s << false;
        QTest::newRow("1103 is older") << u"1103"_s << false;
        QTest::newRow("1105 is newer") << u"1105"_s << true;
    }
    void checkVersionDecides()
    {
        QFETCH(QString, checkVersion);
        QFETCH(bool, update);
        QCOMPARE(TCEVersionInfo().ProductVersion, u"1.10.4"_s); // the project's own version
        if (!checkVersion.isEmpty())
            setCheckVersion(checkVersion);
        serveNewClient(m_newer);

        QCOMPARE(m_common->StartUpdateCheck(), update);
        QCOMPARE(m_common->updateState(), update ? 2 : 1);
        QTRY_VERIFY(m_peer->receivedTag(u"GETSERVERVERSION"));
        QCOMPARE(m_peer->receivedTag(u"GETNEWCLIENT"), update);
        QCOMPARE(m_starts.size(), update ? 1 : 0);
        QCOMPARE(QFile::exists(target()), update);
        QVERIFY(m_prompts.errors.isEmpty());
    }

    void wantedCopyStartsWithoutDownload()
    {
        QVERIFY(writeFile(target(), m_newer));
        setCheckVersion(u"1105"_s);
        QVERIFY(m_common->StartUpdateCheck());
        QVERIFY(!m_peer->receivedTag(u"GETNEWCLIENT"));
        QCOMPARE(m_starts.size(), 1);
        QCOMPARE(m_starts.first().program, target());
        // Each original argument stays one argument, after the restart marker.
        QCOMPARE(m_starts.first().arguments, (QStringList{u"RESTARTING=1"_s, u"PLACE=Room 4"_s, u"NAME=Reception"_s}));
        QCOMPARE(m_starts.first().folder, ProgramFolder);
    }

    void copyOfAnotherVersionIsReplaced()
    {
        QVERIFY(writeFile(target(), stampedImage(u"1.10.3"_s)));
        setCheckVersion(u"1105"_s);
        serveNewClient(m_newer);
        QVERIFY(m_common->StartUpdateCheck());
        QVERIFY(m_peer->receivedTag(u"GETNEWCLIENT"));
        QVERIFY(readFile(target()) == m_newer);
        QVERIFY(QFileInfo(target()).isExecutable());
        QCOMPARE(m_starts.size(), 1);
        QCOMPARE(m_starts.first().program, target());
        // No temporary file is left beside it.
        QCOMPARE(QDir(DataFolder).entryList(QDir::Files), QStringList{exeName()});
    }

    void downloadStoresExactBytes_data()
    {
        QTest::addColumn<int>("parts");
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("one read") << 1 << 0;
        QTest::newRow("many reads") << 40 << 5;
    }
    void downloadStoresExactBytes()
    {
        QFETCH(int, parts);
        QFETCH(int, pauseMs);
        setCheckVersion(u"1105"_s);
        serveNewClient(m_newer, parts, pauseMs);
        QVERIFY(m_common->StartUpdateCheck());
        QVERIFY(readFile(target()) == m_newer);
        QCOMPARE(m_starts.size(), 1);
        QVERIFY(!m_common->DataNotReady());
    }

    void versionReplySetsUpdateServerVersion()
    {
        m_peer->versionReply = toCodePage(msg::envelope(msg::retServerVersion(u"1.10.7"_s)));
        QVERIFY(!m_common->StartUpdateCheck());
        QTRY_COMPARE(UpdateServerVersion, u"1.10.7"_s);
        // The connection of a current version is closed after the state interval.
        QTRY_COMPARE_WITH_TIMEOUT(m_common->UpdateSocket.state(), QAbstractSocket::UnconnectedState, 5000);
    }

    void errorReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("005") << QByteArray("ERROR: 005 no client")
                             << QStringList{u"Servern svarade med följande fel: 005 no client"_s};
        QTest::newRow("001 is silent") << QByteArray("ERROR: 001") << QStringList{};
    }
    void errorReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, errors);
        m_common->setIntervals({2000ms, 2000ms, 600ms});
        setCheckVersion(u"1105"_s);
        m_peer->newClientReply = {reply};
        QVERIFY(!m_common->StartUpdateCheck());
        QCOMPARE(m_prompts.errors, errors);
        QVERIFY(m_starts.isEmpty());
        QVERIFY(!QFile::exists(target()));
    }

    void downloadCutOffLeavesOldState()
    {
        const QByteArray old = stampedImage(u"1.10.3"_s);
        QVERIFY(writeFile(target(), old));
        m_common->setIntervals({2000ms, 2000ms, 600ms});
        setCheckVersion(u"1105"_s);
        QByteArray whole = msg::retNewClient(m_newer);
        m_peer->newClientReply = {whole.first(whole.size() / 2)}; // the rest never comes
        QVERIFY(!m_common->StartUpdateCheck());
        QVERIFY(m_common->updateTimedOut());
        QVERIFY(m_starts.isEmpty());
        QVERIFY(readFile(target()) == old);
        QCOMPARE(QDir(DataFolder).entryList(QDir::Files), QStringList{exeName()});
        QVERIFY(!m_common->DataNotReady());
        QCOMPARE(m_common->UpdateSocket.state(), QAbstractSocket::UnconnectedState);
    }

    void wrongVersionIsNeitherKeptNorStarted()
    {
        setCheckVersion(u"1105"_s);
        serveNewClient(stampedImage(u"1.10.6"_s));
        QVERIFY(!m_common->StartUpdateCheck());
        QVERIFY(m_common->updateFailed());
        QVERIFY(m_starts.isEmpty());
        QVERIFY(!QFile::exists(target()));
        // Shown without waiting: the connect handler the check runs in goes on meanwhile.
        QCOMPARE(m_prompts.errorsNotWaited.size(), 1);
        QVERIFY(m_prompts.errors.first().contains(u"version 1.10.6 av programmet, men version 1.10.5 var begärd"));
        QVERIFY(QDir(DataFolder).entryList(QDir::Files).isEmpty());
    }

    void noDataFolder()
    {
        DataFolder.clear();
        setCheckVersion(u"1105"_s);
        serveNewClient(m_newer);
        QVERIFY(!m_common->StartUpdateCheck());
        QVERIFY(!m_peer->receivedTag(u"GETNEWCLIENT"));
        QVERIFY(m_starts.isEmpty());
        QCOMPARE(m_prompts.errors.size(), 1);
        QVERIFY(m_prompts.errors.first().startsWith(
            u"Det fanns en ny version tillgänglig. Den gick dock inte att spara ner i katalogen "));
    }

    void failedStartIsNoRestart()
    {
        m_starterSucceeds = false;
        setCheckVersion(u"1105"_s);
        serveNewClient(m_newer);
        QVERIFY(!m_common->StartUpdateCheck());
        QCOMPARE(m_starts.size(), 1);
        QCOMPARE(m_prompts.errorsNotWaited.size(), 1);
    }

    void runningCopyInTheDataFolderUpdatesItself()
    {
        // Started by an earlier update, the program is the copy in the data folder; the next
        // version is fetched over that very file and started.
        QVERIFY(writeFile(target(), m_newer));
        m_common->setProgramFile(target());
        m_common->setOwnProductVersion(u"1.10.5"_s);
        setCheckVersion(u"1106"_s);
        serveNewClient(stampedImage(u"1.10.6"_s));
        QVERIFY(m_common->StartUpdateCheck());
        QCOMPARE(m_starts.size(), 1);
        QCOMPARE(m_starts.first().program, target());
        TCEVersionInfo stored;
        QVERIFY(stored.GetInfo(target()));
        QCOMPARE(stored.ProductVersion, u"1.10.6"_s);
        QVERIFY(m_prompts.errors.isEmpty());
    }

    void normalCloseOfTheUpdateServerIsNoError()
    {
        m_peer->versionReply = toCodePage(msg::retServerVersion(u"1.10.5"_s));
        m_peer->closeAfterVersionReply = true;
        QVERIFY(!m_common->StartUpdateCheck());
        QTRY_COMPARE(m_common->UpdateSocket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(UpdateServerVersion, u"1.10.5"_s);
        QVERIFY2(m_prompts.balloons.isEmpty(), qPrintable(m_prompts.balloons.join(u'\n')));
    }

    void selfUpdateTurnedOff()
    {
        WriteSetting(keys::AllowSelfUpdate, u"0"_s);
        setCheckVersion(u"1105"_s);
        serveNewClient(m_newer);
        QVERIFY(!m_common->StartUpdateCheck());
        QCOMPARE(m_common->updateState(), 1);
        QVERIFY(!m_peer->receivedTag(u"GETNEWCLIENT"));
        QVERIFY(m_starts.isEmpty());
    }

    void unreachableUpdateServer()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        m_settings->values.insert(u"\\ServerSettings:UpdateServerPort"_s, QString::number(port));
        setCheckVersion(u"1105"_s);
        QVERIFY(!m_common->StartUpdateCheck());
        QCOMPARE(m_prompts.balloons, QStringList{u"Error in UpdateSocket: 10061"_s});
        QVERIFY(m_starts.isEmpty());
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
