#include "admin/TfrmSystreg.h"

#include "admin/RoomyRows.h"

#include "common/HlsColor.h"
#include "common/Identity.h"
#include "common/Prompts.h"
#include "common/Settings.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"
#include "session/SessionState.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/SpeechVoices.h"
#include "speech/TfrmSAPI51.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStringListModel>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>
#include <exception>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// Servers below this version cannot tell which resources a client has chosen.
constexpr QStringView kStationCallablesVersion = u"1.10.4";
constexpr int kItemNumberRole = Qt::UserRole;
constexpr quint16 kHighestPort = 65535;

QColor swatchQColor(qint32 color)
{
    const auto ref = static_cast<quint32>(color);
    return QColor(redOf(ref), greenOf(ref), blueOf(ref));
}

QSpinBox *spinField(int minimum, int maximum, QWidget *parent)
{
    auto *spin = new QSpinBox(parent);
    spin->setRange(minimum, maximum);
    return spin;
}

QLabel *labelFor(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QToolButton *pictureButton(QStyle::StandardPixmap picture, const QString &tip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setIconSize(QSize(24, 24));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QPushButton *plainButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    // Enter in a field must not save or close anything.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void setCheckedAndRun(QAbstractButton *button, bool checked, const std::function<void()> &handler)
{
    if (button->isChecked() == checked)
        return;
    button->setChecked(checked);
    handler();
}

} // namespace

int spinFieldValue(const QSpinBox *spin)
{
    bool ok = false;
    const int value = spin->cleanText().trimmed().toInt(&ok);
    if (!ok)
        return spin->minimum();
    return qBound(spin->minimum(), value, spin->maximum());
}

TfrmSystreg::TfrmSystreg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"frmSystreg"_s);
    setWindowTitle(u"Systemregister"_s);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(u"PageControl1"_s);
    tsServersettings = buildServerTab();
    tsClientSettings = buildClientTab();
    tsVoice = buildVoiceTab();
    tsOvrigtCall = buildOvrigtTab();
    PageControl1->addTab(tsServersettings, u"Serverinställningar/utseende"_s);
    PageControl1->addTab(tsClientSettings, u"Klientinställningar"_s);
    PageControl1->addTab(tsVoice, u"Röstinställningar"_s);
    PageControl1->addTab(tsOvrigtCall, u"Övrigt"_s);

    btnSave = plainButton(u"Spara"_s, this);
    btnSave->setObjectName(u"btnSave"_s);
    btnCancel = plainButton(u"Ångra"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);
    btnReturn = plainButton(u"Återgå"_s, this);
    btnReturn->setObjectName(u"btnReturn"_s);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnReturn);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    // Fixed in size, yet as large as the texts need at any font size or screen scaling.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TfrmSystreg::onCurrentTabChanged);
    connect(btnSave, &QPushButton::clicked, this, &TfrmSystreg::btnSaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSystreg::btnCancelClick);
    connect(btnReturn, &QPushButton::clicked, this, &TfrmSystreg::btnReturnClick);

    m_colorChooser = [](const QColor &initial, QWidget *owner) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, owner, u"Välj färg"_s);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    };

    FormCreate();
}

TfrmSystreg::~TfrmSystreg() = default;

QWidget *TfrmSystreg::buildServerTab()
{
    auto *page = new QWidget;
    page->setObjectName(u"tsServersettings"_s);

    edServername = new QLineEdit(page);
    edServername->setObjectName(u"edServername"_s);
    edServername->setPlaceholderText(u"Ange serverns namn eller IP-adress i formatet ###.###.###.###"_s);
    edServername->setMinimumWidth(edServername->fontMetrics().horizontalAdvance(edServername->placeholderText()) + 16);
    edServerport = spinField(0, kHighestPort, page);
    edServerport->setObjectName(u"edServerport"_s);
    edServerver = new QLineEdit(page);
    edServerver->setObjectName(u"edServerver"_s);
    edServerver->setReadOnly(true);

    edUpdateServername = new QLineEdit(page);
    edUpdateServername->setObjectName(u"edUpdateServername"_s);
    edUpdateServername->setPlaceholderText(
        u"Ange uppdateringsserverns namn eller IP-adress i formatet ###.###.###.###"_s);
    edUpdateServerport = spinField(0, kHighestPort, page);
    edUpdateServerport->setObjectName(u"edUpdateServerport"_s);
    edUpdateServerver = new QLineEdit(page);
    edUpdateServerver->setObjectName(u"edUpdateServerver"_s);
    edUpdateServerver->setReadOnly(true);

    ComboBox1 = new QComboBox(page);
    ComboBox1->setObjectName(u"ComboBox1"_s);
    ComboBox1->setEditable(false);

    auto *form = new QFormLayout(page);
    form->addRow(labelFor(u"Servernamn/IP-adress:"_s, edServername, page), edServername);
    form->addRow(labelFor(u"Serverport:"_s, edServerport, page), edServerport);
    form->addRow(labelFor(u"Serverversion:"_s, edServerver, page), edServerver);
    form->addRow(labelFor(u"Uppdatering Servernamn/IP-adress:"_s, edUpdateServername, page), edUpdateServername);
    form->addRow(labelFor(u"Serverport:"_s, edUpdateServerport, page), edUpdateServerport);
    form->addRow(labelFor(u"Serverversion:"_s, edUpdateServerver, page), edUpdateServerver);
    form->addRow(labelFor(u"Utseende:"_s, ComboBox1, page), ComboBox1);

    // Only the user's choice counts as a change of style.
    connect(ComboBox1, &QComboBox::activated, this, &TfrmSystreg::ComboBox1Change);
    return page;
}

QWidget *TfrmSystreg::buildClientTab()
{
    auto *page = new QWidget;
    page->setObjectName(u"tsClientSettings"_s);

    auto *nameGroup = new QGroupBox(u"Klientnamn"_s, page);
    RadioButton1 = new QRadioButton(u"Automatiskt (datornamn +program typ)"_s, nameGroup);
    RadioButton1->setObjectName(u"RadioButton1"_s);
    Edit1 = new QLineEdit(nameGroup);
    Edit1->setObjectName(u"Edit1"_s);
    Edit1->setEnabled(false);
    RadioButton2 = new QRadioButton(u"Manuellt"_s, nameGroup);
    RadioButton2->setObjectName(u"RadioButton2"_s);
    Edit2 = new QLineEdit(nameGroup);
    Edit2->setObjectName(u"Edit2"_s);
    auto *nameGrid = new QGridLayout(nameGroup);
    nameGrid->addWidget(RadioButton1, 0, 0);
    nameGrid->addWidget(Edit1, 0, 1);
    nameGrid->addWidget(RadioButton2, 1, 0);
    nameGrid->addWidget(Edit2, 1, 1);
    nameGrid->setColumnStretch(1, 1);

    auto *ownGroup = new QGroupBox(u"Övriga klientuppgifter"_s, page);
    Edit3 = new QLineEdit(ownGroup);
    Edit3->setObjectName(u"Edit3"_s);
    Panel6 = new QLabel(u"Färg"_s, ownGroup);
    Panel6->setObjectName(u"Panel6"_s);
    Panel6->setAlignment(Qt::AlignCenter);
    Panel6->setFrameShape(QFrame::Panel);
    Panel6->setFrameShadow(QFrame::Sunken);
    Panel6->setAutoFillBackground(true);
    Panel6->setMinimumWidth(Panel6->fontMetrics().horizontalAdvance(u"Färg"_s) * 3);
    BitBtn5 = plainButton(u"Välj färg..."_s, ownGroup);
    BitBtn5->setObjectName(u"BitBtn5"_s);
    BitBtn6 = plainButton(u"Lägg till/uppdatera klientuppgifter"_s, ownGroup);
    BitBtn6->setObjectName(u"BitBtn6"_s);
    auto *ownGrid = new QGridLayout(ownGroup);
    ownGrid->addWidget(labelFor(u"Plats:"_s, Edit3, ownGroup), 0, 0);
    ownGrid->addWidget(Edit3, 0, 1, 1, 2);
    ownGrid->addWidget(Panel6, 1, 0);
    ownGrid->addWidget(BitBtn5, 1, 1);
    ownGrid->addWidget(BitBtn6, 1, 2);
    ownGrid->setColumnStretch(1, 1);

    gbResources = new QGroupBox(u"Resurser att visa/kalla"_s, page);
    gbResources->setObjectName(u"gbResources"_s);
    ListBox1 = new QListWidget(gbResources);
    ListBox1->setObjectName(u"ListBox1"_s);
    ListBox2 = new QListWidget(gbResources);
    ListBox2->setObjectName(u"ListBox2"_s);
    for (QListWidget *list : {ListBox1, ListBox2}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setSortingEnabled(false);
        list->setItemDelegate(new RoomyRowDelegate(list));
        list->setMinimumSize(list->fontMetrics().horizontalAdvance(u'M') * 16,
                             list->fontMetrics().height() * 10);
    }
    BitBtn1 = pictureButton(QStyle::SP_ArrowRight, u"Lägg till i Valda resurser"_s, gbResources);
    BitBtn1->setObjectName(u"BitBtn1"_s);
    BitBtn2 = pictureButton(QStyle::SP_ArrowLeft, u"Flytta tillbaka till Alla resurser"_s, gbResources);
    BitBtn2->setObjectName(u"BitBtn2"_s);
    BitBtn3 = pictureButton(QStyle::SP_ArrowUp, u"Flytta upp"_s, gbResources);
    BitBtn3->setObjectName(u"BitBtn3"_s);
    BitBtn4 = pictureButton(QStyle::SP_ArrowDown, u"Flytta ned"_s, gbResources);
    BitBtn4->setObjectName(u"BitBtn4"_s);

    auto *allColumn = new QVBoxLayout;
    allColumn->addWidget(labelFor(u"Alla resurser"_s, ListBox1, gbResources));
    allColumn->addWidget(ListBox1);
    auto *moveColumn = new QVBoxLayout;
    moveColumn->addStretch(1);
    moveColumn->addWidget(BitBtn1);
    moveColumn->addWidget(BitBtn2);
    moveColumn->addStretch(1);
    auto *chosenColumn = new QVBoxLayout;
    chosenColumn->addWidget(labelFor(u"Valda resurser"_s, ListBox2, gbResources));
    chosenColumn->addWidget(ListBox2);
    auto *orderColumn = new QVBoxLayout;
    orderColumn->addStretch(1);
    orderColumn->addWidget(BitBtn3);
    orderColumn->addWidget(BitBtn4);
    orderColumn->addStretch(1);
    auto *resourceRow = new QHBoxLayout(gbResources);
    resourceRow->addLayout(allColumn, 1);
    resourceRow->addLayout(moveColumn);
    resourceRow->addLayout(chosenColumn, 1);
    resourceRow->addLayout(orderColumn);

    pnlPlats = new QFrame(page);
    pnlPlats->setObjectName(u"pnlPlats"_s);
    pnlPlats->setFrameShape(QFrame::Panel);
    pnlPlats->setFrameShadow(QFrame::Raised);
    pnlPlats->setAutoFillBackground(true);
    auto *notice = new QLabel(u"Välj Plats och färg och tryck på \"Lägg till/uppdatera klient...\""_s, pnlPlats);
    notice->setObjectName(u"pnlPlatsCaption"_s);
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    auto *noticeLayout = new QVBoxLayout(pnlPlats);
    noticeLayout->addWidget(notice);

    // The notice shares the resource group's cell and lies in front of it.
    auto *grid = new QGridLayout(page);
    grid->addWidget(nameGroup, 0, 0);
    grid->addWidget(ownGroup, 1, 0);
    grid->addWidget(gbResources, 2, 0);
    grid->addWidget(pnlPlats, 2, 0);
    grid->setRowStretch(2, 1);
    setPnlPlatsVisible(true);

    connect(RadioButton1, &QRadioButton::clicked, this, &TfrmSystreg::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TfrmSystreg::RadioButton1Click);
    connect(Edit2, &QLineEdit::textChanged, this, &TfrmSystreg::Edit2Change);
    connect(BitBtn1, &QToolButton::clicked, this, &TfrmSystreg::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TfrmSystreg::BitBtn2Click);
    connect(BitBtn3, &QToolButton::clicked, this, &TfrmSystreg::BitBtn3Click);
    connect(BitBtn4, &QToolButton::clicked, this, &TfrmSystreg::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TfrmSystreg::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TfrmSystreg::BitBtn6Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TfrmSystreg::ListBox1DblClick);
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, &TfrmSystreg::ListBox2DblClick);
    setSwatchColor(m_swatchColor);
    return page;
}

QWidget *TfrmSystreg::buildVoiceTab()
{
    auto *page = new QWidget;
    page->setObjectName(u"tsVoice"_s);

    CheckBox54 = new QCheckBox(u"Försök initiera SAPI5"_s, page);
    CheckBox54->setObjectName(u"CheckBox54"_s);

    GroupBox75 = new QGroupBox(u"Röstinställningar SAPI 5.1"_s, page);
    GroupBox75->setObjectName(u"GroupBox75"_s);
    cbVoices = new QComboBox(GroupBox75);
    cbVoices->setObjectName(u"cbVoices"_s);
    cbVoices->setEditable(false);
    m_voiceModel = new QStringListModel(cbVoices);
    cbVoices->setModel(m_voiceModel);
    cbVoices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbVoices->setMinimumContentsLength(30);
    tbRate = new QSlider(Qt::Horizontal, GroupBox75);
    tbRate->setObjectName(u"tbRate"_s);
    tbRate->setRange(kRateMin, kRateMax);
    tbRate->setValue(0);
    tbRate->setTickPosition(QSlider::TicksBelow);
    lblRate = new QLabel(u"0"_s, GroupBox75);
    lblRate->setObjectName(u"lblRate"_s);
    lblRate->setMinimumWidth(lblRate->fontMetrics().horizontalAdvance(u"-10"_s));
    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(u"-10"_s, GroupBox75));
    rateRow->addWidget(tbRate, 1);
    rateRow->addWidget(new QLabel(u"10"_s, GroupBox75));
    rateRow->addWidget(lblRate);
    auto *voiceForm = new QFormLayout(GroupBox75);
    voiceForm->addRow(labelFor(u"Röst:"_s, cbVoices, GroupBox75), cbVoices);
    voiceForm->addRow(labelFor(u"R&ate:"_s, tbRate, GroupBox75), rateRow);

    GroupBox76 = new QGroupBox(u"Text att säga"_s, page);
    GroupBox76->setObjectName(u"GroupBox76"_s);
    Memo1 = new QPlainTextEdit(GroupBox76);
    Memo1->setObjectName(u"Memo1"_s);
    // Tab moves on to "Test" instead of landing in the text.
    Memo1->setTabChangesFocus(true);
    Memo1->setMaximumHeight(Memo1->fontMetrics().height() * 5);
    Button9 = plainButton(u"Test"_s, GroupBox76);
    Button9->setObjectName(u"Button9"_s);
    auto *sayRow = new QHBoxLayout(GroupBox76);
    sayRow->addWidget(Memo1, 1);
    sayRow->addWidget(Button9, 0, Qt::AlignTop);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(CheckBox54);
    layout->addWidget(GroupBox75);
    layout->addWidget(GroupBox76);
    layout->addStretch(1);

    connect(CheckBox54, &QCheckBox::clicked, this, &TfrmSystreg::CheckBox54Click);
    connect(cbVoices, &QComboBox::activated, this, &TfrmSystreg::cbVoicesChange);
    connect(tbRate, &QSlider::valueChanged, this, &TfrmSystreg::tbRateChange);
    connect(Button9, &QPushButton::clicked, this, &TfrmSystreg::Button9Click);
    return page;
}

QWidget *TfrmSystreg::buildOvrigtTab()
{
    auto *page = new QWidget;
    page->setObjectName(u"tsOvrigtCall"_s);

    auto *modeGroup = new QGroupBox(u"Visningsläge (Kallelseklienten)"_s, page);
    RadioButton3 = new QRadioButton(u"Kontinuerligt tryck på pedalen väljer och kallar"_s, modeGroup);
    RadioButton3->setObjectName(u"RadioButton3"_s);
    auto *continuousPanel = new QWidget(modeGroup);
    SpinEdit1 = spinField(1, 100, continuousPanel);
    SpinEdit1->setObjectName(u"SpinEdit1"_s);
    SpinEdit2 = spinField(1, 10000, continuousPanel);
    SpinEdit2->setObjectName(u"SpinEdit2"_s);
    CheckBox1 = new QCheckBox(u"Emulera fjärrskrivbord (namnsnurran snurrar inte)"_s, continuousPanel);
    CheckBox1->setObjectName(u"CheckBox1"_s);
    CheckBox2 = new QCheckBox(u"Snurra alltid namnsnurran (vid fjärrskrivbordläge)"_s, continuousPanel);
    CheckBox2->setObjectName(u"CheckBox2"_s);
    auto *continuousForm = new QFormLayout(continuousPanel);
    continuousForm->setContentsMargins(24, 0, 0, 0);
    continuousForm->addRow(labelFor(u"Hastighet på namnsnurran (1-100 bilder/sekund):"_s, SpinEdit1, continuousPanel), SpinEdit1);
    continuousForm->addRow(labelFor(u"Tid för val av namn (Antal millisekunder):"_s, SpinEdit2, continuousPanel), SpinEdit2);
    continuousForm->addRow(CheckBox1);
    continuousForm->addRow(CheckBox2);

    RadioButton4 = new QRadioButton(u"Enkelklick på pedalen väljer och kallar"_s, modeGroup);
    RadioButton4->setObjectName(u"RadioButton4"_s);
    auto *clickPanel = new QWidget(modeGroup);
    SpinEdit10 = spinField(1, 10000, clickPanel);
    SpinEdit10->setObjectName(u"SpinEdit10"_s);
    auto *clickForm = new QFormLayout(clickPanel);
    clickForm->setContentsMargins(24, 0, 0, 0);
    clickForm->addRow(labelFor(u"Kalla vald resurs efter (Antal millisekunder)"_s, SpinEdit10, clickPanel), SpinEdit10);

    auto *modeLayout = new QVBoxLayout(modeGroup);
    modeLayout->addWidget(RadioButton3);
    modeLayout->addWidget(continuousPanel);
    modeLayout->addWidget(RadioButton4);
    modeLayout->addWidget(clickPanel);

    cbSayCallingname = new QCheckBox(u"Säg kallelsenamn (Kallelseklienten)"_s, page);
    cbSayCallingname->setObjectName(u"cbSayCallingname"_s);
    cbSayResursname = new QCheckBox(u"Säg aktivt resursnamn"_s, page);
    cbSayResursname->setObjectName(u"cbSayResursname"_s);
    cbSayResursname->setToolTip(u"Säger aktivt resursnamn innan val"_s);
    CheckBox3 = new QCheckBox(u"Uppdatera anslutningern till servern var"_s, page);
    CheckBox3->setObjectName(u"CheckBox3"_s);
    SpinEdit6 = spinField(1, 60, page);
    SpinEdit6->setObjectName(u"SpinEdit6"_s);
    auto *refreshRow = new QHBoxLayout;
    refreshRow->addWidget(CheckBox3);
    refreshRow->addWidget(SpinEdit6);
    refreshRow->addWidget(labelFor(u" minut"_s, SpinEdit6, page));
    refreshRow->addStretch(1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(modeGroup);
    layout->addWidget(cbSayCallingname);
    layout->addWidget(cbSayResursname);
    layout->addLayout(refreshRow);
    layout->addStretch(1);
    return page;
}

void TfrmSystreg::FormCreate()
{
    try {
        ComboBox1->clear();
        ComboBox1->addItems(QStyleFactory::keys());
        const QString inUse = QApplication::style() ? QApplication::style()->name() : QString();
        ComboBox1->setCurrentIndex(ComboBox1->findText(inUse, Qt::MatchFixedString));
    } catch (const std::exception &) {
        // Without a style list the dialog works on; the style is simply not offered.
    }
    FThemeChanged = false;
    FClickedSpara = false;
    edUpdateServername->setReadOnly(true);
    edUpdateServerport->setReadOnly(true);
    edUpdateServerport->setButtonSymbols(QAbstractSpinBox::NoButtons);
}

// --- tabs ---------------------------------------------------------------------------------

bool TfrmSystreg::socketActive() const
{
    return ClientSocket1 && ClientSocket1->state() == QAbstractSocket::ConnectedState;
}

void TfrmSystreg::SetTabs(QWidget *Sender)
{
    {
        // Qt moves the current tab by itself when it hides it; only our own load may follow.
        const QScopedValueRollback<bool> guard(m_inSetTabs, true);
        const bool active = socketActive();
        PageControl1->setTabVisible(PageControl1->indexOf(tsServersettings), true);
        for (QWidget *page : {tsClientSettings, tsVoice, tsOvrigtCall})
            PageControl1->setTabVisible(PageControl1->indexOf(page), active);

        const int wanted = PageControl1->indexOf(Sender);
        if (Sender != PageControl1->currentWidget()) {
            if (wanted >= 0 && PageControl1->isTabVisible(wanted))
                PageControl1->setCurrentIndex(wanted);
            else
                PageControl1->setCurrentWidget(tsServersettings);
        }
        // The current tab may have been hidden above without another taking its place.
        if (!PageControl1->isTabVisible(PageControl1->currentIndex()))
            PageControl1->setCurrentWidget(tsServersettings);
    }
    PageControl1Change();
}

void TfrmSystreg::onCurrentTabChanged()
{
    if (!m_inSetTabs)
        PageControl1Change();
}

void TfrmSystreg::PageControl1Change()
{
    QWidget *page = PageControl1->currentWidget();
    if (page != tsClientSettings)
        forgetResourceLists();
    if (page == tsServersettings)
        loadServerTab();
    else if (page == tsClientSettings)
        loadClientTab();
    else if (page == tsVoice)
        loadVoiceTab();
    else if (page == tsOvrigtCall)
        loadOvrigtTab();
}

void TfrmSystreg::loadServerTab()
{
    edServername->setText(ReadSetting(keys::ServerName));
    edServerport->setValue(readIntSetting(keys::ServerPort, defaults::ServerPort));
    edServerver->setText(ServerVersion);
    // Without a connection the server-held values cannot be read, so these repeat the main
    // server's name and port.
    edUpdateServername->setText(ReadSharedSettingDef(keys::UpdateServerName, edServername->text()));
    edUpdateServerport->setValue(settingToInt(ReadSharedSetting(keys::UpdateServerPort), spinFieldValue(edServerport)));
    const QString *updateVersion = m_updateServerVersion ? m_updateServerVersion() : nullptr;
    edUpdateServerver->setText(updateVersion ? *updateVersion : QString());
}

void TfrmSystreg::loadClientTab()
{
    Edit2->setText(ReadSettingDef(keys::ClientName, defaults::ClientName.toString()));
    const bool automatic = ReadSettingDef(keys::ClientNameUseDefault, defaults::ClientNameUseDefault.toString()) == u"1";
    const auto click = [this] { RadioButton1Click(); };
    if (automatic)
        setCheckedAndRun(RadioButton1, true, click);
    else
        setCheckedAndRun(RadioButton2, true, click);
    Edit2->setEnabled(RadioButton2->isChecked());
    Edit1->setText(GetMachineName() + u'_' + clientTypeSuffix(ClientType));

    Edit3->setText(ClientData.FriendlyName);
    setSwatchColor(ClientData.Color);
    CallableListTarget = ListBox1;
    forgetResourceLists();
    m_stationCallablesAsked = !versionTextBelow(ServerVersion, kStationCallablesVersion);
    const QString clientName = GetClientName();
    sendToServer(msg::getAllCallables(clientName));
    if (m_stationCallablesAsked)
        sendToServer(msg::getStationCallables(clientName));
}

void TfrmSystreg::forgetResourceLists()
{
    m_allCallablesLoaded = false;
    m_stationCallablesLoaded = false;
}

bool TfrmSystreg::resourceListsLoaded() const
{
    return m_allCallablesLoaded && (!m_stationCallablesAsked || m_stationCallablesLoaded);
}

void TfrmSystreg::loadVoiceTab()
{
    setCheckedAndRun(CheckBox54, ReadSetting(keys::UseSAPI5) == u"1", [this] { CheckBox54Click(); });
    GroupBox75->setEnabled(CheckBox54->isChecked());
    GroupBox76->setEnabled(CheckBox54->isChecked());
    copyVoicesFromSpeechForm();
    // A speech form still starting lists its voices when its engine reports back.
    if (frmSAPI51 && frmSAPI51->isStarting())
        connect(frmSAPI51, &TfrmSAPI51::startFinished, this, &TfrmSystreg::copyVoicesFromSpeechForm,
                Qt::SingleShotConnection);
}

void TfrmSystreg::copyVoicesFromSpeechForm()
{
    try {
        // Some 27000 voices: the list is shared, not copied entry by entry.
        m_voiceModel->setStringList(frmSAPI51 ? frmSAPI51->voiceDescriptions() : QStringList());
        if (!frmSAPI51)
            return;
        cbVoices->setCurrentIndex(frmSAPI51->cbVoices->currentIndex());
        tbRate->setValue(frmSAPI51->tbRate->value());
    } catch (const std::exception &) {
        // The voice list stays as far as it got; the speech form is optional.
    }
}

void TfrmSystreg::loadOvrigtTab()
{
    const bool continuous = readIntSetting(keys::SelectMode, defaults::SelectMode) == 1;
    RadioButton3->setChecked(continuous);
    RadioButton4->setChecked(!continuous);
    SpinEdit1->setValue(readIntSetting(keys::FrameRate, defaults::FrameRate));
    SpinEdit2->setValue(readIntSetting(keys::SelectNameTimerIntervall, defaults::SelectNameTimerIntervall));
    CheckBox1->setChecked(readBoolSetting(keys::EmulateTerminalServer, defaults::EmulateTerminalServer));
    CheckBox2->setChecked(!readBoolSetting(keys::TerminalServerEnabled, defaults::TerminalServerEnabled));
    SpinEdit10->setValue(readIntSetting(keys::SelectAuto, defaults::SelectAuto));
    cbSayCallingname->setChecked(readBoolSetting(keys::SayCallingInfo, defaults::SayCallingInfo));
    cbSayResursname->setChecked(readBoolSetting(keys::SayCallingName, defaults::SayCallingName));
    CheckBox3->setChecked(readBoolSetting(keys::RefreshConnection, defaults::RefreshConnection));
    SpinEdit6->setValue(readIntSetting(keys::RefreshConnectionTimer, defaults::RefreshConnectionTimer));
}

// --- saving -------------------------------------------------------------------------------

void TfrmSystreg::btnSaveClick()
{
    FClickedSpara = true;
    QWidget *page = PageControl1->currentWidget();
    if (page == tsServersettings)
        saveServerTab();
    else if (page == tsClientSettings)
        saveClientTab();
    else if (page == tsOvrigtCall)
        saveOvrigtTab();
    // The voice tab writes its settings as they change.
}

void TfrmSystreg::saveServerTab()
{
    if (FThemeChanged) {
        WriteSetting(keys::Style, ComboBox1->currentText());
        ShowFormBalloon(u"Du måste starta om programmet för att temat skall ändras."_s, this);
    }
    WriteSetting(keys::ServerName, edServername->text());
    WriteSetting(keys::ServerPort, QString::number(spinFieldValue(edServerport)));

    // The writes above also travel to the server over the connection about to be closed.
    waitBeforeClosing();

    ServerVersion.clear();
    if (QString *updateVersion = m_updateServerVersion ? m_updateServerVersion() : nullptr)
        updateVersion->clear();
    ReconnectAllowed = false;
    CheckUpdateOnConnect = true;
    if (ClientSocket1)
        ClientSocket1->close();
    SetTabs(tsServersettings);
    if (ReconnectHook)
        ReconnectHook(false);
}

void TfrmSystreg::waitBeforeClosing()
{
    // Socket events and timers go on meanwhile, the user's input waits.
    QEventLoop loop;
    QTimer::singleShot(m_serverSaveWait, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSystreg::saveClientTab()
{
    if (RadioButton1->isChecked()) {
        WriteSetting(keys::ClientNameUseDefault, u"1"_s);
        WriteSetting(keys::ClientName, Edit1->text());
    } else {
        WriteSetting(keys::ClientNameUseDefault, u"0"_s);
        WriteSetting(keys::ClientName, Edit2->text());
    }
    // Lists that were not filled by the server during this visit of the tab would replace the
    // server's choice for this client with whatever they hold, usually nothing.
    if (!resourceListsLoaded()) {
        ShowFormBalloon(u"Resurslistan sparades inte: listorna har inte hämtats från servern. "
                        "Öppna fliken igen och försök på nytt."_s,
                        this);
        return;
    }
    // The name just written is the one the list is filed under.
    sendToServer(msg::postCallablesFromDialog(GetClientName(), ClientType, readList(ListBox2).numbers()));
}

void TfrmSystreg::saveOvrigtTab()
{
    WriteSetting(keys::RefreshConnection, boolToSetting(CheckBox3->isChecked()));
    WriteSetting(keys::RefreshConnectionTimer, QString::number(spinFieldValue(SpinEdit6)));
    WriteSetting(keys::SayCallingInfo, boolToSetting(cbSayCallingname->isChecked()));
    WriteSetting(keys::SayCallingName, boolToSetting(cbSayResursname->isChecked()));
    WriteSetting(keys::FrameRate, QString::number(spinFieldValue(SpinEdit1)));
    WriteSetting(keys::SelectNameTimerIntervall, QString::number(spinFieldValue(SpinEdit2)));
    WriteSetting(keys::EmulateTerminalServer, boolToSetting(CheckBox1->isChecked()));
    WriteSetting(keys::TerminalServerEnabled, boolToSetting(!CheckBox2->isChecked()));
    WriteSetting(keys::SelectAuto, QString::number(spinFieldValue(SpinEdit10)));
    WriteSetting(keys::SelectMode, RadioButton3->isChecked() ? u"1"_s : u"2"_s);
    if (ReloadSettingsHook)
        ReloadSettingsHook();
}

void TfrmSystreg::btnCancelClick()
{
    PageControl1Change();
}

void TfrmSystreg::btnReturnClick()
{
    close();
}

// --- immediate writes ---------------------------------------------------------------------

void TfrmSystreg::ComboBox1Change()
{
    FThemeChanged = true;
}

void TfrmSystreg::RadioButton1Click()
{
    Edit2->setEnabled(RadioButton2->isChecked());
    WriteSetting(keys::ClientNameUseDefault, RadioButton1->isChecked() ? u"1"_s : u"0"_s);
}

void TfrmSystreg::Edit2Change()
{
    WriteSetting(keys::ClientName, Edit2->text());
}

void TfrmSystreg::CheckBox54Click()
{
    if (!CheckBox54->isChecked()) {
        WriteSetting(keys::UseSAPI5, u"0"_s);
        return;
    }
    if (frmSAPI51) {
        WriteSetting(keys::UseSAPI5, u"1"_s);
        return;
    }
    try {
        CreateSpeechForm(parentWidget() ? parentWidget() : this);
    } catch (const std::exception &) {
        WriteSetting(keys::UseSAPI5, u"1"_s);
        return;
    }
    // The engine starts on its own thread; the dialog goes on meanwhile.
    if (frmSAPI51 && frmSAPI51->isStarting()) {
        connect(frmSAPI51, &TfrmSAPI51::startFinished, this, &TfrmSystreg::speechFormStarted,
                Qt::SingleShotConnection);
        return;
    }
    speechFormStarted();
}

void TfrmSystreg::speechFormStarted()
{
    // Unticked again while the engine started: the user's last word stands.
    if (!CheckBox54->isChecked())
        return;
    if (SpeechAvailable) {
        WriteSetting(keys::UseSAPI5, u"1"_s);
        PageControl1Change();
        return;
    }
    // The box goes back to unticked, yet the next start tries the speech engine again.
    CheckBox54->setChecked(false);
    CheckBox54Click();
    WriteSetting(keys::UseSAPI5, u"1"_s);
}

void TfrmSystreg::cbVoicesChange()
{
    const int index = cbVoices->currentIndex();
    if (!frmSAPI51 || index < 0 || index >= frmSAPI51->cbVoices->count())
        return;
    try {
        frmSAPI51->cbVoices->setCurrentIndex(index);
        SelectedVoice = frmSAPI51->cbVoices->itemText(index);
        WriteSetting(keys::VoiceSAPI51, SelectedVoice);
        frmSAPI51->cbVoicesChange();
    } catch (const std::exception &) {
        // Errors of the speech engine never reach the user.
    }
}

void TfrmSystreg::tbRateChange()
{
    const int position = tbRate->value();
    try {
        if (frmSAPI51)
            frmSAPI51->setVoiceRate(position);
    } catch (const std::exception &) {
        // Errors of the speech engine never reach the user.
    }
    lblRate->setText(QString::number(position));
    WriteSetting(keys::SpeedSAPI51, QString::number(position));
}

void TfrmSystreg::Button9Click()
{
    if (!frmSAPI51)
        return;
    try {
        frmSAPI51->say(Memo1->toPlainText(), kSpeakAsync);
    } catch (const std::exception &) {
        // Errors of the speech engine never reach the user.
    }
}

// --- own client and resources -------------------------------------------------------------

ResourceList TfrmSystreg::readList(const QListWidget *list)
{
    ResourceList content;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem *item = list->item(row);
        content.items.append({item->text(), item->data(kItemNumberRole).toInt()});
        content.selected.append(item->isSelected());
    }
    content.focused = list->currentRow();
    return content;
}

void TfrmSystreg::writeList(QListWidget *list, const ResourceList &content)
{
    const QSignalBlocker blocker(list);
    list->clear();
    for (qsizetype row = 0; row < content.items.size(); ++row) {
        auto *item = new QListWidgetItem(content.items[row].text, list);
        item->setData(kItemNumberRole, content.items[row].number);
        item->setSelected(content.isSelected(row));
    }
    list->setCurrentRow(content.focused, QItemSelectionModel::NoUpdate);
    if (QListWidgetItem *focused = list->currentItem())
        list->scrollToItem(focused);
    list->viewport()->update();
}

void TfrmSystreg::BitBtn1Click()
{
    ResourceList all = readList(ListBox1);
    ResourceList chosen = readList(ListBox2);
    moveToChosen(all, chosen);
    writeList(ListBox1, all);
    writeList(ListBox2, chosen);
}

void TfrmSystreg::BitBtn2Click()
{
    ResourceList chosen = readList(ListBox2);
    ResourceList all = readList(ListBox1);
    moveBack(chosen, all);
    writeList(ListBox1, all);
    writeList(ListBox2, chosen);
}

void TfrmSystreg::BitBtn3Click()
{
    ResourceList chosen = readList(ListBox2);
    moveUp(chosen);
    writeList(ListBox2, chosen);
}

void TfrmSystreg::BitBtn4Click()
{
    ResourceList chosen = readList(ListBox2);
    moveDown(chosen);
    writeList(ListBox2, chosen);
}

void TfrmSystreg::setSwatchColor(qint32 color)
{
    m_swatchColor = color;
    QPalette palette = Panel6->palette();
    const QColor shown = swatchQColor(color);
    palette.setColor(QPalette::Window, shown);
    // The caption stays readable on dark and light colours alike.
    palette.setColor(QPalette::WindowText, shown.lightness() < 128 ? Qt::white : Qt::black);
    Panel6->setPalette(palette);
}

void TfrmSystreg::BitBtn5Click()
{
    if (!m_colorChooser)
        return;
    if (const std::optional<QColor> chosen = m_colorChooser(swatchQColor(m_swatchColor), this))
        setSwatchColor(static_cast<qint32>(colorRef(chosen->red(), chosen->green(), chosen->blue())));
}

void TfrmSystreg::BitBtn6Click()
{
    const QString place = Edit3->text();
    if (place.trimmed().isEmpty()) {
        ShowFormBalloon(u"Plats måste fyllas i!"_s, this);
        Edit3->setFocus();
        return;
    }
    sendToServer(msg::registerFromDialog(GetClientName(), ClientType, place, m_swatchColor, ClientData.Lopnr));
    ClientData.FriendlyName = place;
    ClientData.Color = m_swatchColor;
}

void TfrmSystreg::sendToServer(const QString &message)
{
    // A closed connection drops what would have been sent, as the socket would. What is sent
    // is handed over at once: a reconnection right after (closing after "Spara") aborts the
    // socket and would discard anything still waiting in its buffer.
    if (socketActive()) {
        ClientSocket1->write(toCodePage(message));
        ClientSocket1->flush();
    }
}

// --- what the server session asks of the dialog -------------------------------------------

bool TfrmSystreg::isDialogVisible() const
{
    return isVisible();
}

void TfrmSystreg::setPnlPlatsVisible(bool visible)
{
    pnlPlats->setVisible(visible);
    if (visible)
        pnlPlats->raise();
    // Covered lists must not be reachable with the keyboard either.
    gbResources->setEnabled(!visible);
}

void TfrmSystreg::refreshActivePage()
{
    SetTabs(PageControl1->currentWidget());
}

void TfrmSystreg::refreshClientSettings()
{
    SetTabs(tsClientSettings);
}

void TfrmSystreg::openClientSettings()
{
    openOnTab(tsClientSettings);
}

void TfrmSystreg::openServerSettings()
{
    openOnTab(tsServersettings);
}

void TfrmSystreg::openOnTab(QWidget *tab)
{
    SetTabs(tab);
    if (!isVisible())
        exec();
}

void TfrmSystreg::applyStationCallables(const QList<qint32> &numbers)
{
    ResourceList all = readList(ListBox1);
    ResourceList chosen = readList(ListBox2);
    applyStation(all, chosen, numbers);
    writeList(ListBox1, all);
    writeList(ListBox2, chosen);
    // Before the full list it found nothing to move, so it does not count as loaded.
    if (m_allCallablesLoaded && PageControl1->currentWidget() == tsClientSettings)
        m_stationCallablesLoaded = true;
}

void TfrmSystreg::applyAllCallables(const QList<msg::CallableEntry> &entries, bool olderServer,
                                    const QList<qint32> &callListNumbers)
{
    if (!CallableListTarget)
        return;
    ResourceList all;
    ResourceList chosen;
    applyAll(all, chosen, entries, olderServer, callListNumbers);
    writeList(ListBox1, all);
    writeList(ListBox2, chosen);
    if (olderServer)
        CallableListTarget = nullptr;
    // "Valda resurser" was emptied: the station list has to follow again.
    m_allCallablesLoaded = PageControl1->currentWidget() == tsClientSettings;
    m_stationCallablesLoaded = false;
}

// --- showing and closing ------------------------------------------------------------------

void TfrmSystreg::FormClose()
{
    CallableListTarget = nullptr;
    forgetResourceLists();
    if (FClickedSpara && ReconnectHook) {
        // The settings just written travel over this socket too; the reconnection aborts it.
        if (ClientSocket1)
            ClientSocket1->flush();
        ReconnectHook(false);
    }
}

void TfrmSystreg::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfrmSystreg::keyPressEvent(QKeyEvent *event)
{
    // Esc means "Ångra": the tab is loaded again and the dialog stays open.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancelClick();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmSystreg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *where = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(where->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace zelk
