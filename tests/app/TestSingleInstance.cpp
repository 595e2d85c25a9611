#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

// Starts the real client executable, each test in its own runtime folder so that the
// lock and the activation socket belong to this test alone.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void secondStart_activatesFirstAndEnds();
    void secondStart_data();
    void secondStart();
    void staleLockOfACrashedInstance_isTakenOver();
    void endOfSession_endsWithExitCode1();
    void version_isPrinted();
    void twoDesktopSessions_data();
    void twoDesktopSessions();
    void infoOptions_withoutDisplay_data();
    void infoOptions_withoutDisplay();

private:
    std::unique_ptr<QProcess> start(const QStringList &arguments = {},
                                    const QProcessEnvironment &extra = {});
    static bool stillRunningAfter(QProcess &process, int ms);

    std::unique_ptr<QTemporaryDir> m_runtime;
    std::vector<std::unique_ptr<QProcess>> m_started;
};

void TestSingleInstance::init()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtime->isValid());
}

void TestSingleInstance::cleanup()
{
    for (auto &process : m_started) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    m_started.clear();
}

std::unique_ptr<QProcess> TestSingleInstance::start(const QStringList &arguments,
                                                     const QProcessEnvironment &extra)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime->path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"ZELK_REGISTRY_DIR"_s, m_runtime->path());
    env.insert(u"XDG_DATA_HOME"_s, m_runtime->path());
    // An empty value removes the variable.
    for (const QString &key : extra.keys()) {
        if (extra.value(key).isEmpty())
            env.remove(key);
        else
            env.insert(key, extra.value(key));
    }
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(m_runtime->path());
    process->start(qEnvironmentVariable("ZELK_BIN_DIR") + u"/ZELK_WCallClient"_s, arguments);
    return process;
}

bool TestSingleInstance::stillRunningAfter(QProcess &process, int ms)
{
    return !process.waitForFinished(ms) && process.state() == QProcess::Running;
}

void TestSingleInstance::secondStart_activatesFirstAndEnds()
{
    auto first = start();
    QVERIFY(first->waitForStarted());
    QVERIFY(stillRunningAfter(*first, 1500));

    auto second = start();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);

    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += first->readAllStandardError()).contains("come to the front"), 5000);
    QVERIFY(first->state() == QProcess::Running);
    m_started.push_back(std::move(first));
}

void TestSingleInstance::secondStart_data()
{
    QTest::addColumn<QString>("marker");
    QTest::addColumn<bool>("startsAnyway");
    QTest::newRow("RESTARTING=1") << u"RESTARTING=1"_s << true;
    QTest::newRow("restarting=1") << u"restarting=1"_s << true;
    QTest::newRow("RESTARTING=0") << u"RESTARTING=0"_s << false;
    QTest::newRow("RESTARTING=1 after another parameter")
        << u"NAME=x RESTARTING=1"_s << true;
}

void TestSingleInstance::secondStart()
{
    QFETCH(QString, marker);
    QFETCH(bool, startsAnyway);

    auto first = start();
    QVERIFY(first->waitForStarted());
    QVERIFY(stillRunningAfter(*first, 1500));

    auto second = start(marker.split(u' '));
    QVERIFY(second->waitForStarted());
    QCOMPARE(stillRunningAfter(*second, 3000), startsAnyway);
    if (!startsAnyway)
        QCOMPARE(second->exitCode(), 0);
    m_started.push_back(std::move(first));
    m_started.push_back(std::move(second));
}

void TestSingleInstance::staleLockOfACrashedInstance_isTakenOver()
{
    auto crashed = start();
    QVERIFY(crashed->waitForStarted());
    QVERIFY(stillRunningAfter(*crashed, 1500));
    crashed->kill(); // leaves its lock file and socket behind
    QVERIFY(crashed->waitForFinished(5000));

    auto next = start();
    QVERIFY(next->waitForStarted());
    QVERIFY(stillRunningAfter(*next, 2500));
    m_started.push_back(std::move(next));
}

void TestSingleInstance::endOfSession_endsWithExitCode1()
{
    auto client = start();
    QVERIFY(client->waitForStarted());
    QVERIFY(stillRunningAfter(*client, 1500));
    client->terminate(); // SIGTERM, as at the end of the desktop session
    QVERIFY(client->waitForFinished(10000));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 1);
}

void TestSingleInstance::version_isPrinted()
{
    auto client = start({u"--version"_s});
    QVERIFY(client->waitForFinished(10000));
    QCOMPARE(client->exitCode(), 0);
    QCOMPARE(client->readAllStandardOutput().trimmed(), QByteArray("ZELK Windows Kallelseklient 1.10.4"));
}

void TestSingleInstance::twoDesktopSessions_data()
{
    QTest::addColumn<bool>("withRuntimeFolder");
    QTest::addColumn<QStringList>("first");  // DISPLAY, XDG_SESSION_ID
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<bool>("bothRun");
    const QStringList c1{QString(), u"c1"_s}, c2{QString(), u"c2"_s};
    QTest::newRow("one runtime folder, two sessions") << true << c1 << c2 << true;
    QTest::newRow("one runtime folder, one session") << true << c1 << c1 << false;
    QTest::newRow("no runtime folder, two sessions") << false << c1 << c2 << true;
    QTest::newRow("no runtime folder, one session") << false << c1 << c1 << false;
    QTest::newRow("two displays") << true << QStringList{u":71"_s, u"c1"_s}
                                  << QStringList{u":72"_s, u"c1"_s} << true;
    QTest::newRow("one display, screen number or not") << true << QStringList{u":71"_s, u"c1"_s}
                                                       << QStringList{u":71.0"_s, QString()} << false;
}

// One user logged in twice shares the runtime folder; each desktop session has its own client.
// (The offscreen platform does not use DISPLAY, so any value stands for a desktop.)
void TestSingleInstance::twoDesktopSessions()
{
    QFETCH(bool, withRuntimeFolder);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(bool, bothRun);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const auto environment = [&](const QStringList &session) {
        QProcessEnvironment env;
        // An empty value removes the variable (see start).
        env.insert(u"DISPLAY"_s, session[0]);
        env.insert(u"WAYLAND_DISPLAY"_s, QString());
        env.insert(u"XDG_SESSION_ID"_s, session[1]);
        if (!withRuntimeFolder) {
            env.insert(u"XDG_RUNTIME_DIR"_s, QString());
            env.insert(u"TMPDIR"_s, temp.path());
        }
        return env;
    };

    auto firstClient = start({}, environment(first));
    QVERIFY(firstClient->waitForStarted());
    QVERIFY(stillRunningAfter(*firstClient, 1500));
    auto secondClient = start({}, environment(second));
    QVERIFY(secondClient->waitForStarted());
    QCOMPARE(stillRunningAfter(*secondClient, 3000), bothRun);
    if (!withRuntimeFolder) {
        // Without a runtime folder the lock lies in a folder of this user's own.
        const QDir own(temp.path() + u"/zelk-runtime-"_s + QString::number(::getuid()));
        QVERIFY2(!own.entryList({u"ZELK_WCallClient-"_s + first[1] + u".lock"_s}).isEmpty(),
                 qPrintable(own.entryList().join(u' ')));
    }
    m_started.push_back(std::move(firstClient));
    m_started.push_back(std::move(secondClient));
}

void TestSingleInstance::infoOptions_withoutDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("--version") << u"--version"_s << QStringList{u"ZELK Windows Kallelseklient 1.10.4"_s};
    QTest::newRow("--help") << u"--help"_s
                            << QStringList{u"NAME="_s, u"PLACE="_s, u"COLOR="_s, u"AUTOREGISTER="_s,
                                           u"CALLLIST="_s, u"SERVERNAME="_s, u"SERVERPORT="_s,
                                           u"RESTARTING="_s, u"ZELK_RENDERER"_s,
                                           u"ZELK_REGISTRY_DIR"_s, u"XDG_RUNTIME_DIR"_s};
}

// Without any display the xcb platform would abort; help and version must not get that far.
void TestSingleInstance::infoOptions_withoutDisplay()
{
    QFETCH(QString, option);
    QFETCH(QStringList, expected);

    QProcessEnvironment env;
    env.insert(u"DISPLAY"_s, u""_s);
    env.insert(u"WAYLAND_DISPLAY"_s, u""_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    auto client = start({option}, env);
    QVERIFY(client->waitForFinished(10000));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    const QString output = QString::fromUtf8(client->readAllStandardOutput());
    for (const QString &text : expected)
        QVERIFY2(output.contains(text), qPrintable(text + u" missing in:\n"_s + output));
    QVERIFY(client->readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"
