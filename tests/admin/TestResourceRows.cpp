#include "admin/RoomyRows.h"
#include "admin/TfrmSystreg.h"
#include "common/Registry.h"
#include "common/Settings.h"

#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

// The resource lists of "Systemregister" show whole letters: the rings and dots above
// capitals and the descenders stay inside their row, also in the first row under the frame.
class TestResourceRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rowsHoldWholeLetters_data();
    void rowsHoldWholeLetters();

private:
    QTemporaryDir m_registry;
};

void TestResourceRows::initTestCase()
{
    QVERIFY(m_registry.isValid());
    qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(m_registry.path()));
    resetRegistryHives();
    QVERIFY(PrepareFolders());
}

void TestResourceRows::rowsHoldWholeLetters_data()
{
    QTest::addColumn<QString>("list");
    QTest::newRow("Alla resurser") << u"ListBox1"_s;
    QTest::newRow("Valda resurser") << u"ListBox2"_s;
}

void TestResourceRows::rowsHoldWholeLetters()
{
    QFETCH(QString, list);
    TfrmSystreg dialog;
    auto *box = dialog.findChild<QListWidget *>(list);
    QVERIFY(box);
    box->addItems({u"Åsa Öberg"_s, u"Ängsgården"_s, u"Jörgen Ypsilon"_s});
    box->setCurrentRow(-1);
    QTabWidget *tabs = dialog.PageControl1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(box)) {
            tabs->setTabVisible(i, true);
            tabs->setCurrentIndex(i);
        }
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(box->isVisible());

    QCOMPARE(box->visualItemRect(box->item(0)).height(),
             std::max(box->sizeHintForRow(0), RoomyRowDelegate::rowHeightFor(box->font())));
    const QImage shot = box->viewport()->grab().toImage();
    const QColor background = shot.pixelColor(shot.width() - 2, shot.height() - 2);
    for (int row = 0; row < box->count(); ++row) {
        const QRect r = box->visualItemRect(box->item(row));
        int top = -1, bottom = -1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(shot.pixel(x, y)) < qGray(background.rgb()) - 30) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
        QVERIFY2(top >= 0, qPrintable(box->item(row)->text()));
        QVERIFY2(top > r.top() && bottom < r.bottom(),
                 qPrintable(u"%1: ink %2..%3 in row %4..%5"_s.arg(box->item(row)->text())
                                .arg(top).arg(bottom).arg(r.top()).arg(r.bottom())));
    }
}

QTEST_MAIN(TestResourceRows)
#include "TestResourceRows.moc"
