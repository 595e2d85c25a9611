#include "app/SingleInstance.h"
#include "common/Identity.h"
#include "common/Settings.h"
#include "common/StyleStep.h"
#include "common/SwedishDialogs.h"
#include "common/WidgetPrompts.h"

#include "ZelkBuildInfo.h"

#include <QApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kInstanceName = "ZELK_WCallClient";

QString windowCaption()
{
    return u"Kestrova SignaleringsSystem: ZELK Windows Kallelseklient  version: "_s
           + QStringLiteral(ZELK_PRODUCT_VERSION);
}

void bringToFront(QWidget &window)
{
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"ZELK Windows CallClient"_s);
    QApplication::setApplicationVersion(QStringLiteral(ZELK_PRODUCT_VERSION));

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

    QWidget window;
    window.setWindowTitle(windowCaption());
    window.resize(640, 320);
    QObject::connect(&instance, &zelk::SingleInstance::activationRequested, &window, [&window] {
        qInfo("ZELK: a second start asked this instance to come to the front");
        bringToFront(window);
    });
    window.show();
    const int result = QApplication::exec();
    zelk::setUserPrompts(nullptr);
    return result;
}
