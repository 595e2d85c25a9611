#include "admin/ResourceLists.h"

namespace zelk {

namespace {

constexpr qint32 kSingletonResource = 1;

} // namespace

void ResourceList::append(const ResourceItem &item)
{
    items.append(item);
    selected.append(false);
}

bool ResourceList::anySelected() const
{
    return selected.contains(true);
}

qsizetype ResourceList::indexOfNumber(qint32 number) const
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].number == number)
            return i;
    }
    return -1;
}

QList<qint32> ResourceList::numbers() const
{
    QList<qint32> result;
    result.reserve(items.size());
    for (const ResourceItem &item : items)
        result.append(item.number);
    return result;
}

void ResourceList::clear()
{
    items.clear();
    selected.clear();
    focused = -1;
}

void ResourceList::removeSelected()
{
    if (isSelected(focused))
        focused = -1;
    int removedAbove = 0;
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        if (!selected[i])
            continue;
        items.removeAt(i);
        selected.removeAt(i);
        if (focused > i)
            ++removedAbove;
    }
    if (focused >= 0)
        focused -= removedAbove;
}

void moveToChosen(ResourceList &all, ResourceList &chosen)
{
    if (!all.anySelected()) {
        if (all.focused >= 0 && all.focused < all.items.size())
            chosen.append(all.items[all.focused]);
        return;
    }
    for (qsizetype i = 0; i < all.items.size(); ++i) {
        if (all.selected[i])
            chosen.append(all.items[i]);
    }
    all.removeSelected();
}

void moveBack(ResourceList &chosen, ResourceList &all)
{
    for (qsizetype i = 0; i < chosen.items.size(); ++i) {
        if (!chosen.selected[i])
            continue;
        const ResourceItem &item = chosen.items[i];
        if (item.number == kSingletonResource && all.indexOfNumber(kSingletonResource) >= 0)
            continue;
        all.append(item);
    }
    chosen.removeSelected();
}

void moveUp(ResourceList &chosen)
{
    const int row = chosen.focused;
    if (row < 1 || row >= chosen.items.size())
        return;
    chosen.items.swapItemsAt(row, row - 1);
    chosen.selected.swapItemsAt(row, row - 1);
    chosen.focused = row - 1;
}

void moveDown(ResourceList &chosen)
{
    const int row = chosen.focused;
    if (row < 0 || row >= chosen.items.size() - 1)
        return;
    chosen.items.swapItemsAt(row, row + 1);
    chosen.selected.swapItemsAt(row, row + 1);
    chosen.focused = row + 1;
}

void applyStation(ResourceList &all, ResourceList &chosen, const QList<qint32> &numbers)
{
    for (qint32 number : numbers) {
        const qsizetype row = all.indexOfNumber(number);
        if (row < 0)
            continue;
        all.selected[row] = true;
        moveToChosen(all, chosen);
    }
}

void applyAll(ResourceList &all, ResourceList &chosen, const QList<msg::CallableEntry> &entries,
              bool olderServer, const QList<qint32> &callListNumbers)
{
    all.clear();
    chosen.clear();
    for (const msg::CallableEntry &entry : entries)
        all.append({entry.text, entry.number});
    if (!olderServer)
        return;
    for (qint32 number : callListNumbers) {
        const qsizetype row = all.indexOfNumber(number);
        if (row >= 0 && !all.selected[row]) {
            all.selected[row] = true;
            chosen.append(all.items[row]);
        }
    }
    all.removeSelected();
}

} // namespace zelk
