#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void getField_data();
    void getField();
    void codePage_swedishAndFrameAsSingleBytes();
    void codePage_roundTripsEveryByte();
    void cutMessage_data();
    void cutMessage();
    void builders_data();
    void builders();
    void retNewClient_carriesRawBytes();
    void iniText_valueWithColonIsCutAtTheColon();
    void callList_emptyForms_data();
    void callList_emptyForms();
    void callList_fieldsAndEncodings();
    void callList_onePassMatchesGetField();
    void callList_roundTripsThroughTheBuilder();
    void wireEncodings_data();
    void wireEncodings();
    void clientData_and_callables();
    void errorReply();
    void badInput_neverCrashes();
};

void TestProtocol::getField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    const QString version = u"¤RETSERVERVERSION:1.10.1:"_s;
    QTest::newRow("version field") << version << 1 << u"1.10.1"_s;
    QTest::newRow("past the last field") << version << 2 << QString();
    QTest::newRow("opening tag") << version << 0 << u"¤RETSERVERVERSION"_s;
    QTest::newRow("far past the end") << version << 40 << QString();
    QTest::newRow("blanks trimmed") << u"a:  value \t:b"_s << 1 << u"value"_s;
    QTest::newRow("controls trimmed") << u"a:\r\n\x01x y\x1f:"_s << 1 << u"x y"_s;
    QTest::newRow("no separator, index 0") << u"  whole text "_s << 0 << u"whole text"_s;
    QTest::newRow("no separator, index 1") << u"whole text"_s << 1 << QString();
    QTest::newRow("empty text") << QString() << 0 << QString();
    QTest::newRow("empty middle field") << u"a::c"_s << 1 << QString();
    QTest::newRow("field after empty") << u"a::c"_s << 2 << u"c"_s;
    QTest::newRow("negative index") << u"a:b"_s << -1 << QString();
    QTest::newRow("empty ini text") << u"¤RETINITEXT::"_s << 1 << QString();
}

void TestProtocol::getField()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(GetField(text, index, u':'), expected);
}

void TestProtocol::codePage_swedishAndFrameAsSingleBytes()
{
    QCOMPARE(toCodePage(u"¤åäöÅÄÖ"), QByteArray("\xA4\xE5\xE4\xF6\xC5\xC4\xD6"));
    QCOMPARE(toCodePage(u"€"), QByteArray("\x80"));
    QCOMPARE(toCodePage(u"日"), QByteArray("?")); // outside the code page
    QCOMPARE(fromCodePage(QByteArray("\xA4\xE5\x80\x9D")), u"¤å€\u009D"_s);
}

void TestProtocol::codePage_roundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = fromCodePage(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(toCodePage(text), all);
    for (char16_t undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QCOMPARE(text.at(undefined).unicode(), undefined);
}

void TestProtocol::cutMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("rest");

    QTest::newRow("version") << u"¤RETSERVERVERSION:1.10.1:RETSERVERVERSION¤"_s << u"RETSERVERVERSION"_s
                             << u"¤RETSERVERVERSION:1.10.1:"_s << QString();
    QTest::newRow("surrounded") << u"xx¤RETINITEXT:v:RETINITEXT¤yy"_s << u"RETINITEXT"_s
                                << u"¤RETINITEXT:v:"_s << u"xxyy"_s;
    QTest::newRow("first of two") << u"¤RETINITEXT:a:RETINITEXT¤¤RETINITEXT:b:RETINITEXT¤"_s
                                  << u"RETINITEXT"_s << u"¤RETINITEXT:a:"_s
                                  << u"¤RETINITEXT:b:RETINITEXT¤"_s;
    QTest::newRow("empty value") << u"¤RETINITEXT::RETINITEXT¤"_s << u"RETINITEXT"_s
                                 << u"¤RETINITEXT::"_s << QString();
    QTest::newRow("missing close") << u"¤RETINITEXT:abc"_s << u"RETINITEXT"_s << QString()
                                   << u"¤RETINITEXT:abc"_s;
    QTest::newRow("close before open") << u":RETINITEXT¤ ¤RETINITEXT:x"_s << u"RETINITEXT"_s
                                       << QString() << u":RETINITEXT¤ ¤RETINITEXT:x"_s;
}

void TestProtocol::cutMessage()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(QString, message);
    QFETCH(QString, rest);
    const auto cut = zelk::cutMessage(text, openingTag(tag), closingTag(tag));
    QCOMPARE(cut.has_value(), !message.isEmpty());
    if (cut) {
        QCOMPARE(cut->message, message);
        text.remove(cut->begin, cut->end - cut->begin);
    }
    QCOMPARE(text, rest);
}

void TestProtocol::builders_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QByteArray>("bytes");

    const auto call = TZELKClientType::ctCall;
    const QString name = u"KLINIK-7_Call"_s;
    QTest::newRow("GETSERVERVERSION") << msg::getServerVersion(name, call)
                                      << QByteArray("\xA4GETSERVERVERSION:KLINIK-7_Call:0:GETSERVERVERSION\xA4");
    QTest::newRow("RECONNECT") << msg::reconnect(name, call)
                               << QByteArray("\xA4RECONNECT:KLINIK-7_Call:0:RECONNECT\xA4");
    QTest::newRow("GETCALLLIST") << msg::getCallList(name, call)
                                 << QByteArray("\xA4GETCALLLIST:KLINIK-7_Call:0:GETCALLLIST\xA4");
    QTest::newRow("CALLING") << msg::calling(17, name)
                             << QByteArray("\xA4" "CALLING:17:KLINIK-7_Call:CALLING\xA4");
    TZELKClientData data;
    data.Name = u"Mottagning"_s;
    data.FriendlyName = u"Rum 3 vån 2"_s;
    data.Color = 255;
    QTest::newRow("REGISTER automatic")
        << msg::registerAutomatic(data, call)
        << QByteArray("\xA4REGISTERUPATEMACHINE:Mottagning:0:Rum 3 v\xE5n 2:255:::REGISTERUPATEMACHINE\xA4");
    QTest::newRow("REGISTER dialog")
        << msg::registerFromDialog(name, call, u"Plats"_s, -16777216, 4)
        << QByteArray("\xA4REGISTERUPATEMACHINE:KLINIK-7_Call:0:Plats:-16777216::4:REGISTERUPATEMACHINE\xA4");
    QTest::newRow("POSTCALLABLES command line")
        << msg::postCallablesFromCommandLine(name, call, u"5:0:9:1:"_s)
        << QByteArray("\xA4POSTCALLABLESLIST:KLINIK-7_Call:0:5:0:9:1:POSTCALLABLESLIST\xA4");
    QTest::newRow("POSTCALLABLES dialog")
        << msg::postCallablesFromDialog(name, call, {5, 9, 12})
        << QByteArray("\xA4POSTCALLABLESLIST:KLINIK-7_Call:0:5:0:9:1:12:2:POSTCALLABLESLIST\xA4");
    QTest::newRow("POSTCALLABLES dialog, none")
        << msg::postCallablesFromDialog(name, call, {})
        << QByteArray("\xA4POSTCALLABLESLIST:KLINIK-7_Call:0:POSTCALLABLESLIST\xA4");
    QTest::newRow("GETALLCALLABLES") << msg::getAllCallables(name)
                                     << QByteArray("\xA4GETALLCALLABLES:KLINIK-7_Call:GETALLCALLABLES\xA4");
    QTest::newRow("GETSTATIONCALLABLES")
        << msg::getStationCallables(name)
        << QByteArray("\xA4GETSTATIONCALLABLES:KLINIK-7_Call:GETSTATIONCALLABLES\xA4");
    QTest::newRow("SETINITEXT per client")
        << msg::setIniTextPerClient(u"KLINIK-7"_s, u"ZELK"_s, u"FrameRate"_s, u"5"_s)
        << QByteArray("\xA4SETINITEXT:KLINIK-7\\ZELK:FrameRate:5:SETINITEXT\xA4");
    QTest::newRow("SETINITEXT shared")
        << msg::setIniTextShared(u"ZELK"_s, u"FrameRate"_s, u"5"_s)
        << QByteArray("\xA4SETINITEXT:ZELK:FrameRate:5:SETINITEXT\xA4");
    QTest::newRow("GETINITEXT per client")
        << msg::getIniTextPerClient(u"KLINIK-7"_s, u"ServerSettings"_s, u"UpdateServerName"_s)
        << QByteArray("\xA4GETINITEXT:KLINIK-7\\ServerSettings:UpdateServerName:GETINITEXT\xA4");
    QTest::newRow("GETINITEXT shared")
        << msg::getIniTextShared(u"ServerSettings"_s, u"UpdateServerName"_s)
        << QByteArray("\xA4GETINITEXT:\\ServerSettings:UpdateServerName:GETINITEXT\xA4");
    QTest::newRow("GETNEWCLIENT")
        << msg::getNewClient(u"ZELK_WCallClient"_s, name, call)
        << QByteArray("\xA4GETNEWCLIENT:ZELK_WCallClient:KLINIK-7_Call:0:GETNEWCLIENT\xA4");
    QTest::newRow("RETSERVERVERSION") << msg::retServerVersion(u"1.10.4"_s)
                                      << QByteArray("\xA4RETSERVERVERSION:1.10.4:RETSERVERVERSION\xA4");
    QTest::newRow("RETINITEXT empty") << msg::retIniText(QString())
                                      << QByteArray("\xA4RETINITEXT::RETINITEXT\xA4");
    QTest::newRow("ZELKCLIENTDATA") << msg::zelkClientData(u"A"_s, u"Plats ö"_s, 42)
                                    << QByteArray("\xA4ZELKCLIENTDATA:A:Plats \xF6:42:ZELKCLIENTDATA\xA4");
    QTest::newRow("RETSTATIONCALLABLES") << msg::retStationCallables({3, 8})
                                         << QByteArray("\xA4RETSTATIONCALLABLES:3:0:8:1:RETSTATIONCALLABLES\xA4");
    QTest::newRow("envelope") << msg::envelope(msg::retIniText(u"x"_s))
                              << QByteArray("#DATASTART#\xA4RETINITEXT:x:RETINITEXT\xA4#DATAEND#");
}

void TestProtocol::builders()
{
    QFETCH(QString, built);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toCodePage(built), bytes);
}

void TestProtocol::retNewClient_carriesRawBytes()
{
    const QByteArray exe("\x7F" "ELF\x00\xA4\xFF:RET", 10);
    const QByteArray reply = msg::retNewClient(exe);
    QVERIFY(reply.startsWith("#DATASTART#\xA4RETNEWCLIENT:"));
    QVERIFY(reply.endsWith(":RETNEWCLIENT\xA4#DATAEND#"));
    QCOMPARE(reply.mid(25, exe.size()), exe);
    // Through the code page and back without loss, as the receiver handles it.
    QCOMPARE(toCodePage(fromCodePage(reply)), reply);
}

void TestProtocol::iniText_valueWithColonIsCutAtTheColon()
{
    const QString text = msg::retIniText(u"C:\\Program"_s);
    const auto cut = zelk::cutMessage(text, openingTag(u"RETINITEXT"), closingTag(u"RETINITEXT"));
    QVERIFY(cut);
    QCOMPARE(parseIniText(cut->message), u"C"_s);
}

void TestProtocol::callList_emptyForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("no record, two ~") << u"¤RETCALLLIST~~RETCALLLIST¤"_s;
    QTest::newRow("one ~") << u"¤RETCALLLIST~RETCALLLIST¤"_s;
    QTest::newRow("built empty") << msg::retCallList({});
}

void TestProtocol::callList_emptyForms()
{
    QFETCH(QString, text);
    const auto cut = zelk::cutMessage(text, openingTag(u"RETCALLLIST", u'~'), closingTag(u"RETCALLLIST", u'~'));
    QVERIFY(cut);
    QCOMPARE(GetField(cut->message, 1, u'~'), QString());
    QVERIFY(parseCallList(cut->message).isEmpty());
}

void TestProtocol::callList_fieldsAndEncodings()
{
    const QDateTime now(QDate(2026, 12, 10), QTime(8, 0));
    const QString cut = u"¤RETCALLLIST~Åsa~7~Åsa Öberg~255~False~True~2026-12-10 08:15:30~Per~"
                        u"garbage~3~Bo~x~Bo Ek~-1~1~0~~~~junk~"_s;
    const auto records = parseCallList(cut, now);
    QCOMPARE(records.size(), 2);
    const auto &a = records[0];
    QCOMPARE(a.CallNamn, u"Åsa"_s);
    QCOMPARE(a.CallLOPNR, 7);
    QCOMPARE(a.CallFullname, u"Åsa Öberg"_s);
    QCOMPARE(a.CallColor, 255);
    QVERIFY(!a.IsAvbryt);
    QVERIFY(a.IsCalled);
    QCOMPARE(a.CallTime, QDateTime(QDate(2026, 12, 10), QTime(8, 15, 30)));
    QCOMPARE(a.ComingName, u"Per"_s);
    QCOMPARE(a.ComingTime, now); // does not parse
    QCOMPARE(a.ComingLopnr, 3);
    const auto &b = records[1];
    QCOMPARE(b.CallLOPNR, 0); // "x" is no integer
    QCOMPARE(b.CallColor, -1);
    QVERIFY(b.IsAvbryt);
    QVERIFY(!b.IsCalled);
    QCOMPARE(b.CallTime, now);
    QCOMPARE(b.ComingLopnr, 0);
}

void TestProtocol::callList_onePassMatchesGetField()
{
    const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5));
    QString cut = u"¤RETCALLLIST~"_s;
    for (int r = 0; r < 25; ++r) {
        cut += u"Namn %1~%2~ Fullt namn %1 ~%3~%4~%5~2026-12-0%6 10:0%6:00~ Kommer ~~%7~"_s.arg(r)
                   .arg(r * 3 - 5)
                   .arg(r * 1000)
                   .arg(r % 3 == 0 ? u"TRUE"_s : u"0"_s)
                   .arg(r % 2)
                   .arg(r % 9 + 1)
                   .arg(r % 4 == 0 ? u"nej"_s : QString::number(r));
    }
    const auto records = parseCallList(cut, now);
    QCOMPARE(records.size(), 25);
    for (int r = 0; r < records.size(); ++r) {
        const int k = 10 * r;
        const auto &rec = records[r];
        QCOMPARE(rec.CallNamn, GetField(cut, k + 1, u'~'));
        QCOMPARE(rec.CallLOPNR, wireInt(GetField(cut, k + 2, u'~')));
        QCOMPARE(rec.CallFullname, GetField(cut, k + 3, u'~'));
        QCOMPARE(rec.CallColor, wireInt(GetField(cut, k + 4, u'~')));
        QCOMPARE(rec.IsAvbryt, wireBool(GetField(cut, k + 5, u'~')));
        QCOMPARE(rec.IsCalled, wireBool(GetField(cut, k + 6, u'~')));
        QCOMPARE(rec.CallTime, wireDateTime(GetField(cut, k + 7, u'~'), now));
        QCOMPARE(rec.ComingName, GetField(cut, k + 8, u'~'));
        QCOMPARE(rec.ComingTime, wireDateTime(GetField(cut, k + 9, u'~'), now));
        QCOMPARE(rec.ComingLopnr, wireInt(GetField(cut, k + 10, u'~')));
    }
}

void TestProtocol::callList_roundTripsThroughTheBuilder()
{
    msg::CallListRecord r;
    r.CallNamn = u"Dr Ödman"_s;
    r.CallLOPNR = 12;
    r.CallFullname = u"Doktor Ödman"_s;
    r.CallColor = 0x00FF00;
    r.IsCalled = true;
    r.CallTime = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 1));
    r.ComingName = u"Lisa"_s;
    r.ComingTime = QDateTime(QDate(2026, 12, 10), QTime(9, 31, 2));
    r.ComingLopnr = 4;
    const QString text = u"junk"_s + msg::retCallList({r, r});
    const auto cut = zelk::cutMessage(text, openingTag(u"RETCALLLIST", u'~'), closingTag(u"RETCALLLIST", u'~'));
    QVERIFY(cut);
    const auto parsed = parseCallList(cut->message);
    QCOMPARE(parsed.size(), 2);
    QCOMPARE(parsed[1].CallNamn, r.CallNamn);
    QCOMPARE(parsed[1].CallTime, r.CallTime);
    QCOMPARE(parsed[1].ComingTime, r.ComingTime);
    QCOMPARE(parsed[1].ComingLopnr, 4);
    QVERIFY(parsed[1].IsCalled && !parsed[1].IsAvbryt);
}

void TestProtocol::wireEncodings_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<bool>("active");

    QTest::newRow("number") << u"42"_s << 42 << true << true;
    QTest::newRow("negative") << u"-7"_s << -7 << true << true;
    QTest::newRow("zero") << u"0"_s << 0 << false << true;
    QTest::newRow("True any case") << u"tRUE"_s << 0 << true << true;
    QTest::newRow("False") << u"False"_s << 0 << false << true;
    QTest::newRow("empty") << QString() << 0 << false << true;
    QTest::newRow("word") << u"ja"_s << 0 << false << true;
    QTest::newRow("hex is no number") << u"0x10"_s << 0 << false << true;
    QTest::newRow("overflow") << u"99999999999"_s << 0 << true << true;
    QTest::newRow("F inactive") << u"F"_s << 0 << false << false;
    QTest::newRow("f lower is active") << u"f"_s << 0 << false << true;
}

void TestProtocol::wireEncodings()
{
    QFETCH(QString, field);
    QFETCH(int, asInt);
    QFETCH(bool, asBool);
    QFETCH(bool, active);
    QCOMPARE(wireInt(field), asInt);
    QCOMPARE(wireBool(field), asBool);
    QCOMPARE(wireActive(field), active);
}

void TestProtocol::clientData_and_callables()
{
    const auto data = parseClientData(u"¤ZELKCLIENTDATA:Klient 1:Rum ö:abc:"_s);
    QCOMPARE(data.name, u"Klient 1"_s);
    QCOMPARE(data.friendlyName, u"Rum ö"_s);
    QCOMPARE(data.color, 0);

    QCOMPARE(parseStationCallables(u"¤RETSTATIONCALLABLES:3:0:x:1:9:2:"_s), (QList<qint32>{3, 0, 9}));
    QVERIFY(parseStationCallables(u"¤RETSTATIONCALLABLES::"_s).isEmpty());

    QList<msg::CallableResource> resources(2);
    resources[0] = {u"Åsa"_s, 5, u"Å"_s, u"Åsa Ek"_s, 1, QString(), true};
    resources[1] = {u"Rum 2"_s, 6, u"R2"_s, u"Rum två"_s, 2, QString(), false};
    const QString text = msg::retAllCallables(resources);
    const auto cut = zelk::cutMessage(text, openingTag(u"RETALLCALLABLES"), closingTag(u"RETALLCALLABLES"));
    QVERIFY(cut);
    const auto entries = parseAllCallables(cut->message);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].text, u"Åsa"_s);
    QCOMPARE(entries[0].number, 5);
    QCOMPARE(entries[1].text, u"Rum 2 - (inaktiv)"_s);
    QCOMPARE(entries[1].number, 6);
}

void TestProtocol::errorReply()
{
    QCOMPARE(parseErrorReply(u"ERROR: 005 no client"), std::optional<QString>(u"005 no client"_s));
    QCOMPARE(parseErrorReply(u"abc"), std::nullopt);
    QCOMPARE(parseErrorReply(u"ERROR:"), std::optional<QString>(QString()));
    QVERIFY(isNotRegisteredReply(u"xxERROR: 001"));
    QVERIFY(!isNotRegisteredReply(u"ERROR: 002"));
}

void TestProtocol::badInput_neverCrashes()
{
    const QString separators(1 << 20, u'~');
    QVERIFY(GetField(separators, 5, u'~').isEmpty());
    QVERIFY(parseCallList(QString(u"¤RETCALLLIST~"_s + separators)).isEmpty());
    QVERIFY(parseAllCallables(QString(1 << 20, u':')).isEmpty());
    QVERIFY(!zelk::cutMessage(u"¤RETCALLLIST~abc"_s, openingTag(u"RETCALLLIST", u'~'),
                              closingTag(u"RETCALLLIST", u'~')));
    QByteArray noise(4096, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
    const QString text = fromCodePage(noise);
    QCOMPARE(toCodePage(text), noise);
    parseCallList(text);
    parseAllCallables(text);
    parseStationCallables(text);
    parseClientData(text);
    parseErrorReply(text);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "TestProtocol.moc"
