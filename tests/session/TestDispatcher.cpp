#include "SessionDoubles.h"

#include "common/Identity.h"
#include "protocol/Messages.h"
#include "session/IncomingAssembler.h"
#include "session/IncomingDispatcher.h"
#include "session/SessionState.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;
using zelk::test::callListMessage;

class TestDispatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void iniTextAndCallList_oneBlock();
    void twoIniTexts_twoPasses();
    void callList_threeRecordsSecondNotCallable();
    void menuCaptions_data();
    void menuCaptions();
    void faceMap_data();
    void faceMap();
    void emptyCallList_asksForResources();
    void notRegistered_thenClientData();
    void otherError_shownAndRestDispatched();
    void refusedVersion_dropsTheRest();
    void allCallables_olderServerMovesCallList();
    void nestedPassRebuildsWhileOuterWaits();
    void envelope_inThreeReads();
    void envelope_endMarkerSplit();
    void callList_splitAtEveryPosition();
    void brokenMessage_isNotHeldForever();
    void heldBack_isCapped();
    void envelope_completingReadOpensTheNext();
    void envelopes_sameWhateverTheReads();

private:
    QList<QString> names() const;

    std::unique_ptr<CallListModel> m_model;
    std::unique_ptr<IncomingDispatcher> m_dispatcher;
    std::unique_ptr<test::RecordingPrompts> m_prompts;
    test::FakeAdminDialog m_dialog;
    QStringList m_iniTexts;
    QStringList m_versions;
};

void TestDispatcher::init()
{
    m_prompts.reset();
    m_prompts = std::make_unique<test::RecordingPrompts>();
    m_model = std::make_unique<CallListModel>(u"1.10.4"_s);
    m_dispatcher = std::make_unique<IncomingDispatcher>(*m_model);
    m_dialog = {};
    m_iniTexts.clear();
    m_versions.clear();
    m_dispatcher->setAdminDialog(&m_dialog);
    m_dispatcher->setIniTextSink([this](const QString &v) { m_iniTexts << v; });
    m_dispatcher->setVersionCheck([this](const QString &v) {
        m_versions << v;
        return serverVersionNumber(v) >= kMinimumServerVersion;
    });
    ServerVersion = u"1.10.4"_s;
}

QList<QString> TestDispatcher::names() const
{
    QList<QString> result;
    for (const auto &item : m_model->items())
        result << item.CallNamn;
    return result;
}

void TestDispatcher::iniTextAndCallList_oneBlock()
{
    QSignalSpy rebuilt(m_dispatcher.get(), &IncomingDispatcher::callListRebuilt);
    m_dispatcher->DispatchIncoming(callListMessage(2) + msg::retIniText(u"värde"_s));
    QCOMPARE(m_iniTexts, QStringList{u"värde"_s});
    QCOMPARE(names(), (QList<QString>{u"Namn 0"_s, u"Namn 1"_s}));
    QCOMPARE(rebuilt.count(), 1);
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestDispatcher::twoIniTexts_twoPasses()
{
    m_dispatcher->DispatchIncoming(msg::retIniText(u"a"_s) + msg::retIniText(u"b"_s) + u"  \r\n"_s);
    QCOMPARE(m_iniTexts, (QStringList{u"a"_s, u"b"_s}));
}

void TestDispatcher::callList_threeRecordsSecondNotCallable()
{
    QSignalSpy minimize(m_dispatcher.get(), &IncomingDispatcher::minimizeRequested);
    m_dispatcher->DispatchIncoming(callListMessage(3, [](int i, msg::CallListRecord &r) { r.IsAvbryt = i == 1; }));
    QCOMPARE(m_model->items().size(), 3);
    QVERIFY(m_model->items()[1].IsAvbryt);
    QStringList captions;
    QList<qint32> tags;
    for (const MenuEntry &e : m_model->menu()) {
        captions << e.caption;
        tags << e.tag;
    }
    QCOMPARE(captions, (QStringList{u"Namn 0"_s, u"Namn 2"_s, u"-"_s, u"Version: 1.10.4"_s,
                                    u"Inställningar..."_s, u"Avsluta"_s}));
    QCOMPARE(tags.mid(0, 2), (QList<qint32>{100, 102}));
    QCOMPARE(m_model->menu()[0].action, MenuEntry::Action::KallaViaPopupMeny);
    QCOMPARE(m_model->menu()[4].action, MenuEntry::Action::SettingsViaPopupMeny);
    QCOMPARE(m_model->menu()[5].action, MenuEntry::Action::CloseViaPopupMeny);
    QCOMPARE(minimize.count(), 1);

    // The dialog open: no hiding of the window.
    m_dialog.visible = true;
    m_dispatcher->DispatchIncoming(callListMessage(1));
    QCOMPARE(minimize.count(), 1);
}

void TestDispatcher::menuCaptions_data()
{
    QTest::addColumn<bool>("called");
    QTest::addColumn<int>("comingLopnr");
    QTest::addColumn<QString>("caption");
    const QDateTime at(QDate(2026, 12, 10), QTime(9, 5, 7));
    const QString callTime = menuClockText(at);
    const QString comingTime = menuClockText(at.addSecs(60));
    QTest::newRow("not called") << false << 3 << u"Namn 0"_s;
    QTest::newRow("called") << true << 0 << u"Namn 0 - kallad "_s + callTime;
    QTest::newRow("called, someone coming")
        << true << 3 << u"Namn 0 - kallad "_s + callTime + u", Per på väg "_s + comingTime;
}

void TestDispatcher::menuCaptions()
{
    QFETCH(bool, called);
    QFETCH(int, comingLopnr);
    QFETCH(QString, caption);
    QVERIFY(menuClockText(QDateTime(QDate(2026, 1, 1), QTime(9, 5, 7))).contains(u"05:07"));
    m_dispatcher->DispatchIncoming(callListMessage(1, [&](int, msg::CallListRecord &r) {
        r.IsCalled = called;
        r.CallTime = QDateTime(QDate(2026, 12, 10), QTime(9, 5, 7));
        r.ComingName = u"Per"_s;
        r.ComingTime = r.CallTime.addSecs(60);
        r.ComingLopnr = comingLopnr;
    }));
    QCOMPARE(m_model->menu().first().caption, caption);

    // A call from this window changes the caption at once, without the time.
    m_model->items()[0].IsCalled = !called;
    m_model->UpdateMenuCaption(m_model->items()[0]);
    QCOMPARE(m_model->menu().first().caption, called ? u"Namn 0"_s : u"Namn 0 - kallad"_s);
}

void TestDispatcher::faceMap_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("faces");
    QTest::newRow("3") << 3 << QList<int>{0, 1, 2, 0, 1, 2, 0, 1};
    QTest::newRow("1") << 1 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("12") << 12 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
}

void TestDispatcher::faceMap()
{
    QFETCH(int, count);
    QFETCH(QList<int>, faces);
    m_dispatcher->DispatchIncoming(callListMessage(count));
    const FaceMap map = m_model->faces();
    QCOMPARE(QList<int>(map.begin() + 1, map.end()), faces);

    // An empty list leaves the map as it was.
    m_dispatcher->DispatchIncoming(callListMessage(0));
    QCOMPARE(m_model->faces(), map);
}

void TestDispatcher::emptyCallList_asksForResources()
{
    m_dispatcher->DispatchIncoming(callListMessage(2));
    m_dispatcher->DispatchIncoming(u"¤RETCALLLIST~~RETCALLLIST¤"_s);
    QVERIFY(m_model->items().isEmpty());
    QCOMPARE(m_model->menu().size(), 4); // separator, version, settings, exit
    QCOMPARE(m_prompts->errors, QStringList{u"Det finns inga resurser att visa i listan!\nGå till "
                                            "Systemregistret, fyll i önskade resurser och tryck på Spara."_s});
    QCOMPARE(m_dialog.calls, QStringList{u"openClientSettings"_s});
}

void TestDispatcher::notRegistered_thenClientData()
{
    m_dispatcher->DispatchIncoming(u"ERROR: 001"_s + msg::retIniText(u"x"_s));
    QCOMPARE(m_prompts->errors.size(), 1); // once, though the rerun meets the text again
    QVERIFY(m_prompts->errors[0].startsWith(u"Klienten finns inte i databasen!\nGå till Systemregistret"));
    QVERIFY(m_dialog.pnlPlatsVisible);
    QCOMPARE(m_dialog.calls, QStringList{u"openClientSettings"_s});
    QCOMPARE(m_iniTexts, QStringList{u"x"_s});

    m_dialog.visible = true;
    m_dispatcher->DispatchIncoming(msg::zelkClientData(u"Klient"_s, u"Rum å"_s, 255));
    QVERIFY(!m_dialog.pnlPlatsVisible);
    QCOMPARE(ClientData.Name, u"Klient"_s);
    QCOMPARE(ClientData.FriendlyName, u"Rum å"_s);
    QCOMPARE(ClientData.Color, 255);
    QCOMPARE(m_dialog.calls.last(), u"refreshClientSettings"_s);
}

void TestDispatcher::otherError_shownAndRestDispatched()
{
    m_dispatcher->DispatchIncoming(u"ERROR: 005 no client"_s);
    QCOMPARE(m_prompts->errors, QStringList{u"Servern svarade med följande fel: 005 no client"_s});

    m_prompts->errors.clear();
    m_dispatcher->DispatchIncoming(u"ERROR: 007 "_s + callListMessage(1));
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY(m_prompts->errors[0].startsWith(u"Servern svarade med följande fel: 007 ¤RETCALLLIST~"));
    QCOMPARE(m_model->items().size(), 1);
}

void TestDispatcher::refusedVersion_dropsTheRest()
{
    m_dispatcher->DispatchIncoming(msg::retServerVersion(u"1.10.0"_s) + callListMessage(2));
    QCOMPARE(m_versions, QStringList{u"1.10.0"_s});
    QVERIFY(m_model->items().isEmpty());

    m_dispatcher->DispatchIncoming(msg::retServerVersion(u"1.10.1"_s) + callListMessage(2));
    QCOMPARE(m_model->items().size(), 2);
}

void TestDispatcher::allCallables_olderServerMovesCallList()
{
    m_dispatcher->DispatchIncoming(callListMessage(2));
    const QList<msg::CallableResource> resources{{u"A"_s, 100, {}, {}, 0, {}, true},
                                                 {u"B"_s, 7, {}, {}, 0, {}, false}};
    // Without a target nothing happens but the removal.
    m_dispatcher->DispatchIncoming(msg::retAllCallables(resources));
    QVERIFY(m_dialog.all.isEmpty());

    m_dialog.target = true;
    ServerVersion = u"1.10.3"_s;
    m_dispatcher->DispatchIncoming(msg::retAllCallables(resources) + msg::retStationCallables({7}));
    QCOMPARE(m_dialog.all.size(), 2);
    QCOMPARE(m_dialog.all[1].text, u"B - (inaktiv)"_s);
    QVERIFY(m_dialog.older);
    QCOMPARE(m_dialog.moved, (QList<qint32>{100, 101}));
    QCOMPARE(m_dialog.station, QList<qint32>{7});

    ServerVersion = u"1.10.4"_s;
    m_dispatcher->DispatchIncoming(msg::retAllCallables(resources));
    QVERIFY(!m_dialog.older);
    QVERIFY(m_dialog.moved.isEmpty());
}

void TestDispatcher::nestedPassRebuildsWhileOuterWaits()
{
    // While the outer pass shows the server's error, a nested pass rebuilds the list; the
    // outer pass then goes on with its own text and rebuilds it once more.
    m_dispatcher->DispatchIncoming(callListMessage(5));
    int nestedSize = -1;
    m_prompts->whileErrorShown = [&] {
        m_dispatcher->DispatchIncoming(callListMessage(8) + msg::retIniText(u"inner"_s));
        nestedSize = static_cast<int>(m_model->items().size());
    };
    m_dispatcher->DispatchIncoming(msg::retIniText(u"outer"_s) + u"ERROR: 009 busy "_s + callListMessage(2));
    QCOMPARE(nestedSize, 8);
    QCOMPARE(m_iniTexts, (QStringList{u"outer"_s, u"inner"_s}));
    QCOMPARE(names(), (QList<QString>{u"Namn 0"_s, u"Namn 1"_s}));
    QCOMPARE(m_model->faces()[8], 1);
}

void TestDispatcher::envelope_inThreeReads()
{
    IncomingAssembler assembler;
    const QString whole = msg::envelope(callListMessage(3) + msg::retIniText(u"v"_s));
    const qsizetype third = whole.size() / 3;
    QVERIFY(!assembler.feed(whole.left(third)));
    QVERIFY(assembler.collecting());
    QVERIFY(!assembler.feed(whole.mid(third, third)));
    const auto block = assembler.feed(whole.mid(2 * third));
    QVERIFY(block);
    QCOMPARE(*block, callListMessage(3) + msg::retIniText(u"v"_s));
    QVERIFY(!assembler.collecting());
}

void TestDispatcher::envelope_endMarkerSplit()
{
    IncomingAssembler assembler;
    const QString whole = msg::envelope(msg::retIniText(u"v"_s));
    QVERIFY(!assembler.feed(whole.left(whole.size() - 4)));
    const auto block = assembler.feed(whole.right(4)); // "END#"
    QVERIFY(block);
    QCOMPARE(*block, msg::retIniText(u"v"_s));
}

void TestDispatcher::callList_splitAtEveryPosition()
{
    const QString plain = callListMessage(3, [](int i, msg::CallListRecord &r) { r.IsCalled = i == 2; });
    m_dispatcher->DispatchIncoming(plain);
    const QList<QString> expected = names();
    const auto expectedMenu = m_model->menu();

    for (const QString &whole : {plain, msg::envelope(plain)}) {
        for (qsizetype at = 1; at < whole.size(); ++at) {
            m_model->rebuild({});
            IncomingAssembler assembler;
            for (const QString &read : {whole.left(at), whole.mid(at)}) {
                if (auto block = assembler.feed(read))
                    m_dispatcher->DispatchIncoming(*block);
            }
            QVERIFY2(names() == expected, qPrintable(u"split at %1"_s.arg(at)));
            QVERIFY(m_model->menu() == expectedMenu);
            QCOMPARE(assembler.heldBack(), 0);
        }
    }
}

void TestDispatcher::brokenMessage_isNotHeldForever()
{
    IncomingAssembler assembler;
    QVERIFY(!assembler.feed(u"¤RETINITEXT:abc"_s));
    QVERIFY(assembler.heldBack() > 0);
    const auto block = assembler.feed(callListMessage(1));
    QVERIFY(block);
    m_dispatcher->DispatchIncoming(*block);
    QCOMPARE(m_model->items().size(), 1);
    QCOMPARE(assembler.heldBack(), 0);
}

void TestDispatcher::heldBack_isCapped()
{
    IncomingAssembler assembler;
    QString huge = u"¤RETCALLLIST~"_s + QString(IncomingAssembler::kHoldLimit, u'x');
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"incomplete message"_s));
    QVERIFY(!assembler.feed(huge));
    QCOMPARE(assembler.heldBack(), 0);
}

void TestDispatcher::envelope_completingReadOpensTheNext()
{
    const QString first = callListMessage(2) + msg::retIniText(u"a"_s);
    const QString second = msg::retIniText(u"b"_s);
    const QString one = msg::envelope(first);
    const QString two = msg::envelope(second);
    const qsizetype half = one.size() / 2;

    IncomingAssembler assembler;
    QVERIFY(assembler.takeBlocks(one.left(half)).isEmpty());
    // The rest of the first envelope, its end and the start of the second in one read.
    QCOMPARE(assembler.takeBlocks(one.mid(half) + two.left(15)), QStringList{first});
    QVERIFY(assembler.collecting());
    QCOMPARE(assembler.takeBlocks(two.mid(15)), QStringList{second});
    QVERIFY(!assembler.collecting());

    // The same reads through the joined form reach the dispatcher whole.
    IncomingAssembler joined;
    for (const QString &read : QStringList{one.left(half), one.mid(half) + two.left(15), two.mid(15)}) {
        if (auto block = joined.feed(read))
            m_dispatcher->DispatchIncoming(*block);
    }
    QCOMPARE(m_iniTexts, (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(names(), (QList<QString>{u"Namn 0"_s, u"Namn 1"_s}));
}

// A stream of envelopes and loose messages, cut into reads in every way tried, gives the
// blocks of the uncut stream: each envelope whole and alone, nothing lost or repeated, all in
// stream order, and the dispatcher sees every settings answer in order.
void TestDispatcher::envelopes_sameWhateverTheReads()
{
    const QStringList envelopes{callListMessage(2) + msg::retIniText(u"e1"_s),
                                msg::retIniText(u"e2"_s) + msg::retIniText(u"e3"_s),
                                callListMessage(3)};
    const QString stream = msg::retIniText(u"l1"_s) + msg::envelope(envelopes[0])
                           + msg::envelope(envelopes[1]) + msg::retIniText(u"l2"_s)
                           + msg::retIniText(u"l3"_s) + msg::envelope(envelopes[2])
                           + msg::retIniText(u"l4"_s);
    const QStringList iniOrder{u"l1"_s, u"e1"_s, u"e2"_s, u"e3"_s, u"l2"_s, u"l3"_s, u"l4"_s};

    const QStringList uncut = IncomingAssembler().takeBlocks(stream);
    QCOMPARE(uncut.size(), 6);
    const QString everything = uncut.join(QString());

    const auto check = [&](const QList<qsizetype> &cuts) {
        m_model->rebuild({});
        m_iniTexts.clear();
        IncomingAssembler assembler;
        QStringList blocks;
        qsizetype from = 0;
        QList<qsizetype> ends = cuts;
        ends.append(stream.size());
        for (qsizetype to : ends) {
            for (const QString &block : assembler.takeBlocks(stream.mid(from, to - from))) {
                blocks.append(block);
                m_dispatcher->DispatchIncoming(block);
            }
            from = to;
        }
        const QString where = u"cuts at"_s + [&] {
            QString list;
            for (qsizetype c : cuts)
                list += u' ' + QString::number(c);
            return list;
        }();
        QVERIFY2(blocks.join(QString()) == everything, qPrintable(where));
        qsizetype next = 0;
        for (const QString &envelope : envelopes) {
            next = blocks.indexOf(envelope, next);
            QVERIFY2(next >= 0, qPrintable(where));
            ++next;
        }
        QVERIFY2(m_iniTexts == iniOrder, qPrintable(where + u": "_s + m_iniTexts.join(u',')));
        QVERIFY2(m_model->items().size() == 3, qPrintable(where));
        QVERIFY(!assembler.collecting());
        QCOMPARE(assembler.heldBack(), 0);
    };

    check({});
    for (qsizetype at = 1; at < stream.size(); ++at)
        check({at});
    for (qsizetype step = 1; step <= 12; ++step) {
        QList<qsizetype> cuts;
        for (qsizetype at = step; at < stream.size(); at += step)
            cuts.append(at);
        check(cuts);
    }
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("random cuts with seed %u", seed);
    for (int round = 0; round < 300; ++round) {
        QList<qsizetype> cuts;
        const int count = random.bounded(1, 20);
        for (int i = 0; i < count; ++i)
            cuts.append(random.bounded(1, int(stream.size())));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        check(cuts);
    }
}

QTEST_GUILESS_MAIN(TestDispatcher)
#include "TestDispatcher.moc"
