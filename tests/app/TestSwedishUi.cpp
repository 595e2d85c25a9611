#include "../admin/AdminTestSupport.h"
#include "admin/TfrmSystreg.h"
#include "callwindow/TfrmZelkMain.h"
#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "common/SettingsKeys.h"
#include "common/SwedishDialogs.h"
#include "common/WidgetPrompts.h"
#include "server/ZelkServer.h"
#include "speech/SpeechGlobals.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;
using namespace zelk;

// Every window, box and menu of the client, opened offscreen with the program's Swedish
// catalogue loaded, must show no English word of Qt's own or of the socket layer.
namespace {

// "OK" is not among them: it is the Swedish button text as well.
const QStringList kEnglishWords = {
    u"Cancel"_s, u"Yes"_s, u"No"_s, u"Close"_s, u"Apply"_s, u"Reset"_s, u"Save"_s, u"Open"_s,
    u"Help"_s, u"Abort"_s, u"Retry"_s, u"Ignore"_s, u"Discard"_s, u"Restore Defaults"_s,
    u"Pick Screen Color"_s, u"Basic colors"_s, u"Custom colors"_s, u"Add to Custom Colors"_s,
    u"Select Color"_s, u"Hue"_s, u"Sat"_s, u"Val"_s, u"Red"_s, u"Green"_s, u"Blue"_s,
    u"Alpha channel"_s, u"HTML"_s, u"Undo"_s, u"Redo"_s, u"Cut"_s, u"Copy"_s, u"Paste"_s,
    u"Delete"_s, u"Select All"_s, u"Step up"_s, u"Step down"_s, u"Show Details"_s,
    u"Hide Details"_s, u"Scroll Left"_s, u"Scroll Right"_s, u"refused"_s, u"Connection"_s,
    u"Unknown error"_s, u"Host not found"_s, u"Warning"_s, u"Error"_s, u"Question"_s,
    u"Confirm"_s,
};

QString withoutAccelerators(QString text)
{
    text.replace(u"&&"_s, u"\x01"_s).remove(u'&').replace(u'\x01', u'&');
    return text.section(u'\t', 0, 0); // a menu entry's shortcut text follows a tab
}

QStringList englishIn(const QStringList &texts)
{
    QStringList found;
    for (const QString &raw : texts) {
        const QString text = withoutAccelerators(raw);
        for (const QString &word : kEnglishWords) {
            const QRegularExpression whole(u"\\b"_s + QRegularExpression::escape(word) + u"\\b"_s);
            if (whole.match(text).hasMatch())
                found << u"\"%1\" in \"%2\""_s.arg(word, raw);
        }
    }
    return found;
}

void addMenuTexts(const QMenu *menu, QStringList &texts)
{
    if (!menu)
        return;
    texts << menu->title();
    for (const QAction *action : menu->actions()) {
        texts << action->text() << action->toolTip();
        addMenuTexts(action->menu(), texts);
    }
}

// What a widget and its visible children show: captions, labels, titles, tabs, items, hints.
QStringList visibleTexts(const QWidget *root)
{
    QStringList texts{root->windowTitle()};
    QList<const QWidget *> widgets{root};
    for (const QWidget *w : root->findChildren<QWidget *>())
        widgets << w;
    for (const QWidget *w : widgets) {
        if (!w->isVisibleTo(root) && w != root)
            continue;
        texts << w->toolTip() << w->statusTip() << w->whatsThis();
        if (const auto *b = qobject_cast<const QAbstractButton *>(w))
            texts << b->text();
        if (const auto *l = qobject_cast<const QLabel *>(w))
            texts << l->text();
        if (const auto *g = qobject_cast<const QGroupBox *>(w))
            texts << g->title();
        if (const auto *e = qobject_cast<const QLineEdit *>(w))
            texts << e->text() << e->placeholderText();
        if (const auto *t = qobject_cast<const QTabWidget *>(w))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i) << t->tabToolTip(i);
        if (const auto *c = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        if (const auto *list = qobject_cast<const QListWidget *>(w))
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
        if (const auto *s = qobject_cast<const QSpinBox *>(w))
            texts << s->prefix() << s->suffix() << s->specialValueText();
    }
    return texts;
}

// Runs open (which shows something modal or a popup), reads what the active modal widget or
// popup other than beneath shows once it is up, and closes it.
QStringList textsOfModal(const std::function<void()> &open, const QWidget *beneath = nullptr)
{
    QStringList texts;
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *up = QApplication::activePopupWidget();
        if (!up)
            up = QApplication::activeModalWidget();
        if (!up || up == beneath || seen)
            return;
        seen = true;
        texts = visibleTexts(up);
        if (auto *menu = qobject_cast<QMenu *>(up))
            addMenuTexts(menu, texts);
        if (auto *dialog = qobject_cast<QDialog *>(up))
            dialog->reject();
        else
            up->close();
    });
    poll.start();
    open();
    poll.stop();
    if (!seen)
        texts << u"(nothing was shown)"_s;
    return texts;
}

// The context menus of the text fields and spin boxes under root.
QStringList contextMenuTexts(QWidget *root, const QWidget *beneath)
{
    QStringList texts;
    for (QLineEdit *edit : root->findChildren<QLineEdit *>()) {
        std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
        addMenuTexts(menu.get(), texts);
    }
    for (QPlainTextEdit *edit : root->findChildren<QPlainTextEdit *>()) {
        std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
        addMenuTexts(menu.get(), texts);
    }
    for (QAbstractSpinBox *spin : root->findChildren<QAbstractSpinBox *>()) {
        if (!spin->isVisible())
            continue;
        texts << textsOfModal([spin] {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), spin->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(spin, &event);
        }, beneath);
    }
    return texts;
}

} // namespace

class TestSwedishUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void englishWordsAreFound();
    void administrationDialog_everyTab();
    void colourChooser();
    void messageBoxes_data();
    void messageBoxes();
    void qtStandardButtonsAndDetails();
    void socketErrors();
    void trayMenu();

private:
    QTemporaryDir m_folder;
    QString m_oldCurrent;
};

void TestSwedishUi::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    // The hook library lies in the working folder, so the calling window finds it.
    QFile::link(qEnvironmentVariable("ZELK_BIN_DIR") + u"/libKV_HookKeyboard.so"_s,
                m_folder.filePath(u"libKV_HookKeyboard.so"_s));
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_folder.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder.path()));
    resetRegistryHives();
    QVERIFY(PrepareFolders());
    SpeechAvailable = false;
    QVERIFY2(installSwedishTranslations(*qApp), "zelk_qt_sv.qm beside the test");
}

void TestSwedishUi::cleanupTestCase()
{
    setUserPrompts(nullptr);
    QDir::setCurrent(m_oldCurrent);
}

// The check itself finds Qt's English texts, accelerators and shortcuts notwithstanding.
void TestSwedishUi::englishWordsAreFound()
{
    QCOMPARE(englishIn({u"&Pick Screen Color"_s}).size(), 1);
    QCOMPARE(englishIn({u"Cu&t\tCtrl+X"_s}).size(), 1);
    QCOMPARE(englishIn({u"Felkoden är: 10061 (Connection refused)"_s}).size(), 2);
    QVERIFY(englishIn({u"Valda resurser"_s, u"OK"_s, u"Avbryt"_s, u"Noll"_s}).isEmpty());
}

void TestSwedishUi::administrationDialog_everyTab()
{
    WidgetPrompts prompts;
    setUserPrompts(&prompts);
    TfrmSystreg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTabWidget *tabs = dialog.PageControl1;
    QStringList texts;
    int opened = 0;
    for (int i = 0; i < tabs->count(); ++i) {
        // Without a connection only the server tab is offered; the texts of the others count
        // just the same.
        tabs->setTabVisible(i, true);
        // A tab may ask the server or say something in a box; whatever it shows counts too.
        QTimer::singleShot(0, &dialog, [tabs, i] { tabs->setCurrentIndex(i); });
        texts << textsOfModal([] { QTest::qWait(300); }, &dialog)
                     .filter(QRegularExpression(u"^(?!\\(nothing)"_s));
        texts << visibleTexts(&dialog) << contextMenuTexts(tabs->widget(i), &dialog);
        ++opened;
    }
    QCOMPARE(opened, tabs->count());
    QVERIFY2(texts.contains(u"Steg &upp"_s), "the spin boxes' context menu was read");
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
    setUserPrompts(nullptr);
}

void TestSwedishUi::colourChooser()
{
    TfrmSystreg dialog;
    dialog.show();
    const QStringList texts = textsOfModal([&dialog] { dialog.BitBtn5Click(); });
    QVERIFY2(texts.contains(u"Välj färg"_s), qPrintable(texts.join(u'|')));
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
    // The chooser's own labels are there, in Swedish.
    QVERIFY2(texts.contains(u"&Nyans:"_s) && texts.contains(u"&Hämta färg från skärmen"_s),
             qPrintable(texts.join(u'|')));
}

void TestSwedishUi::messageBoxes_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("ShowError") << 0;
    QTest::newRow("AskYesNo") << 1;
    QTest::newRow("warning") << int(QMessageBox::Warning);
    QTest::newRow("critical") << int(QMessageBox::Critical);
    QTest::newRow("information") << int(QMessageBox::Information);
    QTest::newRow("question") << int(QMessageBox::Question);
}

void TestSwedishUi::messageBoxes()
{
    QFETCH(int, kind);
    WidgetPrompts prompts;
    const QStringList texts = textsOfModal([&] {
        if (kind == 0)
            prompts.showError(u"Ett fel."_s);
        else if (kind == 1)
            prompts.askYesNo(u"En fråga?"_s);
        else
            showSwedishMessageBox(nullptr, QMessageBox::Icon(kind), u"Text"_s,
                                  QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No,
                                  QMessageBox::Ok);
    });
    QVERIFY(!texts.contains(u"(nothing was shown)"_s));
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
}

// Boxes that Qt labels itself (a button box without our texts, a box with details).
void TestSwedishUi::qtStandardButtonsAndDetails()
{
    const QStringList texts = textsOfModal([] {
        QMessageBox box(QMessageBox::Information, u"Information"_s, u"Text"_s,
                        QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No
                            | QMessageBox::Close | QMessageBox::Apply | QMessageBox::Reset
                            | QMessageBox::Save | QMessageBox::Discard | QMessageBox::Help
                            | QMessageBox::RestoreDefaults);
        box.setDetailedText(u"Detaljer"_s);
        box.exec();
    });
    QVERIFY2(texts.contains(u"Avbryt"_s) && texts.contains(u"Stäng"_s), qPrintable(texts.join(u'|')));
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
}

// The socket layer's error texts, which reach the user inside our own messages.
void TestSwedishUi::socketErrors()
{
    QStringList texts;
    for (const char *text : {"Connection refused", "The remote host closed the connection",
                             "Network unreachable", "Connection timed out", "Unknown error"})
        texts << QCoreApplication::translate("QNativeSocketEngine", text);
    texts << QCoreApplication::translate("QAbstractSocket", "Host not found")
          << QCoreApplication::translate("QIODevice", "Unknown error");
    QCOMPARE(texts.first(), u"Anslutningen nekades"_s);
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
}

// The tray menu with a call list from the reference server, before and after a call.
void TestSwedishUi::trayMenu()
{
    admintest::RecordingPrompts prompts;
    server::ZelkServer zelkServer(server::ServerState::demo());
    zelkServer.setLogging(false);
    QString error;
    QVERIFY2(zelkServer.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
    WriteSetting(keys::ServerName, u"127.0.0.1"_s);
    WriteSetting(keys::ServerPort, QString::number(zelkServer.port()));

    TfrmZelkMain window;
    window.show();
    QMenu &menu = window.popupMenu();
    const auto menuTexts = [&menu] {
        QMetaObject::invokeMethod(&menu, "aboutToShow");
        QStringList texts;
        addMenuTexts(&menu, texts);
        return texts;
    };
    QTRY_VERIFY_WITH_TIMEOUT(menu.actions().size() > 4, 10000);
    QStringList texts = menuTexts();
    QVERIFY2(texts.contains(u"Avsluta"_s) && texts.contains(u"Inställningar..."_s),
             qPrintable(texts.join(u'|')));

    // A called resource's entry tells since when.
    QAction *first = menu.actions().first();
    const QString before = first->text();
    first->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(menu.actions().first()->text() != before, 10000);
    texts << menuTexts() << prompts.errors << prompts.questions << prompts.balloons;
    const QStringList english = englishIn(texts);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n')));
}

QTEST_MAIN(TestSwedishUi)
#include "TestSwedishUi.moc"
