#pragma once

class QWidget;

namespace zelk {

// Gives a top-level window the tool-window style: no taskbar button of its own, the program
// lives in the notification area. On Windows the extended style becomes exactly
// WS_EX_TOOLWINDOW once the native window exists; elsewhere it is Qt's Qt::Tool flag.
void applyToolWindowStyle(QWidget *window);

} // namespace zelk
