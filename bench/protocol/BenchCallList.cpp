// Parsing RETCALLLIST messages of growing length: the parser must stay linear, since a
// record-by-record GetField walk would rescan the text from its start for every field.
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QString cutCallList(int records)
{
    QList<zelk::msg::CallListRecord> list;
    for (int r = 0; r < records; ++r) {
        zelk::msg::CallListRecord rec;
        rec.CallNamn = u"Sköterska %1"_s.arg(r);
        rec.CallLOPNR = r + 1;
        rec.CallFullname = u"Åsa Öberg-Lindström %1"_s.arg(r);
        rec.CallColor = 0x00336699 + r;
        rec.IsAvbryt = r % 7 == 0;
        rec.IsCalled = r % 3 == 0;
        rec.CallTime = QDateTime(QDate(2026, 12, 10), QTime(8, r % 60, r % 60));
        rec.ComingName = r % 5 == 0 ? u"Per"_s : QString();
        rec.ComingTime = rec.CallTime.addSecs(90);
        rec.ComingLopnr = r % 5 == 0 ? 3 : 0;
        list.append(rec);
    }
    const QString text = zelk::msg::retCallList(list);
    return zelk::cutMessage(text, zelk::openingTag(u"RETCALLLIST", u'~'),
                            zelk::closingTag(u"RETCALLLIST", u'~'))
        ->message;
}

void BM_ParseCallList(benchmark::State &state)
{
    const QString cut = cutCallList(static_cast<int>(state.range(0)));
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state) {
        auto records = zelk::parseCallList(cut, now);
        benchmark::DoNotOptimize(records);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseCallList)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_GetFieldLastRecord(benchmark::State &state)
{
    const QString cut = cutCallList(static_cast<int>(state.range(0)));
    const int last = 10 * static_cast<int>(state.range(0) - 1) + 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(zelk::GetField(cut, last, u'~'));
}
BENCHMARK(BM_GetFieldLastRecord)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
