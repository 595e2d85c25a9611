#include "FakeSettingsServer.h"
#include "TestSupport.h"

#include "common/Identity.h"
#include "common/Registry.h"
#include "common/RegistryIni.h"
#include "common/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace zelk;

namespace {
const QString kSection = u"ZELK"_s;
const QString kKey = u"SelectMode"_s;
} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_registry;
    FakeSessionInfo m_session;
    RecordingPrompts m_prompts;

    QString hiveFile(const QString &name) const { return m_registry->filePath(name); }
    void putInHive(RegistryRoot root, const QString &key, const QString &value)
    {
        QVERIFY(RegWriteString(root, settingsRegistryPath(kSection), key, value));
    }
    // A running server with a connected client installed as MainSocket.
    struct Connection
    {
        FakeSettingsServer server;
        SettingsClient client;
    };
    std::unique_ptr<Connection> connectToServer()
    {
        auto c = std::make_unique<Connection>();
        if (!c->server.listen() || !c->client.connectTo(c->server.port()))
            return nullptr;
        MainSocket = &c->client.socket;
        return c;
    }

private Q_SLOTS:
    void init()
    {
        m_registry = std::make_unique<QTemporaryDir>();
        QVERIFY(m_registry->isValid());
        qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry->path()));
        resetRegistryHives();
        RegistryFolderKey = u"_work_zelk\\"_s;
        MainSocket = nullptr;
        setRemoteSessionInfo(&m_session);
        setUserPrompts(&m_prompts);
        setServerWaitInterval(5000ms);
    }

    void cleanup()
    {
        MainSocket = nullptr;
        resetRegistryHives();
        setRemoteSessionInfo(nullptr);
        setUserPrompts(nullptr);
        setServerWaitInterval(5000ms);
    }

    void hivesLiveInRegistryDir()
    {
        QCOMPARE(registryHiveFile(RegistryRoot::CurrentUser), hiveFile(u"HKEY_CURRENT_USER.ini"_s));
        QCOMPARE(registryHiveFile(RegistryRoot::LocalMachine), hiveFile(u"HKEY_LOCAL_MACHINE.ini"_s));
        WriteSetting(kSection, kKey, u"2"_s);
        QSettings user(hiveFile(u"HKEY_CURRENT_USER.ini"_s), QSettings::IniFormat);
        QCOMPARE(user.value(u"SOFTWARE/Kestrova/_work_zelk/ZELK/SelectMode"_s).toString(), u"2"_s);
    }

    void lookupOrder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("perMachine");
        QTest::addColumn<QString>("shared");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("queries");

        const QString tooLong(1025, u'x');
        const QString longest(1024, u'y');
        QTest::newRow("user hive wins") << u"U"_s << u"M"_s << u"P"_s << u"S"_s << u"U"_s << 0;
        QTest::newRow("user value keeps its blanks") << u" U "_s << u"M"_s << u""_s << u""_s << u" U "_s << 0;
        QTest::newRow("blank user value is absent") << u"   "_s << u"M"_s << u"P"_s << u""_s << u"M"_s << 0;
        QTest::newRow("machine hive") << u""_s << u"M"_s << u"P"_s << u"S"_s << u"M"_s << 0;
        QTest::newRow("1025 characters read as absent") << tooLong << u"M"_s << u""_s << u""_s << u"M"_s << 0;
        QTest::newRow("1024 characters are read") << longest << u"M"_s << u""_s << u""_s << longest << 0;
        QTest::newRow("server per machine") << u""_s << u""_s << u"P"_s << u"S"_s << u"P"_s << 1;
        QTest::newRow("server shared") << u""_s << u""_s << u""_s << u"S"_s << u"S"_s << 2;
        QTest::newRow("blank server value is absent") << u""_s << u""_s << u"  "_s << u"S"_s << u"S"_s << 2;
        QTest::newRow("nowhere") << u""_s << u""_s << u""_s << u""_s << u"ERROR"_s << 2;
        QTest::newRow("server value cut at its colon") << u""_s << u""_s << u"10.0.0.1:99"_s << u""_s << u"10.0.0.1"_s << 1;
    }

    void lookupOrder()
    {
        QFETCH(QString, user);
        QFETCH(QString, machine);
        QFETCH(QString, perMachine);
        QFETCH(QString, shared);
        QFETCH(QString, expected);
        QFETCH(int, queries);

        // Values of 1025 characters cannot be written through the store; put them in the file.
        QSettings(hiveFile(u"HKEY_CURRENT_USER.ini"_s), QSettings::IniFormat)
            .setValue(u"SOFTWARE/Kestrova/_work_zelk/ZELK/SelectMode"_s, user);
        if (!machine.isEmpty())
            putInHive(RegistryRoot::LocalMachine, kKey, machine);
        resetRegistryHives();

        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.values.insert(u"WS12\\ZELK:SelectMode"_s, perMachine);
        connection->server.values.insert(u"\\ZELK:SelectMode"_s, shared);

        QCOMPARE(ReadSetting(kSection, kKey), expected);
        QCOMPARE(connection->server.received.size(), queries);
        if (queries >= 1)
            QCOMPARE(connection->server.received.at(0), u"¤GETINITEXT:WS12\\ZELK:SelectMode:GETINITEXT¤"_s);
        if (queries >= 2)
            QCOMPARE(connection->server.received.at(1), u"¤GETINITEXT:\\ZELK:SelectMode:GETINITEXT¤"_s);
    }

    void sharedReadAsksOnlyTheServer()
    {
        putInHive(RegistryRoot::CurrentUser, u"UpdateServerName"_s, u"local"_s);
        QCOMPARE(ReadSharedSetting(kSection, u"UpdateServerName"_s), u"ERROR"_s); // not connected

        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.values.insert(u"\\ZELK:UpdateServerName"_s, u"update.example"_s);
        QCOMPARE(ReadSharedSetting(kSection, u"UpdateServerName"_s), u"update.example"_s);
        QCOMPARE(ReadSharedSettingDef(kSection, u"Missing"_s, u"d"_s), u"d"_s);
    }

    void closedConnectionSendsNoQuery()
    {
        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.values.insert(u"\\ZELK:SelectMode"_s, u"2"_s);
        connection->client.socket.disconnectFromHost();
        QCOMPARE(connection->client.socket.state(), QAbstractSocket::UnconnectedState);

        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(ReadSetting(kSection, kKey), u"ERROR"_s);
        QCOMPARE(ReadSharedSetting(kSection, kKey), u"ERROR"_s);
        QVERIFY(elapsed.elapsed() < 1000); // no wait at all
        QTest::qWait(50);
        QVERIFY(connection->server.received.isEmpty());
    }

    void unansweredQueryWaitsWithEventLoopRunning()
    {
        QCOMPARE(serverWaitInterval(), 5000ms);
        setServerWaitInterval(300ms);
        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.answer = false;

        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start();

        QElapsedTimer elapsed;
        elapsed.start();
        const std::clock_t cpuBefore = std::clock();
        QCOMPARE(ReadSetting(kSection, kKey), u"ERROR"_s);
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        const qint64 wallMs = elapsed.elapsed();

        QVERIFY2(wallMs >= 590, qPrintable(QString::number(wallMs))); // two queries of 300 ms
        QCOMPARE(connection->server.received.size(), 2);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        // Waiting sleeps in the event loop; a loop of processEvents would burn the whole time.
        QVERIFY2(cpuMs < wallMs / 2.0, qPrintable(u"cpu %1 ms of %2 ms"_s.arg(cpuMs).arg(wallMs)));
    }

    void nestedReadDoesNotStopOuterWait()
    {
        // A handler that runs inside a waiting read starts a read of its own; when it is done
        // the outer read must still end by its own time.
        setServerWaitInterval(200ms);
        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.answer = false;

        QString inner;
        QTimer::singleShot(50, this, [&inner] { inner = ReadSharedSetting(kSection, u"Other"_s); });
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(ReadSharedSetting(kSection, kKey), u"ERROR"_s);
        QCOMPARE(inner, u"ERROR"_s);
        QVERIFY(elapsed.elapsed() < 3000);
        QCOMPARE(connection->server.received.size(), 4);
    }

    void lateReplyIsTakenByNextReader()
    {
        // The reply names no key: a value that arrives while a read waits is its answer.
        setServerWaitInterval(2000ms);
        auto connection = connectToServer();
        QVERIFY(connection);
        connection->server.answer = false;
        QTimer::singleShot(30, this, [] { deliverIniTextReply(u"7"_s); });
        QCOMPARE(ReadSetting(kSection, kKey), u"7"_s);
    }

    void readSettingDef_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("def");
        QTest::addColumn<QString>("expected");
        QTest::newRow("value") << u"3"_s << u"1"_s << u"3"_s;
        QTest::newRow("absent") << QString() << u"1"_s << u"1"_s;
        QTest::newRow("ERROR with blanks") << u" ERROR "_s << u"1"_s << u"1"_s;
        QTest::newRow("error in small letters") << u"error"_s << u"1"_s << u"error"_s;
        QTest::newRow("empty default") << QString() << QString() << QString();
    }

    void readSettingDef()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QFETCH(QString, expected);
        if (!stored.isNull())
            putInHive(RegistryRoot::CurrentUser, kKey, stored);
        QCOMPARE(ReadSettingDef(kSection, kKey, def), expected);
    }

    void booleans_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("def");
        QTest::addColumn<bool>("expected");
        QTest::newRow("-1") << u"-1"_s << false << true;
        QTest::newRow("0") << u"0"_s << true << false;
        QTest::newRow("other integer") << u"5"_s << false << true;
        QTest::newRow("True") << u"True"_s << false << true;
        QTest::newRow("FALSE") << u"FALSE"_s << true << false;
        QTest::newRow("word gives default") << u"ja"_s << true << true;
        QTest::newRow("absent gives default") << QString() << true << true;
    }

    void booleans()
    {
        QFETCH(QString, stored);
        QFETCH(bool, def);
        QFETCH(bool, expected);
        if (!stored.isNull())
            WriteSetting(keys::SayCallingInfo, stored);
        QCOMPARE(readBoolSetting(keys::SayCallingInfo, def), expected);
    }

    void booleansRoundTrip()
    {
        WriteSetting(keys::RefreshConnection, boolToSetting(true));
        QCOMPARE(ReadSetting(keys::RefreshConnection), u"-1"_s);
        QVERIFY(readBoolSetting(keys::RefreshConnection, false));
        WriteSetting(keys::RefreshConnection, boolToSetting(false));
        QVERIFY(!readBoolSetting(keys::RefreshConnection, true));
    }

    void integersAndFlags()
    {
        QCOMPARE(readIntSetting(keys::FrameRate, defaults::FrameRate), 5);
        WriteSetting(keys::FrameRate, u"12"_s);
        QCOMPARE(readIntSetting(keys::FrameRate, defaults::FrameRate), 12);
        WriteSetting(keys::FrameRate, u"fast"_s);
        QCOMPARE(readIntSetting(keys::FrameRate, defaults::FrameRate), 5);

        QVERIFY(!readFlagSetting(keys::UseSAPI5, false));
        WriteSetting(keys::UseSAPI5, u"-1"_s); // only "1" is on
        QVERIFY(!readFlagSetting(keys::UseSAPI5, false));
        WriteSetting(keys::UseSAPI5, u"1"_s);
        QVERIFY(readFlagSetting(keys::UseSAPI5, false));
    }

    void writeWhileConnectedSendsBothForms()
    {
        auto connection = connectToServer();
        QVERIFY(connection);
        WriteSetting(kSection, kKey, u"2"_s);
        QTRY_COMPARE(connection->server.received.size(), 2);
        QCOMPARE(connection->server.received.at(0), u"¤SETINITEXT:WS12\\ZELK:SelectMode:2:SETINITEXT¤"_s);
        QCOMPARE(connection->server.received.at(1), u"¤SETINITEXT:ZELK:SelectMode:2:SETINITEXT¤"_s);
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, settingsRegistryPath(kSection), kKey), u"2"_s);
        QCOMPARE(RegReadString(RegistryRoot::LocalMachine, settingsRegistryPath(kSection), kKey), u"2"_s);
    }

    // The workstation's identity stays its own: written and read per machine, never shared.
    void identityKeysNeverUseTheSharedSection()
    {
        auto connection = connectToServer();
        QVERIFY(connection);
        WriteSetting(keys::ClientNameUseDefault, u"0"_s);
        WriteSetting(keys::ClientName, u"RUM4"_s);
        WriteSetting(kSection, kKey, u"2"_s); // an ordinary key still goes to both
        QTRY_COMPARE(connection->server.received.size(), 4);
        QCOMPARE(connection->server.received,
                 (QStringList{u"¤SETINITEXT:WS12\\ZELK:ClientNameUseDefault:0:SETINITEXT¤"_s,
                              u"¤SETINITEXT:WS12\\ZELK:ClientName:RUM4:SETINITEXT¤"_s,
                              u"¤SETINITEXT:WS12\\ZELK:SelectMode:2:SETINITEXT¤"_s,
                              u"¤SETINITEXT:ZELK:SelectMode:2:SETINITEXT¤"_s}));

        // A new workstation without local settings: a shared identity on the server (left by
        // an older client) is not taken over; the query for it is not even sent.
        for (const SettingKey &k : {keys::ClientName, keys::ClientNameUseDefault}) {
            for (RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine})
                QVERIFY(RegWriteString(root, settingsRegistryPath(k.sectionText()), k.keyText(), u" "_s));
        }
        connection->server.received.clear();
        connection->server.values.clear(); // another machine: nothing stored for it
        connection->server.values.insert(u"\\ZELK:ClientName"_s, u"RECEPTION"_s);
        connection->server.values.insert(u"\\ZELK:ClientNameUseDefault"_s, u"0"_s);
        setServerWaitInterval(200ms);
        QCOMPARE(ReadSetting(keys::ClientName), u"ERROR"_s);
        QCOMPARE(ReadSetting(keys::ClientNameUseDefault), u"ERROR"_s);
        QCOMPARE(GetClientName(), u"WS12_Call"_s);
        for (const QString &message : std::as_const(connection->server.received))
            QVERIFY2(message.contains(u"WS12\\ZELK:"_s), qPrintable(message));
        QVERIFY(!connection->server.received.isEmpty());

        // The machine's own value on the server is still found.
        connection->server.values.insert(u"WS12\\ZELK:ClientName"_s, u"RUM4"_s);
        QCOMPARE(ReadSetting(keys::ClientName), u"RUM4"_s);
    }

    void writeWhileDisconnectedTouchesRegistryOnly()
    {
        auto connection = connectToServer();
        QVERIFY(connection);
        connection->client.socket.disconnectFromHost();
        WriteSetting(kSection, kKey, u"2"_s);
        QTest::qWait(50);
        QVERIFY(connection->server.received.isEmpty());
        QCOMPARE(ReadSetting(kSection, kKey), u"2"_s);
    }

    void twoWorkingFoldersAreIndependent()
    {
        QTemporaryDir folders;
        const QString a = folders.filePath(u"site a"_s);
        const QString b = folders.filePath(u"site b"_s);
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        const QString before = QDir::currentPath();

        QVERIFY(QDir::setCurrent(a));
        QVERIFY(PrepareFolders());
        const QString keyA = RegistryFolderKey;
        WriteSetting(kSection, kKey, u"A"_s);

        QVERIFY(QDir::setCurrent(b));
        QVERIFY(PrepareFolders());
        QVERIFY(RegistryFolderKey != keyA);
        QCOMPARE(ReadSetting(kSection, kKey), u"ERROR"_s);
        WriteSetting(kSection, kKey, u"B"_s);

        QVERIFY(QDir::setCurrent(a));
        QVERIFY(PrepareFolders());
        QCOMPARE(ReadSetting(kSection, kKey), u"A"_s);
        QDir::setCurrent(before);
    }

    void machineHiveWriteFailureIsNoted_data()
    {
        QTest::addColumn<bool>("readOnlyFile");
        QTest::newRow("hive path is a folder") << false;
        QTest::newRow("read-only hive file") << true;
    }

    void machineHiveWriteFailureIsNoted()
    {
        QFETCH(bool, readOnlyFile);
        const QString machine = hiveFile(u"HKEY_LOCAL_MACHINE.ini"_s);
        if (readOnlyFile) {
            if (::geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
            QFile file(machine);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else {
            QVERIFY(QDir().mkpath(machine));
        }

        WriteSetting(kSection, kKey, u"2"_s);
        QCOMPARE(ReadSetting(kSection, kKey), u"2"_s);
        QVERIFY(!LastRegistryError.isEmpty());
        const QString expected = readOnlyFile ? u"Permission denied"_s : u"Is a directory"_s;
        QVERIFY2(LastRegistryError.contains(expected, Qt::CaseInsensitive), qPrintable(LastRegistryError));
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, kWriteErrorKey.toString(), kWriteErrorValue.toString()),
                 LastRegistryError);
        QVERIFY(RegReadString(RegistryRoot::LocalMachine, settingsRegistryPath(kSection), kKey).isEmpty());
    }

    void registryLimits()
    {
        const QString path = settingsRegistryPath(kSection);
        QVERIFY(RegWriteString(RegistryRoot::CurrentUser, path, u"v"_s, QString(1024, u'a')));
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, path, u"v"_s), QString(1024, u'a'));

        QVERIFY(!RegWriteString(RegistryRoot::CurrentUser, path, u"v"_s, QString(1025, u'b')));
        QVERIFY(!LastRegistryError.isEmpty());
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, path, u"v"_s), QString(1024, u'a'));
        QVERIFY(!RegWriteString(RegistryRoot::CurrentUser, path, QString(1025, u'n'), u"x"_s));
        QVERIFY(!RegWriteString(RegistryRoot::CurrentUser, path + QString(1025, u'p'), u"v"_s, u"x"_s));

        // The key's default value has an empty name.
        QVERIFY(RegWriteString(RegistryRoot::CurrentUser, path, QString(), u"default"_s));
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, path, QString()), u"default"_s);
        QCOMPARE(RegReadString(RegistryRoot::CurrentUser, path, u"v"_s), QString(1024, u'a'));
        QVERIFY(RegReadString(RegistryRoot::CurrentUser, path + u"\\Nope"_s, u"v"_s).isEmpty());
    }

    void readsDoNotParseTheHiveAgain()
    {
        auto hive = std::make_unique<IniRegistryHive>(hiveFile(u"HKEY_CURRENT_USER.ini"_s));
        IniRegistryHive *user = hive.get();
        setRegistryHive(RegistryRoot::CurrentUser, std::move(hive));
        putInHive(RegistryRoot::CurrentUser, kKey, u"2"_s);
        const int parsed = user->parseCount();
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(ReadSetting(kSection, kKey), u"2"_s);
        QVERIFY(user->parseCount() - parsed <= 1);
    }

    void changesByAnotherProgramAreSeen()
    {
        putInHive(RegistryRoot::CurrentUser, kKey, u"1"_s);
        QCOMPARE(ReadSetting(kSection, kKey), u"1"_s);
        QTest::qWait(20); // a different modification time
        QSettings(hiveFile(u"HKEY_CURRENT_USER.ini"_s), QSettings::IniFormat)
            .setValue(u"SOFTWARE/Kestrova/_work_zelk/ZELK/SelectMode"_s, u"22"_s);
        QTRY_COMPARE_WITH_TIMEOUT(ReadSetting(kSection, kKey), u"22"_s, 3000);
    }

    void folderKeyFlattening_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("key");
        QTest::newRow("blank") << u"/opt/zelk client/"_s << u"_opt_zelk_client\\"_s;
        QTest::newRow("windows") << u"C:\\Program Files\\Signal\\"_s << u"C_Program_Files_Signal\\"_s;
        QTest::newRow("root") << u"/"_s << u"_\\"_s;
        QTest::newRow("several blanks") << u"/a  b/c d/"_s << u"_a__b_c_d\\"_s;
    }

    void folderKeyFlattening()
    {
        QFETCH(QString, folder);
        QFETCH(QString, key);
        QCOMPARE(registryFolderKeyFor(folder), key);
    }

    void prepareFolders()
    {
        QTemporaryDir root;
        const QString work = root.filePath(u"zelk client"_s);
        const QString data = root.filePath(u"data"_s);
        QVERIFY(QDir().mkpath(work));
        const QString before = QDir::currentPath();
        const QByteArray dataHomeBefore = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));

        QVERIFY(QDir::setCurrent(work));
        QVERIFY(PrepareFolders());
        const QString canonical = QFileInfo(work).canonicalFilePath();
        QCOMPARE(ProgramFolder, canonical + u'/');
        QCOMPARE(RegistryFolderKey, registryFolderKeyFor(canonical + u'/'));
        QVERIFY(RegistryFolderKey.endsWith(u"_zelk_client\\"));
        QCOMPARE(DataFolder, data + u"/Kestrova/ZELK/"_s);
        QVERIFY(QFileInfo(DataFolder).isDir());

        // A data folder that cannot be created leaves DataFolder empty.
        QFile blocker(root.filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));
        QVERIFY(PrepareFolders());
        QVERIFY(DataFolder.isEmpty());

        // A working folder that no longer exists cannot give a settings path.
        const QString gone = root.filePath(u"gone"_s);
        QVERIFY(QDir().mkpath(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir().rmdir(gone));
        const QString folderBefore = ProgramFolder;
        m_prompts.errors.clear();
        QVERIFY(!PrepareFolders());
        QCOMPARE(m_prompts.errors, QStringList{u"Unable to get Current path"_s});
        QCOMPARE(ProgramFolder, folderBefore);

        QDir::setCurrent(before);
        if (dataHomeBefore.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHomeBefore);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
