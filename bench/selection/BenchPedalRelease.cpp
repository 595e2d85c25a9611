// From the pedal's release to the CALLING bytes handed to the socket.
#include "callwindow/selection/SelectionMachine.h"
#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

class SocketHost final : public zelk::SelectionHost
{
public:
    explicit SocketHost(QTcpSocket &socket) : m_socket(socket) {}
    bool isConnected() const override { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void sendCalling(qint32 lopnr) override { m_socket.write(zelk::toCodePage(zelk::msg::calling(lopnr, zelk::GetClientName()))); }
    void say(const QString &, int) override {}
    void setTrayImage(int) override {}
    void BringToFront() override {}
    void openServerSettings() override {}
    void menuChanged() override {}
    void showHint(const QString &) override {}

private:
    QTcpSocket &m_socket;
};

void BM_ReleaseToCalling(benchmark::State &state)
{
    QTemporaryDir registry;
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(registry.path()));
    zelk::resetRegistryHives();
    zelk::WriteSetting(zelk::keys::SelectMode, u"1"_s);
    zelk::WriteSetting(zelk::keys::SayCallingInfo, u"0"_s);
    zelk::WriteSetting(zelk::keys::SayCallingName, u"0"_s);
    zelk::WriteSetting(zelk::keys::ClientNameUseDefault, u"1"_s);

    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.serverPort());
    socket.waitForConnected(5000);
    server.waitForNewConnection(5000);

    zelk::CallListModel model(u"1.10.4"_s);
    QList<zelk::msg::CallListRecord> records(12);
    for (int i = 0; i < records.size(); ++i) {
        records[i].CallNamn = u"Namn %1"_s.arg(i);
        records[i].CallLOPNR = i + 1;
    }
    model.rebuild(records);
    SocketHost host(socket);
    zelk::SelectionMachine machine(model, host);
    machine.LoadSelectionSettings();

    for (auto _ : state) {
        state.PauseTiming();
        machine.FormKeyDown(Qt::Key_F12, Qt::AltModifier);
        machine.AdvanceSelection(); // the first face, pausing
        state.ResumeTiming();
        machine.FormKeyUp(Qt::Key_F12, Qt::AltModifier);
        socket.flush();
    }
}
BENCHMARK(BM_ReleaseToCalling)->Unit(benchmark::kMicrosecond);

} // namespace
