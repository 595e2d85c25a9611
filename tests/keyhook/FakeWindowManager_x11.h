#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

namespace zelk::test {

// Just enough of an EWMH window manager on a test display to see what a client asks of it:
// it announces _NET_ACTIVE_WINDOW support, maps the windows that ask to be mapped and records
// every active-window request.
class FakeWindowManager
{
public:
    FakeWindowManager();
    ~FakeWindowManager();
    FakeWindowManager(const FakeWindowManager &) = delete;
    FakeWindowManager &operator=(const FakeWindowManager &) = delete;

    bool start(const QString &display);

    // Handles what has arrived so far; true once `window` was asked for with that source
    // indication (1 application, 2 pager).
    bool serve(quint64 window, long source);

private:
    struct State;
    std::unique_ptr<State> d;
};

// Another program that holds Alt+F12 (a passive grab on the root window) while it lives.
class ForeignPedalGrab
{
public:
    ForeignPedalGrab() = default;
    ~ForeignPedalGrab();
    ForeignPedalGrab(const ForeignPedalGrab &) = delete;
    ForeignPedalGrab &operator=(const ForeignPedalGrab &) = delete;

    bool grab(const QString &display);

private:
    void *m_display = nullptr;
};

} // namespace zelk::test
