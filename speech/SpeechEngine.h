#pragma once

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

namespace zelk {

// One installed voice as the engine lists it.
struct SpeechVoice
{
    QString description; // what the voice list shows and the settings store
    QLocale locale;
};

// The text-to-speech engine behind the speech form: the real one over Qt's text-to-speech,
// and a recording double for tests. An engine speaks one utterance at a time; queuing is
// the speech output's job, because a new utterance may cut off the one in progress.
//
// An engine lives on the speech engine thread: it is created, called and destroyed there
// only (any call may block for ever), and the user-interface thread reaches it through
// SpeechEngineHost alone.
class SpeechEngine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SpeechEngine() override = default;

    // Connects to the synthesiser and reads the installed voices. False with a reason when
    // speech cannot work on this machine.
    virtual bool start(QString *errorText) = 0;
    // The installed voices in the engine's own order.
    virtual QList<SpeechVoice> voices() const = 0;
    // Makes voices()[index] the voice of later utterances.
    virtual void setVoice(qsizetype index) = 0;
    // -1.0 (slowest) .. 1.0 (fastest), 0 is the voice's normal pace.
    virtual void setRate(double rate) = 0;
    // Starts speaking; finished() follows once the text has been spoken or failed.
    virtual void speak(const QString &text) = 0;
    // Cuts off the utterance in progress; no finished() follows for it.
    virtual void stop() = 0;

Q_SIGNALS:
    void finished();
};

} // namespace zelk
