#include "WireClient.h"

#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

const QByteArray kListEnd = "~RETCALLLIST\xA4#DATAEND#";

QString serverPath()
{
    return qEnvironmentVariable("ZELK_BIN_DIR") + u"/zelk-server"_s;
}

// User and system CPU time of a process so far, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name (which may hold blanks) count from its closing ")".
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

QList<qint32> calledNumbers(const QByteArray &bytes)
{
    QList<qint32> out;
    const QString text = fromCodePage(bytes);
    const auto cut = cutMessage(text, u"¤RETCALLLIST~", u"~RETCALLLIST¤");
    if (!cut)
        return {};
    for (const auto &r : parseCallList(cut->message)) {
        if (r.IsCalled)
            out.append(r.CallLOPNR);
    }
    return out;
}

} // namespace

// The executable as a user or a script starts it.
class TestZelkServerProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void help_namesTheOptionsAndCommands();
    void badArguments_exitWithAMessage_data();
    void badArguments_exitWithAMessage();
    void standardInputControl_andStateSurvivesAKill();
    void logsEachMessageOnStandardError();
    void descriptorShortage_acceptsAgainWithoutSpinning();

private:
    quint16 start(QProcess &process, const QStringList &arguments, const QString &program = serverPath());
};

quint16 TestZelkServerProcess::start(QProcess &process, const QStringList &arguments, const QString &program)
{
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return 0;
    // The first line names the port; port 0 lets the system choose one.
    static const QRegularExpression line(u"listening on [^ ]+:(\\d+)"_s);
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(5000))
        out += process.readAllStandardOutput();
    return quint16(line.match(QString::fromUtf8(out)).captured(1).toUInt());
}

void TestZelkServerProcess::help_namesTheOptionsAndCommands()
{
    QProcess p;
    p.start(serverPath(), {u"--help"_s});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char16_t *word : {u"--port", u"--listen", u"--data", u"--state", u"--update-dir", u"--quiet",
                                 u"--input-limit", u"--idle-limit",
                                 u"coming N", u"drop", u"version TEXT"})
        QVERIFY2(help.contains(QStringView(word)), qPrintable(QString::fromUtf16(word)));
}

void TestZelkServerProcess::badArguments_exitWithAMessage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing data file") << QStringList{u"--data"_s, u"/nonexistent/zelk.json"_s} << u"zelk.json"_s;
    QTest::newRow("bad port") << QStringList{u"--port"_s, u"70000"_s} << u"not a port"_s;
    QTest::newRow("bad address") << QStringList{u"--listen"_s, u"here"_s} << u"not an address"_s;
    QTest::newRow("missing update folder") << QStringList{u"--update-dir"_s, u"/nonexistent"_s} << u"no such folder"_s;
    QTest::newRow("tiny input limit") << QStringList{u"--input-limit"_s, u"10"_s} << u"not an input limit"_s;
    QTest::newRow("bad idle limit") << QStringList{u"--idle-limit"_s, u"soon"_s} << u"not an idle limit"_s;
}

void TestZelkServerProcess::badArguments_exitWithAMessage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess p;
    p.start(serverPath(), QStringList{u"--port"_s, u"0"_s} + arguments);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(message));
}

void TestZelkServerProcess::standardInputControl_andStateSurvivesAKill()
{
    QTemporaryDir dir;
    const QString stateFile = dir.filePath(u"state.json"_s);
    {
        QProcess server;
        const quint16 port = start(server, {u"--port"_s, u"0"_s, u"--quiet"_s, u"--state"_s, stateFile});
        QVERIFY(port != 0);
        WireClient c;
        QVERIFY(c.connectTo(port));
        c.send(cp(msg::getCallList(u"DEMO_Call"_s, TZELKClientType::ctCall)));
        QVERIFY(calledNumbers(c.takeUntil(kListEnd)).isEmpty());

        server.write("call 2\n");
        QCOMPARE(calledNumbers(c.takeUntil(kListEnd)), QList<qint32>{2});
        c.send(cp(msg::calling(5, u"DEMO_Call"_s)));
        QCOMPARE(calledNumbers(c.takeUntil(kListEnd)), (QList<qint32>{2, 5}));

        server.kill(); // no chance to save anything more
        QVERIFY(server.waitForFinished(5000));
    }
    QProcess server;
    const quint16 port = start(server, {u"--port"_s, u"0"_s, u"--quiet"_s, u"--state"_s, stateFile});
    QVERIFY(port != 0);
    WireClient c;
    QVERIFY(c.connectTo(port));
    c.send(cp(msg::getCallList(u"DEMO_Call"_s, TZELKClientType::ctCall)));
    QCOMPARE(calledNumbers(c.takeUntil(kListEnd)), (QList<qint32>{2, 5}));

    server.write("quit\n");
    QVERIFY(server.waitForFinished(5000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
}

void TestZelkServerProcess::logsEachMessageOnStandardError()
{
    QProcess server;
    const quint16 port = start(server, {u"--port"_s, u"0"_s, u"--no-stdin"_s});
    QVERIFY(port != 0);
    WireClient c;
    QVERIFY(c.connectTo(port));
    c.send(cp(msg::getServerVersion(u"DEMO_Call"_s, TZELKClientType::ctCall)));
    QVERIFY(!c.takeUntil(":RETSERVERVERSION\xA4").isEmpty());
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
    const QString log = QString::fromUtf8(server.readAllStandardError());
    QVERIFY2(log.contains(u"<- ¤GETSERVERVERSION:DEMO_Call:0:GETSERVERVERSION¤"), qPrintable(log));
    QVERIFY2(log.contains(u"-> ¤RETSERVERVERSION:1.10.5:RETSERVERVERSION¤"), qPrintable(log));
}

// Out of file descriptors the server keeps the connections it has, accepts the waiting ones
// once descriptors are free again, and does not spin meanwhile.
void TestZelkServerProcess::descriptorShortage_acceptsAgainWithoutSpinning()
{
#if defined(ZELK_SANITIZED)
    // UndefinedBehaviorSanitizer probes memory through a pipe when it checks an object's type;
    // with no descriptor left that probe fails and it aborts the server on a sound object.
    QSKIP("the sanitizers need descriptors of their own; the normal build runs this test");
#endif
    QProcess server;
    const quint16 port = start(server, {u"-c"_s, u"ulimit -n 32 && exec \"$0\" --port 0 --quiet --no-stdin"_s, serverPath()},
                               u"/bin/sh"_s);
    QVERIFY(port != 0);
    const QByteArray versionEnd = ":RETSERVERVERSION\xA4";
    const QByteArray request = cp(msg::getServerVersion(u"KASSA1_Call"_s, TZELKClientType::ctCall));

    // The kernel completes more connections than the server has descriptors for.
    std::vector<std::unique_ptr<WireClient>> clients;
    for (int i = 0; i < 48; ++i) {
        auto c = std::make_unique<WireClient>();
        QVERIFY(c->connectTo(port));
        c->send(request);
        clients.push_back(std::move(c));
    }
    const auto answered = [&clients, &versionEnd] {
        QTest::qWait(20);
        qsizetype count = 0;
        for (const auto &c : clients)
            count += c->received().contains(versionEnd) ? 1 : 0;
        return count;
    };
    QTRY_VERIFY_WITH_TIMEOUT(answered() >= 8, 5000);
    QTest::qWait(500);
    const qsizetype servedFirst = answered();
    QVERIFY2(servedFirst < qsizetype(clients.size()), "the descriptor limit did not bind");

    // While the shortage lasts the server sleeps between its tries.
    const qint64 before = cpuTicks(server.processId());
    QTest::qWait(1000);
    const qint64 used = cpuTicks(server.processId()) - before;
    QVERIFY(before >= 0);
    QVERIFY2(used < sysconf(_SC_CLK_TCK) / 4, qPrintable(u"%1 ticks of CPU in one second"_s.arg(used)));
    QCOMPARE(server.state(), QProcess::Running);

    // Descriptors come free: every waiting client is served. Each served client hangs up, so
    // the next ones find descriptors too, however few the limit leaves to the server.
    const auto servedAndHungUp = [&clients, &versionEnd] {
        QTest::qWait(20);
        qsizetype count = 0;
        for (const auto &c : clients) {
            if (c->received().contains(versionEnd)) {
                c->socket().abort();
                ++count;
            }
        }
        return count;
    };
    QTRY_COMPARE_WITH_TIMEOUT(servedAndHungUp(), qsizetype(clients.size()), 10000);
    server.kill();
    server.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestZelkServerProcess)
#include "TestZelkServerProcess.moc"
