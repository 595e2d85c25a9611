// The keyboard-hook library through its three entry points. In this process (offscreen) the
// hook cannot come up and must say so once; under a private Xvfb, with xdotool standing in
// for the foot pedal, keyhook_probe's hidden window must receive the keys with their Alt state.
#include "keyhook/KV_HookKeyboard.h"

#include "FakeWindowManager_x11.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QStringList s_hookWarnings;
QtMessageHandler s_previousHandler = nullptr;

void countHookWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith("KV_HookKeyboard:"_L1))
        s_hookWarnings << message;
    if (s_previousHandler)
        s_previousHandler(type, context, message);
}

// Line-based conversation with a child process.
class LineReader
{
public:
    explicit LineReader(QProcess *process)
        : m_process(process)
    {
    }

    // Waits for a line that starts with `prefix`; every line read before it stays in lines().
    QString waitFor(QStringView prefix, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            for (qsizetype i = m_scanned; i < m_lines.size(); ++i) {
                if (m_lines.at(i).startsWith(prefix)) {
                    m_scanned = i + 1;
                    return m_lines.at(i);
                }
            }
            m_scanned = m_lines.size();
            if (deadline.hasExpired())
                return QString();
            if (!m_process->canReadLine()
                && !m_process->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
                return QString();
            while (m_process->canReadLine())
                m_lines << QString::fromUtf8(m_process->readLine()).trimmed();
        }
    }

    QStringList lines(QStringView prefix) const
    {
        QStringList result;
        for (const QString &line : m_lines) {
            if (line.startsWith(prefix))
                result << line.mid(prefix.size());
        }
        return result;
    }

    void forget() { m_lines.clear(), m_scanned = 0; }

private:
    QProcess *m_process;
    QStringList m_lines;
    qsizetype m_scanned = 0;
};

} // namespace

class TestKeyhookLibrary : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    // In this process, without an X11 display.
    void hookWithoutX11SaysSoOnce();
    void unknownWindowIsRefused();
    void foregroundShowsAndRestoresWindow();

    // Under Xvfb, through keyhook_probe.
    void hiddenWindowReceivesKeys_data();
    void hiddenWindowReceivesKeys();
    void altHeldBeforeHookCounts();
    void focusedWindowStillGetsTheHooksKeys();
    void unhookStopsDelivery();
    void foregroundTakesXFocus();
    void foregroundAsksWindowManager();
    void combinationHeldElsewhere_isSaidAndStillWatched();

    void init();
    void cleanup();

private:
    bool startXvfb(QString *why);
    // With mergedErrors the probe's standard error comes in lines() as well.
    void startProbe(bool mergedErrors = false);
    void hook();
    void xdotool(const QStringList &arguments);
    QStringList keysUntilSentinel();

    QString m_xdotool;
    QString m_display;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_probe;
    std::unique_ptr<LineReader> m_reader;
    QString m_probeWindow;
    QString m_noXvfbReason;
};

void TestKeyhookLibrary::initTestCase()
{
    s_previousHandler = qInstallMessageHandler(&countHookWarnings);
    if (!startXvfb(&m_noXvfbReason))
        qInfo("X11 tests will be skipped: %s", qPrintable(m_noXvfbReason));
}

void TestKeyhookLibrary::cleanupTestCase()
{
    qInstallMessageHandler(s_previousHandler);
    if (m_xvfb) {
        m_xvfb->terminate();
        m_xvfb->waitForFinished(5000);
    }
}

bool TestKeyhookLibrary::startXvfb(QString *why)
{
    const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    m_xdotool = QStandardPaths::findExecutable(u"xdotool"_s);
    if (xvfb.isEmpty() || m_xdotool.isEmpty()) {
        *why = u"Xvfb or xdotool is not installed"_s;
        return false;
    }
    // -displayfd lets the server pick a free display number and tell it once it accepts clients.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb->setStandardErrorFile(QProcess::nullDevice());
    m_xvfb->start(xvfb, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s, u"0"_s, u"800x600x24"_s});
    if (!m_xvfb->waitForStarted(5000)) {
        *why = u"Xvfb did not start"_s;
        m_xvfb.reset();
        return false;
    }
    QDeadlineTimer deadline(15000);
    while (!m_xvfb->canReadLine() && !deadline.hasExpired())
        m_xvfb->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    const QString number = QString::fromLatin1(m_xvfb->readLine()).trimmed();
    bool ok = false;
    number.toInt(&ok);
    if (!ok) {
        *why = u"Xvfb did not report its display"_s;
        m_xvfb->kill();
        m_xvfb->waitForFinished(5000);
        m_xvfb.reset();
        return false;
    }
    m_display = u":"_s + number;
    return true;
}

void TestKeyhookLibrary::init()
{
    s_hookWarnings.clear();
}

void TestKeyhookLibrary::cleanup()
{
    if (m_probe) {
        m_probe->write("quit\n");
        m_probe->closeWriteChannel();
        if (!m_probe->waitForFinished(5000))
            m_probe->kill();
        m_probe->waitForFinished(5000);
        m_probe.reset();
        m_reader.reset();
    }
    if (!m_display.isEmpty()) {
        // Leave no key down for the next test.
        QProcess release;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, m_display);
        release.setProcessEnvironment(env);
        release.start(m_xdotool, {u"keyup"_s, u"alt"_s, u"F12"_s, u"F10"_s});
        release.waitForFinished(5000);
    }
}

void TestKeyhookLibrary::startProbe(bool mergedErrors)
{
    if (m_display.isEmpty())
        QSKIP(qPrintable(m_noXvfbReason));
    const QString binDir = qEnvironmentVariable("ZELK_BIN_DIR", QCoreApplication::applicationDirPath());
    const QString program = QDir(binDir).filePath(u"keyhook_probe"_s);
    QVERIFY2(QFile::exists(program), qPrintable(program + u" is missing"_s));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env.insert(u"DISPLAY"_s, m_display);
    env.remove(u"WAYLAND_DISPLAY"_s);
    m_probe = std::make_unique<QProcess>();
    m_probe->setProcessEnvironment(env);
    m_probe->setProcessChannelMode(mergedErrors ? QProcess::MergedChannels : QProcess::ForwardedErrorChannel);
    m_probe->start(program, {});
    QVERIFY(m_probe->waitForStarted(5000));
    m_reader = std::make_unique<LineReader>(m_probe.get());
    const QString ready = m_reader->waitFor(u"ready ");
    QVERIFY2(!ready.isEmpty(), "keyhook_probe did not come up");
    m_probeWindow = ready.mid(6);
}

void TestKeyhookLibrary::hook()
{
    m_probe->write("hook\n");
    QCOMPARE(m_reader->waitFor(u"hook "), u"hook 1"_s);
}

void TestKeyhookLibrary::xdotool(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display);
    process.setProcessEnvironment(env);
    process.start(m_xdotool, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
}

// F10 pressed last marks the end: raw events of one keyboard arrive in order, so every key
// sent before it has been handed on once its release is in.
QStringList TestKeyhookLibrary::keysUntilSentinel()
{
    xdotool({u"key"_s, u"--delay"_s, u"0"_s, u"F10"_s});
    if (m_reader->waitFor(u"key release F10").isEmpty())
        return {u"(no F10 release)"_s};
    QStringList keys = m_reader->lines(u"key ");
    keys.removeLast();
    keys.removeLast();
    return keys;
}

void TestKeyhookLibrary::hookWithoutX11SaysSoOnce()
{
    QWindow window;
    window.create();
    QVERIFY(!HookKeyboard(static_cast<KVWindowHandle>(window.winId())));
    QCOMPARE(s_hookWarnings.size(), 1);
    QVERIFY2(s_hookWarnings.first().contains("no X11 display"_L1), qPrintable(s_hookWarnings.first()));
    QVERIFY(!window.isVisible());
    UnHookKeyboard();
    UnHookKeyboard();
    QCOMPARE(s_hookWarnings.size(), 1);
}

void TestKeyhookLibrary::unknownWindowIsRefused()
{
    QWindow window;
    window.create();
    const KVWindowHandle unknown = static_cast<KVWindowHandle>(window.winId()) + 1000;
    QVERIFY(!HookKeyboard(unknown));
    QCOMPARE(s_hookWarnings.size(), 1);
    QVERIFY(!KVSetForeGroundWindow(unknown));
    QVERIFY(!window.isVisible());
}

void TestKeyhookLibrary::foregroundShowsAndRestoresWindow()
{
    QWindow window;
    window.create();
    window.setWindowStates(Qt::WindowMaximized | Qt::WindowMinimized);
    QVERIFY(KVSetForeGroundWindow(static_cast<KVWindowHandle>(window.winId())));
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowStates(), Qt::WindowStates(Qt::WindowMaximized));
    QTRY_COMPARE(QGuiApplication::focusWindow(), &window);
}

void TestKeyhookLibrary::hiddenWindowReceivesKeys_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("received");

    // xdotool lets go of a chord in the order it pressed it, Alt first.
    const QStringList pedal{u"press Alt Alt posted"_s, u"press F12 Alt posted"_s, u"release Alt - posted"_s,
                            u"release F12 - posted"_s};
    QTest::newRow("alt+F12 (xdotool repeats Alt's release)")
        << QStringList{u"key"_s, u"--delay"_s, u"0"_s, u"alt+F12"_s} << pedal;
    QTest::newRow("pedal held, then let go")
        << QStringList{u"keydown"_s, u"--delay"_s, u"0"_s, u"alt+F12"_s, u"sleep"_s, u"0.2"_s, u"keyup"_s,
                       u"--delay"_s, u"0"_s, u"alt+F12"_s}
        << pedal;
    QTest::newRow("F12 then Alt")
        << QStringList{u"keydown"_s, u"F12"_s, u"keydown"_s, u"alt"_s, u"keyup"_s, u"F12"_s, u"keyup"_s, u"alt"_s}
        << QStringList{u"press F12 - posted"_s, u"press Alt Alt posted"_s, u"release F12 Alt posted"_s,
                       u"release Alt - posted"_s};
    QTest::newRow("F12 alone") << QStringList{u"key"_s, u"--delay"_s, u"0"_s, u"F12"_s}
                               << QStringList{u"press F12 - posted"_s, u"release F12 - posted"_s};
    QTest::newRow("ctrl+F10 keeps Control")
        << QStringList{u"key"_s, u"--delay"_s, u"0"_s, u"ctrl+F10"_s}
        << QStringList{u"press F10 Control posted"_s, u"release F10 - posted"_s};
    QTest::newRow("other keys are not handed on")
        << QStringList{u"key"_s, u"--delay"_s, u"0"_s, u"a"_s, u"F11"_s, u"shift+b"_s} << QStringList();
}

void TestKeyhookLibrary::hiddenWindowReceivesKeys()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, received);
    startProbe();
    hook();
    xdotool(keys);
    QCOMPARE(keysUntilSentinel(), received);
}

void TestKeyhookLibrary::altHeldBeforeHookCounts()
{
    startProbe();
    xdotool({u"keydown"_s, u"alt"_s});
    hook();
    xdotool({u"key"_s, u"--delay"_s, u"0"_s, u"F12"_s, u"keyup"_s, u"alt"_s});
    QCOMPARE(keysUntilSentinel(), (QStringList{u"press F12 Alt posted"_s, u"release F12 Alt posted"_s,
                                               u"release Alt - posted"_s}));
}

void TestKeyhookLibrary::focusedWindowStillGetsTheHooksKeys()
{
    // The window takes the pedal from the hook alone, whether or not it has the focus.
    startProbe();
    m_probe->write("show\n");
    QCOMPARE(m_reader->waitFor(u"focus 1"), u"focus 1"_s);
    hook();
    xdotool({u"key"_s, u"--delay"_s, u"0"_s, u"alt+F12"_s});
    QCOMPARE(keysUntilSentinel(), (QStringList{u"press Alt Alt posted"_s, u"press F12 Alt posted"_s,
                                               u"release Alt - posted"_s, u"release F12 - posted"_s}));
}

void TestKeyhookLibrary::unhookStopsDelivery()
{
    startProbe();
    hook();
    m_probe->write("unhook\n");
    QVERIFY(!m_reader->waitFor(u"unhook").isEmpty());
    xdotool({u"key"_s, u"--delay"_s, u"0"_s, u"alt+F12"_s});
    // Hooked again only for the end marker; the keys above went by unhooked.
    hook();
    QCOMPARE(keysUntilSentinel(), QStringList());
}

void TestKeyhookLibrary::foregroundTakesXFocus()
{
    startProbe();
    m_probe->write("front\n");
    QCOMPARE(m_reader->waitFor(u"front "), u"front 1"_s);
    QCOMPARE(m_reader->waitFor(u"focus 1"), u"focus 1"_s);

    QString focused;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QProcess query;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, m_display);
        query.setProcessEnvironment(env);
        query.start(m_xdotool, {u"getwindowfocus"_s});
        query.waitForFinished(5000);
        focused = QString::fromLatin1(query.readAllStandardOutput()).trimmed();
        if (focused == m_probeWindow)
            break;
        QTest::qWait(20);
    }
    QCOMPARE(focused, m_probeWindow);
}

void TestKeyhookLibrary::foregroundAsksWindowManager()
{
    if (m_display.isEmpty())
        QSKIP(qPrintable(m_noXvfbReason));
    zelk::test::FakeWindowManager windowManager;
    QVERIFY(windowManager.start(m_display));
    startProbe();
    m_probe->write("front\n");
    QCOMPARE(m_reader->waitFor(u"front "), u"front 1"_s);
    // Qt asks as the application (source 1), which a window manager may refuse; the library
    // asks once more as a pager would (source 2), after the window manager mapped the window.
    QTRY_VERIFY_WITH_TIMEOUT(windowManager.serve(m_probeWindow.toULongLong(), 2), 5000);
}

void TestKeyhookLibrary::combinationHeldElsewhere_isSaidAndStillWatched()
{
    if (m_display.isEmpty())
        QSKIP(qPrintable(m_noXvfbReason));
    zelk::test::ForeignPedalGrab other;
    QVERIFY(other.grab(m_display));
    startProbe(true);
    hook();
    // Said before the hook reported back.
    QCOMPARE(m_reader->lines(u"KV_HookKeyboard: another program holds Alt+F12").size(), 1);
    xdotool({u"keydown"_s, u"alt"_s, u"keydown"_s, u"F12"_s, u"keyup"_s, u"F12"_s, u"keyup"_s, u"alt"_s});
    QCOMPARE(keysUntilSentinel(), (QStringList{u"press Alt Alt posted"_s, u"press F12 Alt posted"_s,
                                               u"release F12 Alt posted"_s, u"release Alt - posted"_s}));
}

QTEST_MAIN(TestKeyhookLibrary)
#include "tst_keyhook_library.moc"
