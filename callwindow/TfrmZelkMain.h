#pragma once

#include "callwindow/drum/DrumTick.h"
#include "callwindow/selection/SelectionMachine.h"
#include "session/CallListModel.h"
#include "session/ServerSession.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace zelk {

class AdminDialogPort;
class DrumRenderer;

// The calling window: the name drum, the tray icon with its menu, the server connection and
// the pedal selection. It lives in the notification area, comes to the front for a
// selection and hides again; closing it only hides it, "Avsluta" ends the program.
class TfrmZelkMain final : public QWidget, private SelectionHost, private DrumTickHost
{
    Q_OBJECT

public:
    // Creates the dialog when the drawing surface is first initialised; it borrows the socket.
    using AdminDialogFactory = std::function<AdminDialogPort *(QWidget *owner, QTcpSocket *socket)>;

    explicit TfrmZelkMain(AdminDialogFactory adminFactory = {}, QWidget *parent = nullptr);
    ~TfrmZelkMain() override;

    void BringToFront();
    // "Avsluta", the end of the user's session, a started update: the window really closes.
    void closeForGood();

    ServerSession &session() { return m_session; }
    SelectionMachine &selection() { return m_selection; }
    CallListModel &callList() { return m_callList; }
    QMenu &popupMenu() { return PopupMenu1; }
    DrumRenderer *drum() const { return DXDraw; }
    AdminDialogPort *adminDialog() const { return m_admin; }
    bool keyboardHooked() const { return m_hooked; }

    // Background pictures loaded from the program folder: "Bakgrund", "Bakgrund_kallad".
    const QList<QImage> &DXImageList() const { return m_pictures; }

Q_SIGNALS:
    // The window has really closed (not just hidden).
    void closedForGood();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void FormCreate();
    void loadBackgroundPictures();
    void readCommandLine();
    void hookKeyboard();
    void DXDrawInitialize();
    void FormClose();
    void MinimizeTimerTimer();
    void PopupMenu1Popup();
    void rebuildPopupMenu();
    void onCallListRebuilt();
    void redraw();
    void openAdmin(bool serverTab);
    void flushPendingRelease();
    // The pedal's keys, from the hook or, without one, from the window's own key events.
    void pedalKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void pedalKeyUp(int key, Qt::KeyboardModifiers modifiers);
    void onMinimizeRequested();

    // SelectionHost
    bool isConnected() const override;
    void sendCalling(qint32 callLopnr) override;
    void say(const QString &text, int flags) override;
    void setTrayImage(int image) override;
    void openServerSettings() override;
    void menuChanged() override;
    void showHint(const QString &text) override;

    // DrumTickHost
    bool drumCanDraw() const override;
    bool AdvanceSelection() override;
    double FramPos() const override;
    double LastFrame() const override;
    void setLastFrame(double angle) override;
    void drawDrumFrame(double angle) override;
    void AnnounceFace() override;

    AdminDialogFactory m_adminFactory;
    AdminDialogPort *m_admin = nullptr;
    CallListModel m_callList;
    ServerSession m_session;
    SelectionMachine m_selection;
    DrumRenderer *DXDraw = nullptr;
    QMenu PopupMenu1;
    QSystemTrayIcon TrayIcon1;
    QList<QIcon> ImageList1;
    QList<QImage> m_pictures;
    bool ZELKShowDirectXInfo = false;
    bool CloseNow = false;
    bool m_initialized = false;
    bool m_hooked = false;
    bool m_closed = false;
    QElapsedTimer m_sinceCreation; // until the first call list is on the drum
    QTimer m_pendingRelease;
    int m_pendingReleaseKey = 0;
    Qt::KeyboardModifiers m_pendingReleaseModifiers;
};

} // namespace zelk
