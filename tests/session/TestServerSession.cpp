#include "SessionDoubles.h"

#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"
#include "session/ServerSession.h"
#include "session/SessionState.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

// The signalling server as the test plays it: records what each connection sends.
class Peer final : public QObject
{
public:
    Peer()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connections.append(s);
                received.append(QByteArray());
                const qsizetype index = received.size() - 1;
                connect(s, &QTcpSocket::readyRead, this, [this, s, index] { received[index] += s->readAll(); });
            }
        });
    }
    void send(const QString &text) { connections.last()->write(toCodePage(text)); }
    void dropAll()
    {
        for (QTcpSocket *s : std::as_const(connections))
            s->abort();
    }
    quint16 port() const { return server.serverPort(); }

    QTcpServer server;
    QList<QTcpSocket *> connections;
    QList<QByteArray> received;
};

QByteArray bytes(const QString &text)
{
    return toCodePage(text);
}

} // namespace

class TestServerSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void isIPv4Address_data();
    void isIPv4Address();
    void startup_data();
    void startup();
    void versionCheck_data();
    void versionCheck();
    void lossAfterConnect_countsDownAndReconnects();
    void failureBeforeAnyConnect_asksAndDoesNotRetry();
    void noServerConfigured_asksForSettings();
    void periodicRefresh_sendsReconnect();
    void callListFromTheWire_rebuildsTheList();

private:
    void configure(quint16 port);
    std::unique_ptr<ServerSession> makeSession();

    QTemporaryDir m_registry;
    std::unique_ptr<test::RecordingPrompts> m_prompts;
    test::FakeAdminDialog m_dialog;
    std::unique_ptr<CallListModel> m_model;
    QStringList m_statuses;
};

void TestServerSession::initTestCase()
{
    QVERIFY(m_registry.isValid());
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry.path()));
    resetRegistryHives();
    setServerWaitInterval(std::chrono::milliseconds(50));
}

void TestServerSession::init()
{
    m_prompts.reset();
    m_prompts = std::make_unique<test::RecordingPrompts>();
    m_dialog = {};
    m_model = std::make_unique<CallListModel>(u"1.10.4"_s);
    m_statuses.clear();
    ReconnectAllowed = false;
    CheckUpdateOnConnect = false;
    ServerVersion.clear();
    ClientData = {};
    // Everything the session reads lies in the registry, so nothing is asked of the server.
    WriteSetting(keys::ClientNameUseDefault, u"1"_s);
    WriteSetting(keys::RefreshConnection, u"0"_s);
    WriteSetting(keys::RefreshConnectionTimer, u"1"_s);
}

void TestServerSession::cleanup()
{
    MainSocket = nullptr;
}

void TestServerSession::configure(quint16 port)
{
    WriteSetting(keys::ServerName, u"127.0.0.1"_s);
    WriteSetting(keys::ServerPort, QString::number(port));
}

std::unique_ptr<ServerSession> TestServerSession::makeSession()
{
    auto session = std::make_unique<ServerSession>(*m_model);
    session->setAdminDialog(&m_dialog);
    session->setTimeUnits(10, 100);
    session->setRandomSource([] { return 4321; }); // 7 seconds
    connect(session.get(), &ServerSession::statusTextChanged, this,
            [this](const QString &text) { m_statuses << text; });
    return session;
}

void TestServerSession::isIPv4Address_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("address");
    QTest::newRow("loopback") << u"127.0.0.1"_s << true;
    QTest::newRow("limits") << u"0.255.0.255"_s << true;
    QTest::newRow("256") << u"10.0.0.256"_s << false;
    QTest::newRow("three parts") << u"10.0.1"_s << false;
    QTest::newRow("empty part") << u"10..0.1"_s << false;
    QTest::newRow("host name") << u"signal.klinik.se"_s << false;
    QTest::newRow("sign") << u"10.0.0.+1"_s << false;
    QTest::newRow("ERROR") << u"ERROR"_s << false;
}

void TestServerSession::isIPv4Address()
{
    QFETCH(QString, text);
    QFETCH(bool, address);
    QCOMPARE(IsIPv4Address(text), address);
}

void TestServerSession::startup_data()
{
    QTest::addColumn<bool>("autoRegister");
    QTest::newRow("plain") << false;
    QTest::newRow("automatic registration") << true;
}

void TestServerSession::startup()
{
    QFETCH(bool, autoRegister);
    Peer peer;
    configure(peer.port());
    ClientData.Name = u"Mottagning"_s;
    ClientData.FriendlyName = u"Rum ö"_s;
    ClientData.Color = 255;
    auto session = makeSession();
    session->setAutoRegistration(autoRegister, u"5:0:9:1:"_s);
    session->startFirstConnection();

    QByteArray expected;
    if (autoRegister) {
        expected += bytes(msg::registerAutomatic(ClientData, TZELKClientType::ctCall));
        expected += bytes(msg::postCallablesFromCommandLine(GetClientName(), TZELKClientType::ctCall, u"5:0:9:1:"_s));
    }
    expected += bytes(msg::getServerVersion(GetClientName(), TZELKClientType::ctCall));
    QTRY_COMPARE(peer.received.value(0), expected);
    QVERIFY(ReconnectAllowed);
    QCOMPARE(MainSocket.data(), &session->socket());
    QCOMPARE(session->Label1Caption(), QString()); // unchanged until the version arrives

    peer.send(msg::retServerVersion(u"1.10.1"_s));
    expected += bytes(msg::getCallList(GetClientName(), TZELKClientType::ctCall));
    QTRY_COMPARE(peer.received.value(0), expected);
    QCOMPARE(session->Label1Caption(), u"Ansluten"_s);
    QCOMPARE(ServerVersion, u"1.10.1"_s);
}

void TestServerSession::versionCheck_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1.10.1") << u"1.10.1"_s << true;
    QTest::newRow("1.10.12") << u"1.10.12"_s << true;
    QTest::newRow("1.10.0") << u"1.10.0"_s << false;
    QTest::newRow("no digits") << u"okänd"_s << false;
}

void TestServerSession::versionCheck()
{
    QFETCH(QString, version);
    QFETCH(bool, accepted);
    Peer peer;
    configure(peer.port());
    auto session = makeSession();
    session->startFirstConnection();
    QTRY_VERIFY(!peer.received.value(0).isEmpty());
    m_dialog.visible = true;
    peer.send(msg::retServerVersion(version) + test::callListMessage(2));

    if (accepted) {
        QTRY_COMPARE(session->Label1Caption(), u"Ansluten"_s);
        QTRY_COMPARE(m_model->items().size(), 2);
        QCOMPARE(m_dialog.calls.first(), u"refreshActivePage"_s);
        return;
    }
    const QString refused = u"Fel serverversion "_s + version + u" INTE ansluten"_s;
    QTRY_COMPARE(session->Label1Caption(), refused);
    QCOMPARE(m_prompts->errors, QStringList{u"Fel serverversion!\n\nZELK-Servern har version "_s + version
                                            + u"\nMinst version 1.10.1 krävs!"_s});
    QVERIFY(m_model->items().isEmpty()); // the rest of the block was dropped
    // Far more than the longest countdown (17 "seconds" of 10 ms): no new connection.
    QTest::qWait(400);
    QCOMPARE(peer.connections.size(), 1);
    QCOMPARE(session->Label1Caption(), refused);
}

void TestServerSession::lossAfterConnect_countsDownAndReconnects()
{
    Peer peer;
    configure(peer.port());
    auto session = makeSession();
    session->startFirstConnection();
    QTRY_VERIFY(!peer.received.value(0).isEmpty());
    peer.send(msg::retServerVersion(u"1.10.4"_s));
    QTRY_COMPARE(session->Label1Caption(), u"Ansluten"_s);

    peer.dropAll();
    QTRY_COMPARE(peer.connections.size(), 2);
    QTRY_VERIFY(peer.received.value(1).endsWith(bytes(msg::getServerVersion(GetClientName(), TZELKClientType::ctCall))));
    QVERIFY(m_prompts->questions.isEmpty());

    QStringList countdown;
    for (int n = 7; n >= 0; --n)
        countdown << u"Ej ansluten - nästa försök om %1 sekunder"_s.arg(n);
    // The loss arrives as an error and a disconnect; each arms the countdown afresh.
    QStringList shown;
    for (const QString &status : std::as_const(m_statuses)) {
        if (shown.isEmpty() || shown.last() != status)
            shown << status;
    }
    const qsizetype first = shown.indexOf(countdown.first());
    QVERIFY(first >= 0);
    QCOMPARE(shown.mid(first, countdown.size()), countdown);
}

void TestServerSession::failureBeforeAnyConnect_asksAndDoesNotRetry()
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    configure(closedPort);
    m_prompts->answer = kAnswerYes;
    auto session = makeSession();
    session->startFirstConnection();
    QTRY_COMPARE(m_prompts->questions.size(), 1);
    const QString question = m_prompts->questions.first();
    QVERIFY2(question.startsWith(u"Det gick inte att ansluta till 127.0.0.1 på port %1!\n\nFelkoden är: 10061"_s.arg(closedPort)),
             qPrintable(question));
    QVERIFY(question.endsWith(u"\n\nRedigera serverinställningarna?"));
    QCOMPARE(m_dialog.calls, QStringList{u"openServerSettings"_s});
    QTest::qWait(400);
    QCOMPARE(m_prompts->questions.size(), 1);
}

void TestServerSession::noServerConfigured_asksForSettings()
{
    QFile::remove(registryHiveFile(RegistryRoot::CurrentUser));
    QFile::remove(registryHiveFile(RegistryRoot::LocalMachine));
    resetRegistryHives();
    auto session = makeSession();
    session->startFirstConnection();
    QCOMPARE(m_prompts->errors, QStringList{u"Gå till Systemregistret och ställ in servernamn och serverport."_s});
    QCOMPARE(m_dialog.calls, QStringList{u"openServerSettings"_s});
    QCOMPARE(session->socket().state(), QAbstractSocket::UnconnectedState);
}

void TestServerSession::periodicRefresh_sendsReconnect()
{
    Peer peer;
    configure(peer.port());
    WriteSetting(keys::RefreshConnection, u"-1"_s);
    WriteSetting(keys::RefreshConnectionTimer, u"2"_s);
    auto session = makeSession();
    session->startFirstConnection();
    QTRY_VERIFY(!peer.received.value(0).isEmpty());
    peer.send(msg::retServerVersion(u"1.10.4"_s));
    // Two "minutes" of 100 ms later the connection is renewed with RECONNECT.
    QTRY_COMPARE(peer.connections.size(), 2);
    QTRY_COMPARE(peer.received.value(1), bytes(msg::reconnect(GetClientName(), TZELKClientType::ctCall)));
    QTRY_COMPARE(session->Label1Caption(), u"Ansluten"_s);
    // And again: the renewal rearms itself.
    QTRY_COMPARE(peer.connections.size(), 3);
}

void TestServerSession::callListFromTheWire_rebuildsTheList()
{
    Peer peer;
    configure(peer.port());
    auto session = makeSession();
    QSignalSpy rebuilt(&session->dispatcher(), &IncomingDispatcher::callListRebuilt);
    session->startFirstConnection();
    QTRY_VERIFY(!peer.received.value(0).isEmpty());
    const QByteArray list = bytes(msg::envelope(msg::retServerVersion(u"1.10.4"_s) + test::callListMessage(3)));
    // In three pieces, the first ending inside the envelope's start marker.
    peer.connections.last()->write(list.left(5));
    peer.connections.last()->flush();
    QTest::qWait(20);
    peer.connections.last()->write(list.mid(5, 40));
    peer.connections.last()->flush();
    QTest::qWait(20);
    peer.connections.last()->write(list.mid(45));
    QTRY_COMPARE(m_model->items().size(), 3);
    QCOMPARE(rebuilt.count(), 1);
    QCOMPARE(m_model->items()[2].CallNamn, u"Namn 2"_s);
}

QTEST_GUILESS_MAIN(TestServerSession)
#include "TestServerSession.moc"
