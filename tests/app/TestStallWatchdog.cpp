#include "app/StallWatchdog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace zelk;

// The watchdog sees a user-interface thread that keeps its events waiting, and says so in its
// report, also while the thread is still stuck.
class TestStallWatchdog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blockedEventLoop_isReported()
    {
        QTemporaryDir dir;
        const QString report = dir.filePath(u"stalls.txt"_s);
        {
            StallWatchdog watchdog(report);
            QTest::qWait(200);
            QThread::msleep(400); // the event loop does not run
            QTRY_VERIFY(watchdog.longestStallMs() >= 350);
            // Written by the watchdog's own thread while the loop was blocked or right after.
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(report), 3000);
        }
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.value(0).startsWith(u"longest_stall_ms "), qPrintable(text));
        QVERIFY2(lines.value(0).sliced(17).toInt() >= 350, qPrintable(text));
        QVERIFY2(lines.value(2).startsWith(u"stall "), qPrintable(text));
    }

    void withoutTheVariable_nothingRuns()
    {
        qunsetenv("ZELK_STALL_REPORT");
        QVERIFY(!StallWatchdog::fromEnvironment());
    }
};

QTEST_GUILESS_MAIN(TestStallWatchdog)
#include "TestStallWatchdog.moc"
