#pragma once

#include "protocol/Parsers.h"

#include <QList>
#include <QString>

namespace zelk {

// One resource as the two lists of "Resurser att visa/kalla" hold it.
struct ResourceItem
{
    QString text;       // the name, with " - (inaktiv)" for an inactive resource
    qint32 number = 0;  // the resource's CallLOPNR

    bool operator==(const ResourceItem &) const = default;
};

// A multiple-selection list with a focused row, as a plain value, so the moves between
// "Alla resurser" and "Valda resurser" can be reasoned about without widgets.
struct ResourceList
{
    QList<ResourceItem> items;
    QList<bool> selected; // one flag per item
    int focused = -1;     // -1: no focused item

    void append(const ResourceItem &item);
    bool isSelected(qsizetype row) const { return row >= 0 && row < selected.size() && selected[row]; }
    bool anySelected() const;
    qsizetype indexOfNumber(qint32 number) const;
    QList<qint32> numbers() const;
    void clear();
    // Removes every selected item; the focus goes with a removed item.
    void removeSelected();
};

// BitBtn1: the selected items of `all` go to the end of `chosen`, top to bottom. With none
// selected, a focused item is copied and stays in `all`.
void moveToChosen(ResourceList &all, ResourceList &chosen);
// BitBtn2: the selected items of `chosen` go back to `all`; an item numbered 1 is added only
// when `all` holds none with that number yet.
void moveBack(ResourceList &chosen, ResourceList &all);
// BitBtn3 / BitBtn4: the focused item changes places with its neighbour; the focus moves along.
void moveUp(ResourceList &chosen);
void moveDown(ResourceList &chosen);

// RETSTATIONCALLABLES: each number found in `all` is selected there and moved to `chosen`.
void applyStation(ResourceList &all, ResourceList &chosen, const QList<qint32> &numbers);
// RETALLCALLABLES: both lists are refilled. For a server that cannot tell the client's own
// choice, the calling list's numbers (in its order, each once) are moved to `chosen`.
void applyAll(ResourceList &all, ResourceList &chosen, const QList<msg::CallableEntry> &entries,
              bool olderServer, const QList<qint32> &callListNumbers);

} // namespace zelk
