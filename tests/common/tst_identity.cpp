#include "TestSupport.h"

#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestIdentity : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_registry;
    FakeSessionInfo m_session;
    RecordingPrompts m_prompts;

private Q_SLOTS:
    void init()
    {
        m_registry = std::make_unique<QTemporaryDir>();
        qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry->path()));
        resetRegistryHives();
        RegistryFolderKey = u"_work_zelk\\"_s;
        MainSocket = nullptr;
        m_session = FakeSessionInfo();
        m_prompts = RecordingPrompts();
        setRemoteSessionInfo(&m_session);
        setUserPrompts(&m_prompts);
    }

    void cleanup()
    {
        resetRegistryHives();
        setRemoteSessionInfo(nullptr);
        setUserPrompts(nullptr);
        setCommandLineArguments({});
    }

    void paramValue_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("expected");

        QTest::newRow("lower-case name") << QStringList{u"name=Reception"_s} << u"NAME"_s << true << u"RECEPTION"_s;
        QTest::newRow("upper-case name") << QStringList{u"NAME=Reception"_s} << u"NAME"_s << true << u"RECEPTION"_s;
        QTest::newRow("asked in lower case") << QStringList{u"RESTARTING=1"_s} << u"restarting"_s << true << u"1"_s;
        QTest::newRow("longer name does not match") << QStringList{u"NAMEX=1"_s} << u"NAME"_s << true << QString();
        QTest::newRow("nothing after =") << QStringList{u"NAME="_s} << u"NAME"_s << true << QString();
        QTest::newRow("first match wins") << QStringList{u"NAME=A"_s, u"NAME=B"_s} << u"NAME"_s << true << u"A"_s;
        QTest::newRow("quoted value trimmed") << QStringList{u"PLACE= Room 4 "_s} << u"PLACE"_s << true << u"ROOM 4"_s;
        QTest::newRow("server name in capitals") << QStringList{u"SERVERNAME=zelk.example"_s} << u"SERVERNAME"_s << true << u"ZELK.EXAMPLE"_s;
        QTest::newRow("Swedish letters") << QStringList{u"place=väntrum å"_s} << u"PLACE"_s << true << u"VÄNTRUM Å"_s;
        QTest::newRow("other parameters skipped") << QStringList{u"-x"_s, u"COLOR=255"_s, u"NAME=ws"_s} << u"NAME"_s << true << u"WS"_s;
        QTest::newRow("absent") << QStringList{u"COLOR=255"_s} << u"NAME"_s << true << QString();
        QTest::newRow("exact case, no match") << QStringList{u"name=Reception"_s} << u"NAME"_s << false << QString();
        QTest::newRow("exact case, as found") << QStringList{u"NAME= Reception "_s} << u"NAME"_s << false << u"Reception"_s;
    }

    void paramValue()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        QFETCH(bool, upper);
        QFETCH(QString, expected);
        setCommandLineArguments(arguments);
        QCOMPARE(GetParamValue(name, upper), expected);
    }

    void clientName_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("useDefault"); // null: not stored
        QTest::addColumn<QString>("manualName"); // null: not stored
        QTest::addColumn<QString>("expected");
        QTest::newRow("automatic, nothing stored") << false << QString() << QString() << u"WS12_Call"_s;
        QTest::newRow("automatic") << false << u"1"_s << u"Rum 3"_s << u"WS12_Call"_s;
        QTest::newRow("automatic in remote session") << true << u"1"_s << QString() << u"TC7_Call"_s;
        QTest::newRow("manual") << false << u"0"_s << u"Rum 3"_s << u"Rum 3"_s;
        QTest::newRow("manual without a name") << false << u"0"_s << QString() << QString();
        QTest::newRow("-1 is manual") << false << u"-1"_s << u"Rum 3"_s << u"Rum 3"_s;
    }

    void clientName()
    {
        QFETCH(bool, remote);
        QFETCH(QString, useDefault);
        QFETCH(QString, manualName);
        QFETCH(QString, expected);
        m_session.remote = remote;
        m_session.remoteDesktop = {u"TC7"_s, {}};
        if (!useDefault.isNull())
            WriteSetting(keys::ClientNameUseDefault, useDefault);
        if (!manualName.isNull())
            WriteSetting(keys::ClientName, manualName);
        QCOMPARE(GetClientName(), expected);
    }

    void clientNameIsNotCached()
    {
        QCOMPARE(GetClientName(), u"WS12_Call"_s);
        WriteSetting(keys::ClientNameUseDefault, u"0"_s);
        WriteSetting(keys::ClientName, u"Reception"_s);
        QCOMPARE(GetClientName(), u"Reception"_s);
        m_session.computer = u"WS13"_s;
        WriteSetting(keys::ClientNameUseDefault, u"1"_s);
        QCOMPARE(GetClientName(), u"WS13_Call"_s);
    }

    void machineName_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("desktopName");
        QTest::addColumn<QString>("desktopError");
        QTest::addColumn<QString>("terminalName");
        QTest::addColumn<QString>("terminalError");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message");
        QTest::newRow("local") << false << u"TC7"_s << QString() << u"TT"_s << QString() << u"WS12"_s << QString();
        QTest::newRow("remote desktop name") << true << u"TC7"_s << QString() << u"TT"_s << QString() << u"TC7"_s << QString();
        QTest::newRow("blank desktop name") << true << u"  "_s << QString() << u"TT"_s << QString() << u"TT"_s << QString();
        QTest::newRow("terminal query fails silently") << true << QString() << QString() << QString() << u"e2"_s << QString() << QString();
        QTest::newRow("desktop query fails") << true << QString() << u"e1"_s << u"TT"_s << QString() << u"TT"_s << QString();
        QTest::newRow("both fail") << true << QString() << u"e1"_s << QString() << u"e2"_s << QString()
                                   << u"Det gick inte att hämta datornamnet i fjärrsessionen!\r\rCitrix: e1\rTerminalServer: e2"_s;
    }

    void machineName()
    {
        QFETCH(bool, remote);
        QFETCH(QString, desktopName);
        QFETCH(QString, desktopError);
        QFETCH(QString, terminalName);
        QFETCH(QString, terminalError);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        m_session.remote = remote;
        m_session.remoteDesktop = {desktopName, desktopError};
        m_session.terminal = {terminalName, terminalError};
        QCOMPARE(IsRemoteSession(), remote);
        QCOMPARE(GetMachineName(), expected);
        QCOMPARE(m_prompts.errors, message.isEmpty() ? QStringList() : QStringList{message});
    }

    void platformMachineNameHasNoDomain()
    {
        setRemoteSessionInfo(nullptr);
        if (IsRemoteSession())
            QSKIP("the test runs in a remote session");
        const QString name = GetMachineName();
        QVERIFY(!name.isEmpty());
        QVERIFY(!name.contains(u'.'));
    }

    void wireSafeNames_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("reported"); // the device or computer name as reported
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain name") << true << u"TC7"_s << u"TC7"_s;
        QTest::newRow("IPv4 address") << true << u"10.1.2.3"_s << u"10.1.2.3"_s;
        QTest::newRow("IPv6 address") << true << u"2001:db8::5"_s << u"2001-db8--5.ipv6-literal.net"_s;
        QTest::newRow("IPv6 with zone") << true << u"fe80::1%eth0"_s << u"fe80--1seth0.ipv6-literal.net"_s;
        QTest::newRow("IPv4-mapped IPv6") << true << u"::ffff:10.0.0.7"_s << u"10.0.0.7"_s;
        QTest::newRow("separators in a name") << true << u"A:B~C\u00A4D\\E"_s << u"A-B-C-D-E"_s;
        QTest::newRow("local computer name") << false << u"WS:12"_s << u"WS-12"_s;
    }

    // Whatever the platform reports, the machine name and the client name built on it carry
    // none of the protocol's separators, and every field of a message stays in its place.
    void wireSafeNames()
    {
        QFETCH(bool, remote);
        QFETCH(QString, reported);
        QFETCH(QString, expected);
        m_session.remote = remote;
        m_session.computer = reported;
        m_session.remoteDesktop = {reported, {}};
        QCOMPARE(machineNameAsReported(), reported);
        QCOMPARE(GetMachineName(), expected);
        QCOMPARE(GetClientName(), expected + u"_Call"_s);
        const QString message = msg::getIniTextPerClient(GetMachineName(), u"ZELK"_s, u"SelectMode"_s);
        QCOMPARE(GetField(message, 1, u':'), expected + u"\\ZELK"_s);
        QCOMPARE(GetField(message, 2, u':'), u"SelectMode"_s);
        const QString calling = msg::calling(12, GetClientName());
        QCOMPARE(GetField(calling, 2, u':'), expected + u"_Call"_s);
    }

    void manualClientNameIsWireSafe()
    {
        WriteSetting(keys::ClientNameUseDefault, u"0"_s);
        WriteSetting(keys::ClientName, u"Rum:4"_s);
        QCOMPARE(GetClientName(), u"Rum-4"_s);
    }

    // The platform's own reading of a remote session reached over SSH from an IPv6 address.
    void ipv6RemoteSessionFromTheEnvironment()
    {
        setRemoteSessionInfo(nullptr);
        const QByteArray oldSsh = qgetenv("SSH_CONNECTION");
        const QByteArray oldClientName = qgetenv("CLIENTNAME");
        const QByteArray oldX2go = qgetenv("X2GO_CLIENT");
        qputenv("SSH_CONNECTION", "2001:db8:0:1::17 51234 2001:db8::1 22");
        qunsetenv("CLIENTNAME");
        qunsetenv("X2GO_CLIENT");
        QVERIFY(IsRemoteSession());
        QCOMPARE(machineNameAsReported(), u"2001:db8:0:1::17"_s);
        QCOMPARE(GetMachineName(), u"2001-db8-0-1--17.ipv6-literal.net"_s);
        QCOMPARE(GetClientName(), u"2001-db8-0-1--17.ipv6-literal.net_Call"_s);
        const auto restore = [](const char *name, const QByteArray &value) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        };
        restore("SSH_CONNECTION", oldSsh);
        restore("CLIENTNAME", oldClientName);
        restore("X2GO_CLIENT", oldX2go);
        setRemoteSessionInfo(&m_session);
    }

    void clientTypeAndData()
    {
        QCOMPARE(ClientType, TZELKClientType::ctCall);
        QCOMPARE(ClientData.Lopnr, 0);
    }

    void promptsFallbackAnswersNo()
    {
        setUserPrompts(nullptr);
        QCOMPARE(AskYesNo(u"Fortsätta?"_s), kAnswerNo);
        setUserPrompts(&m_prompts);
        m_prompts.answer = kAnswerYes;
        QCOMPARE(AskYesNo(u"Fortsätta?"_s), kAnswerYes);
        ShowError(u"rad 1\rrad 2"_s);
        QCOMPARE(m_prompts.questions, QStringList{u"Fortsätta?"_s});
        QCOMPARE(m_prompts.errors, QStringList{u"rad 1\rrad 2"_s});
    }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
