// The main connection around the system's sleep, and the login manager's sleep signal.
#include "common/Settings.h"
#include "common/update/PowerMonitor.h"
#include "common/update/SleepWakePolicy.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace zelk;

class TestSleepWake : public QObject
{
    Q_OBJECT

private:
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_main;
    int m_reopened = 0;
    std::unique_ptr<SleepWakePolicy> m_policy;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
        m_main = std::make_unique<QTcpSocket>();
        m_main->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        QVERIFY(m_main->waitForConnected(5000));
        MainSocket = m_main.get();
        m_reopened = 0;
        m_policy = std::make_unique<SleepWakePolicy>();
        m_policy->setResumeDelay(150ms);
        m_policy->setReopen([this] { ++m_reopened; });
    }
    void cleanup()
    {
        m_policy.reset();
        MainSocket = nullptr;
        m_main.reset();
        m_server.close();
    }

    void waitsTenSecondsByDefault()
    {
        QCOMPARE(SleepWakePolicy().resumeDelay(), 10000ms);
    }

    void sleepClosesTheMainConnection()
    {
        m_policy->prepareForSleep(true);
        QTRY_COMPARE(m_main->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(m_reopened, 0);
    }

    void wakeReopensAfterTheDelay()
    {
        m_policy->prepareForSleep(false);
        // Not at once: the event loop runs on while the timer counts.
        QVERIFY(m_policy->resumePending());
        QCOMPARE(m_reopened, 0);
        QCOMPARE(m_main->state(), QAbstractSocket::ConnectedState);
        QTRY_COMPARE(m_reopened, 1);
        // Whatever was open is closed first, so the reopen is a fresh registration.
        QCOMPARE(m_main->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(!m_policy->resumePending());
    }

    void sleepingAgainCancelsTheReopen()
    {
        m_policy->WMPowerBroadcast(PBT_APMRESUMESUSPEND);
        m_policy->WMPowerBroadcast(PBT_APMSUSPEND);
        QVERIFY(!m_policy->resumePending());
        QTest::qWait(300);
        QCOMPARE(m_reopened, 0);
    }

    void otherNotificationsAreIgnored()
    {
        m_policy->WMPowerBroadcast(10); // a power status change
        QVERIFY(!m_policy->resumePending());
        QCOMPARE(m_main->state(), QAbstractSocket::ConnectedState);
    }

    void noConnectionYetNoReopen()
    {
        MainSocket = nullptr;
        m_policy->prepareForSleep(true);
        m_policy->prepareForSleep(false);
        QTest::qWait(300);
        QCOMPARE(m_reopened, 0);
        QCOMPARE(m_main->state(), QAbstractSocket::ConnectedState);
    }

    void withoutABusNothingHappens()
    {
        const PowerMonitor monitor(QDBusConnection(u"zelk-no-such-bus"_s));
        QVERIFY(!monitor.isListening());
    }

    void loginManagerSignalArrives()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        // A private bus stands in for the system bus, with a stand-in login manager on it.
        QProcess bus;
        bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY(bus.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 5000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        {
            QDBusConnection login1 = QDBusConnection::connectToBus(address, u"zelk-test-login1"_s);
            QDBusConnection client = QDBusConnection::connectToBus(address, u"zelk-test-client"_s);
            QVERIFY(login1.isConnected());
            QVERIFY(login1.registerService(u"org.freedesktop.login1"_s));

            PowerMonitor monitor(client);
            QVERIFY(monitor.isListening());
            SleepWakePolicy policy;
            policy.setResumeDelay(100ms);
            policy.setReopen([this] { ++m_reopened; });
            connect(&monitor, &PowerMonitor::prepareForSleep, &policy, &SleepWakePolicy::prepareForSleep);
            QSignalSpy spy(&monitor, &PowerMonitor::prepareForSleep);

            for (bool sleeping : {true, false}) {
                QDBusMessage signal = QDBusMessage::createSignal(
                    u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s);
                signal << sleeping;
                QVERIFY(login1.send(signal));
                QTRY_COMPARE(spy.size(), sleeping ? 1 : 2);
                QCOMPARE(spy.last().first().toBool(), sleeping);
            }
            QCOMPARE(m_main->state(), QAbstractSocket::UnconnectedState);
            QTRY_COMPARE(m_reopened, 1);
        }
        QDBusConnection::disconnectFromBus(u"zelk-test-login1"_s);
        QDBusConnection::disconnectFromBus(u"zelk-test-client"_s);
        bus.terminate();
        QVERIFY(bus.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestSleepWake)
#include "tst_sleep_wake.moc"
