// The real engine: speech-dispatcher with espeak-ng, started by the test with a private
// configuration whose sound device is a WAV file, so it runs without a sound card and
// leaves the user's own speech-dispatcher alone.
#include "speech/QtSpeechEngine.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/SpeechVoices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextToSpeech>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestSpeechEngineSpeechd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void swedishText_spokenFromSpeakingBackToReady();

private:
    bool writeFile(const QString &path, const QString &text);
    QString makeSmallVoiceData(const QString &home);

    QTemporaryDir m_home;
    QProcess m_dispatcher;
};

bool TestSpeechEngineSpeechd::writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// espeak-ng offers some 13000 voices (every language with every variant), and listing them
// through speech-dispatcher takes seconds, minutes under the address sanitizer. A private
// copy of its data with Swedish and English alone (links to the installed files) keeps the
// list short. Returns the folder for ESPEAK_DATA_PATH, or empty to use the installed data.
QString TestSpeechEngineSpeechd::makeSmallVoiceData(const QString &home)
{
    const QStringList candidates{u"/usr/lib/x86_64-linux-gnu/espeak-ng-data"_s,
                                 u"/usr/lib/aarch64-linux-gnu/espeak-ng-data"_s,
                                 u"/usr/share/espeak-ng-data"_s, u"/usr/lib/espeak-ng-data"_s};
    QString installed;
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate + u"/lang/gmq/sv"_s)) {
            installed = candidate;
            break;
        }
    }
    if (installed.isEmpty())
        return {};
    const QString root = home + u"/espeak"_s;
    const QString data = root + u"/espeak-ng-data"_s;
    if (!QDir().mkpath(data + u"/voices/!v"_s) || !QDir().mkpath(data + u"/lang/gmq"_s)
        || !QDir().mkpath(data + u"/lang/gmw"_s))
        return {};
    const QStringList entries = QDir(installed).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry == u"voices" || entry == u"lang")
            continue;
        if (!QFile::link(installed + u'/' + entry, data + u'/' + entry))
            return {};
    }
    if (!QFile::link(installed + u"/lang/gmq/sv"_s, data + u"/lang/gmq/sv"_s)
        || !QFile::link(installed + u"/lang/gmw/en"_s, data + u"/lang/gmw/en"_s))
        return {};
    return root;
}

void TestSpeechEngineSpeechd::initTestCase()
{
    const QString dispatcher = QStandardPaths::findExecutable(u"speech-dispatcher"_s);
    if (dispatcher.isEmpty())
        QSKIP("speech-dispatcher is not installed");
    if (!QTextToSpeech::availableEngines().contains(u"speechd"_s))
        QSKIP("Qt's speech-dispatcher plugin (qt6-speech-speechd-plugin) is not installed");
    QVERIFY(m_home.isValid());

    const QString home = m_home.path();
    const QString config = home + u"/.config/speech-dispatcher"_s;
    const QString runtime = home + u"/run"_s;
    const QString socket = runtime + u"/speechd.sock"_s;
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(writeFile(config + u"/speechd.conf"_s,
                      u"AudioOutputMethod \"alsa\"\n"
                      u"AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                      u"DefaultModule espeak-ng\n"_s));
    // Without a sound device speech-dispatcher never leaves "speaking"; a file device over
    // the null device lets every utterance end.
    QVERIFY(writeFile(home + u"/.asoundrc"_s,
                      u"pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"%1\"\n  format \"wav\"\n}\n"_s
                          .arg(home + u"/speech.wav"_s)));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, home);
    env.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    const QString voiceData = makeSmallVoiceData(home);
    if (!voiceData.isEmpty())
        env.insert(u"ESPEAK_DATA_PATH"_s, voiceData);
    m_dispatcher.setProcessEnvironment(env);
    m_dispatcher.setWorkingDirectory(home);
    // It logs a great deal even at its lowest level; the log stays beside the WAV file.
    m_dispatcher.setProcessChannelMode(QProcess::MergedChannels);
    m_dispatcher.setStandardOutputFile(home + u"/speechd.log"_s);
    m_dispatcher.start(dispatcher, {u"-s"_s, u"-t"_s, u"0"_s, u"-l"_s, u"1"_s, u"-c"_s, u"unix_socket"_s,
                                    u"-S"_s, socket, u"-C"_s, config});
    if (!m_dispatcher.waitForStarted(5000))
        QSKIP("speech-dispatcher could not be started");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket) || m_dispatcher.state() != QProcess::Running, 10000);
    if (!QFileInfo::exists(socket))
        QSKIP("speech-dispatcher ended without opening its socket (no unix sockets in this sandbox?)");

    // This process talks to the private instance only; should the connection be lost, an
    // automatically spawned one would also use the private configuration.
    qputenv("SPEECHD_ADDRESS", (u"unix_socket:"_s + socket).toLocal8Bit());
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + u"/.config"_s).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
}

void TestSpeechEngineSpeechd::cleanupTestCase()
{
    if (m_dispatcher.state() != QProcess::NotRunning) {
        m_dispatcher.terminate();
        if (!m_dispatcher.waitForFinished(5000))
            m_dispatcher.kill();
        m_dispatcher.waitForFinished(2000);
    }
}

void TestSpeechEngineSpeechd::swedishText_spokenFromSpeakingBackToReady()
{
    // Qt's speech-dispatcher plugin starts with a voice of the default locale and fails
    // when there is none; the small voice list has no voice for the C locale.
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    auto owned = std::make_unique<QtSpeechEngine>(u"speechd"_s);
    QtSpeechEngine *engine = owned.get();
    QString error;
    if (!engine->start(&error))
        QSKIP(qPrintable(u"speech-dispatcher does not answer: "_s + error));
    const QList<SpeechVoice> voices = engine->voices();
    const qsizetype swedish = findSwedishVoice(voices);
    if (swedish < 0)
        QSKIP("no Swedish voice installed (espeak-ng via speech-dispatcher)");

    engine->setVoice(swedish);
    engine->setRate(engineRateForPosition(3));

    SpeechOutput output(std::move(owned));
    output.queue()->setTimeLimit(20000, 0);
    QSignalSpy states(engine, &QtSpeechEngine::engineStateChanged);
    QSignalSpy finished(engine, &SpeechEngine::finished);
    SpeechAvailable = true;

    // Waits until the engine itself reports the end, well inside the time limit.
    output.say(u"Kallar på Åsa 451224-5678"_s, kSpeakWait);
    QCOMPARE(finished.size(), 1);
    QList<int> seen;
    for (const QList<QVariant> &args : states)
        seen.append(args.at(0).toInt());
    QVERIFY2(seen.contains(int(QTextToSpeech::Speaking)), "never speaking");
    QCOMPARE(seen.last(), int(QTextToSpeech::Ready));
    QCOMPARE(engine->engineState(), int(QTextToSpeech::Ready));

    // Two texts in a row are both spoken to the end, neither cut off.
    output.say(u"Anna"_s, kSpeakAsync);
    output.say(u"Bo-Göran"_s, kSpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 20000);
    QVERIFY(output.queue()->isIdle());

    // Audio reached the file device (its header shows no length until the device closes).
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_home.path() + u"/speech.wav"_s).size() > 10000, 5000);
    SpeechAvailable = false;
}

QTEST_GUILESS_MAIN(TestSpeechEngineSpeechd)
#include "TestSpeechEngineSpeechd.moc"
