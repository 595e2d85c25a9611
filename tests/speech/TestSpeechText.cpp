#include "speech/SpeechText.h"
#include "speech/SpeechVoices.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestSpeechText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rewrite_data();
    void rewrite();
    void voiceByDescription_firstInEngineOrder();
    void swedishVoice_firstSwedishOrNone();
    void sortedDescriptions_ignoreCaseAndKeepEquals();
    void rate_data();
    void rate();
};

void TestSpeechText::rewrite_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("spoken");

    const QString open = u"!\"#\u00A4%&"_s;
    const QString close = u"&%\u00A4#\"!"_s;

    QTest::newRow("plain name") << u"Anna"_s << u"Anna"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("six-digit number") << u"Anna 451224-5678"_s << u"Anna 45 12 24, 56 78"_s;
    QTest::newRow("eight-digit number") << u"Anna 19451224-5678"_s << u"Anna 1900 45 12 24, 56 78"_s;
    QTest::newRow("number alone") << u"451224-5678"_s << u"45 12 24, 56 78"_s;
    QTest::newRow("text after the number") << u"451224-5678 rum 3"_s << u"45 12 24, 56 78 rum 3"_s;
    QTest::newRow("double name") << u"Bo-Göran"_s << u"Bo Göran"_s;
    QTest::newRow("double name before number") << u"Bo-Göran 451224-5678"_s << u"Bo Göran 451224 5678"_s;
    QTest::newRow("zeros before the dash") << u"000000-1234"_s << u"000000 1234"_s;
    QTest::newRow("zeros after the dash") << u"451224-0000"_s << u"451224 0000"_s;
    QTest::newRow("letters after the dash") << u"451224-56ab"_s << u"451224 56ab"_s;
    QTest::newRow("too few digits before") << u"51224-5678"_s << u"51224 5678"_s;
    QTest::newRow("starts with a dash") << u"-1234"_s << u" 1234"_s;
    QTest::newRow("signed number before") << u"+45122-5678"_s << u"+4 51 22, 56 78"_s;
    QTest::newRow("dash then number") << u"-451224-5678"_s << u" 451224 5678"_s;
    QTest::newRow("dash only") << u"-"_s << u" "_s;
    QTest::newRow("markers around a name") << (open + u"Anna"_s + close) << u"Anna"_s;
    QTest::newRow("markers and number") << (open + u"Anna 451224-5678"_s + close)
                                        << u"Anna 45 12 24, 56 78"_s;
    QTest::newRow("empty marker pair") << (u"Bo"_s + open + close) << u"Bo"_s;
    QTest::newRow("marker characters alone stay") << u"50% & mer!"_s << u"50% & mer!"_s;
    QTest::newRow("confirmation") << u"Kallar på Åsa-Li"_s << u"Kallar på Åsa Li"_s;
}

void TestSpeechText::rewrite()
{
    QFETCH(QString, input);
    QFETCH(QString, spoken);
    QCOMPARE(rewriteForSpeech(input), spoken);
}

void TestSpeechText::voiceByDescription_firstInEngineOrder()
{
    const QList<SpeechVoice> voices{
        {u"English"_s, QLocale(QLocale::English)},
        {u"Swedish"_s, QLocale(QLocale::Swedish)},
        {u"Swedish+Adam"_s, QLocale(QLocale::Swedish)},
        {u"Swedish"_s, QLocale(QLocale::Swedish)},
    };
    QCOMPARE(findVoiceByDescription(voices, u"Swedish"_s), 1);
    QCOMPARE(findVoiceByDescription(voices, u"Swedish+Adam"_s), 2);
    QCOMPARE(findVoiceByDescription(voices, u"swedish"_s), -1);
    QCOMPARE(findVoiceByDescription(voices, u"ERROR"_s), -1);
}

void TestSpeechText::swedishVoice_firstSwedishOrNone()
{
    const QList<SpeechVoice> voices{
        {u"Bishnupriya Manipuri"_s, QLocale::c()},
        {u"Norwegian"_s, QLocale(QLocale::NorwegianBokmal)},
        {u"Swedish+Klatt"_s, QLocale(QLocale::Swedish, QLocale::Finland)},
        {u"Swedish"_s, QLocale(QLocale::Swedish, QLocale::Sweden)},
    };
    QCOMPARE(findSwedishVoice(voices), 2);
    QCOMPARE(findSwedishVoice(voices.mid(0, 2)), -1);
}

void TestSpeechText::sortedDescriptions_ignoreCaseAndKeepEquals()
{
    const QList<SpeechVoice> voices{
        {u"swedish+adam"_s, {}}, {u"Swedish"_s, {}}, {u"English"_s, {}}, {u"Swedish"_s, {}},
    };
    QCOMPARE(sortedVoiceDescriptions(voices),
             (QStringList{u"English"_s, u"Swedish"_s, u"Swedish"_s, u"swedish+adam"_s}));
}

void TestSpeechText::rate_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("limited");
    QTest::addColumn<double>("engineRate");
    QTest::newRow("slowest") << -10 << -10 << -1.0;
    QTest::newRow("normal") << 0 << 0 << 0.0;
    QTest::newRow("a little faster") << 3 << 3 << 0.3;
    QTest::newRow("fastest") << 10 << 10 << 1.0;
    QTest::newRow("above the range") << 25 << 10 << 1.0;
    QTest::newRow("below the range") << -11 << -10 << -1.0;
}

void TestSpeechText::rate()
{
    QFETCH(int, position);
    QFETCH(int, limited);
    QFETCH(double, engineRate);
    QCOMPARE(clampRatePosition(position), limited);
    QCOMPARE(engineRateForPosition(position), engineRate);
}

QTEST_GUILESS_MAIN(TestSpeechText)
#include "TestSpeechText.moc"
