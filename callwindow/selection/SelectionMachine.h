#pragma once

#include "callwindow/drum/DrumTick.h"
#include "session/CallListModel.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>

namespace zelk {

// What a selection does outside itself; the calling window implements it, tests record it.
class SelectionHost
{
public:
    virtual ~SelectionHost() = default;
    virtual bool isConnected() const = 0;
    virtual void sendCalling(qint32 callLopnr) = 0;
    // flags 1: return at once; 0: return when the text has been spoken.
    virtual void say(const QString &text, int flags) = 0;
    virtual void setTrayImage(int image) = 0;
    virtual void BringToFront() = 0;
    virtual void openServerSettings() = 0;
    virtual void menuChanged() = 0;
    virtual void showHint(const QString &text) = 0;
};

// The pedal-driven selection: decodes the pedal from key events, turns the drum face by
// face on each frame tick, and calls the resource on the front face. Continuous mode calls on
// release during a pause; single-click mode advances a face per click and calls when no
// further click comes within the auto-select time.
class SelectionMachine final : public QObject
{
    Q_OBJECT

public:
    SelectionMachine(CallListModel &callList, SelectionHost &host, QObject *parent = nullptr);

    void LoadSelectionSettings();

    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void FormKeyUp(int key, Qt::KeyboardModifiers modifiers);
    // One selection step per frame tick; true when AnnounceFace is due after the frame.
    bool AdvanceSelection();
    void AnnounceFace();
    void CallEntry(int index, bool updateMenu);
    void KallaViaPopupMeny(qint32 tag);

    void Timer1Timer();
    void NameTimerTimer();
    void AutoSelectTimerTimer();

    // The window connects DXTimer to its frame tick and MinimizeTimer to hiding itself.
    QTimer Timer1;
    QTimer NameTimer;
    QTimer AutoSelectTimer;
    QTimer MinimizeTimer;
    DrumFrameTimer DXTimer;

    bool AltF12Clicked = false;
    int CurrentFrame = 0;
    int LastCurrentFrame = 0;
    double FrameCount = 0;
    double FramPos = 0;
    double LastFrame = -1.0;
    double FrameRate = 0.005;
    bool EmulateTerminalServer = false;
    bool TerminalServerEnabled = true;

    bool RemoteMode() const;
    // "SelectMode" 1, as read when the pedal last went down.
    bool continuousMode() const { return m_selectMode == 1; }
    // The pedal is held, or a single-click selection waits for its time to run out.
    bool selectionInProgress() const { return AltF12Clicked || AutoSelectTimer.isActive(); }

    // A new call list is about to replace the old one: the entry on the front face, by its
    // number, stays in front afterwards when the list still holds it and a selection runs.
    void rememberFrontEntry();
    void keepFrontEntry();

private:
    struct KeyEvent
    {
        bool down;
        int key;
        Qt::KeyboardModifiers modifiers;
    };

    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    void replayDeferredKeys();
    // The switches a selection works with, read once per press: a value changed on the
    // server takes effect at the next press, and no frame tick waits for the server.
    void readSelectionSwitches();
    void startSelection();
    void endSelection();
    void refillBackFace();
    int entryOnFace(int face) const;

    CallListModel &m_callList;
    SelectionHost &m_host;
    int m_selectMode = 1;
    bool m_sayCallingName = false;
    bool m_sayCallingInfo = false;
    // Reading the switches may wait for the server with the event loop running; keys that
    // arrive meanwhile are handled, in order, once the press that read them is through.
    bool m_readingSwitches = false;
    QList<KeyEvent> m_deferredKeys;
    std::optional<qint32> m_frontNumber;
};

} // namespace zelk
