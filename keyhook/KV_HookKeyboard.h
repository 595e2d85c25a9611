#pragma once

/*
 * KV_HookKeyboard: the keyboard-hook library of the calling client (libKV_HookKeyboard.so).
 *
 * It lets the foot pedal reach the calling window while that window is hidden, minimised or
 * behind other programs. On X11 it watches the keys of the whole display (XInput2 raw key
 * events on the root window, through a display connection of its own). Every press and release
 * of F12, F10 and Alt is posted to the hooked window as a zelk::PedalKeyEvent
 * (keyhook/PedalKeyEvent.h: Qt::Key_F12, Qt::Key_F10, Qt::Key_Alt) carrying the Shift, Control
 * and Alt state the way Qt reports real keys: F12 pressed while Alt is held carries
 * Qt::AltModifier, Alt's own press carries Qt::AltModifier and its release does not. A release
 * of a key that is not down is dropped. The event is not an input event, so a modal box does
 * not hold it back; it is posted whether or not the window has the focus, and the window takes
 * these three keys from the hook alone.
 *
 * The window handle is the native window id as Qt gives it: QWindow::winId() or
 * QWidget::winId() (the X window id on X11), passed as KVWindowHandle. The window must be a
 * window of the calling process; the library finds its QWindow by that id.
 *
 * All three functions must be called on the thread of the QGuiApplication (or QApplication),
 * after the application object exists. Keys are read and delivered on that thread by its
 * event loop.
 */

#include <stdint.h>
#if !defined(__cplusplus)
#include <stdbool.h>
#endif

#if defined(_WIN32)
#if defined(KV_HOOKKEYBOARD_BUILD)
#define KV_HOOKKEYBOARD_API __declspec(dllexport)
#else
#define KV_HOOKKEYBOARD_API __declspec(dllimport)
#endif
#else
#define KV_HOOKKEYBOARD_API __attribute__((visibility("default")))
#endif

/* The native window id of a Qt window: pass QWindow::winId() / QWidget::winId(). */
typedef uintptr_t KVWindowHandle;

#if defined(__cplusplus)
extern "C" {
#endif

/*
 * Starts delivering F12, F10 and Alt to the window. A second call moves the hook to the new
 * window. Returns false, with one line on standard error, when no hook could be installed:
 * no X11 display (offscreen, Wayland), no XInput 2, no application object, or no window of
 * this process with that id. The window then receives keys only while it has the focus.
 */
KV_HOOKKEYBOARD_API bool HookKeyboard(KVWindowHandle window);

/* Removes the hook. Harmless when none is installed. */
KV_HOOKKEYBOARD_API void UnHookKeyboard(void);

/*
 * Brings the window to the front and gives it the keyboard focus: shows it if hidden,
 * takes it out of the minimised state (a maximised window stays maximised), raises and
 * activates it, and on X11, once the window is mapped, asks the window manager to activate
 * it (_NET_ACTIVE_WINDOW), or without a window manager raises it and sets the input focus.
 * The X11 part finishes asynchronously, within about a second. Returns false when there is
 * no window of this process with that id.
 */
KV_HOOKKEYBOARD_API bool KVSetForeGroundWindow(KVWindowHandle window);

#if defined(__cplusplus)
}
#endif
