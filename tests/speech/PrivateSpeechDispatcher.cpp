#include "tests/speech/PrivateSpeechDispatcher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <QThread>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace zelk::speechtest {

namespace {

bool failWith(QString *whyNot, const QString &reason)
{
    if (whyNot)
        *whyNot = reason;
    return false;
}

} // namespace

PrivateSpeechDispatcher::PrivateSpeechDispatcher(Audio audio, Voices voices)
    : m_audio(audio)
    , m_voices(voices)
{
}

PrivateSpeechDispatcher::~PrivateSpeechDispatcher()
{
    stop();
}

QString PrivateSpeechDispatcher::missingPrerequisite()
{
    if (QStandardPaths::findExecutable(u"speech-dispatcher"_s).isEmpty())
        return u"speech-dispatcher is not installed"_s;
    if (!QTextToSpeech::availableEngines().contains(u"speechd"_s))
        return u"Qt's speech-dispatcher plugin (qt6-speech-speechd-plugin) is not installed"_s;
    return {};
}

bool PrivateSpeechDispatcher::writeFile(const QString &path, const QString &text) const
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// A private copy of espeak-ng's data (links to the installed files) with Swedish and
// English alone. Returns the folder for ESPEAK_DATA_PATH, or empty to use the installed data.
QString PrivateSpeechDispatcher::makeSmallVoiceData() const
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
    const QString root = m_home.path() + u"/espeak"_s;
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

QString PrivateSpeechDispatcher::socketPath() const
{
    return runtimeFolder() + u"/speechd.sock"_s;
}

QString PrivateSpeechDispatcher::wavFile() const
{
    return m_home.path() + u"/speech.wav"_s;
}

QString PrivateSpeechDispatcher::logFile() const
{
    return m_home.path() + u"/speechd.log"_s;
}

bool PrivateSpeechDispatcher::prepare(QProcessEnvironment *envOut, QString *whyNot)
{
    const auto fail = [whyNot](const QString &reason) { return failWith(whyNot, reason); };
    const QString missing = missingPrerequisite();
    if (!missing.isEmpty())
        return fail(missing);
    if (!m_home.isValid())
        return fail(u"no temporary folder"_s);

    const QString home = m_home.path();
    const QString config = configFolder();
    const QString runtime = runtimeFolder();
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!writeFile(config + u"/speechd.conf"_s,
                   u"AudioOutputMethod \"alsa\"\n"
                   u"AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                   u"DefaultModule espeak-ng\n"_s))
        return fail(u"cannot write the configuration"_s);
    // The WAV setup: a file device over the null device lets every utterance end. The other
    // names a device that does not exist, whatever sound cards the machine has.
    const QString asound = m_audio == Audio::WavFile
        ? u"pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"%1\"\n  format \"wav\"\n}\n"_s.arg(wavFile())
        : u"pcm.!default {\n  type hw\n  card 99\n}\n"_s;
    if (!writeFile(home + u"/.asoundrc"_s, asound))
        return fail(u"cannot write the sound configuration"_s);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, home);
    env.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.remove(u"PULSE_SERVER"_s);
    if (m_voices == Voices::SwedishAndEnglish) {
        const QString voiceData = makeSmallVoiceData();
        if (!voiceData.isEmpty())
            env.insert(u"ESPEAK_DATA_PATH"_s, voiceData);
    }
    *envOut = env;
    return true;
}

QString PrivateSpeechDispatcher::runtimeFolder() const
{
    return m_home.path() + u"/run"_s;
}

QString PrivateSpeechDispatcher::configFolder() const
{
    return m_home.path() + u"/.config/speech-dispatcher"_s;
}

bool PrivateSpeechDispatcher::start(QString *whyNot)
{
    const auto fail = [whyNot](const QString &reason) { return failWith(whyNot, reason); };
    QProcessEnvironment env;
    if (!prepare(&env, whyNot))
        return false;
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_home.path());
    // It logs a great deal even at its lowest level; the log stays beside the WAV file.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(logFile());
    m_process.start(QStandardPaths::findExecutable(u"speech-dispatcher"_s),
                    {u"-s"_s, u"-t"_s, u"0"_s, u"-l"_s, u"1"_s, u"-c"_s, u"unix_socket"_s, u"-S"_s,
                     socketPath(), u"-C"_s, configFolder()});
    if (!m_process.waitForStarted(5000))
        return fail(u"speech-dispatcher could not be started"_s);
    const QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(socketPath()) && m_process.state() == QProcess::Running && !deadline.hasExpired())
        QThread::msleep(20);
    if (!QFileInfo::exists(socketPath()))
        return fail(u"speech-dispatcher did not open its socket (no unix sockets here?)"_s);
    return true;
}

bool PrivateSpeechDispatcher::leaveToBeSpawned(QString *whyNot)
{
    QProcessEnvironment env;
    if (!prepare(&env, whyNot))
        return false;
    m_spawnedUse = true;
    // The default address is the socket in $XDG_RUNTIME_DIR; the spawned dispatcher takes
    // HOME (its sound configuration), XDG_CONFIG_HOME and ESPEAK_DATA_PATH from this process.
    env.remove(u"SPEECHD_ADDRESS"_s);
    const QByteArrayList names{"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "ESPEAK_DATA_PATH", "SPEECHD_ADDRESS"};
    for (const QByteArray &name : names) {
        if (qEnvironmentVariableIsSet(name.constData()))
            m_savedEnvironment.append({name, qgetenv(name.constData())});
        else
            m_unsetEnvironment.append(name);
        const QString value = env.value(QString::fromLatin1(name));
        if (env.contains(QString::fromLatin1(name)))
            qputenv(name.constData(), value.toLocal8Bit());
        else
            qunsetenv(name.constData());
    }
    return true;
}

// speech-dispatcher writes its pid beside its socket. An engine that is still closing may
// spawn it once more as it goes, so this ends whatever the pid file names until it has
// named nothing alive for a while.
void PrivateSpeechDispatcher::stopSpawned()
{
    if (!m_spawnedUse)
        return;
    m_spawnedUse = false;
    const QString pidPath = runtimeFolder() + u"/speech-dispatcher/pid/speech-dispatcher.pid"_s;
    const auto livePid = [&pidPath]() -> pid_t {
        QFile file(pidPath);
        const pid_t pid = file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toLongLong()) : 0;
        return pid > 1 && ::kill(pid, 0) == 0 ? pid : 0;
    };
    const QDeadlineTimer giveUp(10000);
    QDeadlineTimer quiet(1000);
    while (!quiet.hasExpired() && !giveUp.hasExpired()) {
        if (const pid_t pid = livePid()) {
            ::kill(pid, SIGTERM);
            const QDeadlineTimer ended(2000);
            while (::kill(pid, 0) == 0 && !ended.hasExpired())
                QThread::msleep(20);
            if (::kill(pid, 0) == 0)
                ::kill(pid, SIGKILL); // one that hangs on its sound device ignores SIGTERM
            quiet.setRemainingTime(1000);
        }
        QThread::msleep(50);
    }
    for (const auto &[name, value] : std::as_const(m_savedEnvironment))
        qputenv(name.constData(), value);
    for (const QByteArray &name : std::as_const(m_unsetEnvironment))
        qunsetenv(name.constData());
}

void PrivateSpeechDispatcher::stop()
{
    stopSpawned();
    if (m_process.state() == QProcess::NotRunning)
        return;
    // A dispatcher whose module hangs on the sound device ignores SIGTERM.
    m_process.terminate();
    if (!m_process.waitForFinished(2000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

QProcessEnvironment PrivateSpeechDispatcher::clientEnvironment() const
{
    QProcessEnvironment env;
    env.insert(u"SPEECHD_ADDRESS"_s, u"unix_socket:"_s + socketPath());
    env.insert(u"XDG_RUNTIME_DIR"_s, runtimeFolder());
    env.insert(u"XDG_CONFIG_HOME"_s, m_home.path() + u"/.config"_s);
    return env;
}

void PrivateSpeechDispatcher::useInThisProcess() const
{
    const QProcessEnvironment env = clientEnvironment();
    const QStringList keys = env.keys();
    for (const QString &key : keys)
        qputenv(key.toLocal8Bit().constData(), env.value(key).toLocal8Bit());
}

} // namespace zelk::speechtest
