#pragma once

#include <QStyledItemDelegate>

namespace zelk {

// List rows with room for whole letters: the styles make a row one text line high, and the
// rings and dots above capitals (Å, Ä, Ö) then reach the row's edge, in the first row the
// list's frame. A row is at least as high as the ink of those letters and the descenders,
// with a little space above and below.
class RoomyRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kPadding = 2;
    // The least row height for text in font.
    static int rowHeightFor(const QFont &font);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace zelk
