#include "AdminTestSupport.h"

#include "admin/TfrmSystreg.h"
#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "protocol/Messages.h"
#include "session/CallListModel.h"
#include "session/IncomingAssembler.h"
#include "session/IncomingDispatcher.h"
#include "session/SessionState.h"
#include "speech/RecordingSpeechEngine.h"
#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/TfrmSAPI51.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;
using namespace zelk;
using namespace zelk::admintest;

namespace {

const QString kClientName = u"KASSA 1"_s;

QList<msg::CallableEntry> resources(const QList<qint32> &numbers)
{
    QList<msg::CallableEntry> entries;
    for (qint32 n : numbers)
        entries.append({u"Resurs "_s + QString::number(n), n});
    return entries;
}

QList<qint32> numbersIn(const QListWidget *list)
{
    QList<qint32> numbers;
    for (int row = 0; row < list->count(); ++row)
        numbers.append(list->item(row)->data(Qt::UserRole).toInt());
    return numbers;
}

QStringList visibleTabs(const QTabWidget *tabs)
{
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->isTabVisible(i))
            captions << tabs->tabText(i);
    }
    return captions;
}

// Clicks the row of a list, Ctrl held when adding to the selection.
void clickRow(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, r.center());
}

QList<SpeechVoice> voices()
{
    return {{u"Swedish+Adam"_s, QLocale(QLocale::Swedish)}, {u"English"_s, QLocale(QLocale::English)},
            {u"Swedish"_s, QLocale(QLocale::Swedish)}};
}

} // namespace

class TestSystreg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void disconnected_onlyServerTab();
    void connected_tabsFollowTheRequest();
    void loadingClientTab_requestsLists_data();
    void loadingClientTab_requestsLists();
    void saveServerTab_closesReloadsAndReconnects();
    void styleChange_storedWithNoticeOnEverySave();
    void ovrigt_loadAndSave_data();
    void ovrigt_loadAndSave();
    void ovrigt_invertedBoxAndReloadHook();
    void esc_reloadsAndDoesNotClose();
    void automatic_writesAtOnceAndSurvivesAngra();
    void manualName_writtenPerKeystrokeAndUsedBySave();
    void save_sendsChosenResourcesInOrder();
    void save_withoutLoadedListsKeepsServerList_data();
    void save_withoutLoadedListsKeepsServerList();
    void bothListReplies_oneRead_eitherOrder_data();
    void bothListReplies_oneRead_eitherOrder();
    void addButton_copiesFocusedItem();
    void listButtons_moveSelectedAndOrder();
    void doubleClicks_moveItems();
    void dispatcher_versionDecidesFilling_data();
    void dispatcher_versionDecidesFilling();
    void register_refusesBlankPlaceKeepsLeadingBlanks();
    void colourChooser_setsSwatchOnly();
    void colourChooser_platformDialog();
    void pnlPlats_coversResources();
    void voiceTab_tickCreatesSpeechForm();
    void voiceTab_failedEngineEndsUnticked();
    void voiceTab_handlersDriveSpeechForm();
    void close_clearsTargetAndReconnectsAfterSpara();
    void port_opensModallyOnlyWhenHidden();
    void largeFont_noTextCutOff();

private:
    void connectPeer();
    void loadClientTab();
    QByteArray takeReceived();

    std::unique_ptr<QTemporaryDir> m_registry;
    std::unique_ptr<RecordingPrompts> m_prompts;
    std::unique_ptr<LoopbackPeer> m_peer;
    std::unique_ptr<TfrmSystreg> m_dlg;
    QList<bool> m_reconnects;
};

void TestSystreg::initTestCase()
{
    QVERIFY(PrepareFolders());
}

void TestSystreg::init()
{
    m_registry = std::make_unique<QTemporaryDir>();
    QVERIFY(m_registry->isValid());
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry->path()));
    resetRegistryHives();
    m_prompts = std::make_unique<RecordingPrompts>();
    ServerVersion.clear();
    ReconnectAllowed = true;
    CheckUpdateOnConnect = false;
    ClientData = {};
    m_reconnects.clear();
    ReconnectHook = [this](bool refresh) { m_reconnects.append(refresh); };
    ReloadSettingsHook = nullptr;
    SelectedVoice.clear();
    SpeechAvailable = false;
    setSpeechEngineFactory([] {
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setVoices(voices());
        return engine;
    });

    WriteSetting(keys::ClientNameUseDefault, u"0"_s);
    WriteSetting(keys::ClientName, kClientName);

    m_dlg = std::make_unique<TfrmSystreg>();
    m_dlg->setServerSaveWait(std::chrono::milliseconds(10));
    m_dlg->setColorChooser({});
}

void TestSystreg::cleanup()
{
    m_dlg.reset();
    delete frmSAPI51.data();
    m_peer.reset();
    ReconnectHook = nullptr;
    ReloadSettingsHook = nullptr;
    setSpeechEngineFactory({});
    m_prompts.reset();
    resetRegistryHives();
    m_registry.reset();
}

void TestSystreg::connectPeer()
{
    m_peer = std::make_unique<LoopbackPeer>();
    QVERIFY(m_peer->open());
    m_dlg->setClientSocket(&m_peer->client);
}

void TestSystreg::loadClientTab()
{
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsClientSettings);
    QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsClientSettings);
}

QByteArray TestSystreg::takeReceived()
{
    m_peer->client.flush();
    QTest::qWait(30);
    return std::exchange(m_peer->received, {});
}

void TestSystreg::disconnected_onlyServerTab()
{
    // Borrowed but never connected, and not lent at all.
    QTcpSocket unconnected;
    for (QAbstractSocket *socket : {static_cast<QAbstractSocket *>(&unconnected), static_cast<QAbstractSocket *>(nullptr)}) {
        m_dlg->setClientSocket(socket);
        for (QWidget *wanted : {m_dlg->tsClientSettings, m_dlg->tsVoice, m_dlg->tsOvrigtCall, m_dlg->tsServersettings}) {
            m_dlg->SetTabs(wanted);
            QCOMPARE(visibleTabs(m_dlg->PageControl1), QStringList{u"Serverinställningar/utseende"_s});
            QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsServersettings);
        }
    }
    // Loaded although it was already active: no stored name shows the not-found text.
    QCOMPARE(m_dlg->edServername->text(), u"ERROR"_s);
    QCOMPARE(m_dlg->edUpdateServername->text(), u"ERROR"_s);
}

void TestSystreg::connected_tabsFollowTheRequest()
{
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsOvrigtCall);
    QCOMPARE(visibleTabs(m_dlg->PageControl1),
             (QStringList{u"Serverinställningar/utseende"_s, u"Klientinställningar"_s, u"Röstinställningar"_s, u"Övrigt"_s}));
    QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsOvrigtCall);

    // The connection goes: the dispatcher's refresh of the active page falls back to the server tab.
    m_peer->client.abort();
    m_dlg->refreshActivePage();
    QCOMPARE(visibleTabs(m_dlg->PageControl1), QStringList{u"Serverinställningar/utseende"_s});
    QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsServersettings);
}

void TestSystreg::loadingClientTab_requestsLists_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("station");
    QTest::newRow("not reported") << QString() << false;
    QTest::newRow("1.10.3") << u"1.10.3"_s << false;
    QTest::newRow("1.10.10 is below as text") << u"1.10.10"_s << false;
    QTest::newRow("1.10.4") << u"1.10.4"_s << true;
    QTest::newRow("1.11.0") << u"1.11.0"_s << true;
    QTest::newRow("2.0") << u"2.0"_s << true;
}

void TestSystreg::loadingClientTab_requestsLists()
{
    QFETCH(QString, version);
    QFETCH(bool, station);
    ServerVersion = version;
    loadClientTab();
    QByteArray expected = wire(u"¤GETALLCALLABLES:KASSA 1:GETALLCALLABLES¤"_s);
    if (station)
        expected += wire(u"¤GETSTATIONCALLABLES:KASSA 1:GETSTATIONCALLABLES¤"_s);
    QCOMPARE(takeReceived(), expected);
    QVERIFY(m_dlg->hasCallableListTarget());
}

void TestSystreg::saveServerTab_closesReloadsAndReconnects()
{
    QString updateVersion = u"1.2.0"_s;
    m_dlg->setUpdateServerVersion([&updateVersion] { return &updateVersion; });
    ServerVersion = u"1.10.5"_s;
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsServersettings);
    QCOMPARE(m_dlg->edServerver->text(), u"1.10.5"_s);
    QCOMPARE(m_dlg->edUpdateServerver->text(), u"1.2.0"_s);
    QCOMPARE(visibleTabs(m_dlg->PageControl1).size(), 4);

    m_dlg->edServername->setText(u" signal.lan"_s);
    m_dlg->edServerport->setValue(4001);

    // The wait keeps the event loop running before anything is torn down.
    bool connectedDuringWait = false;
    QString versionDuringWait;
    QTimer::singleShot(0, this, [&] {
        connectedDuringWait = m_peer->client.state() == QAbstractSocket::ConnectedState;
        versionDuringWait = ServerVersion;
    });
    // At the reconnection the connection is closed and only the server tab is left.
    QStringList tabsAtReconnect;
    bool openAtReconnect = true;
    ReconnectHook = [&](bool refresh) {
        m_reconnects.append(refresh);
        tabsAtReconnect = visibleTabs(m_dlg->PageControl1);
        openAtReconnect = m_peer->client.state() == QAbstractSocket::ConnectedState;
    };
    QTest::mouseClick(m_dlg->btnSave, Qt::LeftButton);

    QVERIFY(connectedDuringWait);
    QCOMPARE(versionDuringWait, u"1.10.5"_s);
    QCOMPARE(ReadSetting(keys::ServerName), u" signal.lan"_s); // as typed
    QCOMPARE(ReadSetting(keys::ServerPort), u"4001"_s);
    QVERIFY(ServerVersion.isEmpty());
    QVERIFY(updateVersion.isEmpty());
    QVERIFY(!ReconnectAllowed);
    QVERIFY(CheckUpdateOnConnect);
    QCOMPARE(m_reconnects, QList<bool>{false});
    QVERIFY(!openAtReconnect);
    QCOMPARE(tabsAtReconnect, QStringList{u"Serverinställningar/utseende"_s});
    QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsServersettings);
    QVERIFY(m_dlg->edServerver->text().isEmpty());
    QVERIFY(m_dlg->edUpdateServerver->text().isEmpty());
    QCOMPARE(m_dlg->edServername->text(), u" signal.lan"_s);
    QVERIFY(m_prompts->balloons.isEmpty()); // the style was not touched
    QTRY_VERIFY(!m_peer->remote || m_peer->remote->state() != QAbstractSocket::ConnectedState);
}

void TestSystreg::styleChange_storedWithNoticeOnEverySave()
{
    QVERIFY(m_dlg->ComboBox1->count() >= 2);
    m_dlg->SetTabs(m_dlg->tsServersettings);
    m_dlg->ComboBox1->setCurrentIndex(0);
    m_dlg->btnSaveClick();
    QVERIFY(m_prompts->balloons.isEmpty());
    QCOMPARE(ReadSetting(keys::Style), u"ERROR"_s); // a programmatic selection is no change

    QTest::keyClick(m_dlg->ComboBox1, Qt::Key_Down);
    QVERIFY(m_dlg->FThemeChanged);
    const QString chosen = m_dlg->ComboBox1->currentText();
    QCOMPARE(chosen, m_dlg->ComboBox1->itemText(1));
    m_dlg->btnSaveClick();
    m_dlg->btnSaveClick();
    QCOMPARE(ReadSetting(keys::Style), chosen);
    const QString notice = u"Du måste starta om programmet för att temat skall ändras."_s;
    QCOMPARE(m_prompts->balloons, (QStringList{notice, notice}));
}

void TestSystreg::ovrigt_loadAndSave_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored"); // null: not stored at all
    QTest::addColumn<QString>("saved");

    QTest::newRow("FrameRate 0 shown as 1") << u"FrameRate"_s << u"0"_s << u"1"_s;
    QTest::newRow("FrameRate 500 shown as 100") << u"FrameRate"_s << u"500"_s << u"100"_s;
    QTest::newRow("FrameRate missing") << u"FrameRate"_s << QString() << u"5"_s;
    QTest::newRow("SelectNameTimerIntervall text") << u"SelectNameTimerIntervall"_s << u"fort"_s << u"2000"_s;
    QTest::newRow("SelectMode 2") << u"SelectMode"_s << u"2"_s << u"2"_s;
    QTest::newRow("SelectMode 3") << u"SelectMode"_s << u"3"_s << u"2"_s;
    QTest::newRow("SelectMode not an integer") << u"SelectMode"_s << u"1.5"_s << u"1"_s;
    QTest::newRow("SelectMode missing") << u"SelectMode"_s << QString() << u"1"_s;
    QTest::newRow("TerminalServerEnabled ERROR") << u"TerminalServerEnabled"_s << u"ERROR"_s << u"-1"_s;
    QTest::newRow("TerminalServerEnabled missing") << u"TerminalServerEnabled"_s << QString() << u"-1"_s;
    QTest::newRow("TerminalServerEnabled False") << u"TerminalServerEnabled"_s << u"False"_s << u"0"_s;
    QTest::newRow("SayCallingInfo True") << u"SayCallingInfo"_s << u"tRUE"_s << u"-1"_s;
    QTest::newRow("RefreshConnectionTimer 90") << u"RefreshConnectionTimer"_s << u"90"_s << u"60"_s;
    QTest::newRow("SelectAuto 0") << u"SelectAuto"_s << u"0"_s << u"1"_s;
}

void TestSystreg::ovrigt_loadAndSave()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    if (!stored.isNull())
        WriteSetting(u"ZELK"_s, key, stored);
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsOvrigtCall);
    QTest::mouseClick(m_dlg->btnSave, Qt::LeftButton);
    QTEST(ReadSetting(u"ZELK"_s, key), "saved");
}

void TestSystreg::ovrigt_invertedBoxAndReloadHook()
{
    int reloads = 0;
    QString modeAtReload;
    ReloadSettingsHook = [&] {
        ++reloads;
        modeAtReload = ReadSetting(keys::SelectMode);
    };
    WriteSetting(keys::SelectMode, u"2"_s);
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsOvrigtCall);
    QVERIFY(m_dlg->RadioButton4->isChecked());
    QVERIFY(!m_dlg->CheckBox2->isChecked());

    QTest::mouseClick(m_dlg->CheckBox2, Qt::LeftButton, {}, QPoint(5, m_dlg->CheckBox2->height() / 2));
    QTest::mouseClick(m_dlg->RadioButton3, Qt::LeftButton, {}, QPoint(5, m_dlg->RadioButton3->height() / 2));
    QVERIFY(m_dlg->CheckBox2->isChecked());
    QCOMPARE(ReadSetting(keys::TerminalServerEnabled), u"ERROR"_s); // nothing written before "Spara"
    m_dlg->btnSaveClick();
    QCOMPARE(ReadSetting(keys::TerminalServerEnabled), u"0"_s);
    QCOMPARE(ReadSetting(keys::SelectMode), u"1"_s);
    QCOMPARE(reloads, 1);
    QCOMPARE(modeAtReload, u"1"_s); // the hook runs after the writes
}

void TestSystreg::esc_reloadsAndDoesNotClose()
{
    WriteSetting(keys::FrameRate, u"7"_s);
    connectPeer();
    int shownAfterEsc = 0;
    bool visibleAfterEsc = false;
    QTimer::singleShot(0, m_dlg.get(), [&] {
        m_dlg->SpinEdit1->setValue(50);
        QTest::keyClick(m_dlg->SpinEdit1, Qt::Key_Escape);
        shownAfterEsc = m_dlg->SpinEdit1->value();
        visibleAfterEsc = m_dlg->isVisible();
        m_dlg->btnReturn->click();
    });
    m_dlg->openOnTab(m_dlg->tsOvrigtCall);
    QCOMPARE(shownAfterEsc, 7);
    QVERIFY(visibleAfterEsc);
    QVERIFY(!m_dlg->isVisible());
    QCOMPARE(ReadSetting(keys::FrameRate), u"7"_s);
    QVERIFY(m_reconnects.isEmpty()); // no "Spara", no reconnection
}

void TestSystreg::automatic_writesAtOnceAndSurvivesAngra()
{
    loadClientTab();
    QVERIFY(m_dlg->RadioButton2->isChecked());
    QVERIFY(m_dlg->Edit2->isEnabled());
    QCOMPARE(m_dlg->Edit2->text(), kClientName);
    QCOMPARE(m_dlg->Edit1->text(), GetMachineName() + u"_Call"_s);
    QVERIFY(!m_dlg->Edit1->isEnabled());

    QTest::mouseClick(m_dlg->RadioButton1, Qt::LeftButton, {}, QPoint(5, m_dlg->RadioButton1->height() / 2));
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"1"_s);
    QVERIFY(!m_dlg->Edit2->isEnabled());
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    QVERIFY(m_dlg->RadioButton1->isChecked());
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"1"_s);

    // "Spara" in automatic mode stores the automatic name.
    m_dlg->btnSaveClick();
    QCOMPARE(ReadSetting(keys::ClientName), m_dlg->Edit1->text());
    QCOMPARE(GetClientName(), m_dlg->Edit1->text());
}

void TestSystreg::manualName_writtenPerKeystrokeAndUsedBySave()
{
    loadClientTab();
    takeReceived();
    m_dlg->Edit2->clear();
    QTest::keyClicks(m_dlg->Edit2, u"Rum7"_s);
    QCOMPARE(ReadSetting(keys::ClientName), u"Rum7"_s);
    QCOMPARE(GetClientName(), u"Rum7"_s);
    m_dlg->applyAllCallables({}, true, {}); // an old server's empty reply
    m_dlg->btnSaveClick();
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"0"_s);
    QCOMPARE(takeReceived(), wire(u"¤POSTCALLABLESLIST:Rum7:0:POSTCALLABLESLIST¤"_s));
}

void TestSystreg::save_sendsChosenResourcesInOrder()
{
    ServerVersion = u"1.10.5"_s;
    loadClientTab();
    m_dlg->applyAllCallables(resources({5, 7, 9, 12}), false, {});
    m_dlg->applyStationCallables({12, 5, 7});
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{12, 5, 7}));
    QCOMPARE(numbersIn(m_dlg->ListBox1), QList<qint32>{9});
    takeReceived();
    QTest::mouseClick(m_dlg->btnSave, Qt::LeftButton);
    QCOMPARE(takeReceived(), wire(u"¤POSTCALLABLESLIST:KASSA 1:0:12:0:5:1:7:2:POSTCALLABLESLIST¤"_s));
}

void TestSystreg::save_withoutLoadedListsKeepsServerList_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("replies"); // blocks, in the order they arrive
    QTest::addColumn<bool>("leaveTab");       // the replies arrived on an earlier visit of the tab
    const QString all = msg::retAllCallables({{u"A"_s, 12, {}, {}, 0, {}, true}, {u"B"_s, 5, {}, {}, 0, {}, true}});
    const QString station = msg::retStationCallables({12, 5});
    QTest::newRow("no reply, old server") << QString() << QStringList() << false;
    QTest::newRow("no reply") << u"1.10.5"_s << QStringList() << false;
    QTest::newRow("full list only") << u"1.10.5"_s << QStringList{all} << false;
    QTest::newRow("station list only") << u"1.10.5"_s << QStringList{station} << false;
    QTest::newRow("station list before the full one") << u"1.10.5"_s << QStringList{station, all} << false;
    QTest::newRow("lists of an earlier visit") << u"1.10.5"_s << QStringList{all + station} << true;
}

// "Spara" sends the client's resource list only from lists the server filled during this visit
// of the tab: anything else would replace the server's choice, usually with nothing.
void TestSystreg::save_withoutLoadedListsKeepsServerList()
{
    QFETCH(QString, version);
    QFETCH(QStringList, replies);
    QFETCH(bool, leaveTab);
    ServerVersion = version;
    CallListModel callList(u"1.0"_s);
    IncomingDispatcher dispatcher(callList);
    dispatcher.setAdminDialog(m_dlg.get());
    loadClientTab();
    for (const QString &block : replies)
        dispatcher.DispatchIncoming(block);
    if (leaveTab) {
        m_dlg->SetTabs(m_dlg->tsOvrigtCall);
        m_dlg->SetTabs(m_dlg->tsClientSettings); // the replies to this load do not come
    }
    takeReceived();
    m_dlg->Edit2->setText(u"KASSA 2"_s);
    QTest::mouseClick(m_dlg->btnSave, Qt::LeftButton);
    QCOMPARE(takeReceived(), QByteArray());
    QCOMPARE(ReadSetting(keys::ClientName), u"KASSA 2"_s); // the other settings are saved
    QCOMPARE(m_prompts->balloons.size(), 1);
    QVERIFY(m_prompts->balloons.first().startsWith(u"Resurslistan sparades inte"_s));
}

void TestSystreg::bothListReplies_oneRead_eitherOrder_data()
{
    QTest::addColumn<bool>("stationFirst");
    QTest::newRow("full list first") << false;
    QTest::newRow("station list first") << true;
}

// The dialog asks for both lists at once and the two replies often share one read; in either
// order the full list is applied first and the station list then picks this client's choice.
void TestSystreg::bothListReplies_oneRead_eitherOrder()
{
    QFETCH(bool, stationFirst);
    ServerVersion = u"1.10.5"_s;
    CallListModel callList(u"1.0"_s);
    IncomingDispatcher dispatcher(callList);
    dispatcher.setAdminDialog(m_dlg.get());
    loadClientTab();
    QCOMPARE(takeReceived(), wire(u"¤GETALLCALLABLES:KASSA 1:GETALLCALLABLES¤¤GETSTATIONCALLABLES:KASSA 1:GETSTATIONCALLABLES¤"_s));

    QList<msg::CallableResource> all;
    for (qint32 n : {5, 7, 9, 12})
        all.append({u"Resurs "_s + QString::number(n), n, {}, {}, 0, {}, n != 9});
    const QString allReply = msg::retAllCallables(all);
    const QString stationReply = msg::retStationCallables({12, 5, 7});
    IncomingAssembler assembler;
    const auto block = assembler.feed(stationFirst ? stationReply + allReply : allReply + stationReply);
    QVERIFY(block);
    dispatcher.DispatchIncoming(*block);

    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{12, 5, 7}));
    QCOMPARE(m_dlg->ListBox2->item(0)->text(), u"Resurs 12"_s);
    QCOMPARE(m_dlg->ListBox2->item(1)->text(), u"Resurs 5"_s);
    QCOMPARE(m_dlg->ListBox2->item(2)->text(), u"Resurs 7"_s);
    QCOMPARE(numbersIn(m_dlg->ListBox1), QList<qint32>{9});
    QCOMPARE(m_dlg->ListBox1->item(0)->text(), u"Resurs 9 - (inaktiv)"_s);

    QTest::mouseClick(m_dlg->btnSave, Qt::LeftButton);
    QCOMPARE(takeReceived(), wire(u"¤POSTCALLABLESLIST:KASSA 1:0:12:0:5:1:7:2:POSTCALLABLESLIST¤"_s));
    QVERIFY(m_prompts->balloons.isEmpty());
}

void TestSystreg::addButton_copiesFocusedItem()
{
    loadClientTab();
    m_dlg->setPnlPlatsVisible(false);
    m_dlg->applyAllCallables(resources({3, 5, 7}), false, {});
    m_dlg->ListBox1->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QVERIFY(m_dlg->ListBox1->selectedItems().isEmpty());
    QTest::mouseClick(m_dlg->BitBtn1, Qt::LeftButton);
    QTest::mouseClick(m_dlg->BitBtn1, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{5, 5}));
    QCOMPARE(numbersIn(m_dlg->ListBox1), (QList<qint32>{3, 5, 7}));

    // An empty list: nothing to add.
    m_dlg->applyAllCallables({}, false, {});
    QTest::mouseClick(m_dlg->BitBtn1, Qt::LeftButton);
    QCOMPARE(m_dlg->ListBox2->count(), 0);
}

void TestSystreg::listButtons_moveSelectedAndOrder()
{
    loadClientTab();
    m_dlg->setPnlPlatsVisible(false);
    QList<msg::CallableEntry> entries = resources({1, 4, 6, 8});
    entries[2].text = u"Resurs 6 - (inaktiv)"_s;
    m_dlg->applyAllCallables(entries, false, {});
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));

    clickRow(m_dlg->ListBox1, 2);
    clickRow(m_dlg->ListBox1, 0, Qt::ControlModifier);
    QTest::mouseClick(m_dlg->BitBtn1, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{1, 6}));
    QCOMPARE(numbersIn(m_dlg->ListBox1), (QList<qint32>{4, 8}));
    QCOMPARE(m_dlg->ListBox2->item(1)->text(), u"Resurs 6 - (inaktiv)"_s);

    // Up on the first and down on the last do nothing; otherwise the focus moves along.
    clickRow(m_dlg->ListBox2, 0);
    QTest::mouseClick(m_dlg->BitBtn3, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{1, 6}));
    QTest::mouseClick(m_dlg->BitBtn4, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{6, 1}));
    QCOMPARE(m_dlg->ListBox2->currentRow(), 1);
    QTest::mouseClick(m_dlg->BitBtn4, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{6, 1}));
    QTest::mouseClick(m_dlg->BitBtn3, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{1, 6}));

    // Resource 1 goes back; a copy of it is not added a second time.
    clickRow(m_dlg->ListBox2, 0);
    QTest::mouseClick(m_dlg->BitBtn2, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox1), (QList<qint32>{4, 8, 1}));
    QCOMPARE(numbersIn(m_dlg->ListBox2), QList<qint32>{6});
    m_dlg->ListBox1->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    QVERIFY(m_dlg->ListBox1->selectedItems().isEmpty());
    QTest::mouseClick(m_dlg->BitBtn1, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox2), (QList<qint32>{6, 1}));
    clickRow(m_dlg->ListBox2, 1);
    QTest::mouseClick(m_dlg->BitBtn2, Qt::LeftButton);
    QCOMPARE(numbersIn(m_dlg->ListBox1), (QList<qint32>{4, 8, 1}));
    QCOMPARE(numbersIn(m_dlg->ListBox2), QList<qint32>{6});
}

void TestSystreg::doubleClicks_moveItems()
{
    loadClientTab();
    m_dlg->setPnlPlatsVisible(false);
    m_dlg->applyAllCallables(resources({3, 5}), false, {});
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    const QRect r = m_dlg->ListBox1->visualItemRect(m_dlg->ListBox1->item(1));
    QTest::mouseClick(m_dlg->ListBox1->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(m_dlg->ListBox1->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(numbersIn(m_dlg->ListBox2), QList<qint32>{5});
    QCOMPARE(numbersIn(m_dlg->ListBox1), QList<qint32>{3});
    const QRect r2 = m_dlg->ListBox2->visualItemRect(m_dlg->ListBox2->item(0));
    QTest::mouseClick(m_dlg->ListBox2->viewport(), Qt::LeftButton, {}, r2.center());
    QTest::mouseDClick(m_dlg->ListBox2->viewport(), Qt::LeftButton, {}, r2.center());
    QCOMPARE(numbersIn(m_dlg->ListBox1), (QList<qint32>{3, 5}));
    QCOMPARE(m_dlg->ListBox2->count(), 0);
}

void TestSystreg::dispatcher_versionDecidesFilling_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QList<qint32>>("chosenAfterAll");
    QTest::addColumn<bool>("targetAfterAll");
    QTest::newRow("1.10.10 takes the old-server path") << u"1.10.10"_s << QList<qint32>{9, 3} << false;
    QTest::newRow("1.11.0 waits for the station reply") << u"1.11.0"_s << QList<qint32>{} << true;
}

void TestSystreg::dispatcher_versionDecidesFilling()
{
    QFETCH(QString, version);
    ServerVersion = version;
    CallListModel callList(u"1.0"_s);
    QList<msg::CallListRecord> records(3);
    records[0].CallNamn = u"I"_s;
    records[0].CallLOPNR = 9;
    records[1].CallNamn = u"T"_s;
    records[1].CallLOPNR = 3;
    records[2].CallNamn = u"Okänd"_s;
    records[2].CallLOPNR = 77;
    callList.rebuild(records);
    IncomingDispatcher dispatcher(callList);
    dispatcher.setAdminDialog(m_dlg.get());

    loadClientTab();
    QList<msg::CallableResource> all;
    for (qint32 n : {3, 5, 9})
        all.append({u"Resurs "_s + QString::number(n), n, {}, {}, 0, {}, n != 5});
    dispatcher.DispatchIncoming(msg::retAllCallables(all));
    QTEST(numbersIn(m_dlg->ListBox2), "chosenAfterAll");
    QTEST(m_dlg->hasCallableListTarget(), "targetAfterAll");
    QVERIFY(m_dlg->ListBox1->findItems(u"Resurs 5 - (inaktiv)"_s, Qt::MatchExactly).size() == 1);

    // A later reply of the same kind refills only while the target is set.
    dispatcher.DispatchIncoming(msg::retAllCallables(all.mid(0, 1)));
    QCOMPARE(m_dlg->ListBox1->count() + m_dlg->ListBox2->count(), m_dlg->hasCallableListTarget() ? 1 : 3);
}

void TestSystreg::register_refusesBlankPlaceKeepsLeadingBlanks()
{
    loadClientTab();
    takeReceived();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    m_dlg->setSwatchColor(0x0000FF);
    m_dlg->Edit3->setText(u"   "_s);
    m_dlg->BitBtn1->setFocus();
    QTest::mouseClick(m_dlg->BitBtn6, Qt::LeftButton);
    QCOMPARE(m_prompts->balloons, QStringList{u"Plats måste fyllas i!"_s});
    QCOMPARE(QApplication::focusWidget(), m_dlg->Edit3);
    QCOMPARE(takeReceived(), QByteArray());
    QVERIFY(ClientData.FriendlyName.isEmpty());

    m_dlg->Edit3->setText(u"  Rum 4"_s);
    QTest::mouseClick(m_dlg->BitBtn6, Qt::LeftButton);
    QCOMPARE(takeReceived(), wire(u"¤REGISTERUPATEMACHINE:KASSA 1:0:  Rum 4:255::0:REGISTERUPATEMACHINE¤"_s));
    QCOMPARE(ClientData.FriendlyName, u"  Rum 4"_s);
    QCOMPARE(ClientData.Color, 255);

    // The next load shows them although the server has not answered.
    m_dlg->Edit3->setText(u"annat"_s);
    m_dlg->setSwatchColor(0);
    m_dlg->btnCancelClick();
    QCOMPARE(m_dlg->Edit3->text(), u"  Rum 4"_s);
    QCOMPARE(m_dlg->swatchColor(), 255);
    QCOMPARE(m_dlg->Panel6->palette().color(QPalette::Window), QColor(255, 0, 0));
}

void TestSystreg::colourChooser_setsSwatchOnly()
{
    ClientData.Color = 0x00336699;
    loadClientTab();
    takeReceived();
    QColor offered;
    m_dlg->setColorChooser([&](const QColor &initial, QWidget *) -> std::optional<QColor> {
        offered = initial;
        return QColor(0x10, 0x20, 0x30);
    });
    QTest::mouseClick(m_dlg->BitBtn5, Qt::LeftButton);
    QCOMPARE(offered, QColor(0x99, 0x66, 0x33));
    QCOMPARE(m_dlg->swatchColor(), 0x00302010);
    m_dlg->setColorChooser([](const QColor &, QWidget *) -> std::optional<QColor> { return std::nullopt; });
    QTest::mouseClick(m_dlg->BitBtn5, Qt::LeftButton);
    QCOMPARE(m_dlg->swatchColor(), 0x00302010);
    QCOMPARE(ClientData.Color, 0x00336699);
    QCOMPARE(takeReceived(), QByteArray());
}

void TestSystreg::colourChooser_platformDialog()
{
    m_dlg = std::make_unique<TfrmSystreg>(); // with the platform's chooser
    loadClientTab();
    QTimer::singleShot(0, this, [] {
        auto *chooser = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        chooser->setCurrentColor(QColor(0, 128, 255));
        chooser->accept();
    });
    m_dlg->BitBtn5Click();
    QCOMPARE(m_dlg->swatchColor(), 0x00FF8000);
}

void TestSystreg::pnlPlats_coversResources()
{
    loadClientTab();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    auto *caption = m_dlg->pnlPlats->findChild<QLabel *>();
    QVERIFY(caption);
    QCOMPARE(caption->text(), u"Välj Plats och färg och tryck på \"Lägg till/uppdatera klient...\""_s);
    QVERIFY(m_dlg->pnlPlats->isVisible());
    QVERIFY(m_dlg->pnlPlats->geometry().contains(m_dlg->ListBox1->mapTo(m_dlg->tsClientSettings, m_dlg->ListBox1->rect().center())));
    QVERIFY(!m_dlg->ListBox1->isEnabled());
    m_dlg->setPnlPlatsVisible(false);
    QVERIFY(!m_dlg->pnlPlats->isVisible());
    QVERIFY(m_dlg->ListBox1->isEnabled());
    m_dlg->setPnlPlatsVisible(true);
    QVERIFY(m_dlg->pnlPlats->isVisible());
}

void TestSystreg::voiceTab_tickCreatesSpeechForm()
{
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsVoice);
    QVERIFY(!m_dlg->CheckBox54->isChecked());
    QVERIFY(!m_dlg->GroupBox75->isEnabled());
    QCOMPARE(m_dlg->cbVoices->count(), 0);

    QTest::mouseClick(m_dlg->CheckBox54, Qt::LeftButton, {}, QPoint(5, m_dlg->CheckBox54->height() / 2));
    QVERIFY(frmSAPI51);
    QTRY_VERIFY(SpeechAvailable);
    QCOMPARE(ReadSetting(keys::UseSAPI5), u"1"_s);
    QVERIFY(m_dlg->GroupBox75->isEnabled());
    QVERIFY(m_dlg->GroupBox76->isEnabled());
    QStringList shown;
    for (int i = 0; i < m_dlg->cbVoices->count(); ++i)
        shown << m_dlg->cbVoices->itemText(i);
    QCOMPARE(shown, (QStringList{u"English"_s, u"Swedish"_s, u"Swedish+Adam"_s}));

    // Unticking stores "0" and leaves the groups as they are until the next load.
    QTest::mouseClick(m_dlg->CheckBox54, Qt::LeftButton, {}, QPoint(5, m_dlg->CheckBox54->height() / 2));
    QCOMPARE(ReadSetting(keys::UseSAPI5), u"0"_s);
    QVERIFY(m_dlg->GroupBox75->isEnabled());
    QVERIFY(frmSAPI51);
    m_dlg->btnCancelClick();
    QVERIFY(!m_dlg->GroupBox75->isEnabled());

    // "Spara" on this tab writes nothing, yet closing reconnects.
    m_dlg->btnSaveClick();
    QCOMPARE(ReadSetting(keys::UseSAPI5), u"0"_s);
    m_dlg->show();
    m_dlg->close();
    QCOMPARE(m_reconnects, QList<bool>{false});
}

void TestSystreg::voiceTab_failedEngineEndsUnticked()
{
    setSpeechEngineFactory([] {
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setStartFails(true);
        return engine;
    });
    connectPeer();
    m_dlg->SetTabs(m_dlg->tsVoice);
    QTest::mouseClick(m_dlg->CheckBox54, Qt::LeftButton, {}, QPoint(5, m_dlg->CheckBox54->height() / 2));
    QTRY_VERIFY(!m_dlg->CheckBox54->isChecked());
    QVERIFY(!SpeechAvailable);
    QCOMPARE(ReadSetting(keys::UseSAPI5), u"1"_s);
    QCOMPARE(m_prompts->questions.size(), 1); // the speech form's own question
}

void TestSystreg::voiceTab_handlersDriveSpeechForm()
{
    WriteSetting(keys::UseSAPI5, u"1"_s);
    WriteSetting(keys::SpeedSAPI51, u"4"_s);
    // The engine is made on the speech engine thread; its record is safe to read here.
    std::atomic<RecordingSpeechEngine *> made = nullptr;
    setSpeechEngineFactory([&made] {
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setVoices(voices());
        engine->setFinishAfter(0);
        made = engine.get();
        return engine;
    });
    CreateSpeechForm(nullptr);
    QTRY_VERIFY(SpeechAvailable);
    RecordingSpeechEngine *engine = made;
    QVERIFY(engine);

    connectPeer();
    m_dlg->SetTabs(m_dlg->tsVoice);
    QVERIFY(m_dlg->CheckBox54->isChecked());
    QCOMPARE(m_dlg->tbRate->value(), 4);
    QCOMPARE(m_dlg->lblRate->text(), u"4"_s);
    QCOMPARE(m_dlg->cbVoices->count(), 3);

    // A user's choice of voice.
    m_dlg->cbVoices->setFocus();
    QTest::keyClick(m_dlg->cbVoices, Qt::Key_End);
    QCOMPARE(m_dlg->cbVoices->currentText(), u"Swedish+Adam"_s);
    QCOMPARE(SelectedVoice, u"Swedish+Adam"_s);
    QCOMPARE(ReadSetting(keys::VoiceSAPI51), u"Swedish+Adam"_s);
    QCOMPARE(frmSAPI51->cbVoices->currentText(), u"Swedish+Adam"_s);
    QTRY_COMPARE(engine->currentVoice(), u"Swedish+Adam"_s);

    // The rate: the voice, the label and the setting, not the form's own slider.
    m_dlg->tbRate->setValue(-6);
    QCOMPARE(m_dlg->lblRate->text(), u"-6"_s);
    QCOMPARE(ReadSetting(keys::SpeedSAPI51), u"-6"_s);
    QTRY_COMPARE(engine->currentRate(), -0.6);
    QCOMPARE(frmSAPI51->tbRate->value(), 4);

    m_dlg->Memo1->setPlainText(u"Hej"_s);
    QTest::mouseClick(m_dlg->Button9, Qt::LeftButton);
    QTRY_COMPARE(engine->spokenTexts(), QStringList{u"Hej"_s});
}

void TestSystreg::close_clearsTargetAndReconnectsAfterSpara()
{
    loadClientTab();
    QVERIFY(m_dlg->hasCallableListTarget());
    m_dlg->show();
    m_dlg->close();
    QVERIFY(!m_dlg->hasCallableListTarget());
    QVERIFY(m_reconnects.isEmpty());

    m_dlg->SetTabs(m_dlg->tsOvrigtCall);
    m_dlg->btnSaveClick();
    QVERIFY(m_reconnects.isEmpty()); // not before closing
    m_dlg->show();
    QTest::mouseClick(m_dlg->btnReturn, Qt::LeftButton);
    QCOMPARE(m_reconnects, QList<bool>{false});
    // "Spara" counts for the rest of the run.
    m_dlg->show();
    m_dlg->close();
    QCOMPARE(m_reconnects, (QList<bool>{false, false}));
}

void TestSystreg::port_opensModallyOnlyWhenHidden()
{
    connectPeer();
    AdminDialogPort *port = m_dlg.get();
    QWidget *activeInside = nullptr;
    bool visibleInside = false;
    bool stillShownAfterSecondOpen = false;
    QTimer::singleShot(0, m_dlg.get(), [&] {
        activeInside = m_dlg->PageControl1->currentWidget();
        visibleInside = port->isDialogVisible();
        // Already visible: the tab changes and the call returns without a second modal run.
        port->openServerSettings();
        stillShownAfterSecondOpen = m_dlg->isVisible();
        m_dlg->close();
    });
    port->openClientSettings();
    QCOMPARE(activeInside, m_dlg->tsClientSettings);
    QVERIFY(visibleInside);
    QVERIFY(stillShownAfterSecondOpen);
    QCOMPARE(m_dlg->PageControl1->currentWidget(), m_dlg->tsServersettings);
    QVERIFY(!port->isDialogVisible());
}

void TestSystreg::largeFont_noTextCutOff()
{
    connectPeer();
    QFont font = m_dlg->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    m_dlg->setFont(font);
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    const QByteArray shots = qgetenv("ZELK_ADMIN_SCREENSHOTS");
    m_dlg->setPnlPlatsVisible(false);
    for (QWidget *tab : {m_dlg->tsServersettings, m_dlg->tsClientSettings, m_dlg->tsVoice, m_dlg->tsOvrigtCall}) {
        m_dlg->SetTabs(tab);
        if (tab == m_dlg->tsClientSettings)
            m_dlg->applyAllCallables(resources({3, 5, 7}), false, {});
        QApplication::processEvents();
        for (QWidget *w : tab->findChildren<QWidget *>()) {
            if (!w->isVisible() || !(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
                continue;
            if (auto *label = qobject_cast<QLabel *>(w); label && label->wordWrap())
                continue;
            QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(w->objectName() + u' ' + w->property("text").toString()));
        }
        if (!shots.isEmpty()) {
            QDir().mkpath(QString::fromLocal8Bit(shots));
            m_dlg->grab().save(QString::fromLocal8Bit(shots) + u"/systreg-"_s + tab->objectName() + u".png"_s);
        }
    }
}

QTEST_MAIN(TestSystreg)
#include "TestSystreg.moc"
