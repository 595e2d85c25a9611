#include "FakeWindowManager_x11.h"

#include <QByteArray>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace zelk::test {

struct FakeWindowManager::State
{
    Display *display = nullptr;
    Window check = 0;
    Atom checkAtom = 0;
    Atom supportedAtom = 0;
    Atom activeAtom = 0;
    bool requested = false;
};

FakeWindowManager::FakeWindowManager()
    : d(std::make_unique<State>())
{
}

FakeWindowManager::~FakeWindowManager()
{
    if (!d->display)
        return;
    const Window root = DefaultRootWindow(d->display);
    XDeleteProperty(d->display, root, d->checkAtom);
    XDeleteProperty(d->display, root, d->supportedAtom);
    XDestroyWindow(d->display, d->check);
    XCloseDisplay(d->display);
}

bool FakeWindowManager::start(const QString &display)
{
    d->display = XOpenDisplay(display.toLatin1().constData());
    if (!d->display)
        return false;
    Display *dpy = d->display;
    const Window root = DefaultRootWindow(dpy);
    d->checkAtom = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    d->supportedAtom = XInternAtom(dpy, "_NET_SUPPORTED", False);
    d->activeAtom = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);

    XSelectInput(dpy, root, SubstructureRedirectMask | SubstructureNotifyMask);
    d->check = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    XChangeProperty(dpy, d->check, d->checkAtom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&d->check), 1);
    XChangeProperty(dpy, root, d->checkAtom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&d->check), 1);
    XChangeProperty(dpy, root, d->supportedAtom, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&d->activeAtom), 1);
    XSync(dpy, False);
    return true;
}

bool FakeWindowManager::serve(quint64 window, long source)
{
    Display *dpy = d->display;
    while (XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == MapRequest) {
            XMapWindow(dpy, event.xmaprequest.window);
        } else if (event.type == ConfigureRequest) {
            const XConfigureRequestEvent &request = event.xconfigurerequest;
            XWindowChanges changes{};
            changes.x = request.x;
            changes.y = request.y;
            changes.width = request.width;
            changes.height = request.height;
            changes.border_width = request.border_width;
            changes.sibling = request.above;
            changes.stack_mode = request.detail;
            XConfigureWindow(dpy, request.window, static_cast<unsigned>(request.value_mask), &changes);
        } else if (event.type == ClientMessage && event.xclient.message_type == d->activeAtom) {
            if (event.xclient.window == static_cast<Window>(window) && event.xclient.data.l[0] == source)
                d->requested = true;
        }
    }
    XFlush(dpy);
    return d->requested;
}

ForeignPedalGrab::~ForeignPedalGrab()
{
    if (m_display)
        XCloseDisplay(static_cast<Display *>(m_display));
}

bool ForeignPedalGrab::grab(const QString &display)
{
    Display *connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (!connection)
        return false;
    m_display = connection;
    const KeyCode f12 = XKeysymToKeycode(connection, XK_F12);
    XGrabKey(connection, f12, Mod1Mask, DefaultRootWindow(connection), False, GrabModeAsync, GrabModeAsync);
    XSync(connection, False);
    return f12 != 0;
}

} // namespace zelk::test
