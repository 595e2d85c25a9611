#include "AdminTestSupport.h"

#include "admin/TfrmSystreg.h"
#include "common/Identity.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "server/ZelkServer.h"
#include "session/CallListModel.h"
#include "session/ServerSession.h"
#include "session/SessionState.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace zelk;
using namespace zelk::admintest;

namespace {

// A workstation without local settings, its hives in the given folder.
bool useEmptyRegistry(const QTemporaryDir &registry)
{
    if (!registry.isValid())
        return false;
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(registry.path()));
    resetRegistryHives();
    setServerWaitInterval(std::chrono::milliseconds(500));
    return PrepareFolders();
}

} // namespace

// The dialog against the reference server, wired as the calling window wires it: the server does
// not know the workstation, the user registers it with a place and colour, chooses three
// resources in an order, saves and closes, and the reconnected session's call list holds exactly
// those three in that order.
class TestSystregEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registerChooseSaveClose();
    void assignedResourcesShownAndSavedInOrder();
};

void TestSystregEndToEnd::registerChooseSaveClose()
{
    QTemporaryDir registry;
    QVERIFY(useEmptyRegistry(registry));
    RecordingPrompts prompts;

    server::ServerState state = server::ServerState::demo();
    state.autoAssign = false;
    const QList<qint32> numbers = state.resources.keys();
    QVERIFY(numbers.size() >= 4);
    const QList<qint32> chosen{numbers.last(), numbers.first(), numbers.at(numbers.size() / 2)};
    server::ZelkServer zelkServer(state);
    zelkServer.setLogging(false);
    QString error;
    QVERIFY2(zelkServer.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));

    WriteSetting(keys::ServerName, u"127.0.0.1"_s);
    WriteSetting(keys::ServerPort, QString::number(zelkServer.port()));
    WriteSetting(keys::ClientNameUseDefault, u"0"_s);
    WriteSetting(keys::ClientName, u"RECEPTION_E2E"_s);

    CallListModel callList(u"1.10.4"_s);
    ServerSession session(callList);
    TfrmSystreg dialog;
    dialog.setClientSocket(&session.socket());
    dialog.setServerSaveWait(std::chrono::milliseconds(10));
    dialog.setColorChooser([](const QColor &, QWidget *) -> std::optional<QColor> { return QColor(0, 128, 0); });
    session.setAdminDialog(&dialog);
    ReconnectHook = [&session](bool refresh) { session.ConnectToServer(refresh); };
    QSignalSpy connections(&session.socket(), &QTcpSocket::connected);

    // Everything the user does happens while the dialog runs modally inside the dispatcher.
    QStringList steps;
    QTimer driver;
    driver.setSingleShot(true);
    connect(&driver, &QTimer::timeout, &dialog, [&] {
        if (!dialog.isVisible()) {
            driver.start(10);
            return;
        }
        steps << u"opened"_s;
        if (dialog.PageControl1->currentWidget() != dialog.tsClientSettings || !dialog.pnlPlats->isVisible()) {
            dialog.close();
            return;
        }
        dialog.Edit3->setText(u"Reception 2"_s);
        QTest::mouseClick(dialog.BitBtn5, Qt::LeftButton);
        // The server's client data uncovers the lists and reloads the tab; both list replies
        // of that reload refill the lists before the user goes on.
        QSignalSpy refills(dialog.ListBox1->model(), &QAbstractItemModel::modelReset);
        QTest::mouseClick(dialog.BitBtn6, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return !dialog.pnlPlats->isVisible(); }, 5000)) {
            dialog.close();
            return;
        }
        const qsizetype refilledBefore = refills.size();
        if (!QTest::qWaitFor([&] { return refills.size() >= refilledBefore + 2 && dialog.ListBox1->count() == numbers.size(); }, 5000)) {
            dialog.close();
            return;
        }
        steps << u"registered"_s;
        for (qint32 number : chosen) {
            for (int row = 0; row < dialog.ListBox1->count(); ++row) {
                if (dialog.ListBox1->item(row)->data(Qt::UserRole).toInt() != number)
                    continue;
                dialog.ListBox1->clearSelection();
                dialog.ListBox1->item(row)->setSelected(true);
                QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
                break;
            }
        }
        if (dialog.ListBox2->count() == chosen.size())
            steps << u"chosen"_s;
        QTest::mouseClick(dialog.btnSave, Qt::LeftButton);
        QTest::mouseClick(dialog.btnReturn, Qt::LeftButton);
    });
    driver.start(0);
    // Should the flow go astray, no modal run outlives the test.
    QTimer watchdog;
    watchdog.start(15000);
    connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] { dialog.close(); });

    session.startFirstConnection();
    QTRY_COMPARE_WITH_TIMEOUT(steps, (QStringList{u"opened"_s, u"registered"_s, u"chosen"_s}), 10000);
    QTRY_VERIFY(!dialog.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(connections.size() >= 2, 5000); // the reconnection after "Spara"

    const auto calledNumbers = [&callList] {
        QList<qint32> result;
        for (const TZELKCallListItem &item : callList.items())
            result.append(item.CallLOPNR);
        return result;
    };
    QTRY_COMPARE_WITH_TIMEOUT(calledNumbers(), chosen, 5000);
    callList.MapDrumFaces();
    for (int face = 1; face <= 3; ++face)
        QCOMPARE(callList.items().at(callList.faces()[face]).CallLOPNR, chosen.at(face - 1));

    QVERIFY(prompts.errors.value(0).startsWith(u"Klienten finns inte i databasen!"_s));
    const server::Client *registered = zelkServer.core().state().client(u"RECEPTION_E2E"_s);
    QVERIFY(registered);
    QCOMPARE(registered->place, u"Reception 2"_s);
    QCOMPARE(registered->color, 0x008000);
    QCOMPARE(ClientData.FriendlyName, u"Reception 2"_s);
    ReconnectHook = nullptr;
}

// A workstation the server knows, with the resources 12, 5 and 7 assigned in that order: the
// client tab shows exactly those in "Valda resurser", and "Spara" sends them back unchanged.
void TestSystregEndToEnd::assignedResourcesShownAndSavedInOrder()
{
    QTemporaryDir registry;
    QVERIFY(useEmptyRegistry(registry));
    RecordingPrompts prompts;

    server::ServerState state = server::ServerState::demo();
    state.autoAssign = false;
    state.resources.insert(12, server::Resource{12, u"Tolv"_s, u"Tolv Tolvsson"_s, 0x0000FF, true});
    server::Client desk;
    desk.name = u"KASSA_E2E"_s;
    desk.place = u"Kassa"_s;
    desk.color = 0x00FF00;
    desk.resources = {{12, true}, {5, true}, {7, true}};
    state.clients.append(desk);
    server::ZelkServer zelkServer(state);
    zelkServer.setLogging(false);
    QString error;
    QVERIFY2(zelkServer.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
    QList<QByteArray> posted;
    connect(&zelkServer, &server::ZelkServer::messageReceived, this, [&posted](int, const QByteArray &raw) {
        if (raw.contains("POSTCALLABLESLIST"))
            posted.append(raw);
    });

    WriteSetting(keys::ServerName, u"127.0.0.1"_s);
    WriteSetting(keys::ServerPort, QString::number(zelkServer.port()));
    WriteSetting(keys::ClientNameUseDefault, u"0"_s);
    WriteSetting(keys::ClientName, u"KASSA_E2E"_s);

    CallListModel callList(u"1.10.4"_s);
    ServerSession session(callList);
    TfrmSystreg dialog;
    dialog.setClientSocket(&session.socket());
    dialog.setServerSaveWait(std::chrono::milliseconds(10));
    session.setAdminDialog(&dialog);
    ReconnectHook = [&session](bool refresh) { session.ConnectToServer(refresh); };
    session.startFirstConnection();
    QTRY_COMPARE_WITH_TIMEOUT(callList.items().size(), 3, 5000);
    QCOMPARE(ClientData.FriendlyName, u"Kassa"_s); // known: no registration needed
    QVERIFY(prompts.errors.isEmpty());

    QList<qint32> shown;
    QStringList texts;
    QTimer::singleShot(0, &dialog, [&] {
        if (!QTest::qWaitFor([&] { return dialog.ListBox2->count() == 3; }, 5000))
            qWarning("the lists did not arrive");
        for (int row = 0; row < dialog.ListBox2->count(); ++row) {
            shown.append(dialog.ListBox2->item(row)->data(Qt::UserRole).toInt());
            texts.append(dialog.ListBox2->item(row)->text());
        }
        QTest::mouseClick(dialog.btnSave, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return !posted.isEmpty(); }, 5000))
            qWarning("nothing was posted");
        dialog.close();
    });
    QTimer watchdog;
    watchdog.start(15000);
    connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] { dialog.close(); });
    dialog.openOnTab(dialog.tsClientSettings);

    QCOMPARE(shown, (QList<qint32>{12, 5, 7}));
    QCOMPARE(texts.value(0), u"Tolv Tolvsson"_s);
    QCOMPARE(posted, QList<QByteArray>{QByteArray("\xA4POSTCALLABLESLIST:KASSA_E2E:0:12:0:5:1:7:2:POSTCALLABLESLIST\xA4")});
    QVERIFY(prompts.balloons.isEmpty());
    const server::Client *stored = zelkServer.core().state().client(u"KASSA_E2E"_s);
    QVERIFY(stored);
    QCOMPARE(stored->resources.size(), 3);
    QCOMPARE(stored->resources.at(0).number, 12);
    ReconnectHook = nullptr;
}

QTEST_MAIN(TestSystregEndToEnd)
#include "TestSystregEndToEnd.moc"
