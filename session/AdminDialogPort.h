#pragma once

#include "protocol/Parsers.h"

#include <QList>

namespace zelk {

// What the server session and the dispatcher need of the administration dialog. The dialog
// implements it; tests use a recording double. Every call happens on the user-interface
// thread and may run the dialog modally, processing events meanwhile.
class AdminDialogPort
{
public:
    virtual ~AdminDialogPort() = default;

    virtual bool isDialogVisible() const = 0;
    virtual void setPnlPlatsVisible(bool visible) = 0;
    // The server's version arrived: reload the tabs for the active page.
    virtual void refreshActivePage() = 0;
    // SetTabs(tsClientSettings) while the dialog is visible.
    virtual void refreshClientSettings() = 0;
    // SetTabs on the tab, then modally unless the dialog is visible already.
    virtual void openClientSettings() = 0;
    virtual void openServerSettings() = 0;

    // RETSTATIONCALLABLES: each number found in ListBox1 moves to ListBox2.
    virtual void applyStationCallables(const QList<qint32> &numbers) = 0;
    // Whether a RETALLCALLABLES is awaited (CallableListTarget is set).
    virtual bool hasCallableListTarget() const = 0;
    // RETALLCALLABLES into the target list. With a server older than "1.10.4",
    // `callListNumbers` holds the calling list's numbers in order, to be moved to ListBox2.
    virtual void applyAllCallables(const QList<msg::CallableEntry> &entries, bool olderServer,
                                   const QList<qint32> &callListNumbers) = 0;
};

} // namespace zelk
