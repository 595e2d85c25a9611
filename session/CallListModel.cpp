#include "session/CallListModel.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace zelk {

bool MenuEntry::isSeparator() const
{
    return caption == u"-";
}

QString menuClockText(const QDateTime &when)
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return QLocale().toString(when.time(), format.trimmed());
}

QString resourceMenuCaption(const TZELKCallListItem &item)
{
    if (!item.IsCalled)
        return item.CallNamn;
    QString caption = item.CallNamn + u" - kallad "_s + menuClockText(item.CallTime);
    if (item.ComingLopnr != 0)
        caption += u", "_s + item.ComingName + u" på väg "_s + menuClockText(item.ComingTime);
    return caption;
}

QList<MenuEntry> startMenu(const QString &productVersion)
{
    return {
        {u"-"_s, {}, 0, MenuEntry::Action::None},
        {u"Version: "_s + productVersion, {}, 0, MenuEntry::Action::None},
        {u"Avsluta"_s, {}, 0, MenuEntry::Action::CloseViaPopupMeny},
    };
}

CallListModel::CallListModel(QString productVersion)
    : m_productVersion(std::move(productVersion)), m_menu(startMenu(m_productVersion))
{
}

void CallListModel::rebuild(const QList<msg::CallListRecord> &records)
{
    FZELKCallList.clear();
    m_menu.clear();
    FZELKCallList.reserve(records.size());
    for (const msg::CallListRecord &r : records) {
        TZELKCallListItem item;
        item.CallNamn = r.CallNamn;
        item.CallLOPNR = r.CallLOPNR;
        item.CallFullname = r.CallFullname;
        item.CallColor = r.CallColor;
        item.IsAvbryt = r.IsAvbryt;
        item.IsCalled = r.IsCalled;
        item.CallTime = r.CallTime;
        item.ComingName = r.ComingName;
        item.ComingTime = r.ComingTime;
        item.ComingLopnr = r.ComingLopnr;
        if (!item.IsAvbryt) {
            m_menu.append({resourceMenuCaption(item), item.CallNamn, item.CallLOPNR,
                           MenuEntry::Action::KallaViaPopupMeny});
        }
        FZELKCallList.append(std::move(item));
    }
    m_menu.append({u"-"_s, {}, 0, MenuEntry::Action::None});
    m_menu.append({u"Version: "_s + m_productVersion, {}, 0, MenuEntry::Action::None});
    m_menu.append({u"Inställningar..."_s, {}, 0, MenuEntry::Action::SettingsViaPopupMeny});
    m_menu.append({u"Avsluta"_s, {}, 0, MenuEntry::Action::CloseViaPopupMeny});
    MapDrumFaces();
}

void CallListModel::MapDrumFaces()
{
    const auto n = static_cast<int>(FZELKCallList.size());
    if (n == 0)
        return;
    for (int k = 1; k <= kDrumFaces; ++k)
        ytkoppling[k] = (k - 1) % n;
}

void CallListModel::UpdateMenuCaption(const TZELKCallListItem &entry)
{
    for (MenuEntry &item : m_menu) {
        if (item.action == MenuEntry::Action::KallaViaPopupMeny && item.tag == entry.CallLOPNR) {
            item.caption = entry.IsCalled ? entry.CallNamn + u" - kallad"_s : entry.CallNamn;
            return;
        }
    }
}

} // namespace zelk
