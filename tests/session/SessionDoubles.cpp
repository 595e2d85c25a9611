#include "SessionDoubles.h"

using namespace Qt::StringLiterals;

namespace zelk::test {

void RecordingPrompts::showError(const QString &text)
{
    errors << text;
    if (whileErrorShown) {
        auto hook = std::exchange(whileErrorShown, {});
        hook();
    }
}

int RecordingPrompts::askYesNo(const QString &text)
{
    questions << text;
    return answer;
}

void FakeAdminDialog::applyAllCallables(const QList<msg::CallableEntry> &entries, bool olderServer,
                                        const QList<qint32> &callListNumbers)
{
    all = entries;
    older = olderServer;
    moved = callListNumbers;
}

QString callListMessage(int count, const std::function<void(int, msg::CallListRecord &)> &adjust)
{
    QList<msg::CallListRecord> records;
    for (int i = 0; i < count; ++i) {
        msg::CallListRecord r;
        r.CallNamn = u"Namn %1"_s.arg(i);
        r.CallLOPNR = 100 + i;
        r.CallFullname = u"Fullt namn %1"_s.arg(i);
        r.CallColor = 0x112233 * (i + 1);
        r.CallTime = QDateTime(QDate(2026, 12, 10), QTime(8, 0, 0));
        r.ComingTime = r.CallTime;
        if (adjust)
            adjust(i, r);
        records.append(r);
    }
    return msg::retCallList(records);
}

} // namespace zelk::test
