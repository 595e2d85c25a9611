#pragma once

#include "admin/ResourceLists.h"
#include "session/AdminDialogPort.h"

#include <QAbstractSocket>
#include <QColor>
#include <QDialog>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QStringListModel;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace zelk {

// "Systemregister": the one settings dialog of the calling client. It edits the server
// connection and style, the client name, this workstation's place and colour, the resources it
// shows and calls, the voice and the calling options. Each tab is loaded from the settings
// store when it becomes active and "Spara" saves the active tab alone. The calling window
// creates it once, lends it its server socket and shows it modally; the server session reaches
// it through AdminDialogPort.
class TfrmSystreg final : public QDialog, public AdminDialogPort
{
    Q_OBJECT

public:
    explicit TfrmSystreg(QWidget *parent = nullptr);
    ~TfrmSystreg() override;

    // The calling window's server socket; not owned. Everything the dialog sends goes through it.
    void setClientSocket(QAbstractSocket *socket) { ClientSocket1 = socket; }
    // Where the update connection keeps the version of the update server (shown, and emptied
    // when the server settings are saved). Not set: the field stays empty.
    void setUpdateServerVersion(std::function<QString *()> access) { m_updateServerVersion = std::move(access); }
    // The pause between storing the server settings and closing the connection (1000 ms).
    void setServerSaveWait(std::chrono::milliseconds wait) { m_serverSaveWait = wait; }
    // The platform's colour chooser; tests replace it. Nothing chosen: std::nullopt.
    using ColorChooser = std::function<std::optional<QColor>(const QColor &initial, QWidget *parent)>;
    void setColorChooser(ColorChooser chooser) { m_colorChooser = std::move(chooser); }

    // Which tabs are visible, which is active, and the load of the active one.
    void SetTabs(QWidget *Sender);
    // Loads the active tab.
    void PageControl1Change();
    // SetTabs, then modally unless the dialog is showing already.
    void openOnTab(QWidget *tab);

    // AdminDialogPort.
    bool isDialogVisible() const override;
    void setPnlPlatsVisible(bool visible) override;
    void refreshActivePage() override;
    void refreshClientSettings() override;
    void openClientSettings() override;
    void openServerSettings() override;
    void applyStationCallables(const QList<qint32> &numbers) override;
    bool hasCallableListTarget() const override { return CallableListTarget != nullptr; }
    void applyAllCallables(const QList<msg::CallableEntry> &entries, bool olderServer,
                           const QList<qint32> &callListNumbers) override;

    // Handlers.
    void btnSaveClick();
    void btnCancelClick();
    void btnReturnClick();
    void ComboBox1Change();
    void RadioButton1Click();
    void Edit2Change();
    void CheckBox54Click();
    void cbVoicesChange();
    void tbRateChange();
    void Button9Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void ListBox1DblClick() { BitBtn1Click(); }
    void ListBox2DblClick() { BitBtn2Click(); }

    // The colour of Panel6 as a Windows colour value (0x00BBGGRR).
    qint32 swatchColor() const { return m_swatchColor; }
    void setSwatchColor(qint32 color);

    bool FThemeChanged = false;
    bool FClickedSpara = false;
    QPointer<QAbstractSocket> ClientSocket1;
    // The list the next RETALLCALLABLES fills; ListBox1 from a load of the client tab.
    QListWidget *CallableListTarget = nullptr;

    QTabWidget *PageControl1 = nullptr;
    QWidget *tsServersettings = nullptr;
    QWidget *tsClientSettings = nullptr;
    QWidget *tsVoice = nullptr;
    QWidget *tsOvrigtCall = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnReturn = nullptr;

    // "Serverinställningar/utseende"
    QLineEdit *edServername = nullptr;
    QSpinBox *edServerport = nullptr;
    QLineEdit *edServerver = nullptr;
    QLineEdit *edUpdateServername = nullptr;
    QSpinBox *edUpdateServerport = nullptr;
    QLineEdit *edUpdateServerver = nullptr;
    QComboBox *ComboBox1 = nullptr;

    // "Klientinställningar"
    QRadioButton *RadioButton1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QRadioButton *RadioButton2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QGroupBox *gbResources = nullptr;
    QListWidget *ListBox1 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QToolButton *BitBtn1 = nullptr;
    QToolButton *BitBtn2 = nullptr;
    QToolButton *BitBtn3 = nullptr;
    QToolButton *BitBtn4 = nullptr;
    QFrame *pnlPlats = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLabel *Panel6 = nullptr;
    QPushButton *BitBtn5 = nullptr;
    QPushButton *BitBtn6 = nullptr;

    // "Röstinställningar"
    QCheckBox *CheckBox54 = nullptr;
    QGroupBox *GroupBox75 = nullptr;
    QComboBox *cbVoices = nullptr;
    QStringListModel *m_voiceModel = nullptr; // cbVoices' entries, shared with the speech form's
    QSlider *tbRate = nullptr;
    QLabel *lblRate = nullptr;
    QGroupBox *GroupBox76 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button9 = nullptr;

    // "Övrigt"
    QRadioButton *RadioButton3 = nullptr;
    QSpinBox *SpinEdit1 = nullptr;
    QSpinBox *SpinEdit2 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QRadioButton *RadioButton4 = nullptr;
    QSpinBox *SpinEdit10 = nullptr;
    QCheckBox *cbSayCallingname = nullptr;
    QCheckBox *cbSayResursname = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    QSpinBox *SpinEdit6 = nullptr;

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildServerTab();
    QWidget *buildClientTab();
    QWidget *buildVoiceTab();
    QWidget *buildOvrigtTab();
    void FormCreate();
    void FormClose();

    void loadServerTab();
    void loadClientTab();
    void loadVoiceTab();
    void copyVoicesFromSpeechForm();
    void speechFormStarted();
    void loadOvrigtTab();
    void saveServerTab();
    void saveClientTab();
    void saveOvrigtTab();

    bool socketActive() const;
    void sendToServer(const QString &message);
    void onCurrentTabChanged();
    void waitBeforeClosing();

    // Whether both lists were filled by the server's replies during this visit of the tab;
    // only then may "Spara" send them as this client's resource list.
    bool resourceListsLoaded() const;
    void forgetResourceLists();

    static ResourceList readList(const QListWidget *list);
    static void writeList(QListWidget *list, const ResourceList &content);

    std::function<QString *()> m_updateServerVersion;
    std::chrono::milliseconds m_serverSaveWait{1000};
    ColorChooser m_colorChooser;
    qint32 m_swatchColor = 0x00FFFFFF;
    bool m_inSetTabs = false;
    bool m_stationCallablesAsked = false;
    bool m_allCallablesLoaded = false;
    bool m_stationCallablesLoaded = false;
};

// A spin field's value as the settings see it: text that is not a whole number counts as the
// field's minimum, and the value is kept inside the field's range.
int spinFieldValue(const QSpinBox *spin);

} // namespace zelk
