#include "common/ToolWindowStyle.h"

#include <QWidget>

namespace zelk {

void applyToolWindowStyle(QWidget *window)
{
    window->setWindowFlag(Qt::Tool, true);
}

} // namespace zelk
