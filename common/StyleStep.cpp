#include "common/StyleStep.h"

#include "common/Settings.h"

#include <QApplication>
#include <QStyleFactory>

namespace zelk {

bool applyStyleByName(const QString &name)
{
    const QStringList available = QStyleFactory::keys();
    const QString wanted = name.trimmed();
    for (const QString &style : available) {
        if (style.compare(wanted, Qt::CaseInsensitive) == 0)
            return QApplication::setStyle(style) != nullptr;
    }
    return false;
}

bool applyStyleSetting()
{
    return applyStyleByName(ReadSetting(keys::Style));
}

} // namespace zelk
