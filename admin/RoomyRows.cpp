#include "admin/RoomyRows.h"

#include <QFontMetrics>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelk {

int RoomyRowDelegate::rowHeightFor(const QFont &font)
{
    // The tallest capitals with marks above and the letters that reach lowest.
    const QRect ink = QFontMetrics(font).boundingRect(u"ÅÄÖÉÜgjpqy"_s);
    return ink.height() + 2 * kPadding;
}

QSize RoomyRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), rowHeightFor(option.font)));
    return size;
}

} // namespace zelk
