#include "LoadDriver.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The server in its own process, as a demo or a test run starts it.
struct ServerProcess
{
    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;

    bool start(int clients)
    {
        const QString seed = dir.filePath(u"load.json"_s);
        QFile file(seed);
        if (!file.open(QIODevice::WriteOnly) || file.write(LoadDriver::seed(clients)) < 0)
            return false;
        file.close();
        process.start(QString::fromUtf8(ZELK_SERVER_PATH),
                      {u"--port"_s, u"0"_s, u"--quiet"_s, u"--no-stdin"_s, u"--data"_s, seed});
        QByteArray out;
        while (!out.contains('\n') && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        static const QRegularExpression line(u"listening on [^ ]+:(\\d+)"_s);
        port = quint16(line.match(QString::fromUtf8(out)).captured(1).toUInt());
        return port != 0;
    }

    ~ServerProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

void BM_CallingLoad(benchmark::State &state)
{
    const int clients = int(state.range(0));
    const int calls = int(state.range(1));
    qint64 messages = 0;
    qint64 lost = 0;
    qint64 callPhaseMs = 0;
    qint64 callPhaseMessages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto server = std::make_unique<ServerProcess>();
        if (!server->start(clients)) {
            state.SkipWithError("zelk-server did not start");
            return;
        }
        LoadDriver driver(server->port, clients, calls);
        state.ResumeTiming();
        // Connecting and the first call lists are part of the run, as for real clients.
        const LoadDriver::Result r = driver.run(120000);
        state.PauseTiming();
        if (!r.finished || r.badLists != 0) {
            state.SkipWithError("call lists were lost or wrong");
            return;
        }
        messages += r.callsSent + r.listsReceived;
        lost += r.listsExpected - r.listsReceived;
        callPhaseMs += r.elapsedMs;
        callPhaseMessages += r.callsSent + r.listsReceived;
        server.reset();
        state.ResumeTiming();
    }
    state.counters["messages/s"] = benchmark::Counter(double(messages), benchmark::Counter::kIsRate);
    state.counters["lost"] = double(lost);
    // From the first CALLING to the last pushed list, connecting left out.
    if (callPhaseMs > 0)
        state.counters["callPhaseMessages/s"] = double(callPhaseMessages) * 1000.0 / double(callPhaseMs);
}
BENCHMARK(BM_CallingLoad)->Args({200, 100})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
