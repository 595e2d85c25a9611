#pragma once

#include "protocol/Parsers.h"
#include "session/CallList.h"

#include <QList>
#include <QString>

namespace zelk {

// One entry of the popup menu as the call list defines it; the window turns the model into
// a real menu. Resource entries carry the resource number as their tag.
struct MenuEntry
{
    enum class Action { None, KallaViaPopupMeny, SettingsViaPopupMeny, CloseViaPopupMeny };

    QString caption; // "-" is a separator line
    QString hint;
    qint32 tag = 0;
    Action action = Action::None;

    bool isSeparator() const;
    bool operator==(const MenuEntry &) const = default;
};

// The clock time of a call or an answer as the menu shows it: the regional long time format,
// without a time zone name.
QString menuClockText(const QDateTime &when);

// The caption of a resource's menu entry in its three forms (not called, called, called and
// someone on the way).
QString resourceMenuCaption(const TZELKCallListItem &item);

// The menu before the first call list: separator, version, "Avsluta".
QList<MenuEntry> startMenu(const QString &productVersion);

// FZELKCallList with its face map and menu, rebuilt from each RETCALLLIST.
class CallListModel
{
public:
    explicit CallListModel(QString productVersion);

    const TZELKCallList &items() const { return FZELKCallList; }
    TZELKCallList &items() { return FZELKCallList; }
    const FaceMap &faces() const { return ytkoppling; }
    const QList<MenuEntry> &menu() const { return m_menu; }

    // Frees every old item with its pictures and takes the records in their order.
    void rebuild(const QList<msg::CallListRecord> &records);
    // Face k (1..8) shows item (k - 1) mod n; an empty list leaves the map as it was.
    void MapDrumFaces();
    // The selection refills the face at the back while the drum turns.
    void setFace(int face, int index) { ytkoppling[face] = index; }
    // After a call from this window: the first resource entry with the entry's number shows
    // the name, with " - kallad" while it is called (the time follows with the next list).
    void UpdateMenuCaption(const TZELKCallListItem &entry);

private:
    QString m_productVersion;
    TZELKCallList FZELKCallList;
    FaceMap ytkoppling{};
    QList<MenuEntry> m_menu;
};

} // namespace zelk
