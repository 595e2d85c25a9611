// A stand-in for the calling client in the end-to-end update test: it takes the single-instance
// lock as the client does (RESTARTING=1 lets it start regardless), connects to the signalling
// server, runs the update check of its first connection and writes what happened to the file
// named by ZELK_E2E_REPORT, one line per step.
#include "app/SingleInstance.h"
#include "common/Identity.h"
#include "common/Settings.h"
#include "common/update/VersionInfo.h"
#include "common/update/ZelkCommon.h"
#include "tests/common/FakeSettingsServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

void report(const QString &line)
{
    QFile file(qEnvironmentVariable("ZELK_E2E_REPORT"));
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write((line + u'\n').toUtf8());
}

QByteArray reportText()
{
    QFile file(qEnvironmentVariable("ZELK_E2E_REPORT"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PrepareFolders();
    const QString version = TCEVersionInfo().ProductVersion;
    const bool restarting = GetParamValue(u"RESTARTING"_s) == u"1";

    SingleInstance instance(u"ZELK_WCallClient"_s);
    const bool primary = instance.tryAcquire();
    if (!primary && !restarting) {
        report(u"refused version="_s + version);
        return 3;
    }
    if (!primary)
        instance.acquireWhenFree(100);
    report(u"start version=%1 restarting=%2 lockHeld=%3 args=%4"_s.arg(version)
               .arg(restarting ? 1 : 0)
               .arg(primary ? 0 : 1)
               .arg(commandLineArguments().join(u'|')));

    SettingsClient main;
    if (!main.connectTo(quint16(GetParamValue(u"SERVERPORT"_s).toUInt()))) {
        report(u"no connection version="_s + version);
        return 4;
    }
    MainSocket = &main.socket;
    TfrmZELKcommon common;
    const bool started = common.StartUpdateCheck();
    report(u"check version=%1 started=%2 state=%3"_s.arg(version).arg(started ? 1 : 0).arg(common.updateState()));
    if (started) {
        // Holds the lock until the new copy has started, which shows that it starts regardless.
        const QDeadlineTimer deadline(15000);
        while (!reportText().contains("start version=") || reportText().count("start version=") < 2) {
            if (deadline.hasExpired())
                break;
            QThread::msleep(20);
        }
        report(u"end version="_s + version);
    }
    MainSocket = nullptr;
    return 0;
}
