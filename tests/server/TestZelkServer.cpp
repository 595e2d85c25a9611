#include "WireClient.h"

#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"
#include "server/ControlChannel.h"
#include "server/MessageDecoder.h"
#include "server/ServerSetup.h"
#include "server/ZelkServer.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace zelk;
using namespace zelk::server;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(9, 41, 7));
const QByteArray kVersionEnd = "\xA4" "RETSERVERVERSION:1.10.5:RETSERVERVERSION\xA4";
const QByteArray kListEnd = "~RETCALLLIST\xA4#DATAEND#";

QByteArray getVersion(const QString &client = u"KASSA1_Call"_s)
{
    return cp(msg::getServerVersion(client, TZELKClientType::ctCall));
}

QByteArray getCallList(const QString &client = u"KASSA1_Call"_s)
{
    return cp(msg::getCallList(client, TZELKClientType::ctCall));
}

// The records of the one RETCALLLIST in `bytes`.
QList<msg::CallListRecord> records(const QByteArray &bytes)
{
    const QString text = fromCodePage(bytes);
    const auto cut = cutMessage(text, u"¤RETCALLLIST~", u"~RETCALLLIST¤");
    if (!cut)
        return {};
    return parseCallList(cut->message, kNow);
}

QList<qint32> numbers(const QList<msg::CallListRecord> &list)
{
    QList<qint32> out;
    for (const auto &r : list)
        out.append(r.CallLOPNR);
    return out;
}

QList<qint32> calledNumbers(const QList<msg::CallListRecord> &list)
{
    QList<qint32> out;
    for (const auto &r : list) {
        if (r.IsCalled)
            out.append(r.CallLOPNR);
    }
    return out;
}

} // namespace

class TestZelkServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void decoder_sameFramesWhateverTheReads_data();
    void decoder_sameFramesWhateverTheReads();
    void conversation_asTheClientHasIt();
    void splitOverThreeReads_answeredOnce();
    void severalMessagesInOneRead_answeredInOrder();
    void twoClients_seeEachOthersCalls();
    void badInput_errorReplyAndServerGoesOn_data();
    void badInput_errorReplyAndServerGoesOn();
    void unknownClient_error001UntilRegistered();
    void oversizedInput_disconnects_data();
    void oversizedInput_disconnects();
    void update_servesExecutableInEnvelope();
    void update_refusesPathsAndMissingFiles_data();
    void update_refusesPathsAndMissingFiles();
    void state_writtenBeforeAcknowledged();
    void control_callComingCancelSendVersionDrop();
    void json_seedsResourcesClientsAndColours();
    void json_badDocumentsAreRefused_data();
    void json_badDocumentsAreRefused();
    void identifying_registeredClientGetsItsData();
    void reconnect_reassociatesAndAnswersNothing();
    void unsavedChange_isRefusedAndUndone();
    void registration_refusesBadNames_data();
    void registration_refusesBadNames();
    void idleLimit_closesOnlyUnfinishedOrAnonymous();
    void inputCap_allowsLongListsRefusesMore();

private:
    void restart(ServerState state);
    std::unique_ptr<WireClient> client(const QString &name = u"KASSA1_Call"_s);

    std::unique_ptr<ZelkServer> m_server;
};

void TestZelkServer::restart(ServerState state)
{
    m_server = std::make_unique<ZelkServer>(std::move(state));
    m_server->setLogging(false);
    m_server->setNewClientPause(20);
    m_server->core().setClock([] { return kNow; });
    QString error;
    QVERIFY2(m_server->listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
}

void TestZelkServer::init()
{
    restart(ServerState::demo());
}

void TestZelkServer::cleanup()
{
    m_server.reset();
}

// Connects and, when a name is given, takes the client's call list so that it gets pushes.
std::unique_ptr<WireClient> TestZelkServer::client(const QString &name)
{
    auto c = std::make_unique<WireClient>();
    if (!c->connectTo(m_server->port()))
        return nullptr;
    if (!name.isEmpty()) {
        c->send(getCallList(name));
        if (c->takeUntil(kListEnd).isEmpty())
            return nullptr;
    }
    return c;
}

void TestZelkServer::decoder_sameFramesWhateverTheReads_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("expected"); // "TAG|body" or "!" for an error frame

    QTest::newRow("three messages") << QByteArray("\xA4GETSERVERVERSION:a:0:GETSERVERVERSION\xA4\r\n"
                                                  "\xA4" "CALLING:5:a:CALLING\xA4"
                                                  "\xA4" "GETINITEXT:\\ZELK:Key:GETINITEXT\xA4")
                                    << QByteArrayList{"GETSERVERVERSION|a:0", "CALLING|5:a",
                                                      "GETINITEXT|\\ZELK:Key"};
    QTest::newRow("closing without separator")
        << QByteArray("\xA4REGISTERUPATEMACHINE:a:0:Rum 4:255:::REGISTERUPATEMACHINE\xA4"
                      "\xA4POSTCALLABLESLIST:a:0:3:0:1:1:POSTCALLABLESLIST\xA4")
        << QByteArrayList{"REGISTERUPATEMACHINE|a:0:Rum 4:255::", "POSTCALLABLESLIST|a:0:3:0:1:1"};
    QTest::newRow("empty body") << QByteArray("\xA4RETCALLLIST~~RETCALLLIST\xA4")
                                << QByteArrayList{"RETCALLLIST|"};
    QTest::newRow("missing closing keeps the next message")
        << QByteArray("\xA4" "CALLING:5:a\xA4GETSERVERVERSION:a:0:GETSERVERVERSION\xA4")
        << QByteArrayList{"!", "GETSERVERVERSION|a:0"};
    QTest::newRow("wrong closing, garbage, good")
        << QByteArray("\xA4" "CALLING:5:a:CALLNG\xA4junk\xA4" "CALLING:6:a:CALLING\xA4")
        << QByteArrayList{"!", "!", "CALLING|6:a"};
}

void TestZelkServer::decoder_sameFramesWhateverTheReads()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArrayList, expected);

    const auto describe = [](const Frame &f) {
        return f.kind == Frame::Message ? f.tag + '|' + f.body : QByteArray("!");
    };
    // One read, then one byte a read: the frames must be the same once the input rests.
    for (const qsizetype chunk : {stream.size(), qsizetype(1)}) {
        MessageDecoder decoder;
        QByteArrayList got;
        for (qsizetype i = 0; i < stream.size(); i += chunk) {
            decoder.append(QByteArrayView(stream).sliced(i, std::min(chunk, stream.size() - i)));
            while (const auto f = decoder.next())
                got.append(describe(*f));
        }
        while (const auto f = decoder.next(MessageDecoder::AtRest))
            got.append(describe(*f));
        QCOMPARE(got, expected);
        QCOMPARE(decoder.pending(), 0);
    }
}

void TestZelkServer::conversation_asTheClientHasIt()
{
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));

    // Version: the exact bytes.
    c.send(QByteArray("\xA4GETSERVERVERSION:KASSA1_Call:0:GETSERVERVERSION\xA4"));
    QCOMPARE(c.takeUntil(kVersionEnd), kVersionEnd);

    // Call list in the envelope, Swedish letters as single bytes, after the client data of the
    // registration that asking for it made.
    c.send(QByteArray("\xA4GETCALLLIST:KASSA1_Call:0:GETCALLLIST\xA4"));
    QByteArray list = c.takeUntil(kListEnd);
    const QByteArray autoData = "\xA4ZELKCLIENTDATA:KASSA1_Call:KASSA1_Call:0:ZELKCLIENTDATA\xA4";
    QVERIFY(list.startsWith(autoData));
    list.remove(0, autoData.size());
    QVERIFY(list.startsWith("#DATASTART#\xA4RETCALLLIST~\xC5sa~1~\xC5sa \xD6" "berg, sjuksk\xF6terska~"));
    QList<msg::CallListRecord> recs = records(list);
    QCOMPARE(numbers(recs), (QList<qint32>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    QCOMPARE(recs[2].CallNamn, u"Märta"_s);
    QVERIFY(!recs[0].IsAvbryt);
    QVERIFY(recs[8].IsAvbryt);
    QVERIFY(calledNumbers(recs).isEmpty());

    // A call: the caller's list comes back with the resource called at the server's time.
    c.send(QByteArray("\xA4" "CALLING:1:KASSA1_Call:CALLING\xA4"));
    recs = records(c.takeUntil(kListEnd));
    QCOMPARE(calledNumbers(recs), QList<qint32>{1});
    QCOMPARE(recs[0].CallTime, kNow);
    QCOMPARE(recs[0].ComingLopnr, 0);

    // Registration from the dialog.
    c.send(cp(msg::registerFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, u"Kassa vänster"_s, 255, 0)));
    const QByteArray data = "\xA4ZELKCLIENTDATA:KASSA1_Call:Kassa v\xE4nster:255:ZELKCLIENTDATA\xA4";
    QCOMPARE(c.takeUntil(data), data);

    // A new list of resources: stored in position order and pushed at once.
    c.send(QByteArray("\xA4POSTCALLABLESLIST:KASSA1_Call:0:1:1:3:0:10:2:POSTCALLABLESLIST\xA4"));
    recs = records(c.takeUntil(kListEnd));
    QCOMPARE(numbers(recs), (QList<qint32>{3, 1, 10}));
    QCOMPARE(calledNumbers(recs), QList<qint32>{1});
    QVERIFY2(recs[2].IsAvbryt, "an inactive resource cannot be called");

    // All resources, the inactive one marked "F", inside the envelope as every long list.
    c.send(cp(msg::getAllCallables(u"KASSA1_Call"_s)));
    const QByteArray all = c.takeUntil(":RETALLCALLABLES\xA4#DATAEND#");
    QVERIFY(all.startsWith("#DATASTART#\xA4RETALLCALLABLES:"));
    QVERIFY(all.contains(":10:M\xE5ns:M\xE5ns Ekstr\xF6m, kurator (ledig):"));
    const QString allText = fromCodePage(all);
    const auto cut = cutMessage(allText, u"¤RETALLCALLABLES:", u":RETALLCALLABLES¤");
    QVERIFY(cut);
    const QList<msg::CallableEntry> entries = parseAllCallables(cut->message);
    QCOMPARE(entries.size(), 10);
    QCOMPARE(entries[9].text, u"Måns Ekström, kurator (ledig) - (inaktiv)"_s);
    QCOMPARE(entries[0].text, u"Åsa Öberg, sjuksköterska"_s);

    c.send(cp(msg::getStationCallables(u"KASSA1_Call"_s)));
    const QByteArray station = "#DATASTART#\xA4RETSTATIONCALLABLES:3:0:1:1:10:2:RETSTATIONCALLABLES\xA4#DATAEND#";
    QCOMPARE(c.takeUntil(station), station);

    // Settings: per machine and shared, written and read back; unknown ones empty.
    c.send(cp(msg::setIniTextPerClient(u"KASSA1"_s, u"ZELK"_s, u"SelectMode"_s, u"2"_s)));
    c.send(cp(msg::setIniTextShared(u"ZELK"_s, u"SelectMode"_s, u"1"_s)));
    c.send(cp(msg::setIniTextShared(u"Text2Speech"_s, u"VoiceSAPI5.1"_s, u"Röst: svensk"_s)));
    const struct
    {
        QString request;
        QByteArray answer;
    } reads[] = {
        {msg::getIniTextPerClient(u"KASSA1"_s, u"ZELK"_s, u"SelectMode"_s), "2"},
        {msg::getIniTextPerClient(u"kassa1"_s, u"zelk"_s, u"selectmode"_s), "2"},
        {msg::getIniTextShared(u"ZELK"_s, u"SelectMode"_s), "1"},
        {msg::getIniTextPerClient(u"KASSA2"_s, u"ZELK"_s, u"SelectMode"_s), ""},
        {msg::getIniTextShared(u"ZELK"_s, u"Nothing"_s), ""},
        {msg::getIniTextShared(u"Text2Speech"_s, u"VoiceSAPI5.1"_s), "R\xF6st: svensk"},
    };
    for (const auto &r : reads) {
        c.send(cp(r.request));
        const QByteArray expected = "\xA4RETINITEXT:" + r.answer + ":RETINITEXT\xA4";
        QCOMPARE(c.takeUntil(":RETINITEXT\xA4"), expected);
    }
    QCOMPARE(c.drain(50), QByteArray());
}

void TestZelkServer::splitOverThreeReads_answeredOnce()
{
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    const QByteArray message = getVersion();
    const QByteArrayList parts = {message.left(5), message.mid(5, 30), message.mid(35)};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        c.send(parts[i]);
        if (i + 1 < parts.size())
            QCOMPARE(c.drain(100), QByteArray());
    }
    QCOMPARE(c.takeUntil(kVersionEnd), kVersionEnd);
    QCOMPARE(c.drain(100), QByteArray());
}

void TestZelkServer::severalMessagesInOneRead_answeredInOrder()
{
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(getVersion() + cp(msg::getIniTextShared(u"ZELK"_s, u"X"_s)) + getVersion());
    const QByteArray expected = kVersionEnd + "\xA4RETINITEXT::RETINITEXT\xA4" + kVersionEnd;
    QCOMPARE(c.takeUntil(expected), expected);
}

void TestZelkServer::twoClients_seeEachOthersCalls()
{
    auto a = client(u"KASSA1_Call"_s);
    auto b = client(u"RUM4_Call"_s);
    auto other = client(u"LAB_Call"_s);
    QVERIFY(a && b && other);
    other->send(cp(msg::postCallablesFromDialog(u"LAB_Call"_s, TZELKClientType::ctCall, {5})));
    QCOMPARE(numbers(records(other->takeUntil(kListEnd))), QList<qint32>{5});

    a->send(cp(msg::calling(2, u"KASSA1_Call"_s)));
    QCOMPARE(calledNumbers(records(a->takeUntil(kListEnd))), QList<qint32>{2});
    QCOMPARE(calledNumbers(records(b->takeUntil(kListEnd))), QList<qint32>{2});

    // The other one answers the call (confirms it): both see it cleared.
    b->send(cp(msg::calling(2, u"RUM4_Call"_s)));
    QCOMPARE(calledNumbers(records(b->takeUntil(kListEnd))), QList<qint32>{});
    QCOMPARE(calledNumbers(records(a->takeUntil(kListEnd))), QList<qint32>{});

    QCOMPARE(other->drain(100), QByteArray());
    QCOMPARE(a->drain(0), QByteArray());
}

void TestZelkServer::badInput_errorReplyAndServerGoesOn_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("text outside a message") << QByteArray("hello\r\n") << QByteArray("ERROR: 003");
    QTest::newRow("unknown tag") << QByteArray("\xA4" "FOO:bar:FOO\xA4") << QByteArray("ERROR: 002 Ok\xE4nt meddelande FOO");
    QTest::newRow("lower-case tag")
        << QByteArray("\xA4getserverversion:a:0:getserverversion\xA4") << QByteArray("ERROR: 003");
    QTest::newRow("wrong closing tag") << QByteArray("\xA4" "CALLING:1:KASSA1_Call:CALLNG\xA4")
                                       << QByteArray("ERROR: 003");
    QTest::newRow("closing tag missing") << QByteArray("\xA4" "CALLING:1:KASSA1_Call") << QByteArray("ERROR: 003");
    QTest::newRow("unknown resource") << QByteArray("\xA4" "CALLING:999:KASSA1_Call:CALLING\xA4")
                                      << QByteArray("ERROR: 004");
    QTest::newRow("resource not a number") << QByteArray("\xA4" "CALLING:abc:KASSA1_Call:CALLING\xA4")
                                           << QByteArray("ERROR: 004");
    QTest::newRow("not callable from here") << QByteArray("\xA4" "CALLING:9:KASSA1_Call:CALLING\xA4")
                                            << QByteArray("ERROR: 005 V\xE4ntrum");
    QTest::newRow("inactive resource") << QByteArray("\xA4" "CALLING:10:KASSA1_Call:CALLING\xA4")
                                       << QByteArray("ERROR: 005");
    QTest::newRow("registration without name")
        << QByteArray("\xA4REGISTERUPATEMACHINE::0:Rum:0:::REGISTERUPATEMACHINE\xA4") << QByteArray("ERROR: 007");
    QTest::newRow("setting without key") << QByteArray("\xA4SETINITEXT:ZELK:SETINITEXT\xA4")
                                         << QByteArray("ERROR: 003");
    QTest::newRow("no update folder") << QByteArray("\xA4GETNEWCLIENT:ZELK_WCallClient:a:0:GETNEWCLIENT\xA4")
                                      << QByteArray("ERROR: 006");
}

void TestZelkServer::badInput_errorReplyAndServerGoesOn()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, error);

    auto c = client(u"KASSA1_Call"_s);
    QVERIFY(c);
    c->send(input);
    c->send(getVersion()); // also ends a message whose closing tag is missing
    const QByteArray answer = c->takeUntil(kVersionEnd);
    QVERIFY2(answer.startsWith(error), answer.constData());
    QVERIFY2(!answer.contains("RETCALLLIST"), "a refused call changes nothing");
    QCOMPARE(answer.count("ERROR:"), 1);
    QVERIFY(calledNumbers(records(m_server->core().callListMessage(*m_server->core().state().client(u"KASSA1_Call"_s)))).isEmpty());
}

void TestZelkServer::unknownClient_error001UntilRegistered()
{
    ServerState state = ServerState::demo();
    state.autoAssign = false;
    restart(std::move(state));
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(getCallList(u"NY_Call"_s));
    QCOMPARE(c.drain(150), QByteArray("ERROR: 001"));
    c.send(cp(msg::calling(1, u"NY_Call"_s)));
    QCOMPARE(c.drain(150), QByteArray("ERROR: 001"));

    // The automatic registration at connect: registration, list from the command line, version.
    TZELKClientData data{0, u"NY_Call"_s, u"Rum 4"_s, 0x00FF00};
    c.send(cp(msg::registerAutomatic(data, TZELKClientType::ctCall))
           + cp(msg::postCallablesFromCommandLine(u"NY_Call"_s, TZELKClientType::ctCall, u"4:0:2:1:"_s))
           + getVersion(u"NY_Call"_s));
    QVERIFY(!c.takeUntil("\xA4ZELKCLIENTDATA:NY_Call:Rum 4:65280:ZELKCLIENTDATA\xA4").isEmpty());
    QCOMPARE(numbers(records(c.takeUntil(kListEnd))), (QList<qint32>{4, 2}));
    QVERIFY(!c.takeUntil(kVersionEnd).isEmpty());
    c.send(getCallList(u"NY_Call"_s));
    QCOMPARE(numbers(records(c.takeUntil(kListEnd))), (QList<qint32>{4, 2}));

    // A registered client without resources gets an empty list, not an error.
    c.send(cp(msg::registerFromDialog(u"TOM_Call"_s, TZELKClientType::ctCall, u"Tom"_s, 0, 0)));
    QVERIFY(!c.takeUntil(":ZELKCLIENTDATA\xA4").isEmpty());
    c.send(getCallList(u"TOM_Call"_s));
    QCOMPARE(c.takeUntil(kListEnd), QByteArray("\xA4ZELKCLIENTDATA:TOM_Call:Tom:0:ZELKCLIENTDATA\xA4"
                                                "#DATASTART#\xA4RETCALLLIST~~RETCALLLIST\xA4#DATAEND#"));
}

void TestZelkServer::oversizedInput_disconnects_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::newRow("open message") << QByteArray("\xA4" "CALLING:");
    QTest::newRow("no message at all") << QByteArray("x");
}

void TestZelkServer::oversizedInput_disconnects()
{
    QFETCH(QByteArray, head);
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(head);
    const QByteArray block(64 * 1024, 'x');
    for (int i = 0; i < 17 && c.socket().state() == QAbstractSocket::ConnectedState; ++i)
        c.send(block);
    QVERIFY(c.waitForDisconnect());

    // The server itself is fine.
    WireClient d;
    QVERIFY(d.connectTo(m_server->port()));
    d.send(getVersion());
    QCOMPARE(d.takeUntil(kVersionEnd), kVersionEnd);
}

void TestZelkServer::update_servesExecutableInEnvelope()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray executable;
    for (int i = 0; i < 256; ++i)
        executable.append(char(i));
    QRandomGenerator random(4711);
    while (executable.size() < 300 * 1024)
        executable.append(char(random.bounded(256)));
    QFile file(dir.filePath(u"ZELK_WCallClient"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(executable);
    file.close();

    ServerState state = ServerState::demo();
    QCOMPARE(publishUpdateVersion(state, dir.path(), u"1.10.5"_s), QStringList{u"ZELK_WCallClient"_s});
    restart(std::move(state));
    m_server->core().setUpdateDir(dir.path());

    // The wanted version, as the client reads it from the shared settings.
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(cp(msg::getIniTextShared(u"CHECKVERSION"_s, u"ZELK_WCallClient"_s)));
    QCOMPARE(c.takeUntil(":RETINITEXT\xA4"), QByteArray("\xA4RETINITEXT:1105:RETINITEXT\xA4"));

    // The update connection: version first, then the file's bytes unchanged in the envelope.
    WireClient u;
    QVERIFY(u.connectTo(m_server->port()));
    u.send(getVersion() + cp(msg::getNewClient(u"ZELK_WCallClient"_s, u"KASSA1_Call"_s, TZELKClientType::ctCall)));
    QCOMPARE(u.takeUntil(kVersionEnd), kVersionEnd);
    const QByteArray reply = u.takeUntil(":RETNEWCLIENT\xA4#DATAEND#", 10000);
    const QByteArray head = "#DATASTART#\xA4RETNEWCLIENT:";
    QVERIFY(reply.startsWith(head));
    QCOMPARE(reply.mid(head.size(), reply.size() - head.size() - 23), executable);
    QCOMPARE(u.drain(50), QByteArray());

    // The update connection is not a calling client: calls are not pushed into the download.
    c.send(cp(msg::calling(1, u"KASSA1_Call"_s)));
    QVERIFY(u.drain(100).isEmpty());
}

void TestZelkServer::update_refusesPathsAndMissingFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing") << u"Annan.exe"_s;
    QTest::newRow("parent folder") << u"../secret"_s;
    QTest::newRow("absolute path") << u"/etc/hostname"_s;
    QTest::newRow("backslash path") << u"..\\secret"_s;
    QTest::newRow("folder itself") << u"."_s;
}

void TestZelkServer::update_refusesPathsAndMissingFiles()
{
    QFETCH(QString, fileName);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(u"updates"_s));
    QFile secret(dir.filePath(u"secret"_s));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("not for clients");
    secret.close();
    m_server->core().setUpdateDir(dir.filePath(u"updates"_s));

    WireClient u;
    QVERIFY(u.connectTo(m_server->port()));
    u.send(cp(msg::getNewClient(fileName, u"KASSA1_Call"_s, TZELKClientType::ctCall)));
    const QByteArray answer = u.drain(300);
    QVERIFY2(answer.startsWith("ERROR: 006"), answer.constData());
    QVERIFY(!answer.contains("not for clients"));
}

void TestZelkServer::state_writtenBeforeAcknowledged()
{
    QTemporaryDir dir;
    const QString stateFile = dir.filePath(u"state.json"_s);
    m_server->setStateFile(stateFile);

    auto c = client(u"KASSA1_Call"_s);
    QVERIFY(c);
    c->send(cp(msg::calling(3, u"KASSA1_Call"_s)));
    QVERIFY(!c->takeUntil(kListEnd).isEmpty());
    c->send(cp(msg::registerFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, u"Entré"_s, 42, 0)));
    QVERIFY(!c->takeUntil(":ZELKCLIENTDATA\xA4").isEmpty());
    c->send(cp(msg::setIniTextPerClient(u"KASSA1"_s, u"ZELK"_s, u"FrameRate"_s, u"7"_s)));
    c->send(cp(msg::getIniTextShared(u"ZELK"_s, u"FrameRate"_s)));
    QVERIFY(!c->takeUntil(":RETINITEXT\xA4").isEmpty());

    // Whatever was answered is in the file already (the server could be killed now).
    QString error;
    std::optional<ServerState> saved = loadInitialState(QString(), stateFile, &error);
    QVERIFY2(saved, qPrintable(error));
    QCOMPARE(saved->calls.keys(), QList<qint32>{3});
    QCOMPARE(saved->calls[3].callTime, kNow);
    QCOMPARE(saved->client(u"kassa1_call"_s)->place, u"Entré"_s);
    QCOMPARE(saved->client(u"KASSA1_Call"_s)->color, 42);
    QCOMPARE(saved->setting(u"KASSA1"_s, u"ZELK"_s, u"FrameRate"_s), u"7"_s);
    QCOMPARE(saved->client(u"KASSA1_Call"_s)->resources.size(), 9);
    QVERIFY(!saved->client(u"KASSA1_Call"_s)->resources[8].callable);

    // A restarted server answers from it.
    restart(std::move(*saved));
    auto again = std::make_unique<WireClient>();
    QVERIFY(again->connectTo(m_server->port()));
    again->send(getCallList());
    QCOMPARE(calledNumbers(records(again->takeUntil(kListEnd))), QList<qint32>{3});
}

void TestZelkServer::control_callComingCancelSendVersionDrop()
{
    ControlChannel control(m_server.get());
    auto c = client(u"KASSA1_Call"_s);
    QVERIFY(c);

    QCOMPARE(control.execute(u"call 4"_s), u"ok"_s);
    QCOMPARE(calledNumbers(records(c->takeUntil(kListEnd))), QList<qint32>{4});
    QVERIFY(control.execute(u"call 4"_s).startsWith(u"error:"));

    QCOMPARE(control.execute(u"coming 4 10:15 Doktor Ek"_s), u"ok"_s);
    QList<msg::CallListRecord> recs = records(c->takeUntil(kListEnd));
    QCOMPARE(recs[3].ComingName, u"Doktor Ek"_s);
    QCOMPARE(recs[3].ComingTime, QDateTime(kNow.date(), QTime(10, 15)));
    QVERIFY(recs[3].ComingLopnr != 0);

    QCOMPARE(control.execute(u"cancel 4"_s), u"ok"_s);
    recs = records(c->takeUntil(kListEnd));
    QVERIFY(calledNumbers(recs).isEmpty());
    QCOMPARE(recs[3].ComingName, QString());
    QVERIFY(control.execute(u"coming 5 Ek"_s).startsWith(u"error:"));
    QVERIFY(control.execute(u"call 99"_s).startsWith(u"error:"));
    QVERIFY(control.execute(u"jump"_s).startsWith(u"error:"));

    QCOMPARE(control.execute(u"send kassa1_call ERROR: 005 Test\\r\\n\\xA4"_s), u"ok 1 connection(s)"_s);
    QCOMPARE(c->takeUntil("\xA4"), QByteArray("ERROR: 005 Test\r\n\xA4"));

    QCOMPARE(control.execute(u"version 1.10.0"_s), u"ok"_s);
    c->send(getVersion());
    QCOMPARE(c->takeUntil(":RETSERVERVERSION\xA4"), QByteArray("\xA4RETSERVERVERSION:1.10.0:RETSERVERVERSION\xA4"));

    QVERIFY(control.execute(u"status"_s).contains(u"connection #"));
    QCOMPARE(control.execute(u"drop"_s), u"ok"_s);
    QVERIFY(c->waitForDisconnect());
}

void TestZelkServer::json_seedsResourcesClientsAndColours()
{
    const QByteArray json = R"({
        "version": "1.10.7",
        "resources": [
            {"number": 12, "shortName": "Övre", "fullName": "Övre salen", "color": "#FF8000"},
            {"number": 5, "shortName": "Nedre", "color": 255, "active": false}
        ],
        "clients": [
            {"name": "RECEPTION_Call", "place": "Reception", "resources": [12, {"number": 5, "callable": false}]}
        ],
        "calls": [{"resource": 12, "callTime": "2024-03-05T08:00:00", "comingName": "Åke"}],
        "settings": [{"machine": "", "section": "ZELK", "key": "SelectMode", "value": "2"}]
    })";
    ServerState state;
    QString error;
    QVERIFY2(state.loadJson(json, &error), qPrintable(error));
    QCOMPARE(state.version, u"1.10.7"_s);
    QCOMPARE(state.resources[12].color, 0x0080FF);
    QCOMPARE(state.resources[5].fullName, u"Nedre"_s);
    QCOMPARE(state.defaultResources.size(), 1); // active resources only
    QCOMPARE(state.setting(QString(), u"zelk"_s, u"SELECTMODE"_s), u"2"_s);

    restart(std::move(state));
    auto c = client(u"RECEPTION_Call"_s);
    QVERIFY(c);
    c->send(getCallList(u"RECEPTION_Call"_s));
    const QByteArray bytes = c->takeUntil(kListEnd);
    QVERIFY(bytes.contains("~\xD6vre~12~\xD6vre salen~33023~False~True~"));
    const QList<msg::CallListRecord> recs = records(bytes);
    QCOMPARE(numbers(recs), (QList<qint32>{12, 5}));
    QVERIFY(recs[1].IsAvbryt);
    QCOMPARE(recs[0].CallTime, QDateTime(QDate(2024, 3, 5), QTime(8, 0)));

    // The saved form reads back to the same state.
    ServerState copy;
    QVERIFY(copy.loadJson(m_server->core().state().toJson(), &error));
    QCOMPARE(copy.toJson(), m_server->core().state().toJson());
}

void TestZelkServer::json_badDocumentsAreRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not json") << QByteArray("{resources:");
    QTest::newRow("not an object") << QByteArray("[1,2]");
    QTest::newRow("resource without name") << QByteArray(R"({"resources":[{"number":1}]})");
    QTest::newRow("resource twice")
        << QByteArray(R"({"resources":[{"number":1,"shortName":"A"},{"number":1,"shortName":"B"}]})");
    QTest::newRow("name breaks a field") << QByteArray(R"({"resources":[{"number":1,"shortName":"A~B"}]})");
    QTest::newRow("call of unknown resource") << QByteArray(R"({"calls":[{"resource":3}]})");
    QTest::newRow("client twice") << QByteArray(R"({"clients":[{"name":"a"},{"name":"A"}]})");
    QTest::newRow("client name of blanks") << QByteArray(R"({"clients":[{"name":"   "}]})");
    QTest::newRow("client name with colon") << QByteArray(R"({"clients":[{"name":"fe80::1_Call"}]})");
    QTest::newRow("client name with backslash") << QByteArray(R"({"clients":[{"name":"WS\\12_Call"}]})");
    QTest::newRow("client name with tilde") << QByteArray(R"({"clients":[{"name":"WS~12_Call"}]})");
}

void TestZelkServer::json_badDocumentsAreRefused()
{
    QFETCH(QByteArray, json);
    ServerState state = ServerState::demo();
    QString error;
    QVERIFY(!state.loadJson(json, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(state.resources.size(), 10);
}

// The client data comes with every identification of a registered client, so a desk that is
// registered already never sees the notice panel nor has to register again.
void TestZelkServer::identifying_registeredClientGetsItsData()
{
    ServerState state = ServerState::demo();
    state.autoAssign = false;
    restart(std::move(state));
    WireClient r;
    QVERIFY(r.connectTo(m_server->port()));
    r.send(cp(msg::registerFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, u"Entré"_s, 42, 0)));
    QVERIFY(!r.takeUntil(":ZELKCLIENTDATA\xA4").isEmpty());

    const QByteArray data = "\xA4ZELKCLIENTDATA:KASSA1_Call:Entr\xE9:42:ZELKCLIENTDATA\xA4";
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(getVersion(u"kassa1_call"_s));
    QCOMPARE(c.takeUntil(data), kVersionEnd + data);
    c.send(getCallList());
    const QByteArray list = c.takeUntil(kListEnd);
    QVERIFY(list.startsWith(QByteArray(data + "#DATASTART#")));
    QCOMPARE(c.drain(50), QByteArray());
    QCOMPARE(m_server->core().state().client(u"KASSA1_Call"_s)->color, 42); // nothing overwritten

    // A client the server does not know learns the version only.
    WireClient u;
    QVERIFY(u.connectTo(m_server->port()));
    u.send(getVersion(u"NY_Call"_s));
    QCOMPARE(u.drain(150), kVersionEnd);
}

// The periodic renewal: the new connection belongs to the client (pushes reach it) and hears
// nothing else, so the client neither rebuilds its list nor reloads an open dialog.
void TestZelkServer::reconnect_reassociatesAndAnswersNothing()
{
    auto caller = client(u"KASSA1_Call"_s);
    QVERIFY(caller);
    WireClient renewed;
    QVERIFY(renewed.connectTo(m_server->port()));
    renewed.send(cp(msg::reconnect(u"kassa1_call"_s, TZELKClientType::ctCall)));
    QCOMPARE(renewed.drain(150), QByteArray());

    caller->send(cp(msg::calling(2, u"KASSA1_Call"_s)));
    QVERIFY(!caller->takeUntil(kListEnd).isEmpty());
    QCOMPARE(calledNumbers(records(renewed.takeUntil(kListEnd))), QList<qint32>{2});
}

// A change that does not reach the state file is answered with an error and not kept: a
// restart would lose it, so acknowledging it would be a lie.
void TestZelkServer::unsavedChange_isRefusedAndUndone()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"blocker"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto c = client(u"KASSA1_Call"_s); // registered before the file goes bad
    QVERIFY(c);
    m_server->setStateFile(dir.filePath(u"blocker/state.json"_s));
    const QByteArray before = m_server->core().state().toJson();

    const QByteArray requests[] = {
        cp(msg::calling(3, u"KASSA1_Call"_s)),
        cp(msg::registerFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, u"Entré"_s, 42, 0)),
        cp(msg::postCallablesFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, {3, 1})),
        cp(msg::setIniTextShared(u"ZELK"_s, u"FrameRate"_s, u"7"_s)),
    };
    for (const QByteArray &request : requests) {
        c->send(request);
        const QByteArray answer = c->drain(150);
        QVERIFY2(answer.startsWith("ERROR: 008 \xC4ndringen kunde inte sparas: "), answer.constData());
        QVERIFY(answer.size() > 40); // the reason follows
        QCOMPARE(m_server->core().state().toJson(), before);
    }
    QString error;
    QVERIFY(!m_server->setCalled(3, true, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(m_server->core().state().calls.isEmpty());

    // Reading goes on as before.
    c->send(getCallList());
    QVERIFY(calledNumbers(records(c->takeUntil(kListEnd))).isEmpty());
}

void TestZelkServer::registration_refusesBadNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray blank = "ERROR: 007 Klientnamnet saknas eller best\xE5r bara av blanksteg";
    const QByteArray separator = "ERROR: 007 Klientnamnet f\xE5r inte inneh\xE5lla \":\", \"~\", \"\xA4\" eller \"\\\"";
    QTest::newRow("blanks only") << u"   "_s << blank;
    QTest::newRow("backslash") << u"WS\\12_Call"_s << separator;
    QTest::newRow("tilde") << u"WS~12_Call"_s << separator;
}

void TestZelkServer::registration_refusesBadNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, reply);
    WireClient c;
    QVERIFY(c.connectTo(m_server->port()));
    c.send(cp(msg::registerFromDialog(name, TZELKClientType::ctCall, u"Plats"_s, 1, 0)));
    QCOMPARE(c.drain(150), reply);
    const qsizetype clients = m_server->core().state().clients.size();
    // Nor does asking for a call list register such a name on its own.
    c.send(getCallList(name));
    QCOMPARE(c.drain(150), QByteArray("ERROR: 001"));
    QCOMPARE(m_server->core().state().clients.size(), clients);
}

void TestZelkServer::idleLimit_closesOnlyUnfinishedOrAnonymous()
{
    m_server->setIdleLimit(300);
    WireClient unfinished;
    QVERIFY(unfinished.connectTo(m_server->port()));
    unfinished.send("\xA4" "CALLING:1:KASS");
    WireClient silent;
    QVERIFY(silent.connectTo(m_server->port()));
    auto waiting = client(u"KASSA1_Call"_s); // identified, then quiet: it waits for pushes
    QVERIFY(waiting);

    QVERIFY(unfinished.waitForDisconnect(3000));
    QVERIFY(silent.waitForDisconnect(3000));
    QTest::qWait(400);
    QCOMPARE(waiting->socket().state(), QAbstractSocket::ConnectedState);
    QCOMPARE(m_server->connections().size(), 1);
    QVERIFY(m_server->setCalled(1, true, nullptr));
    QCOMPARE(calledNumbers(records(waiting->takeUntil(kListEnd))), QList<qint32>{1});
}

void TestZelkServer::inputCap_allowsLongListsRefusesMore()
{
    // A resource list of 8500 pairs (nearly 60 KB) is taken whole.
    auto c = client(u"KASSA1_Call"_s);
    QVERIFY(c);
    QList<qint32> numbers(8500, 1);
    numbers[1] = 3;
    const QByteArray list = cp(msg::postCallablesFromDialog(u"KASSA1_Call"_s, TZELKClientType::ctCall, numbers));
    QVERIFY(list.size() > 55000 && list.size() < 64 * 1024);
    c->send(list);
    QCOMPARE(::numbers(records(c->takeUntil(kListEnd))), (QList<qint32>{1, 3}));

    // 100 KB of one unfinished message is more than a client ever sends.
    WireClient d;
    QVERIFY(d.connectTo(m_server->port()));
    d.send("\xA4POSTCALLABLESLIST:KASSA1_Call:0:" + QByteArray(100 * 1024, '1'));
    QVERIFY(d.waitForDisconnect(3000));
}

QTEST_GUILESS_MAIN(TestZelkServer)
#include "TestZelkServer.moc"
