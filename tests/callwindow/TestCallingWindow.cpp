#include "callwindow/TfrmZelkMain.h"

#include "../session/SessionDoubles.h"
#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
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
    void commandLine_writesSettingsBeforeAnyConnection();
    void emptyServerName_keepsTheStoredOne();
    void onlyCalledBackground_isTheFirstPicture();
    void missingHookLibrary_isReported();
    void closeButton_hidesAndAvslutaEnds();
    void menuWhileDisconnected_onlyAvslutaEnabled();

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

void TestCallingWindow::commandLine_writesSettingsBeforeAnyConnection()
{
    auto window = makeWindow({u"NAME=Rum 4"_s, u"PLACE=Plan 2"_s, u"COLOR=255"_s, u"AUTOREGISTER=1"_s,
                              u"SERVERNAME=signal.klinik.se"_s, u"SERVERPORT=4400"_s});
    QCOMPARE(ClientData.Name, u"Rum 4"_s);
    QCOMPARE(ClientData.FriendlyName, u"Plan 2"_s);
    QCOMPARE(ClientData.Color, 255);
    QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"0"_s);
    QCOMPARE(ReadSetting(keys::ClientName), u"Rum 4"_s);
    QCOMPARE(ReadSetting(keys::ServerName), u"signal.klinik.se"_s);
    QCOMPARE(ReadSetting(keys::ServerPort), u"4400"_s);
    QCOMPARE(window->windowTitle(), u"Kestrova SignaleringsSystem: ZELK Windows Kallelseklient  version: 1.10.4"_s);
    QVERIFY(window->windowFlags().testFlag(Qt::Tool)); // no taskbar entry
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

QTEST_MAIN(TestCallingWindow)
#include "TestCallingWindow.moc"
