// The version number rule, the address rule and the version record of the executables.
#include "common/update/UpdateFiles.h"
#include "common/update/VersionInfo.h"
#include "session/ServerSession.h"

#include "ZelkBuildInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestUpdateVersion : public QObject
{
    Q_OBJECT

private:
    static QByteArray ownImage()
    {
        QFile file(QCoreApplication::applicationFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void versionNumberRule_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("number");
        QTest::newRow("three parts") << u"1.10.4"_s << 1104;
        QTest::newRow("four parts") << u"2.0.0.1"_s << 2001;
        QTest::newRow("no dots") << u"1105"_s << 1105;
        QTest::newRow("1.9.12") << u"1.9.12"_s << 1912;
        QTest::newRow("empty") << QString() << 1000;
        QTest::newRow("letters") << u"1.10.4b"_s << 1000;
        QTest::newRow("not available") << kInfoNotAvailable.toString() << 1000;
    }
    void versionNumberRule()
    {
        QFETCH(QString, version);
        QFETCH(int, number);
        QCOMPARE(versionNumber(version), number);
    }

    void numbersCompareAsIntegers()
    {
        // The rule compares numbers, not versions: 1.9.12 counts as newer than 1.10.4.
        QVERIFY(versionNumber(u"1.9.12") > versionNumber(u"1.10.4"));
        QVERIFY(versionNumber(u"1.10.5") > versionNumber(u"1.10.4"));
    }

    void versionTextForMessages_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QStringList>("layouts");
        QTest::addColumn<QString>("text");
        QTest::newRow("like the version that came") << 1105 << QStringList{u"1.10.6"_s} << u"1.10.5"_s;
        QTest::newRow("no record: like the running one")
            << 1105 << QStringList{u"<info not available>"_s, u"1.10.4"_s} << u"1.10.5"_s;
        QTest::newRow("longer patch") << 11012 << QStringList{u"1.10.4"_s, u"1.10.11"_s} << u"1.10.12"_s;
        QTest::newRow("nothing fits") << 42 << QStringList{u"1.10.4"_s} << u"42"_s;
    }
    void versionTextForMessages()
    {
        QFETCH(int, number);
        QFETCH(QStringList, layouts);
        QFETCH(QString, text);
        QCOMPARE(versionTextFor(number, layouts), text);
        QCOMPARE(versionNumber(text), number);
    }

#if !defined(Q_OS_WIN)
    void newVersionFindsTheHookLibraryOfTheProgramFolder()
    {
        // Started from the data folder, the copy looks for its libraries in the working folder
        // (the program folder) too, as Windows looks for DLLs there.
        QTemporaryDir folder;
        const QString report = folder.filePath(u"path.txt"_s);
        const QString path = libraryPathForNewVersion(folder.path(), u"/opt/x:/usr/lib/y"_s);
        QCOMPARE(path.section(u':', 0, 0), QDir::cleanPath(folder.path()));
        QVERIFY(path.endsWith(u":/opt/x:/usr/lib/y"_s));

        QVERIFY(platformProcessStarter()(u"/bin/sh"_s, {u"-c"_s, u"echo \"$LD_LIBRARY_PATH|$PWD\" > path.txt"_s},
                                         folder.path()));
        QTRY_VERIFY(QFileInfo(report).size() > 0);
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString seen = QString::fromLocal8Bit(file.readAll()).trimmed();
        QVERIFY2(seen.startsWith(QDir::cleanPath(folder.path()) + u':'), qPrintable(seen));
        QVERIFY2(seen.endsWith(u'|' + QDir(folder.path()).canonicalPath()), qPrintable(seen));
    }
#endif

    void ipv4Address_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isAddress");
        QTest::newRow("loopback") << u"127.0.0.1"_s << true;
        QTest::newRow("bounds") << u"0.255.0.255"_s << true;
        QTest::newRow("part above 255") << u"192.168.1.256"_s << false;
        QTest::newRow("three parts") << u"10.0.1"_s << false;
        QTest::newRow("five parts") << u"10.0.0.1.5"_s << false;
        QTest::newRow("empty part") << u"10..0.1"_s << false;
        QTest::newRow("negative") << u"-1.0.0.1"_s << false;
        QTest::newRow("host name") << u"zelkserver.clinic.local"_s << false;
        QTest::newRow("empty") << QString() << false;
    }
    void ipv4Address()
    {
        QFETCH(QString, text);
        QFETCH(bool, isAddress);
        QCOMPARE(IsIPv4Address(text), isAddress);
    }

    void ownRecordNamesTheProductVersion()
    {
        const TCEVersionInfo info;
        QCOMPARE(info.ProductVersion, QStringLiteral(ZELK_PRODUCT_VERSION));
        QCOMPARE(info.CompanyName, QStringLiteral(ZELK_COMPANY_NAME));
        QCOMPARE(info.FileVersion.count(u'.'), 3);
        QVERIFY(info.FileVersion.startsWith(info.ProductVersion));
        QCOMPARE(info.MajorVersion + u'.' + info.MinorVersion + u'.' + info.Release + u'.' + info.Build,
                 info.FileVersion);
    }

    void executableHoldsExactlyOneMarker()
    {
        // A second copy of the marker (a literal in the reading code, say) would make every
        // executable unreadable: the record could not be told apart.
        const QByteArray image = ownImage();
        const QByteArray marker = versionRecordMarker();
        QVERIFY(!image.isEmpty());
        QCOMPARE(image.count(marker), 1);
        QVERIFY(findVersionRecord(image) >= 0);
    }

    void stampedCopyIsRead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QByteArray image = ownImage();
        QString error;
        QVERIFY2(stampVersionRecord(image, u"1.10.5"_s, &error), qPrintable(error));
        QCOMPARE(image.size(), ownImage().size());
        const QString copy = dir.filePath(u"copy"_s);
        QFile out(copy);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(image);
        out.close();

        TCEVersionInfo info;
        QVERIFY(info.GetInfo(copy));
        QCOMPARE(info.ProductVersion, u"1.10.5"_s);
        QCOMPARE(info.FileVersion, u"1.10.5.0"_s);
        QCOMPARE(info.Release, u"5"_s);
        QCOMPARE(info.CompanyName, QStringLiteral(ZELK_COMPANY_NAME));
    }

    void fileWithoutRecord_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("text") << QByteArray("#!/bin/sh\necho hello\n");
        QTest::newRow("empty") << QByteArray();
        // The marker alone, without a record behind it.
        QTest::newRow("bare marker") << (QByteArray("abc") + versionRecordMarker() + QByteArray("xyz"));
    }
    void fileWithoutRecord()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"plain"_s);
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(contents);
        out.close();

        TCEVersionInfo info;
        QVERIFY(!info.GetInfo(path));
        QCOMPARE(info.ProductVersion, kInfoNotAvailable.toString());
        QCOMPARE(info.CompanyName, kInfoNotAvailable.toString());
        QCOMPARE(info.Build, kInfoNotAvailable.toString());
        QVERIFY(!info.GetInfo(dir.filePath(u"missing"_s)));
    }

    void stampRefusals()
    {
        QByteArray noRecord("no record here");
        QString error;
        QVERIFY(!stampVersionRecord(noRecord, u"1.10.5"_s, &error));
        QVERIFY(!error.isEmpty());

        QByteArray twoRecords = ownVersionRecord().toByteArray() + ownVersionRecord().toByteArray();
        QVERIFY(!stampVersionRecord(twoRecords, u"1.10.5"_s, &error));

        QByteArray image = ownVersionRecord().toByteArray();
        QVERIFY(!stampVersionRecord(image, QString(600, u'9'), &error));
        QCOMPARE(image, ownVersionRecord().toByteArray());
    }

    void stampTool()
    {
        const QString tool = qEnvironmentVariable("ZELK_BIN_DIR") + u"/zelk-stamp-version"_s;
        if (!QFile::exists(tool))
            QSKIP("zelk-stamp-version is not built");
        QTemporaryDir dir;
        const QString copy = dir.filePath(u"newer"_s);
        QCOMPARE(QProcess::execute(tool, {QCoreApplication::applicationFilePath(), copy, u"2.0.0.1"_s}), 0);
        TCEVersionInfo info;
        QVERIFY(info.GetInfo(copy));
        QCOMPARE(versionNumber(info.ProductVersion), 2001);
        QVERIFY(QFileInfo(copy).isExecutable());
        QVERIFY(QProcess::execute(tool, {dir.filePath(u"missing"_s), copy, u"1"_s}) != 0);
    }
};

QTEST_GUILESS_MAIN(TestUpdateVersion)
#include "tst_update_version.moc"
