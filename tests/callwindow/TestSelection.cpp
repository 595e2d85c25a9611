#include "callwindow/selection/SelectionMachine.h"

#include "common/Registry.h"
#include "common/Settings.h"
#include "protocol/Messages.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

class RecordingHost final : public SelectionHost
{
public:
    bool isConnected() const override { return connected; }
    void sendCalling(qint32 lopnr) override { calls << lopnr; }
    void say(const QString &text, int flags) override { spoken << u"%1|%2"_s.arg(flags).arg(text); }
    void setTrayImage(int image) override { trayImages << image; }
    void BringToFront() override { ++broughtToFront; }
    void openServerSettings() override { ++serverSettingsOpened; }
    void menuChanged() override { ++menuChanges; }
    void showHint(const QString &text) override { hints << text; }

    bool connected = true;
    QList<qint32> calls;
    QStringList spoken;
    QList<int> trayImages;
    int broughtToFront = 0;
    int serverSettingsOpened = 0;
    int menuChanges = 0;
    QStringList hints;
};

// One key event of a test sequence: down or up, the key, with Alt or not; "expire" lets
// Timer1 run out in between.
struct KeyStep
{
    char kind; // 'd' down, 'u' up, 'x' Timer1 expires
    int key = 0;
    bool alt = false;
};

} // namespace

Q_DECLARE_METATYPE(QList<KeyStep>)

class TestSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void pressDecoding_data();
    void pressDecoding();
    void f10_opensServerSettings();
    void continuous_releaseInFirstPauseCallsFaceOne();
    void continuous_releaseWhileTurningCallsNothing();
    void continuous_speaksNamesWhileTurning();
    void singleClick_threeClicksCallFaceThree();
    void faceRefill_data();
    void faceRefill();
    void remoteMode_data();
    void remoteMode();
    void notCallable_sendsNothing();
    void notConnected_isNotReportedAsCalled();
    void releaseBeforeFirstTick_callsNothing();
    void callingTwice_togglesAndMenuFollows();
    void popupMenu_callsWithoutCaptionChange();
    void switches_takeEffectAtTheNextPress();
    void pushedList_keepsTheFrontEntryInFront_data();
    void pushedList_keepsTheFrontEntryInFront();

private:
    void loadList(int count);
    void press() { m_machine->FormKeyDown(Qt::Key_F12, Qt::AltModifier); }
    void release() { m_machine->FormKeyUp(Qt::Key_F12, Qt::AltModifier); }
    // Frame ticks until face `face` is at the front and pausing.
    void turnTo(int face);

    QTemporaryDir m_registry;
    std::unique_ptr<CallListModel> m_model;
    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<SelectionMachine> m_machine;
};

void TestSelection::initTestCase()
{
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry.path()));
}

void TestSelection::init()
{
    QFile::remove(registryHiveFile(RegistryRoot::CurrentUser));
    QFile::remove(registryHiveFile(RegistryRoot::LocalMachine));
    resetRegistryHives();
    WriteSetting(keys::SelectMode, u"1"_s);
    WriteSetting(keys::SayCallingInfo, u"0"_s);
    WriteSetting(keys::SayCallingName, u"0"_s);
    WriteSetting(keys::EmulateTerminalServer, u"0"_s);
    WriteSetting(keys::TerminalServerEnabled, u"0"_s);
    m_model = std::make_unique<CallListModel>(u"1.10.4"_s);
    m_host = std::make_unique<RecordingHost>();
    m_machine = std::make_unique<SelectionMachine>(*m_model, *m_host);
    m_machine->LoadSelectionSettings();
    loadList(3);
}

void TestSelection::loadList(int count)
{
    QList<msg::CallListRecord> records;
    for (int i = 0; i < count; ++i) {
        msg::CallListRecord r;
        r.CallNamn = u"Namn %1"_s.arg(i);
        r.CallLOPNR = 100 + i;
        records << r;
    }
    m_model->rebuild(records);
}

void TestSelection::turnTo(int face)
{
    for (int tick = 0; tick < 100000; ++tick) {
        if (m_machine->CurrentFrame == face && m_machine->NameTimer.isActive())
            return;
        if (m_machine->NameTimer.isActive())
            m_machine->NameTimerTimer(); // the pause is over
        m_machine->AdvanceSelection();
    }
    QFAIL("the drum never reached the face");
}

void TestSelection::pressDecoding_data()
{
    QTest::addColumn<QList<KeyStep>>("steps");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("Alt+F12") << QList<KeyStep>{{'d', Qt::Key_Alt, true}, {'d', Qt::Key_F12, true}} << true;
    QTest::newRow("F12 then Alt within 50 ms")
        << QList<KeyStep>{{'d', Qt::Key_F12, false}, {'d', Qt::Key_Alt, true}} << true;
    QTest::newRow("F12 then Alt after 50 ms")
        << QList<KeyStep>{{'d', Qt::Key_F12, false}, {'x'}, {'d', Qt::Key_Alt, true}} << false;
    QTest::newRow("F12 alone") << QList<KeyStep>{{'d', Qt::Key_F12, false}} << false;
    QTest::newRow("Alt alone") << QList<KeyStep>{{'d', Qt::Key_Alt, true}} << false;
    QTest::newRow("released by F12 without Alt")
        << QList<KeyStep>{{'d', Qt::Key_F12, true}, {'u', Qt::Key_F12, false}} << false;
    QTest::newRow("released by Alt")
        << QList<KeyStep>{{'d', Qt::Key_F12, true}, {'u', Qt::Key_Alt, true}} << false;
    QTest::newRow("other key up keeps it")
        << QList<KeyStep>{{'d', Qt::Key_F12, true}, {'u', Qt::Key_A, false}} << true;
}

void TestSelection::pressDecoding()
{
    QFETCH(QList<KeyStep>, steps);
    QFETCH(bool, pressed);
    for (const KeyStep &s : steps) {
        const Qt::KeyboardModifiers mods = s.alt ? Qt::AltModifier : Qt::NoModifier;
        if (s.kind == 'd')
            m_machine->FormKeyDown(s.key, mods);
        else if (s.kind == 'u')
            m_machine->FormKeyUp(s.key, mods);
        else
            m_machine->Timer1Timer();
    }
    QCOMPARE(m_machine->AltF12Clicked, pressed);
}

void TestSelection::f10_opensServerSettings()
{
    m_machine->FormKeyDown(Qt::Key_F10, Qt::NoModifier);
    m_machine->FormKeyDown(Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(m_host->serverSettingsOpened, 1);
}

void TestSelection::continuous_releaseInFirstPauseCallsFaceOne()
{
    WriteSetting(keys::SayCallingInfo, u"-1"_s);
    press();
    QVERIFY(m_machine->DXTimer.isEnabled());
    QCOMPARE(m_host->trayImages, QList<int>{1});
    QCOMPARE(m_host->broughtToFront, 1);
    QVERIFY(!m_machine->AdvanceSelection()); // the first tick reaches face 1 at once
    QCOMPARE(m_machine->CurrentFrame, 1);
    QVERIFY(m_machine->NameTimer.isActive());
    release();
    QCOMPARE(m_host->calls, QList<qint32>{100});
    QVERIFY(m_model->items()[0].IsCalled);
    QCOMPARE(m_host->spoken, QStringList{u"1|Kallar på Namn 0"_s});
    QVERIFY(!m_machine->DXTimer.isEnabled());
    QVERIFY(m_machine->MinimizeTimer.isActive());
    QCOMPARE(m_host->trayImages, (QList<int>{1, 0}));

    // Again: the call is withdrawn or confirmed.
    press();
    m_machine->AdvanceSelection();
    release();
    QCOMPARE(m_host->calls, (QList<qint32>{100, 100}));
    QVERIFY(!m_model->items()[0].IsCalled);
    QCOMPARE(m_host->spoken.last(), u"1|Namn 0 bekräftad!"_s);
}

void TestSelection::continuous_releaseWhileTurningCallsNothing()
{
    press();
    m_machine->AdvanceSelection();
    m_machine->NameTimerTimer();
    m_machine->AdvanceSelection();
    QCOMPARE(m_machine->CurrentFrame, 1);
    QVERIFY(!m_machine->NameTimer.isActive());
    QVERIFY(m_machine->FramPos > 0); // turning smoothly
    release();
    QVERIFY(m_host->calls.isEmpty());
    QVERIFY(m_machine->MinimizeTimer.isActive());
    QCOMPARE(m_host->trayImages.last(), 0);
}

void TestSelection::continuous_speaksNamesWhileTurning()
{
    WriteSetting(keys::SayCallingName, u"True"_s);
    press();
    turnTo(3);
    QCOMPARE(m_host->spoken, (QStringList{u"1|Namn 0"_s, u"1|Namn 1"_s, u"1|Namn 2"_s}));
    QVERIFY(!std::isnan(m_machine->FramPos));
    m_machine->AdvanceSelection(); // during the pause the drum snaps to the face
    QCOMPARE(m_machine->FramPos, 2 * FaceStep);
}

void TestSelection::singleClick_threeClicksCallFaceThree()
{
    WriteSetting(keys::SelectMode, u"2"_s);
    WriteSetting(keys::SayCallingName, u"-1"_s);
    for (int click = 1; click <= 3; ++click) {
        press();
        QVERIFY(m_machine->AdvanceSelection());
        m_machine->AnnounceFace();
        QCOMPARE(m_machine->CurrentFrame, click);
        QCOMPARE(m_machine->FramPos, (click - 1) * FaceStep);
        release();
        QVERIFY(m_machine->AutoSelectTimer.isActive());
        QCOMPARE(m_machine->AutoSelectTimer.interval(), 3000);
        QVERIFY(m_host->calls.isEmpty());
    }
    QCOMPARE(m_host->spoken, (QStringList{u"0|Namn 0"_s, u"0|Namn 1"_s, u"0|Namn 2"_s}));
    m_machine->AutoSelectTimerTimer();
    QCOMPARE(m_host->calls, QList<qint32>{100 + m_model->faces()[3]});
    QVERIFY(!m_machine->DXTimer.isEnabled());
    QVERIFY(m_machine->MinimizeTimer.isActive());
}

void TestSelection::faceRefill_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("front");
    QTest::addColumn<QList<int>>("faces");
    QTest::newRow("3 entries, face 1") << 3 << 1 << QList<int>{0, 1, 2, 0, 1, 2, 0, 1};
    QTest::newRow("3 entries, face 5") << 3 << 5 << QList<int>{2, 1, 2, 0, 1, 2, 0, 1};
    QTest::newRow("12 entries, face 5") << 12 << 5 << QList<int>{8, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("12 entries, face 8") << 12 << 8 << QList<int>{8, 9, 10, 11, 4, 5, 6, 7};
}

void TestSelection::faceRefill()
{
    QFETCH(int, count);
    QFETCH(int, front);
    QFETCH(QList<int>, faces);
    loadList(count);
    press();
    turnTo(front);
    const FaceMap map = m_model->faces();
    QCOMPARE(QList<int>(map.begin() + 1, map.end()), faces);
}

void TestSelection::remoteMode_data()
{
    QTest::addColumn<QString>("frameRate");
    QTest::newRow("5") << u"5"_s;
    QTest::newRow("0 counts as 5") << u"0"_s;
    QTest::newRow("negative counts as 5") << u"-3"_s;
}

void TestSelection::remoteMode()
{
    QFETCH(QString, frameRate);
    WriteSetting(keys::FrameRate, frameRate);
    WriteSetting(keys::EmulateTerminalServer, u"-1"_s);
    m_machine->LoadSelectionSettings();
    QVERIFY(m_machine->RemoteMode());
    QCOMPARE(m_machine->DXTimer.interval(), 100);
    QCOMPARE(m_machine->FrameRate, 200.0);
    QCOMPARE(m_machine->NameTimer.interval(), 4000);

    // Every tick outside a pause reaches the next face: the drum jumps, it does not turn.
    press();
    m_machine->AdvanceSelection();
    m_machine->NameTimerTimer();
    m_machine->AdvanceSelection();
    QCOMPARE(m_machine->CurrentFrame, 2);
    m_machine->AdvanceSelection();
    QCOMPARE(m_machine->FramPos, FaceStep);
}

void TestSelection::notCallable_sendsNothing()
{
    m_model->items()[0].IsAvbryt = true;
    press();
    m_machine->AdvanceSelection();
    release();
    QVERIFY(m_host->calls.isEmpty());
    QVERIFY(!m_model->items()[0].IsCalled);
}

void TestSelection::notConnected_isNotReportedAsCalled()
{
    WriteSetting(keys::SayCallingInfo, u"-1"_s);
    m_host->connected = false;
    press();
    m_machine->AdvanceSelection();
    release();
    QVERIFY(m_host->calls.isEmpty());
    QVERIFY(!m_model->items()[0].IsCalled);
    QVERIFY(m_host->spoken.isEmpty());
    QCOMPARE(m_host->hints, QStringList{u"Ingen anslutning till servern - kallelsen skickades inte!"_s});
}

void TestSelection::releaseBeforeFirstTick_callsNothing()
{
    WriteSetting(keys::SelectMode, u"2"_s);
    press();
    release();
    m_machine->AutoSelectTimerTimer();
    QVERIFY(m_host->calls.isEmpty());
    QVERIFY(m_machine->MinimizeTimer.isActive());
}

void TestSelection::callingTwice_togglesAndMenuFollows()
{
    WriteSetting(keys::SelectMode, u"2"_s);
    for (const QString &caption : {u"Namn 0 - kallad"_s, u"Namn 0"_s}) {
        press();
        m_machine->AdvanceSelection();
        release();
        m_machine->AutoSelectTimerTimer();
        QCOMPARE(m_model->menu().first().caption, caption);
    }
    QCOMPARE(m_host->calls, (QList<qint32>{100, 100}));
    QCOMPARE(m_host->menuChanges, 2);
}

void TestSelection::popupMenu_callsWithoutCaptionChange()
{
    m_machine->KallaViaPopupMeny(102);
    m_machine->KallaViaPopupMeny(999);
    QCOMPARE(m_host->calls, QList<qint32>{102});
    QVERIFY(m_model->items()[2].IsCalled);
    QCOMPARE(m_model->menu()[2].caption, u"Namn 2"_s);
}

void TestSelection::switches_takeEffectAtTheNextPress()
{
    // Read when the pedal goes down, not at each tick: a change during a selection waits for
    // the next press, and no tick asks the settings store.
    press();
    m_machine->AdvanceSelection();
    WriteSetting(keys::SelectMode, u"2"_s);
    WriteSetting(keys::SayCallingName, u"-1"_s);
    turnTo(2);
    QVERIFY(m_host->spoken.isEmpty());
    release();
    QCOMPARE(m_host->calls, QList<qint32>{101});
    QVERIFY(!m_machine->AutoSelectTimer.isActive());

    press(); // single click now
    QVERIFY(m_machine->AdvanceSelection());
    m_machine->AnnounceFace();
    QCOMPARE(m_host->spoken, QStringList{u"0|Namn 0"_s});
    release();
    QVERIFY(m_machine->AutoSelectTimer.isActive());
}

void TestSelection::pushedList_keepsTheFrontEntryInFront_data()
{
    QTest::addColumn<QList<qint32>>("newList");
    QTest::addColumn<qint32>("called");
    // The drum rests on face 2 (number 101) when the server pushes a new list.
    QTest::newRow("reordered, longer") << QList<qint32>{102, 100, 105, 101, 104} << 101;
    QTest::newRow("shorter") << QList<qint32>{101} << 101;
    // Gone from the list: whatever the face shows now is what the user sees and calls.
    QTest::newRow("front entry gone") << QList<qint32>{200, 201, 202} << 201;
}

void TestSelection::pushedList_keepsTheFrontEntryInFront()
{
    QFETCH(QList<qint32>, newList);
    QFETCH(qint32, called);
    press();
    turnTo(2);
    QVERIFY(m_machine->selectionInProgress());

    QList<msg::CallListRecord> records;
    for (qint32 number : newList) {
        msg::CallListRecord r;
        r.CallNamn = u"Namn %1"_s.arg(number);
        r.CallLOPNR = number;
        records << r;
    }
    m_machine->rememberFrontEntry();
    m_model->rebuild(records);
    m_machine->keepFrontEntry();

    const int front = m_model->faces()[2];
    QCOMPARE(m_model->items()[front].CallLOPNR, called);
    // The neighbours follow in list order.
    const auto count = static_cast<int>(newList.size());
    QCOMPARE(m_model->faces()[3], (front + 1) % count);
    QCOMPARE(m_model->faces()[1], (front - 1 + count) % count);
    release();
    QCOMPARE(m_host->calls, QList<qint32>{called});
    QVERIFY(!m_machine->selectionInProgress());
}

QTEST_GUILESS_MAIN(TestSelection)
#include "TestSelection.moc"
