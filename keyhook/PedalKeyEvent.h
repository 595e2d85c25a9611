#pragma once

#include <QEvent>
#include <Qt>

namespace zelk {

// A key of the pedal (F12, Alt) or F10 as the keyboard hook hands it to the calling window.
// It is not an input event: a modal message box or dialog does not hold it back, so the
// pedal keeps working while a box waits for the user. The hook library posts it to the
// window's QWindow; the calling window takes it in event().
class PedalKeyEvent final : public QEvent
{
public:
    // A fixed number, so that the library and the program agree on it without registering.
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x4B56);

    PedalKeyEvent(bool press, int key, Qt::KeyboardModifiers modifiers)
        : QEvent(kType), m_press(press), m_key(key), m_modifiers(modifiers)
    {
    }

    bool isPress() const { return m_press; }
    int key() const { return m_key; }
    // The modifier state as Qt reports it with real keys: Alt's own press carries Alt, its
    // release does not.
    Qt::KeyboardModifiers modifiers() const { return m_modifiers; }

private:
    bool m_press;
    int m_key;
    Qt::KeyboardModifiers m_modifiers;
};

} // namespace zelk
