// Assembly of the update server's replies from the reads of the update connection.
#include "common/update/UpdateReceiver.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

// Program bytes that hold every byte value and, on their own, the markers that frame them.
QByteArray awkwardProgram()
{
    QByteArray bytes;
    for (int round = 0; round < 40; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
        bytes += toCodePage(u"#DATAEND#ERROR: 007 #DATASTART#¤RETNEWCLIENT:");
    }
    return bytes;
}

QList<UpdateReceiver::Reply> feedInChunks(UpdateReceiver &receiver, const QByteArray &data, qsizetype chunk)
{
    QList<UpdateReceiver::Reply> replies;
    for (qsizetype at = 0; at < data.size(); at += chunk)
        replies += receiver.feed(QByteArrayView(data).sliced(at, qMin(chunk, data.size() - at)));
    return replies;
}

} // namespace

class TestUpdateReceiver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileOverAnyReads_data()
    {
        QTest::addColumn<qsizetype>("chunk");
        QTest::addColumn<QByteArray>("trailer");
        QTest::newRow("one read") << qsizetype(1 << 30) << QByteArray();
        QTest::newRow("one read, CR LF after") << qsizetype(1 << 30) << QByteArray("\r\n");
        QTest::newRow("4096-byte reads") << qsizetype(4096) << QByteArray();
        QTest::newRow("7-byte reads") << qsizetype(7) << QByteArray("\r\n");
        QTest::newRow("byte by byte") << qsizetype(1) << QByteArray();
    }
    void fileOverAnyReads()
    {
        QFETCH(qsizetype, chunk);
        QFETCH(QByteArray, trailer);
        const QByteArray program = awkwardProgram();
        UpdateReceiver receiver;
        const auto replies = feedInChunks(receiver, msg::retNewClient(program) + trailer, chunk);
        QCOMPARE(replies.size(), 1);
        QVERIFY(replies.first().isFile);
        QCOMPARE(replies.first().bytes, program);
        QVERIFY(!receiver.DataNotReady());
        QVERIFY(!receiver.DataIsNewFile());
    }

    void collectingStates()
    {
        UpdateReceiver receiver;
        QVERIFY(receiver.feed(toCodePage(u"#DATASTART#¤RETNEWCLIENT:MZ")).isEmpty());
        QVERIFY(receiver.DataNotReady());
        QVERIFY(receiver.DataIsNewFile());
        receiver.reset();
        QVERIFY(!receiver.DataNotReady());
        QVERIFY(receiver.feed(toCodePage(u"#DATASTART#¤RETSERVERVERSION:1.1")).isEmpty());
        QVERIFY(receiver.DataNotReady());
        QVERIFY(!receiver.DataIsNewFile());
    }

    void textReplies_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<qsizetype>("chunk");
        QTest::addColumn<QStringList>("replies");
        const QString version = msg::envelope(msg::retServerVersion(u"1.10.5"_s));
        QTest::newRow("envelope in one read") << version << qsizetype(1000) << QStringList{version};
        QTest::newRow("envelope over reads") << version << qsizetype(3) << QStringList{version};
        QTest::newRow("error outside an envelope") << u"ERROR: 005 no client"_s << qsizetype(1000)
                                                   << QStringList{u"ERROR: 005 no client"_s};
        QTest::newRow("blank read") << u" \r\n"_s << qsizetype(1000) << QStringList{};
        QTest::newRow("text before an envelope") << (u"ERROR: 001"_s + version) << qsizetype(1000)
                                                 << QStringList{u"ERROR: 001"_s, version};
    }
    void textReplies()
    {
        QFETCH(QString, received);
        QFETCH(qsizetype, chunk);
        QFETCH(QStringList, replies);
        UpdateReceiver receiver;
        QStringList got;
        for (const auto &reply : feedInChunks(receiver, toCodePage(received), chunk)) {
            QVERIFY(!reply.isFile);
            got.append(fromCodePage(reply.bytes));
        }
        QCOMPARE(got, replies);
        QVERIFY(!receiver.DataNotReady());
    }

    void versionAndFileInOneRead()
    {
        const QByteArray program("\x7f" "ELF and so on", 14);
        const QByteArray data = toCodePage(msg::envelope(msg::retServerVersion(u"1.10.5"_s)))
                                + msg::retNewClient(program);
        UpdateReceiver receiver;
        const auto replies = receiver.feed(data);
        QCOMPARE(replies.size(), 2);
        QVERIFY(!replies.at(0).isFile);
        QVERIFY(fromCodePage(replies.at(0).bytes).contains(u"¤RETSERVERVERSION:1.10.5:"));
        QVERIFY(replies.at(1).isFile);
        QCOMPARE(replies.at(1).bytes, program);
    }
};

QTEST_GUILESS_MAIN(TestUpdateReceiver)
#include "tst_update_receiver.moc"
