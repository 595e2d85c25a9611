#include "common/ToolWindowStyle.h"

#include <QWidget>

#include <windows.h>

namespace zelk {

void applyToolWindowStyle(QWidget *window)
{
    window->setWindowFlag(Qt::Tool, true); // so Qt keeps the style when it recreates the window
    HWND handle = reinterpret_cast<HWND>(window->winId());
    SetWindowLongPtrW(handle, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    // The frame is cached: make the system take the new style now.
    SetWindowPos(handle, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace zelk
