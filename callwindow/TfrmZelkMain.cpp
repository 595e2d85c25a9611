#include "callwindow/TfrmZelkMain.h"

#include "callwindow/drum/DrumFrame.h"
#include "callwindow/drum/DrumRenderer.h"
#include "callwindow/drum/DrumTextures.h"
#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Settings.h"
#include "common/ToolWindowStyle.h"
#include "keyhook/KV_HookKeyboard.h"
#include "keyhook/PedalKeyEvent.h"
#include "protocol/Messages.h"
#include "session/AdminDialogPort.h"
#include "session/SessionState.h"
#include "speech/TfrmSAPI51.h"

#include "ZelkBuildInfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// The hook library's file as this platform names it; the client looks for it in its
// working folder before it installs the hook.
#if defined(Q_OS_WIN)
constexpr QStringView kHookLibraryFile = u"KV_HookKeyboard.dll";
#else
constexpr QStringView kHookLibraryFile = u"libKV_HookKeyboard.so";
#endif

// How long a pedal release waits for a press that would make it an auto-repeat.
constexpr int kReleaseSettleMs = 40;

// The keys the hook hands over; while it is installed the window takes them from it alone.
bool isHookKey(int key)
{
    return key == Qt::Key_F12 || key == Qt::Key_Alt || key == Qt::Key_F10;
}

bool hookLibraryPresent()
{
    return QFileInfo::exists(kHookLibraryFile.toString());
}

QIcon dotIcon(const QColor &colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pixmap);
}

QString productVersion()
{
    return QStringLiteral(ZELK_PRODUCT_VERSION);
}

} // namespace

TfrmZelkMain::TfrmZelkMain(AdminDialogFactory adminFactory, QWidget *parent)
    : QWidget(parent),
      m_adminFactory(std::move(adminFactory)),
      m_callList(productVersion()),
      m_session(m_callList, this),
      m_selection(m_callList, *this, this)
{
    FormCreate();
}

TfrmZelkMain::~TfrmZelkMain()
{
    // Also when hooking failed: removing a hook that is not there is harmless.
    UnHookKeyboard();
    ReconnectHook = nullptr;
    ReloadSettingsHook = nullptr;
}

void TfrmZelkMain::FormCreate()
{
    m_sinceCreation.start();
    m_admin = nullptr;
    CloseNow = false;
    ClientType = TZELKClientType::ctCall;

    // A tool window: no taskbar entry; the program lives in the notification area.
    applyToolWindowStyle(this);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);

    DXDraw = CreateDrumRenderer(this);
    DXDraw->widget()->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DXDraw->widget());

    loadBackgroundPictures();

    ReconnectHook = [this](bool refresh) { m_session.ConnectToServer(refresh); };
    ReloadSettingsHook = [this] { m_selection.LoadSelectionSettings(); };

    ImageList1 = {dotIcon(QColor(255, 128, 128)), dotIcon(QColor(128, 0, 0))};
    PopupMenu1.setSeparatorsCollapsible(false);
    rebuildPopupMenu();
    TrayIcon1.setIcon(ImageList1[0]);
    TrayIcon1.setToolTip(u"ZELK Windows Kallelseklient"_s);
    TrayIcon1.setContextMenu(&PopupMenu1);
    TrayIcon1.show();

    m_selection.LoadSelectionSettings();
    hookKeyboard();
    setWindowTitle(u"Kestrova SignaleringsSystem: ZELK Windows Kallelseklient  version: "_s + productVersion());
    readCommandLine();

    connect(&TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Desktops differ in what they report for a click on the icon; both bring the window up.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            BringToFront();
    });
    connect(&PopupMenu1, &QMenu::aboutToShow, this, &TfrmZelkMain::PopupMenu1Popup);
    m_pendingRelease.setSingleShot(true);
    m_pendingRelease.setInterval(kReleaseSettleMs);
    connect(&m_pendingRelease, &QTimer::timeout, this, [this] {
        m_selection.FormKeyUp(m_pendingReleaseKey, m_pendingReleaseModifiers);
    });
    connect(&m_selection.MinimizeTimer, &QTimer::timeout, this, &TfrmZelkMain::MinimizeTimerTimer);
    connect(&m_selection.DXTimer, &DrumFrameTimer::timeout, this, [this] { DXTimerTimer(*this); });
    connect(&m_session.dispatcher(), &IncomingDispatcher::callListRebuilt, this, &TfrmZelkMain::onCallListRebuilt);
    connect(&m_session.dispatcher(), &IncomingDispatcher::minimizeRequested, this,
            &TfrmZelkMain::onMinimizeRequested);
    connect(&m_session.dispatcher(), &IncomingDispatcher::callListAboutToBeRebuilt, this,
            [this] { m_selection.rememberFrontEntry(); });
    connect(&m_session, &ServerSession::statusTextChanged, this, &TfrmZelkMain::redraw);
    connect(&m_session, &ServerSession::connectionActiveChanged, this, &TfrmZelkMain::redraw);
    connect(&m_session, &ServerSession::trayImageRequested, this, &TfrmZelkMain::setTrayImage);
    connect(&m_session, &ServerSession::closeRequested, this, &TfrmZelkMain::closeForGood);
    m_session.setReloadOnConnect([this] {
        ZELKShowDirectXInfo = ReadSettingDef(keys::ShowDirectXInfo, defaults::ShowDirectXInfo.toString()) == u"1";
        LoadSpeechSettings(this);
    });
}

void TfrmZelkMain::loadBackgroundPictures()
{
    try {
        for (const QString &file : {u"ZELK_CC_NeutralBackground.bmp"_s, u"ZELK_CC_CalledBackground.bmp"_s}) {
            const QString path = ProgramFolder + file;
            if (!QFileInfo::exists(path))
                continue;
            QImage picture(path);
            if (picture.isNull())
                throw std::runtime_error("cannot read " + path.toStdString());
            m_pictures.append(picture);
        }
    } catch (const std::exception &e) {
        ShowError(u"Error creating background bitmaps!\n\n"_s + QString::fromLocal8Bit(e.what()));
    }
}

void TfrmZelkMain::readCommandLine()
{
    // Names and values match in any letter case and come back in capitals, so a workstation
    // registers under the same name whichever way its shortcut spells it.
    ClientData.Name = WireSafeName(GetParamValue(u"NAME"_s));
    ClientData.FriendlyName = GetParamValue(u"PLACE"_s);
    ClientData.Color = settingToInt(GetParamValue(u"COLOR"_s), 0);
    const bool registerauto = GetParamValue(u"AUTOREGISTER"_s) == u"1";
    m_session.setAutoRegistration(registerauto, GetParamValue(u"CALLLIST"_s));
    if (registerauto) {
        WriteSetting(keys::ClientNameUseDefault, u"0"_s);
        WriteSetting(keys::ClientName, ClientData.Name);
    }
    if (const QString server = GetParamValue(u"SERVERNAME"_s); !server.isEmpty())
        WriteSetting(keys::ServerName, server);
    if (const QString port = GetParamValue(u"SERVERPORT"_s); !port.isEmpty())
        WriteSetting(keys::ServerPort, port);
}

void TfrmZelkMain::hookKeyboard()
{
    if (!hookLibraryPresent()) {
        ShowError(kHookLibraryFile.toString() + u" not found!"_s);
        return;
    }
    // The native window must exist with its final flags before its id is handed over.
    m_hooked = HookKeyboard(static_cast<KVWindowHandle>(winId()));
}

void TfrmZelkMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_initialized) {
        m_initialized = true;
        // After the window is on screen, as the first activation of the drawing surface.
        QTimer::singleShot(0, this, &TfrmZelkMain::DXDrawInitialize);
    }
}

void TfrmZelkMain::DXDrawInitialize()
{
    const QScreen *screen = this->screen();
    DXDraw->initializeSurface(InitialSurfaceSize(screen ? screen->size() : QSize(1024, 768)));
    redraw();
    if (m_admin)
        return;
    if (m_adminFactory) {
        m_admin = m_adminFactory(this, &m_session.socket());
        m_session.setAdminDialog(m_admin);
    }
    ReconnectAllowed = false;
    ZELKShowDirectXInfo = ReadSettingDef(keys::ShowDirectXInfo, defaults::ShowDirectXInfo.toString()) == u"1";
    try {
        LoadSpeechSettings(this);
    } catch (const std::exception &) {
        // Speech reports its own failures; the window runs without it.
    }
    m_session.startFirstConnection();
}

void TfrmZelkMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (DXDraw && DXDraw->surfaceInitialized()) {
        DXDraw->initializeSurface(ResizedSurfaceSize(DXDraw->widget()->size()));
        m_selection.LastFrame = -1.0;
        redraw();
    }
}

void TfrmZelkMain::BringToFront()
{
    show();
    if (isMinimized())
        showMaximized();
    raise();
    activateWindow();
    if (hookLibraryPresent())
        KVSetForeGroundWindow(static_cast<KVWindowHandle>(winId()));
}

void TfrmZelkMain::MinimizeTimerTimer()
{
    m_selection.MinimizeTimer.stop();
    hide();
}

void TfrmZelkMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Restoring the program from the taskbar or the window manager brings the drum up.
    if (event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        if (change->oldState().testFlag(Qt::WindowMinimized) && !isMinimized())
            BringToFront();
    }
}

void TfrmZelkMain::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    hide();
}

void TfrmZelkMain::contextMenuEvent(QContextMenuEvent *event)
{
    // The same menu as the tray icon's, for desktops without a notification area.
    PopupMenu1.popup(event->globalPos());
}

bool TfrmZelkMain::event(QEvent *event)
{
    if (event->type() != PedalKeyEvent::kType)
        return QWidget::event(event);
    // The hook's keys arrive as their own event, which a modal box or dialog does not hold
    // back: the pedal calls while a box waits for the user.
    const auto *pedal = static_cast<const PedalKeyEvent *>(event);
    if (pedal->isPress())
        pedalKeyDown(pedal->key(), pedal->modifiers());
    else
        pedalKeyUp(pedal->key(), pedal->modifiers());
    return true;
}

void TfrmZelkMain::keyPressEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return; // a held pedal is one press
    if (m_hooked && isHookKey(event->key()))
        return; // the hook hands this key over; taking it here too would count it twice
    pedalKeyDown(event->key(), event->modifiers());
}

void TfrmZelkMain::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    if (m_hooked && isHookKey(event->key()))
        return;
    pedalKeyUp(event->key(), event->modifiers());
}

void TfrmZelkMain::pedalKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (m_pendingRelease.isActive() && m_pendingReleaseKey == key) {
        // The release just before was the key's auto-repeat, not the pedal let go.
        m_pendingRelease.stop();
        return;
    }
    flushPendingRelease();
    m_selection.FormKeyDown(key, modifiers);
}

void TfrmZelkMain::pedalKeyUp(int key, Qt::KeyboardModifiers modifiers)
{
    flushPendingRelease();
    if (key != Qt::Key_F12 && key != Qt::Key_Alt) {
        m_selection.FormKeyUp(key, modifiers);
        return;
    }
    // X repeats a held key as release and press pairs, which Qt does not always recognise
    // when the window is busy; a release only counts once no press of the key follows it.
    m_pendingReleaseKey = key;
    m_pendingReleaseModifiers = modifiers;
    m_pendingRelease.start();
}

void TfrmZelkMain::onMinimizeRequested()
{
    // A list pushed while the pedal rests on a face must not take the drum away under the
    // user's foot; the selection hides the window itself when it ends.
    if (m_selection.selectionInProgress())
        return;
    m_selection.MinimizeTimer.start();
}

void TfrmZelkMain::flushPendingRelease()
{
    if (!m_pendingRelease.isActive())
        return;
    m_pendingRelease.stop();
    m_selection.FormKeyUp(m_pendingReleaseKey, m_pendingReleaseModifiers);
}

void TfrmZelkMain::closeForGood()
{
    CloseNow = true;
    close();
}

void TfrmZelkMain::closeEvent(QCloseEvent *event)
{
    if (!CloseNow) {
        // The close button only hides the window; the program stays in the notification area.
        event->ignore();
        hide();
        return;
    }
    FormClose();
    event->accept();
    Q_EMIT closedForGood();
}

void TfrmZelkMain::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    TrayIcon1.hide();
    m_selection.Timer1.stop();
    m_selection.MinimizeTimer.stop();
    m_selection.NameTimer.stop();
    m_selection.DXTimer.stop();
    m_session.socket().abort();
}

void TfrmZelkMain::PopupMenu1Popup()
{
    const QList<QAction *> actions = PopupMenu1.actions();
    for (qsizetype i = 0; i < actions.size(); ++i)
        actions[i]->setEnabled(i == actions.size() - 1 || isConnected());
}

void TfrmZelkMain::rebuildPopupMenu()
{
    PopupMenu1.clear();
    for (const MenuEntry &entry : m_callList.menu()) {
        if (entry.isSeparator()) {
            PopupMenu1.addSeparator();
            continue;
        }
        QAction *action = PopupMenu1.addAction(entry.caption);
        action->setToolTip(entry.hint);
        action->setData(entry.tag);
        switch (entry.action) {
        case MenuEntry::Action::KallaViaPopupMeny:
            connect(action, &QAction::triggered, this,
                    [this, tag = entry.tag] { m_selection.KallaViaPopupMeny(tag); });
            break;
        case MenuEntry::Action::SettingsViaPopupMeny:
            connect(action, &QAction::triggered, this, [this] { openAdmin(true); });
            break;
        case MenuEntry::Action::CloseViaPopupMeny:
            connect(action, &QAction::triggered, this, &TfrmZelkMain::closeForGood);
            break;
        case MenuEntry::Action::None:
            break;
        }
    }
    PopupMenu1Popup();
}

void TfrmZelkMain::onCallListRebuilt()
{
    m_selection.keepFrontEntry();
    rebuildPopupMenu();
    BuildNameTextures(m_callList.items(), m_pictures);
    m_selection.LastFrame = -1.0;
    redraw();
}

void TfrmZelkMain::redraw()
{
    if (!DXDraw || !DXDraw->surfaceInitialized() || m_selection.DXTimer.isEnabled())
        return; // during a selection every tick draws
    drawDrumFrame(m_selection.FramPos);
}

void TfrmZelkMain::openAdmin(bool serverTab)
{
    if (!m_admin)
        return;
    if (serverTab)
        m_admin->openServerSettings();
    else
        m_admin->openClientSettings();
}

bool TfrmZelkMain::isConnected() const
{
    return m_session.isOpen();
}

void TfrmZelkMain::sendCalling(qint32 callLopnr)
{
    m_session.send(msg::calling(callLopnr, GetClientName()));
}

void TfrmZelkMain::say(const QString &text, int flags)
{
    zelk::say(text, flags);
}

void TfrmZelkMain::setTrayImage(int image)
{
    TrayIcon1.setIcon(ImageList1.value(image, ImageList1.first()));
}

void TfrmZelkMain::openServerSettings()
{
    // F10 reaches the window while boxes are open too; the dialog, or a box waiting for an
    // answer, stays as it is.
    if (QApplication::activeModalWidget() || (m_admin && m_admin->isDialogVisible()))
        return;
    openAdmin(true);
}

void TfrmZelkMain::menuChanged()
{
    rebuildPopupMenu();
}

void TfrmZelkMain::showHint(const QString &text)
{
    ShowFormBalloon(text, this);
}

bool TfrmZelkMain::drumCanDraw() const
{
    return DXDraw && DXDraw->surfaceInitialized() && !m_callList.items().isEmpty();
}

bool TfrmZelkMain::AdvanceSelection()
{
    return m_selection.AdvanceSelection();
}

double TfrmZelkMain::FramPos() const
{
    return m_selection.FramPos;
}

double TfrmZelkMain::LastFrame() const
{
    return m_selection.LastFrame;
}

void TfrmZelkMain::setLastFrame(double angle)
{
    m_selection.LastFrame = angle;
}

void TfrmZelkMain::drawDrumFrame(double angle)
{
    DrumOverlayState overlay;
    overlay.ZELKShowDirectXInfo = ZELKShowDirectXInfo;
    overlay.frameRate = m_selection.DXTimer.frameRate();
    overlay.hardware = DXDraw->isHardware();
    overlay.connected = isConnected();
    overlay.Label1Caption = m_session.Label1Caption();
    DXDraw->renderFrame(MakeDrumFrame(m_callList.items(), m_callList.faces(), angle, overlay));
    if (m_sinceCreation.isValid() && !m_callList.items().isEmpty()) {
        qInfo("ZELK: the first call list was drawn %lld ms after the window was created",
              static_cast<long long>(m_sinceCreation.elapsed()));
        m_sinceCreation.invalidate();
    }
}

void TfrmZelkMain::AnnounceFace()
{
    m_selection.AnnounceFace();
}

} // namespace zelk
