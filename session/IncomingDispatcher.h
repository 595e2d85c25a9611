#pragma once

#include "session/CallListModel.h"

#include <QObject>
#include <QString>

#include <functional>

namespace zelk {

class AdminDialogPort;

// DispatchIncoming: recognises the messages of one assembled block in a fixed order, cuts
// each out and acts on it, and reruns on what is left. A pass works on its own copy of the
// text and refers to call-list items by index only, because message boxes, the modal dialog
// and settings reads run nested passes while it waits.
class IncomingDispatcher final : public QObject
{
    Q_OBJECT

public:
    IncomingDispatcher(CallListModel &callList, QObject *parent = nullptr);

    void setAdminDialog(AdminDialogPort *dialog) { m_dialog = dialog; }
    // The version check; returns false when the version is refused (the block is dropped).
    void setVersionCheck(std::function<bool(const QString &)> check) { m_versionCheck = std::move(check); }

    // Where RETINITEXT values go; the settings store's waiting read by default.
    void setIniTextSink(std::function<void(const QString &)> sink) { m_iniTextSink = std::move(sink); }

    void DispatchIncoming(QString text);

Q_SIGNALS:
    // FZELKCallList is about to be replaced; its items are still the old ones.
    void callListAboutToBeRebuilt();
    // FZELKCallList and the menu were rebuilt: new face pictures, repaint, new menu.
    void callListRebuilt();
    // A non-empty list arrived while the dialog is hidden: the window hides itself soon.
    void minimizeRequested();

private:
    // Returns false when the rest of the block is to be dropped.
    bool onePass(QString &text, bool &notRegisteredShown);
    void rebuildCallList(QString &text);

    CallListModel &m_callList;
    AdminDialogPort *m_dialog = nullptr;
    std::function<bool(const QString &)> m_versionCheck;
    std::function<void(const QString &)> m_iniTextSink;
};

} // namespace zelk
