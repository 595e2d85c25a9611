#include "keyhook/HookKeyboard_x11.h"

#include <QSocketNotifier>
#include <QTimer>

#include <array>

// Xlib defines macros such as None, KeyPress and Status; its headers come after all Qt ones.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// Catches the X errors of one display connection for the lifetime of the trap, so that a
// vanished window or a refused request is a result and not Xlib's default exit. Errors of
// other connections go on to the handler that was installed before.
class XErrorTrap
{
public:
    explicit XErrorTrap(Display *display)
        : m_previousDisplay(s_display)
        , m_previousErrors(s_errors)
    {
        s_display = display;
        s_errors = 0;
        m_previousHandler = XSetErrorHandler(&XErrorTrap::handle);
        if (m_previousHandler != &XErrorTrap::handle)
            s_chained = m_previousHandler;
    }
    ~XErrorTrap()
    {
        XSetErrorHandler(m_previousHandler);
        s_display = m_previousDisplay;
        s_errors = m_previousErrors;
    }
    XErrorTrap(const XErrorTrap &) = delete;
    XErrorTrap &operator=(const XErrorTrap &) = delete;

    // Waits for the server to answer everything sent so far, then tells whether it refused any.
    bool failed()
    {
        XSync(s_display, False);
        return s_errors != 0;
    }

private:
    static int handle(Display *display, XErrorEvent *event)
    {
        if (display == s_display) {
            ++s_errors;
            return 0;
        }
        return s_chained ? s_chained(display, event) : 0;
    }

    static inline Display *s_display = nullptr;
    static inline int s_errors = 0;
    static inline XErrorHandler s_chained = nullptr;

    Display *m_previousDisplay;
    int m_previousErrors;
    XErrorHandler m_previousHandler = nullptr;
};

Window toXWindow(WId id)
{
    return static_cast<Window>(id);
}

// A passive grab matches the modifier state exactly, so Alt+F12 is grabbed once for every
// combination of the lock keys that may be on: Caps Lock, Num Lock (Mod2) and Scroll Lock,
// which keymaps usually put on Mod5 or leave unmapped.
constexpr unsigned int kLockVariants[] = {0, LockMask, Mod2Mask, Mod5Mask,
                                          LockMask | Mod2Mask, LockMask | Mod5Mask, Mod2Mask | Mod5Mask,
                                          LockMask | Mod2Mask | Mod5Mask};

} // namespace

X11KeyboardHook *X11KeyboardHook::create(WId window, QString *error, QObject *parent)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        *error = u"cannot open the X display"_s;
        return nullptr;
    }

    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    int major = 2;
    int minor = 2; // 2.1 and later deliver raw events also while another client grabs the keyboard
    bool usable = XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)
                  && XIQueryVersion(display, &major, &minor) == Success && major >= 2;
    if (!usable) {
        XCloseDisplay(display);
        *error = u"the X server has no XInput 2"_s;
        return nullptr;
    }

    auto *hook = new X11KeyboardHook(display, opcode, window, parent);
    if (!hook->m_target.window()) {
        delete hook;
        *error = u"no window of this program has the id 0x%1"_s.arg(window, 0, 16);
        return nullptr;
    }

    {
        XErrorTrap trap(display);
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        XISetMask(bits.data(), XI_RawKeyPress);
        XISetMask(bits.data(), XI_RawKeyRelease);
        XIEventMask mask;
        mask.deviceid = XIAllMasterDevices; // all devices would report every key twice
        mask.mask_len = static_cast<int>(bits.size());
        mask.mask = bits.data();
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);

        hook->loadKeyRoles();
        if (!trap.failed() && !hook->grabPedalCombination()) {
            qWarning("KV_HookKeyboard: another program holds Alt+F12; the pedal is watched, but that "
                     "program gets its keys too");
        }
        // Alt held down before the hook came up still counts for the keys that follow.
        std::array<char, 32> keymap{};
        XQueryKeymap(display, keymap.data());
        hook->m_decoder.setInitialKeymap(keymap);

        if (trap.failed()) {
            delete hook;
            *error = u"the X server refused the raw key events"_s;
            return nullptr;
        }
    }

    hook->m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, hook);
    connect(hook->m_notifier, &QSocketNotifier::activated, hook, &X11KeyboardHook::readEvents);
    // Events that arrived with the replies above are already queued and will not wake the notifier.
    QTimer::singleShot(0, hook, &X11KeyboardHook::readEvents);
    return hook;
}

X11KeyboardHook::X11KeyboardHook(Display *display, int xiOpcode, WId window, QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_xiOpcode(xiOpcode)
    , m_target(window)
{
}

X11KeyboardHook::~X11KeyboardHook()
{
    ungrabPedalCombination();
    delete m_notifier; // before its socket closes
    XCloseDisplay(m_display);
}

void X11KeyboardHook::loadKeyRoles()
{
    m_decoder.clearKeyRoles();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(m_display, &minKeycode, &maxKeycode);
    for (int keycode = minKeycode; keycode <= maxKeycode && keycode < RawKeyDecoder::KeycodeCount; ++keycode) {
        const KeySym keysym = XkbKeycodeToKeysym(m_display, static_cast<KeyCode>(keycode), 0, 0);
        const auto sym = static_cast<quint32>(keysym);
        m_decoder.setKeyRole(static_cast<quint32>(keycode), roleForKeysym(sym), sym);
    }
}

bool X11KeyboardHook::grabPedalCombination()
{
    const KeyCode keycode = XKeysymToKeycode(m_display, XK_F12);
    if (keycode == 0)
        return true; // no F12 on this keyboard: nothing to take
    m_grabDisplay = XOpenDisplay(nullptr);
    if (!m_grabDisplay)
        return false;
    const Window root = DefaultRootWindow(m_grabDisplay);
    bool refused = false;
    {
        XErrorTrap trap(m_grabDisplay);
        for (unsigned int locks : kLockVariants)
            XGrabKey(m_grabDisplay, keycode, Mod1Mask | locks, root, False, GrabModeAsync, GrabModeAsync);
        refused = trap.failed(); // BadAccess: someone else holds the combination
    }
    if (refused) {
        XCloseDisplay(m_grabDisplay); // gives back whatever part we got
        m_grabDisplay = nullptr;
        return false;
    }
    m_grabbedKeycodes.append(keycode);
    // The grabbed keys arrive on that connection as well; nobody needs them there.
    m_grabNotifier = new QSocketNotifier(ConnectionNumber(m_grabDisplay), QSocketNotifier::Read, this);
    connect(m_grabNotifier, &QSocketNotifier::activated, this, &X11KeyboardHook::discardGrabbedKeys);
    return true;
}

void X11KeyboardHook::discardGrabbedKeys()
{
    while (m_grabDisplay && XPending(m_grabDisplay) > 0) {
        XEvent event;
        XNextEvent(m_grabDisplay, &event);
    }
}

void X11KeyboardHook::ungrabPedalCombination()
{
    delete m_grabNotifier; // before its socket closes
    m_grabNotifier = nullptr;
    m_grabbedKeycodes.clear();
    if (m_grabDisplay) {
        XCloseDisplay(m_grabDisplay); // the server drops the connection's grabs with it
        m_grabDisplay = nullptr;
    }
}

void X11KeyboardHook::readEvents()
{
    XErrorTrap trap(m_display);
    // Every wake-up empties the whole queue: events left in Xlib's queue do not wake the
    // notifier again, and keys would be lost in bursts.
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request == MappingKeyboard)
                loadKeyRoles();
            continue;
        }
        XGenericEventCookie *cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_xiOpcode)
            continue;
        if (!XGetEventData(m_display, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
            const auto decoded =
                m_decoder.decode(static_cast<quint32>(raw->detail), cookie->evtype == XI_RawKeyPress);
            if (decoded)
                m_target.deliver(*decoded);
        }
        XFreeEventData(m_display, cookie);
    }
}

X11WindowActivator *X11WindowActivator::create(WId window, QObject *parent)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return new X11WindowActivator(display, window, parent);
}

X11WindowActivator::X11WindowActivator(Display *display, WId window, QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_window(window)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(PollIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &X11WindowActivator::poll);
    m_timer->start();
}

X11WindowActivator::~X11WindowActivator()
{
    XCloseDisplay(m_display);
}

void X11WindowActivator::poll()
{
    XErrorTrap trap(m_display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, toXWindow(m_window), &attributes)) {
        finish(); // the window is gone
        return;
    }
    if (attributes.map_state != IsViewable) {
        // Qt maps the window from its own connection; the request must wait for that.
        if (++m_attempts >= MaxAttempts)
            finish();
        return;
    }

    if (windowManagerActivates()) {
        XEvent request{};
        request.xclient.type = ClientMessage;
        request.xclient.window = toXWindow(m_window);
        request.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
        request.xclient.format = 32;
        request.xclient.data.l[0] = 2; // as a pager asks: the window manager does not refuse it
        request.xclient.data.l[1] = CurrentTime;
        request.xclient.data.l[2] = 0;
        XSendEvent(m_display, DefaultRootWindow(m_display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &request);
    } else {
        XRaiseWindow(m_display, toXWindow(m_window));
        XSetInputFocus(m_display, toXWindow(m_window), RevertToParent, CurrentTime);
    }
    trap.failed(); // a refusal changes nothing we could retry
    finish();
}

// Whether a window manager that supports the active-window request is running: its check
// window must exist and point to itself, and the request must be in _NET_SUPPORTED.
bool X11WindowActivator::windowManagerActivates()
{
    const Window root = DefaultRootWindow(m_display);
    const Atom checkAtom = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);

    auto readWindow = [this, checkAtom](Window from) -> Window {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        Window result = 0;
        if (XGetWindowProperty(m_display, from, checkAtom, 0, 1, False, XA_WINDOW, &type, &format, &count,
                               &remaining, &data)
                == Success
            && data && type == XA_WINDOW && format == 32 && count == 1) {
            result = *reinterpret_cast<Window *>(data);
        }
        if (data)
            XFree(data);
        return result;
    };

    const Window check = readWindow(root);
    if (!check || readWindow(check) != check)
        return false;

    const Atom supportedAtom = XInternAtom(m_display, "_NET_SUPPORTED", False);
    const Atom activeAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    bool supported = false;
    if (XGetWindowProperty(m_display, root, supportedAtom, 0, 4096, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data)
            == Success
        && data && type == XA_ATOM && format == 32) {
        const auto *atoms = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count && !supported; ++i)
            supported = atoms[i] == activeAtom;
    }
    if (data)
        XFree(data);
    return supported;
}

void X11WindowActivator::finish()
{
    m_timer->stop();
    deleteLater();
}

} // namespace zelk
