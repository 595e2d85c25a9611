// Dispatching one block with a whole call list: the list and the menu are rebuilt.
#include "common/Prompts.h"
#include "protocol/Messages.h"
#include "session/IncomingAssembler.h"
#include "session/IncomingDispatcher.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QString callListBlock(int records)
{
    QList<zelk::msg::CallListRecord> list;
    for (int r = 0; r < records; ++r) {
        zelk::msg::CallListRecord rec;
        rec.CallNamn = u"Sköterska %1"_s.arg(r);
        rec.CallLOPNR = r + 1;
        rec.CallFullname = u"Åsa Öberg %1"_s.arg(r);
        rec.IsCalled = r % 3 == 0;
        rec.CallTime = QDateTime(QDate(2026, 12, 10), QTime(8, r % 60));
        rec.ComingLopnr = r % 6 == 0 ? 2 : 0;
        rec.ComingName = u"Per"_s;
        rec.ComingTime = rec.CallTime.addSecs(60);
        list.append(rec);
    }
    return zelk::msg::envelope(zelk::msg::retCallList(list));
}

void BM_DispatchCallList(benchmark::State &state)
{
    const QString block = callListBlock(static_cast<int>(state.range(0)));
    zelk::CallListModel model(u"1.10.4"_s);
    zelk::IncomingDispatcher dispatcher(model);
    for (auto _ : state) {
        zelk::IncomingAssembler assembler;
        dispatcher.DispatchIncoming(*assembler.feed(block));
        benchmark::DoNotOptimize(model.menu().size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DispatchCallList)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
