#include "session/IncomingDispatcher.h"

#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Settings.h"
#include "protocol/Framing.h"
#include "session/AdminDialogPort.h"
#include "session/SessionState.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

constexpr QStringView kNotRegistered = u"ERROR: 001";

// Cuts the message `tag` out of `text`; the stretch up to the end of its closing tag goes.
std::optional<QString> take(QString &text, QStringView tag, QChar separator = u':')
{
    const auto cut = cutMessage(text, openingTag(tag, separator), closingTag(tag, separator));
    if (!cut)
        return std::nullopt;
    text.remove(cut->begin, cut->end - cut->begin);
    return cut->message;
}

} // namespace

IncomingDispatcher::IncomingDispatcher(CallListModel &callList, QObject *parent)
    : QObject(parent), m_callList(callList), m_iniTextSink(&deliverIniTextReply)
{
}

void IncomingDispatcher::DispatchIncoming(QString text)
{
    bool notRegisteredShown = false;
    try {
        for (;;) {
            const QString original = text;
            if (!onePass(text, notRegisteredShown))
                return;
            const QString rest = trimControls(text).toString();
            if (rest.isEmpty() || text == original)
                return; // nothing recognised is left: the rest is dropped
        }
    } catch (const std::exception &e) {
        ShowError(u"Error in ClientSocket1Read!\n\n"_s + QString::fromLocal8Bit(e.what()));
    }
}

bool IncomingDispatcher::onePass(QString &text, bool &notRegisteredShown)
{
    if (const auto cut = take(text, u"RETSERVERVERSION")) {
        if (m_versionCheck && !m_versionCheck(parseServerVersion(*cut)))
            return false;
    }
    if (const auto cut = take(text, u"RETINITEXT"))
        m_iniTextSink(parseIniText(*cut));
    if (text.contains(openingTag(u"ZELKCLIENTDATA"))) {
        if (m_dialog)
            m_dialog->setPnlPlatsVisible(false);
        if (const auto cut = take(text, u"ZELKCLIENTDATA")) {
            const ClientDataFields data = parseClientData(*cut);
            ClientData.Name = data.name;
            ClientData.FriendlyName = data.friendlyName;
            ClientData.Color = data.color;
            if (m_dialog && m_dialog->isDialogVisible())
                m_dialog->refreshClientSettings();
        }
    }
    // The station list moves entries out of the full list, so the full list has to be in
    // place first; the dialog asks for both at once and their replies often share a block.
    if (const auto cut = take(text, u"RETALLCALLABLES")) {
        if (m_dialog && m_dialog->hasCallableListTarget()) {
            const bool older = versionTextBelow(ServerVersion, u"1.10.4");
            QList<qint32> numbers;
            if (older) {
                for (const TZELKCallListItem &item : m_callList.items())
                    numbers.append(item.CallLOPNR);
            }
            m_dialog->applyAllCallables(parseAllCallables(*cut), older, numbers);
        }
    }
    if (const auto cut = take(text, u"RETSTATIONCALLABLES")) {
        if (m_dialog)
            m_dialog->applyStationCallables(parseStationCallables(*cut));
    }
    if (text.contains(kErrorReply)) {
        if (text.contains(kNotRegistered)) {
            // The text stays, so a rerun of the same block meets it again; say it once.
            if (!notRegisteredShown) {
                notRegisteredShown = true;
                ShowError(u"Klienten finns inte i databasen!\nGå till Systemregistret, fyll i "
                          "Klientnamn/plats, välj en färg och tryck på Lägg till."_s);
                if (m_dialog) {
                    m_dialog->setPnlPlatsVisible(true);
                    m_dialog->openClientSettings();
                }
            }
        } else {
            text = parseErrorReply(text).value_or(QString());
            ShowError(u"Servern svarade med följande fel: "_s + text);
        }
    }
    if (text.contains(openingTag(u"RETCALLLIST", u'~')))
        rebuildCallList(text);
    return true;
}

void IncomingDispatcher::rebuildCallList(QString &text)
{
    const auto cut = take(text, u"RETCALLLIST", u'~');
    if (!cut)
        return; // an unclosed list is never read as an empty one
    const QList<msg::CallListRecord> records = parseCallList(*cut);
    Q_EMIT callListAboutToBeRebuilt();
    m_callList.rebuild(records);
    Q_EMIT callListRebuilt();

    if (!m_callList.items().isEmpty()) {
        if (!m_dialog || !m_dialog->isDialogVisible())
            Q_EMIT minimizeRequested();
        return;
    }
    ShowError(u"Det finns inga resurser att visa i listan!\nGå till Systemregistret, fyll i "
              "önskade resurser och tryck på Spara."_s);
    if (m_dialog)
        m_dialog->openClientSettings();
}

} // namespace zelk
