#include "callwindow/selection/SelectionMachine.h"

#include "common/Identity.h"
#include "common/Settings.h"

#include <cmath>
#include <utility>
#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

constexpr int kTimer1Ms = 50;
constexpr int kMinimizeMs = 1000;
constexpr int kFrameMs = 1;
constexpr int kRemoteFrameMs = 100;

// Speech failures never stop a selection or a call.
template<typename Say>
void sayIgnoringErrors(Say &&say)
{
    try {
        say();
    } catch (const std::exception &) {
    }
}

} // namespace

SelectionMachine::SelectionMachine(CallListModel &callList, SelectionHost &host, QObject *parent)
    : QObject(parent), m_callList(callList), m_host(host)
{
    for (QTimer *timer : {&Timer1, &NameTimer, &AutoSelectTimer, &MinimizeTimer})
        timer->setSingleShot(true);
    Timer1.setInterval(kTimer1Ms);
    NameTimer.setInterval(defaults::SelectNameTimerIntervall);
    AutoSelectTimer.setInterval(defaults::SelectAuto);
    MinimizeTimer.setInterval(kMinimizeMs);
    DXTimer.setInterval(kFrameMs);
    connect(&Timer1, &QTimer::timeout, this, &SelectionMachine::Timer1Timer);
    connect(&NameTimer, &QTimer::timeout, this, &SelectionMachine::NameTimerTimer);
    connect(&AutoSelectTimer, &QTimer::timeout, this, &SelectionMachine::AutoSelectTimerTimer);
}

bool SelectionMachine::RemoteMode() const
{
    return (IsRemoteSession() && TerminalServerEnabled) || EmulateTerminalServer;
}

void SelectionMachine::readSelectionSwitches()
{
    const bool outer = std::exchange(m_readingSwitches, true);
    m_selectMode = readIntSetting(keys::SelectMode, defaults::SelectMode);
    m_sayCallingName = readBoolSetting(keys::SayCallingName, defaults::SayCallingName);
    m_sayCallingInfo = readBoolSetting(keys::SayCallingInfo, defaults::SayCallingInfo);
    m_readingSwitches = outer;
}

void SelectionMachine::LoadSelectionSettings()
{
    EmulateTerminalServer = readBoolSetting(keys::EmulateTerminalServer, defaults::EmulateTerminalServer);
    TerminalServerEnabled = readBoolSetting(keys::TerminalServerEnabled, defaults::TerminalServerEnabled);

    NameTimer.setInterval(readIntSetting(keys::SelectNameTimerIntervall, defaults::SelectNameTimerIntervall));
    AutoSelectTimer.setInterval(readIntSetting(keys::SelectAuto, defaults::SelectAuto));
    if (NameTimer.interval() == defaults::SelectNameTimerIntervall)
        WriteSetting(keys::SelectNameTimerIntervall, QString::number(defaults::SelectNameTimerIntervall));
    if (AutoSelectTimer.interval() == defaults::SelectAuto)
        WriteSetting(keys::SelectAuto, QString::number(defaults::SelectAuto));

    int frameRate = readIntSetting(keys::FrameRate, defaults::FrameRate);
    if (frameRate <= 0) // never written by the dialog; it would divide by zero below
        frameRate = defaults::FrameRate;
    FrameRate = frameRate / 1000.0;
    if (frameRate == defaults::FrameRate)
        WriteSetting(keys::FrameRate, QString::number(defaults::FrameRate));

    readSelectionSwitches();

    if (RemoteMode()) {
        DXTimer.setInterval(kRemoteFrameMs);
        FrameRate = DXTimer.interval() / (FrameRate * 100);
        NameTimer.setInterval(NameTimer.interval() + static_cast<int>(std::nearbyint(FrameRate * 10)));
    }
}

void SelectionMachine::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (m_readingSwitches) {
        m_deferredKeys.append({true, key, modifiers});
        return;
    }
    keyDown(key, modifiers);
    replayDeferredKeys();
}

void SelectionMachine::FormKeyUp(int key, Qt::KeyboardModifiers modifiers)
{
    if (m_readingSwitches) {
        m_deferredKeys.append({false, key, modifiers});
        return;
    }
    keyUp(key, modifiers);
    replayDeferredKeys();
}

void SelectionMachine::replayDeferredKeys()
{
    while (!m_deferredKeys.isEmpty() && !m_readingSwitches) {
        const KeyEvent event = m_deferredKeys.takeFirst();
        if (event.down)
            keyDown(event.key, event.modifiers);
        else
            keyUp(event.key, event.modifiers);
    }
}

void SelectionMachine::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (key == Qt::Key_F10 && modifiers == Qt::NoModifier)
        m_host.openServerSettings();
    if (AltF12Clicked)
        return;
    if (key == Qt::Key_F12 && !alt) {
        Timer1.start();
    } else if (key == Qt::Key_Alt && Timer1.isActive()) {
        AltF12Clicked = true;
        Timer1.stop();
    } else if (key == Qt::Key_F12 && alt) {
        AltF12Clicked = true;
        Timer1.stop();
    }
    if (!AltF12Clicked)
        return;

    MinimizeTimer.stop();
    readSelectionSwitches();
    if (continuousMode())
        AutoSelectTimer.stop();
    if (AutoSelectTimer.isActive()) {
        ++CurrentFrame;
        return;
    }
    startSelection();
}

void SelectionMachine::startSelection()
{
    CurrentFrame = 0;
    LastCurrentFrame = 0;
    m_callList.MapDrumFaces();
    FramPos = 0;
    FrameCount = 0;
    LastFrame = -1.0;
    DXTimer.start();
    NameTimer.stop();
    m_host.setTrayImage(1);
    m_host.BringToFront();
}

void SelectionMachine::endSelection()
{
    m_host.setTrayImage(0);
    MinimizeTimer.start();
}

void SelectionMachine::keyUp(int key, Qt::KeyboardModifiers modifiers)
{
    const bool wasClicked = AltF12Clicked;
    if (key == Qt::Key_F12 || (AltF12Clicked && modifiers.testFlag(Qt::AltModifier)))
        AltF12Clicked = false;
    if (!wasClicked || AltF12Clicked)
        return;

    if (continuousMode()) {
        DXTimer.stop();
        if (NameTimer.isActive()) {
            NameTimer.stop();
            CallEntry(entryOnFace(CurrentFrame), true);
        }
        endSelection();
    } else {
        AutoSelectTimer.stop();
        AutoSelectTimer.start();
    }
}

void SelectionMachine::Timer1Timer()
{
    Timer1.stop();
}

void SelectionMachine::NameTimerTimer()
{
    NameTimer.stop();
}

void SelectionMachine::AutoSelectTimerTimer()
{
    AutoSelectTimer.stop();
    AltF12Clicked = false;
    DXTimer.stop();
    CallEntry(entryOnFace(CurrentFrame), true);
    endSelection();
}

int SelectionMachine::entryOnFace(int face) const
{
    // Face 0 means no frame tick has run yet: there is nothing on the front to call.
    if (face < 1 || face > kDrumFaces)
        return -1;
    return m_callList.faces()[face];
}

bool SelectionMachine::AdvanceSelection()
{
    const bool continuous = continuousMode();
    if (NameTimer.isActive()) {
        if (continuous)
            FramPos = (CurrentFrame - 1) * FaceStep;
        return false;
    }

    bool newFace = false;
    if (continuous) {
        FrameCount += FrameRate;
        // Written so that a comparison with NaN counts as reached.
        newFace = !(FrameCount <= CurrentFrame * FaceStep);
        if (newFace)
            ++CurrentFrame;
    } else {
        if (CurrentFrame == 0)
            CurrentFrame = 1;
        newFace = CurrentFrame != LastCurrentFrame;
        if (newFace) {
            LastCurrentFrame = CurrentFrame;
            FramPos = (CurrentFrame - 1) * FaceStep;
        }
    }

    bool announce = false;
    if (newFace) {
        if (CurrentFrame > kDrumFaces) {
            FrameCount = 0;
            CurrentFrame = 1;
            if (!continuous)
                LastCurrentFrame = 1;
        }
        refillBackFace();
        if (continuous) {
            if (m_sayCallingName) {
                const int index = entryOnFace(CurrentFrame);
                if (index >= 0 && index < m_callList.items().size()) {
                    const QString name = m_callList.items()[index].CallNamn;
                    sayIgnoringErrors([&] { m_host.say(name, 1); });
                }
            }
            NameTimer.start();
        } else {
            announce = true;
            NameTimer.stop();
        }
    } else if (continuous) {
        FramPos = RemoteMode() ? (CurrentFrame - 1) * FaceStep : FrameCount;
    }
    return announce;
}

void SelectionMachine::refillBackFace()
{
    const auto count = static_cast<int>(m_callList.items().size());
    if (count == 0)
        return;
    int back = CurrentFrame - 4;
    if (back < 1)
        back += kDrumFaces;
    const int prev = back == 1 ? kDrumFaces : back - 1;
    int v = m_callList.faces()[prev] + 1;
    if (v > count - 1)
        v = 0;
    m_callList.setFace(back, v);
}

void SelectionMachine::AnnounceFace()
{
    if (!m_sayCallingName)
        return;
    const int index = entryOnFace(CurrentFrame);
    if (index < 0 || index >= m_callList.items().size())
        return;
    const TZELKCallListItem &item = m_callList.items()[index];
    const QString text = item.IsCalled ? item.CallNamn + u" kallad"_s : item.CallNamn;
    sayIgnoringErrors([&] { m_host.say(text, 0); });
}

void SelectionMachine::CallEntry(int index, bool updateMenu)
{
    if (index < 0 || index >= m_callList.items().size())
        return;
    if (m_callList.items()[index].IsAvbryt)
        return;
    if (!m_host.isConnected()) {
        // Showing the resource as called would report a call that never left this desk.
        m_host.showHint(u"Ingen anslutning till servern - kallelsen skickades inte!"_s);
        return;
    }
    TZELKCallListItem &item = m_callList.items()[index];
    item.IsCalled = !item.IsCalled;
    const bool called = item.IsCalled;
    const QString name = item.CallNamn;
    m_host.sendCalling(item.CallLOPNR);
    if (updateMenu) {
        m_callList.UpdateMenuCaption(item);
        m_host.menuChanged();
    }
    if (m_sayCallingInfo) {
        const QString text = called ? u"Kallar på "_s + name : name + u" bekräftad!"_s;
        sayIgnoringErrors([&] { m_host.say(text, 1); });
    }
}

void SelectionMachine::KallaViaPopupMeny(qint32 tag)
{
    NameTimer.stop();
    readSelectionSwitches();
    const TZELKCallList &items = m_callList.items();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].CallLOPNR == tag) {
            CallEntry(static_cast<int>(i), false);
            return;
        }
    }
}

void SelectionMachine::rememberFrontEntry()
{
    m_frontNumber.reset();
    const int index = entryOnFace(CurrentFrame);
    if (selectionInProgress() && index >= 0 && index < m_callList.items().size())
        m_frontNumber = m_callList.items()[index].CallLOPNR;
}

void SelectionMachine::keepFrontEntry()
{
    const std::optional<qint32> number = std::exchange(m_frontNumber, std::nullopt);
    if (!number || !selectionInProgress() || CurrentFrame < 1 || CurrentFrame > kDrumFaces)
        return;
    const TZELKCallList &items = m_callList.items();
    const auto count = static_cast<int>(items.size());
    for (int index = 0; index < count; ++index) {
        if (items[index].CallLOPNR != *number)
            continue;
        // The neighbours follow in list order, as if the drum had turned to it.
        for (int face = 1; face <= kDrumFaces; ++face)
            m_callList.setFace(face, ((index + face - CurrentFrame) % count + count) % count);
        return;
    }
}

} // namespace zelk
