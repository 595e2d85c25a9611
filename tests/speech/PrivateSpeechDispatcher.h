#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace zelk::speechtest {

// A speech-dispatcher of a test's own (espeak-ng, its own socket, configuration and
// runtime folder under a temporary home), so tests neither need nor disturb the user's.
//
// Two sound setups: a WAV file over the null device, where every utterance ends; and no
// working audio device at all, where speech-dispatcher stays "speaking" for ever, as on a
// machine without sound.
//
// A process reaches it through clientEnvironment(): SPEECHD_ADDRESS, which libspeechd
// (and so Qt's speechd plugin) connects to instead of
// $XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock, and XDG_RUNTIME_DIR/XDG_CONFIG_HOME, so
// that a dispatcher libspeechd spawns by itself (it does when the socket is gone) also
// takes the private configuration. useInThisProcess() sets the same here.
class PrivateSpeechDispatcher
{
public:
    enum class Audio { WavFile, None };
    // The installed espeak-ng data lists some 27000 voices, which takes seconds (minutes
    // under the sanitizers); a copy with Swedish and English alone lists a few hundred.
    enum class Voices { SwedishAndEnglish, AllInstalled };

    explicit PrivateSpeechDispatcher(Audio audio, Voices voices = Voices::SwedishAndEnglish);
    ~PrivateSpeechDispatcher(); // ends the dispatcher

    // Why it cannot run here (for QSKIP), empty when it can: speech-dispatcher or Qt's
    // speechd plugin missing.
    static QString missingPrerequisite();
    // Starts it and waits for its socket; false with the reason when that fails.
    bool start(QString *whyNot);
    // Starts nothing: sets this process up as a desktop session without a dispatcher, where
    // the first connection spawns one at the default address with this configuration.
    // The previous environment comes back, and the spawned dispatcher ends, with this object.
    bool leaveToBeSpawned(QString *whyNot);
    void stop();

    QProcessEnvironment clientEnvironment() const;
    void useInThisProcess() const;

    QString socketPath() const;
    QString wavFile() const; // grows while the WAV setup speaks
    QString logFile() const;

private:
    bool writeFile(const QString &path, const QString &text) const;
    QString makeSmallVoiceData() const;
    // Writes the configuration and gives the dispatcher's environment.
    bool prepare(QProcessEnvironment *env, QString *whyNot);
    QString runtimeFolder() const;
    QString configFolder() const;
    void stopSpawned();

    Audio m_audio;
    Voices m_voices;
    QTemporaryDir m_home;
    QProcess m_process;
    // What leaveToBeSpawned() changed in this process, to be put back.
    QList<QPair<QByteArray, QByteArray>> m_savedEnvironment;
    QList<QByteArray> m_unsetEnvironment;
    bool m_spawnedUse = false;
};

} // namespace zelk::speechtest
