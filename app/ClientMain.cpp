#include "app/ClientMain.h"
#include "app/CommandLineInfo.h"
#include "app/SessionEnd.h"
#include "admin/TfrmSystreg.h"
#include "app/SingleInstance.h"
#include "app/StallWatchdog.h"
#include "callwindow/TfrmZelkMain.h"
#include "common/Identity.h"
#include "common/Settings.h"
#include "common/StyleStep.h"
#include "common/SwedishDialogs.h"
#include "common/WidgetPrompts.h"
#include "common/update/ZelkCommon.h"

#include "ZelkBuildInfo.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>

#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kInstanceName = "ZELK_WCallClient";

} // namespace

int zelk::runClient(int argc, char *argv[])
{
    // Help and version come before the window system, so they work without a display.
    if (const auto answered = zelk::answerInfoOptions(argc, argv))
        return *answered;

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"ZELK Windows CallClient"_s);
    QApplication::setApplicationVersion(QStringLiteral(ZELK_PRODUCT_VERSION));

    // Only when ZELK_STALL_REPORT asks for it: how long the event loop ever kept events waiting.
    const std::unique_ptr<zelk::StallWatchdog> watchdog = zelk::StallWatchdog::fromEnvironment();

    zelk::installSwedishTranslations(app);
    zelk::WidgetPrompts prompts;
    zelk::setUserPrompts(&prompts);

    const QString instanceName = QLatin1StringView(kInstanceName);
    zelk::SingleInstance instance(instanceName);
    if (!instance.tryAcquire()) {
        if (zelk::GetParamValue(u"RESTARTING"_s) != u"1") {
            zelk::SingleInstance::activateRunning(instanceName);
            return 0;
        }
        instance.acquireWhenFree();
    }

    // Every settings path holds the folder key, so the folders come before the first read.
    zelk::PrepareFolders();
    zelk::applyStyleSetting();

    // The program lives in the notification area: hiding the window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    int exitCode = 0;
    {
        QPointer<zelk::TfrmZelkMain> calling;
        bool activationPending = false;
        const auto activation = QObject::connect(&instance, &zelk::SingleInstance::activationRequested, &app, [&] {
            qInfo("ZELK: a second start asked this instance to come to the front");
            if (calling)
                calling->BringToFront();
            else
                activationPending = true;
        });
        // A request to come to the front may arrive while the window is still being created;
        // it is kept until the window exists.
        zelk::SessionEnd sessionEnd;
        QObject::connect(&sessionEnd, &zelk::SessionEnd::sessionEnding, &app, [&] {
            if (calling) {
                calling->closeForGood();
                return;
            }
            // Still being created, maybe inside a message box: nothing is unsaved yet, and the
            // lock of an ended process counts as stale for the next start.
            std::_Exit(1);
        });
        zelk::TfrmZELKcommon frmZELKcommon; // hidden: self-update and sleep/wake
        zelk::TfrmZelkMain window([](QWidget *owner, QTcpSocket *socket) -> zelk::AdminDialogPort * {
            auto *dialog = new zelk::TfrmSystreg(owner); // owned by the calling window
            dialog->setClientSocket(socket);
            dialog->setUpdateServerVersion([] { return &zelk::UpdateServerVersion; });
            return dialog;
        });
        window.session().setUpdateCheck([&frmZELKcommon] { return frmZELKcommon.StartUpdateCheck(); });
        frmZELKcommon.startPowerNotifications([&window] { window.session().ConnectToServer(false); });
        calling = &window;
        // The calling window's end is the program's end, with exit code 1.
        // A modal loop still running when it closes may end the main loop with its own code.
        bool closedForGood = false;
        QObject::connect(&window, &zelk::TfrmZelkMain::closedForGood, &app, [&closedForGood] {
            closedForGood = true;
            QApplication::exit(1);
        });
        // Maximised; without a window manager that means the screen's whole work area.
        if (const QScreen *screen = window.screen())
            window.setGeometry(screen->availableGeometry());
        window.showMaximized();
        if (activationPending)
            window.BringToFront();
        exitCode = QApplication::exec();
        if (closedForGood)
            exitCode = 1;
        QObject::disconnect(activation);
    }
    zelk::setUserPrompts(nullptr);
    return exitCode;
}
