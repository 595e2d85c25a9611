#include "admin/ResourceLists.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

// "3 5* 7" : items numbered 3, 5, 7 with 5 selected; a trailing "@1" puts the focus on row 1.
ResourceList listOf(const QString &spec)
{
    ResourceList list;
    QString body = spec;
    const qsizetype at = body.indexOf(u'@');
    if (at >= 0) {
        list.focused = body.mid(at + 1).toInt();
        body.truncate(at);
    }
    for (const QString &part : body.split(u' ', Qt::SkipEmptyParts)) {
        const bool selected = part.endsWith(u'*');
        const qint32 number = QStringView(part).left(part.size() - (selected ? 1 : 0)).toInt();
        list.append({u"R"_s + QString::number(number), number});
        list.selected.last() = selected;
    }
    return list;
}

// The numbers in order, selection marks and focus, in the form listOf reads.
QString describe(const ResourceList &list)
{
    QStringList parts;
    for (qsizetype i = 0; i < list.items.size(); ++i)
        parts << QString::number(list.items[i].number) + (list.selected[i] ? u"*"_s : QString());
    QString text = parts.join(u' ');
    if (list.focused >= 0)
        text += u'@' + QString::number(list.focused);
    return text;
}

} // namespace

class TestResourceLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void moves_data();
    void moves();
    void itemTextTravelsUnchanged();
    void station_movesFoundNumbersInReplyOrder();
    void all_refillsAndOlderServerTakesCallList();
};

void TestResourceLists::moves_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("all");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("allAfter");
    QTest::addColumn<QString>("chosenAfter");

    QTest::newRow("add selected, top to bottom") << "add" << "3* 5 7* 9" << "1" << "5 9" << "1 3 7";
    QTest::newRow("add focused copies and keeps it") << "add" << "3 5 7@1" << "" << "3 5 7@1" << "5";
    QTest::newRow("add focused again copies again") << "add" << "3 5 7@1" << "5" << "3 5 7@1" << "5 5";
    QTest::newRow("add with selection ignores focus") << "add" << "3 5* 7@2" << "" << "3 7@1" << "5";
    QTest::newRow("add with nothing") << "add" << "3 5" << "9" << "3 5" << "9";
    QTest::newRow("add from empty list") << "add" << "" << "9" << "" << "9";
    QTest::newRow("back selected") << "back" << "3" << "5* 7 9*" << "3 5 9" << "7";
    QTest::newRow("back number 1 not doubled") << "back" << "1 3" << "1* 7" << "1 3" << "7";
    QTest::newRow("back number 1 when absent") << "back" << "3" << "1* 7" << "3 1" << "7";
    QTest::newRow("back two number 1 items") << "back" << "3" << "1* 1*" << "3 1" << "";
    QTest::newRow("back focus only does nothing") << "back" << "3" << "5 7@0" << "3" << "5 7@0";
    QTest::newRow("up") << "up" << "" << "5 7 9@2" << "" << "5 9 7@1";
    QTest::newRow("up on first does nothing") << "up" << "" << "5 7 9@0" << "" << "5 7 9@0";
    QTest::newRow("up without focus does nothing") << "up" << "" << "5 7" << "" << "5 7";
    QTest::newRow("down") << "down" << "" << "5 7 9@0" << "" << "7 5 9@1";
    QTest::newRow("down on last does nothing") << "down" << "" << "5 7 9@2" << "" << "5 7 9@2";
    QTest::newRow("down keeps selection with item") << "down" << "" << "5* 7 9@0" << "" << "7 5* 9@1";
}

void TestResourceLists::moves()
{
    QFETCH(QString, op);
    QFETCH(QString, all);
    QFETCH(QString, chosen);
    ResourceList a = listOf(all);
    ResourceList c = listOf(chosen);
    if (op == u"add")
        moveToChosen(a, c);
    else if (op == u"back")
        moveBack(c, a);
    else if (op == u"up")
        moveUp(c);
    else
        moveDown(c);
    QTEST(describe(a), "allAfter");
    QTEST(describe(c), "chosenAfter");
}

void TestResourceLists::itemTextTravelsUnchanged()
{
    ResourceList all;
    ResourceList chosen;
    all.append({u"Dr Ek - (inaktiv)"_s, 12});
    all.selected[0] = true;
    moveToChosen(all, chosen);
    QCOMPARE(chosen.items.value(0), (ResourceItem{u"Dr Ek - (inaktiv)"_s, 12}));
    chosen.selected[0] = true;
    moveBack(chosen, all);
    QCOMPARE(all.items.value(0), (ResourceItem{u"Dr Ek - (inaktiv)"_s, 12}));
}

void TestResourceLists::station_movesFoundNumbersInReplyOrder()
{
    ResourceList all = listOf(u"3 5 7 9"_s);
    ResourceList chosen;
    applyStation(all, chosen, {9, 42, 3});
    QCOMPARE(describe(all), u"5 7"_s);
    QCOMPARE(describe(chosen), u"9 3"_s);
}

void TestResourceLists::all_refillsAndOlderServerTakesCallList()
{
    const QList<msg::CallableEntry> entries{{u"A"_s, 3}, {u"B"_s, 5}, {u"C - (inaktiv)"_s, 7}, {u"D"_s, 9}};
    ResourceList all = listOf(u"1 2*@0"_s);
    ResourceList chosen = listOf(u"4"_s);

    applyAll(all, chosen, entries, false, {7, 3});
    QCOMPARE(describe(all), u"3 5 7 9"_s);
    QCOMPARE(describe(chosen), QString());
    QCOMPARE(all.items[2].text, u"C - (inaktiv)"_s);

    // The calling list's order, each number once, unknown numbers skipped.
    applyAll(all, chosen, entries, true, {7, 42, 3, 7});
    QCOMPARE(describe(all), u"5 9"_s);
    QCOMPARE(describe(chosen), u"7 3"_s);
}

QTEST_GUILESS_MAIN(TestResourceLists)
#include "TestResourceLists.moc"
