#include "callwindow/TfrmZelkMain.h"

#include "../session/SessionDoubles.h"
#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "keyhook/PedalKeyEvent.h"
#include "protocol/Messages.h"
#include "session/SessionState.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

// The calling window offscreen: its creation from the command line and the program folder,
// hiding instead of closing, the menu while disconnected, and ending through "Avsluta".
class TestCallingWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void commandLine_writesSettingsBeforeAnyConnection_data();
    void commandLine_writesSettingsBeforeAnyConnection();
    void commandLine_automaticRegistrationOnTheWire();
    void emptyCallList_oneBoxAndTheClientTab();
    void emptyServerName_keepsTheStoredOne();
    void onlyCalledBackground_isTheFirstPicture();
    void missingHookLibrary_isReported();
    void closeButton_hidesAndAvslutaEnds();
    void menuWhileDisconnected_onlyAvslutaEnabled();
    void pedal_worksWhileAModalBoxIsOpen();
    void pushedCallList_doesNotHideARunningSelection();

private:
    std::unique_ptr<TfrmZelkMain> makeWindow(const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::RecordingPrompts> m_prompts;
    QString m_oldCurrent;
};

void TestCallingWindow::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_folder->path());
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_folder->path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder->path()));
    resetRegistryHives();
    PrepareFolders();
    m_prompts.reset();
    m_prompts = std::make_unique<test::RecordingPrompts>();
    ClientData = {};
}

void TestCallingWindow::cleanup()
{
    setCommandLineArguments({});
    QDir::setCurrent(m_oldCurrent);
}

std::unique_ptr<TfrmZelkMain> TestCallingWindow::makeWindow(const QStringList &arguments)
{
    setCommandLineArguments(arguments);
    return std::make_unique<TfrmZelkMain>();
}

void TestCallingWindow::commandLine_writesSettingsBeforeAnyConnection_data()
{
    // Every parameter name matches in any letter case and every value comes back in capitals;
    // the platform has already split the command line and removed the quotation marks.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("place");
    QTest::addColumn<int>("color");
    QTest::addColumn<QStringList>("hive"); // ClientNameUseDefault, ClientName, ServerName, ServerPort
    const QString none = u"ERROR"_s;
    QTest::newRow("upper-case names")
        << QStringList{u"NAME=Rum4"_s, u"PLACE=Reception"_s, u"COLOR=255"_s, u"AUTOREGISTER=1"_s,
                       u"SERVERNAME=signal.klinik.se"_s, u"SERVERPORT=4400"_s}
        << u"RUM4"_s << u"RECEPTION"_s << 255 << QStringList{u"0"_s, u"RUM4"_s, u"SIGNAL.KLINIK.SE"_s, u"4400"_s};
    QTest::newRow("lower-case names")
        << QStringList{u"name=Reception"_s, u"place=Väntrum"_s, u"color=65280"_s, u"autoregister=1"_s,
                       u"servername=10.0.0.4"_s, u"serverport=4401"_s}
        << u"RECEPTION"_s << u"VÄNTRUM"_s << 65280 << QStringList{u"0"_s, u"RECEPTION"_s, u"10.0.0.4"_s, u"4401"_s};
    QTest::newRow("mixed-case names, lower-case values")
        << QStringList{u"Name=rum4"_s, u"Place=plan 2"_s, u"AutoRegister=1"_s}
        << u"RUM4"_s << u"PLAN 2"_s << 0 << QStringList{u"0"_s, u"RUM4"_s, none, none};
    QTest::newRow("quoted values with blanks")
        << QStringList{u"NAME= Rum 4 "_s, u"PLACE= Plan 2 vänster "_s, u"AUTOREGISTER=1"_s}
        << u"RUM 4"_s << u"PLAN 2 VÄNSTER"_s << 0 << QStringList{u"0"_s, u"RUM 4"_s, none, none};
    QTest::newRow("no automatic registration")
        << QStringList{u"NAME=Rum4"_s, u"AUTOREGISTER=0"_s, u"COLOR=blå"_s}
        << u"RUM4"_s << QString() << 0 << QStringList{none, none, none, none};
    QTest::newRow("separator in the name")
        << QStringList{u"NAME=Rum:4"_s, u"AUTOREGISTER=1"_s}
        << u"RUM-4"_s << QString() << 0 << QStringList{u"0"_s, u"RUM-4"_s, none, none};
}

void TestCallingWindow::commandLine_writesSettingsBeforeAnyConnection()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, hive);
    auto window = makeWindow(arguments);
    QTEST(ClientData.Name, "name");
    QTEST(ClientData.FriendlyName, "place");
    QTEST(ClientData.Color, "color");
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), hive[0]);
    QCOMPARE(ReadSetting(keys::ClientName), hive[1]);
    QCOMPARE(ReadSetting(keys::ServerName), hive[2]);
    QCOMPARE(ReadSetting(keys::ServerPort), hive[3]);
    QCOMPARE(window->windowTitle(), u"Kestrova SignaleringsSystem: ZELK Windows Kallelseklient  version: 1.10.4"_s);
    QVERIFY(window->windowFlags().testFlag(Qt::Tool)); // no taskbar entry
}

// What a workstation started for automatic registration sends when it connects, byte by byte.
void TestCallingWindow::commandLine_automaticRegistrationOnTheWire()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    CheckUpdateOnConnect = false;
    auto window = makeWindow({u"name=Rum4"_s, u"place=Reception"_s, u"color=255"_s, u"autoregister=1"_s,
                              u"calllist=12:0:5:1:"_s, u"servername=127.0.0.1"_s,
                              u"serverport="_s + QString::number(server.serverPort())});
    window->session().startFirstConnection();
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    QByteArray received;
    const QByteArray last = "\xA4GETSERVERVERSION:RUM4:0:GETSERVERVERSION\xA4";
    QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).endsWith(last), 5000);
    QCOMPARE(received, QByteArray("\xA4REGISTERUPATEMACHINE:RUM4:0:RECEPTION:255:::REGISTERUPATEMACHINE\xA4"
                                  "\xA4POSTCALLABLESLIST:RUM4:0:12:0:5:1:POSTCALLABLESLIST\xA4"
                                  + last));
    MainSocket = nullptr;
}

// An empty call list is told once, with the dispatcher's text, and the dialog opens on the
// client tab; rebuilding the drum from the empty list adds no box of its own.
void TestCallingWindow::emptyCallList_oneBoxAndTheClientTab()
{
    auto window = makeWindow({});
    test::FakeAdminDialog dialog;
    window->session().setAdminDialog(&dialog);
    m_prompts->errors.clear();
    window->session().dispatcher().DispatchIncoming(msg::retCallList({}));
    QCOMPARE(m_prompts->errors,
             QStringList{u"Det finns inga resurser att visa i listan!\nGå till Systemregistret, fyll i önskade "
                         "resurser och tryck på Spara."_s});
    QCOMPARE(dialog.calls, QStringList{u"openClientSettings"_s});
    QVERIFY(window->callList().items().isEmpty());

    // A list with resources afterwards shows nothing.
    m_prompts->errors.clear();
    window->session().dispatcher().DispatchIncoming(test::callListMessage(2));
    QVERIFY(m_prompts->errors.isEmpty());
    QCOMPARE(window->callList().items().size(), 2);
    window->session().setAdminDialog(nullptr);
}

void TestCallingWindow::emptyServerName_keepsTheStoredOne()
{
    WriteSetting(keys::ServerName, u"gammal"_s);
    auto window = makeWindow({u"SERVERNAME="_s, u"COLOR=blå"_s});
    QCOMPARE(ReadSetting(keys::ServerName), u"gammal"_s);
    QCOMPARE(ClientData.Color, 0);
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"ERROR"_s); // no automatic registration asked
}

void TestCallingWindow::onlyCalledBackground_isTheFirstPicture()
{
    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QVERIFY(picture.save(ProgramFolder + u"ZELK_CC_CalledBackground.bmp"_s, "BMP"));
    auto window = makeWindow({});
    QCOMPARE(window->DXImageList().size(), 1);
    QCOMPARE(window->DXImageList().first().pixelColor(0, 0), QColor(Qt::green));

    QFile broken(ProgramFolder + u"ZELK_CC_NeutralBackground.bmp"_s);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    m_prompts->errors.clear();
    auto second = makeWindow({});
    QVERIFY(m_prompts->errors.size() >= 1);
    QVERIFY(m_prompts->errors.first().startsWith(u"Error creating background bitmaps!\n\n"));
}

void TestCallingWindow::missingHookLibrary_isReported()
{
    auto window = makeWindow({});
    QVERIFY(m_prompts->errors.contains(u"libKV_HookKeyboard.so not found!"_s));
    QVERIFY(!window->keyboardHooked());
}

void TestCallingWindow::closeButton_hidesAndAvslutaEnds()
{
    auto window = makeWindow({});
    QSignalSpy closed(window.get(), &TfrmZelkMain::closedForGood);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(closed.count(), 0);

    window->BringToFront();
    QVERIFY(window->isVisible());
    const QList<QAction *> actions = window->popupMenu().actions();
    QCOMPARE(actions.last()->text(), u"Avsluta"_s);
    actions.last()->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!window->isVisible());
}

void TestCallingWindow::menuWhileDisconnected_onlyAvslutaEnabled()
{
    auto window = makeWindow({});
    QMenu &menu = window->popupMenu();
    QMetaObject::invokeMethod(&menu, "aboutToShow");
    const QList<QAction *> actions = menu.actions();
    QCOMPARE(actions.size(), 3); // separator, version, "Avsluta" until the first call list
    QCOMPARE(actions[1]->text(), u"Version: 1.10.4"_s);
    QVERIFY(!actions[1]->isEnabled());
    QVERIFY(actions[2]->isEnabled());
}

namespace {

QString callList(const QList<qint32> &numbers)
{
    QList<msg::CallListRecord> records;
    for (qint32 number : numbers) {
        msg::CallListRecord r;
        r.CallNamn = u"Resurs %1"_s.arg(number);
        r.CallLOPNR = number;
        records << r;
    }
    return msg::retCallList(records);
}

void postPedal(QWidget *window, bool press, int key, Qt::KeyboardModifiers modifiers)
{
    QCoreApplication::postEvent(window->windowHandle(), new PedalKeyEvent(press, key, modifiers));
}

} // namespace

void TestCallingWindow::pedal_worksWhileAModalBoxIsOpen()
{
    auto window = makeWindow({});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->session().dispatcher().DispatchIncoming(callList({1, 2, 3}));
    window->hide();

    // A box waits for the user (as a server error would); the hook's keys still get through.
    QMessageBox box(QMessageBox::Information, u"Information"_s, u"Servern svarade med följande fel: x"_s);
    bool pressedDuringBox = false;
    bool f10OpenedNothing = false;
    QTimer::singleShot(0, &box, [&] {
        postPedal(window.get(), true, Qt::Key_Alt, Qt::AltModifier);
        postPedal(window.get(), true, Qt::Key_F12, Qt::AltModifier);
        QTimer::singleShot(50, &box, [&] {
            pressedDuringBox = window->selection().AltF12Clicked && window->selection().DXTimer.isEnabled()
                               && window->isVisible();
            postPedal(window.get(), true, Qt::Key_F10, Qt::NoModifier);
            QTimer::singleShot(50, &box, [&] {
                f10OpenedNothing = QApplication::activeModalWidget() == &box;
                box.done(QMessageBox::Ok);
            });
        });
    });
    box.exec();
    QVERIFY(pressedDuringBox);
    QVERIFY(f10OpenedNothing);
}

void TestCallingWindow::pushedCallList_doesNotHideARunningSelection()
{
    auto window = makeWindow({});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->session().dispatcher().DispatchIncoming(callList({1, 2, 3}));
    QVERIFY(window->selection().MinimizeTimer.isActive()); // a list at rest hides the window soon
    window->selection().MinimizeTimer.stop();

    window->selection().FormKeyDown(Qt::Key_F12, Qt::AltModifier);
    window->session().dispatcher().DispatchIncoming(callList({3, 1, 2}));
    QVERIFY(!window->selection().MinimizeTimer.isActive());
    QVERIFY(window->isVisible());
}

QTEST_MAIN(TestCallingWindow)
#include "TestCallingWindow.moc"
