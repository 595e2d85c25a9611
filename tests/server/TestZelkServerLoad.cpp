#include "LoadDriver.h"

#include "server/ZelkServer.h"

#include <QTest>

using namespace zelk::server;

// 200 calling clients, each sending 100 CALLING messages at once; every list the server
// pushes must arrive, and the last one each client sees must be right.
class TestZelkServerLoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoHundredClients_everyPushedListArrives();
};

void TestZelkServerLoad::twoHundredClients_everyPushedListArrives()
{
    constexpr int clients = 200;
    constexpr int calls = 100;
    ServerState state;
    QString error;
    QVERIFY2(state.loadJson(LoadDriver::seed(clients), &error), qPrintable(error));
    ZelkServer server(std::move(state));
    server.setLogging(false);
    QVERIFY2(server.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));

    LoadDriver driver(server.port(), clients, calls);
    const LoadDriver::Result r = driver.run(240000);
    QCOMPARE(r.callsSent, qint64(clients) * calls);
    QCOMPARE(r.listsReceived, r.listsExpected);
    QVERIFY(r.finished);
    QCOMPARE(r.badLists, 0);
    QVERIFY(server.core().state().calls.isEmpty());
    QCOMPARE(server.messagesIn(), quint64(clients) * (calls + 1));
    qInfo("%lld calls and %lld pushed lists in %lld ms", r.callsSent, r.listsReceived, r.elapsedMs);
}

QTEST_GUILESS_MAIN(TestZelkServerLoad)
#include "TestZelkServerLoad.moc"
