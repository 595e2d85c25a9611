// End to end: zelk-server serves a newer copy of a client; the running client fetches it,
// stores it, starts it with RESTARTING=1 and ends; the new copy starts although the old one
// still held the lock, connects and finds nothing newer.
#include "common/update/VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestUpdateEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newerClientIsFetchedAndStarted()
    {
        const QString bin = qEnvironmentVariable("ZELK_BIN_DIR");
        const QString client = bin + u"/zelk-update-e2e-client"_s;
        const QString server = bin + u"/zelk-server"_s;
        if (!QFile::exists(client) || !QFile::exists(server))
            QSKIP("zelk-server or the test client is not built");

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const char *sub : {"updates", "program", "data", "registry", "runtime"})
            QVERIFY(QDir(dir.path()).mkpath(QString::fromLatin1(sub)));
        QFile::setPermissions(dir.filePath(u"runtime"_s), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                              | QFileDevice::ExeOwner);

        // The newer copy, under the client's own file name.
        QFile in(client);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray newer = in.readAll();
        QString error;
        QVERIFY2(stampVersionRecord(newer, u"1.10.5"_s, &error), qPrintable(error));
        const QString served = dir.filePath(u"updates/zelk-update-e2e-client"_s);
        QFile out(served);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(newer);
        out.close();

        QProcess zelkServer;
        zelkServer.start(server, {u"--port"_s, u"0"_s, u"--update-dir"_s, dir.filePath(u"updates"_s),
                                  u"--update-version"_s, u"1.10.5"_s, u"--update-pause"_s, u"20"_s,
                                  u"--no-stdin"_s, u"--quiet"_s});
        QVERIFY(zelkServer.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(zelkServer.canReadLine(), 10000);
        const QString listening = QString::fromUtf8(zelkServer.readLine());
        const QRegularExpressionMatch port = QRegularExpression(u":(\\d+)\\s*$"_s).match(listening);
        QVERIFY2(port.hasMatch(), qPrintable(listening));

        const QString reportFile = dir.filePath(u"report.txt"_s);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"ZELK_REGISTRY_DIR"_s, dir.filePath(u"registry"_s));
        env.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, dir.filePath(u"runtime"_s));
        env.insert(u"ZELK_E2E_REPORT"_s, reportFile);
        QProcess old;
        old.setProcessEnvironment(env);
        old.setWorkingDirectory(dir.filePath(u"program"_s));
        old.start(client, {u"SERVERPORT="_s + port.captured(1), u"PLACE=Room 4"_s});
        QVERIFY(old.waitForFinished(60000));
        QCOMPARE(old.exitCode(), 0);

        auto reportLines = [&reportFile] {
            QFile file(reportFile);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                                  : QStringList();
        };
        QTRY_VERIFY_WITH_TIMEOUT(reportLines().filter(u"check version=1.10.5"_s).size() == 1, 30000);
        const QStringList lines = reportLines();
        QVERIFY2(lines.contains(u"start version=1.10.4 restarting=0 lockHeld=0 args=SERVERPORT=%1|PLACE=Room 4"_s
                                    .arg(port.captured(1))),
                 qPrintable(lines.join(u'\n')));
        QVERIFY2(lines.contains(u"check version=1.10.4 started=1 state=2"_s), qPrintable(lines.join(u'\n')));
        QVERIFY2(lines.contains(u"start version=1.10.5 restarting=1 lockHeld=1 args=RESTARTING=1|SERVERPORT=%1|PLACE=Room 4"_s
                                    .arg(port.captured(1))),
                 qPrintable(lines.join(u'\n')));
        QVERIFY2(lines.contains(u"check version=1.10.5 started=0 state=1"_s), qPrintable(lines.join(u'\n')));
        // The old one ended only after the new one had started.
        QVERIFY(lines.indexOf(u"end version=1.10.4"_s) > lines.indexOf(QRegularExpression(u"^start version=1\\.10\\.5.*"_s)));

        QFile stored(dir.filePath(u"data/Kestrova/ZELK/zelk-update-e2e-client"_s));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll() == newer);
        QVERIFY(QFileInfo(stored).isExecutable());

        zelkServer.terminate();
        QVERIFY(zelkServer.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestUpdateEndToEnd)
#include "tst_update_e2e.moc"
