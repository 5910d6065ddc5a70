#include "app/MainUnit.h"

#include "Error.h"
#include "info/AboutUnit.h"
#include "info/MessageUnit.h"
#include "server/Global.h"
#include "server/HttpTransport.h"
#include "server/PasswordCipher.h"
#include "server/TransportUi.h"
#include "server/XMLParser.h"
#include "settings/Captions.h"
#include "settings/IniFile.h"
#include "settings/Localization.h"
#include "skins/BitCheckBox.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/SkinPackage.h"
#include "skins/Skins.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace parlomar {

namespace {

const QColor kLinkColour(0x5D, 0x96, 0xB0);
const QColor kLinkHoverColour(0x7A, 0xB3, 0xCD);
constexpr int kDesignWidth = 368;
constexpr int kDesignHeight = 407;

QPixmap Dot(const QColor& colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return pixmap;
}

QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2E, 0x6F, 0x8E));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("P"));
    return QIcon(pixmap);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

std::uint16_t PortOf(const QString& text) {
    // Decimal; an empty or non-numeric text gives 0, a larger number keeps its low 16 bits.
    std::uint32_t value = 0;
    if (text.isEmpty())
        return 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + static_cast<std::uint32_t>(c.unicode() - '0');
        value &= 0xFFFFFF; // at most five digits arrive; keep the arithmetic bounded anyway
    }
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

TMenuItem* Item(QMenu* menu, const char* name, const char* caption) {
    auto* item = Named(new TMenuItem(QString::fromUtf8(caption), menu), name);
    menu->addAction(item);
    return item;
}

} // namespace

QSize TParlomarClientMainForm::MinimumWindowSize(double dotsPerInch) {
    return QSize(static_cast<int>(std::lround(375 * dotsPerInch / 96.0)),
                 static_cast<int>(std::lround(420 * dotsPerInch / 96.0)));
}

TParlomarClientMainForm::TParlomarClientMainForm(QWidget* parent)
    : TSkinnedForm(QStringLiteral("ParlomarClientMainForm"), parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    CheckBoxImageList = {QPixmap(), QPixmap(), QPixmap()};
    SetCheckBoxImages(&CheckBoxImageList);
    ResetFetchShutdown();

    TitlePicture = Named(new TImage(this), "TitlePicture");
    TitlePicture->hide();
    BuildMenus();
    BuildMenuPanel();
    BuildResultsArea();
    BuildLoginPanel();
    BuildStatusDisplay();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MenuPanel);
    layout->addWidget(SearchPanel);
    auto* area = new QGridLayout();
    area->setContentsMargins(0, 0, 0, 0);
    area->addWidget(ResultsPanel, 0, 0);
    area->addWidget(LoginPanel, 0, 0);
    layout->addLayout(area, 1);
    auto* skinStrip = new QHBoxLayout();
    skinStrip->setContentsMargins(4, 2, 4, 2);
    skinStrip->addWidget(StatusIconImage);
    skinStrip->addWidget(StatusLabel1, 1);
    skinStrip->addWidget(StatusLabel2);
    layout->addWidget(StatusImage);
    StatusImage->setLayout(skinStrip);
    layout->addWidget(StatusBar);

    Timer = new QTimer(this);
    Timer->setInterval(500);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(mapToGlobal(at)); });

    FormCreate();
}

TParlomarClientMainForm::~TParlomarClientMainForm() {
    if (!destroyed_)
        FormDestroy();
    if (CheckBoxImages() == &CheckBoxImageList)
        SetCheckBoxImages(nullptr);
}

void TParlomarClientMainForm::BuildMenus() {
    PopupMenu = Named(new QMenu(this), "PopupMenu");
    Open1 = Item(PopupMenu, "Open1", "Open");
    PopupMenu->setDefaultAction(Open1);
    Alwaysontop1 = Item(PopupMenu, "Alwaysontop1", "Always on top");
    Alwaysontop1->setCheckable(true);
    Settings1 = Item(PopupMenu, "Settings1", "Settings");
    Signout1 = Item(PopupMenu, "Signout1", "Sign out");
    Signout1->setVisible(false);
    About1 = Item(PopupMenu, "About1", "About");
    PopupMenu->addSeparator();
    Exit1 = Item(PopupMenu, "Exit1", "Exit");
    Saveskinattributes1 = Item(PopupMenu, "Saveskinattributes1", "Save skin attributes");
    Saveskinattributes1->setVisible(false);
    Savecaptions1 = Item(PopupMenu, "Savecaptions1", "Save captions");
    Savecaptions1->setVisible(false);

    ServerMenu = Named(new QMenu(this), "ServerMenu");
    Viewserverinformation1 = Item(ServerMenu, "Viewserverinformation1", "View server information");
    Listaccounts1 = Item(ServerMenu, "Listaccounts1", "List accounts");
    Listaccounts1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Createaccounts1 = Item(ServerMenu, "Createaccounts1", "Create account");
    Listpakages1 = Item(ServerMenu, "Listpakages1", "List packages");
    Listpakages1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Createpackage1 = Item(ServerMenu, "Createpackage1", "Create package");
    est1 = Item(ServerMenu, "est1", "Test");
    est1->setVisible(false);

    HelpMenu = Named(new QMenu(this), "HelpMenu");
    About2 = Item(HelpMenu, "About2", "About...");

    connect(Open1, &QAction::triggered, this, &TParlomarClientMainForm::Open1Click);
    connect(Alwaysontop1, &QAction::triggered, this, &TParlomarClientMainForm::Alwaysontop1Click);
    connect(Settings1, &QAction::triggered, this, [this] { OpenSettings(0); });
    connect(Signout1, &QAction::triggered, this, &TParlomarClientMainForm::Signout1Click);
    connect(About1, &QAction::triggered, this, &TParlomarClientMainForm::About1Click);
    connect(About2, &QAction::triggered, this, &TParlomarClientMainForm::About1Click);
    connect(Exit1, &QAction::triggered, this, &TParlomarClientMainForm::Exit1Click);
    connect(Savecaptions1, &QAction::triggered, this, &TParlomarClientMainForm::Savecaptions1Click);
    connect(Listaccounts1, &QAction::triggered, this,
            [this] { StartListFetch(ListAccountsUrl(ServerBaseUrl(), "user", ""), kFetchAccounts); });
    connect(Listpakages1, &QAction::triggered, this,
            [this] { StartListFetch(ListPackagesUrl(ServerBaseUrl()), kFetchPackages); });
    for (TMenuItem* notYet : {Viewserverinformation1, Createaccounts1, Createpackage1})
        connect(notYet, &QAction::triggered, this, [] { ShowMessageText(StatusText(10)); });
}

void TParlomarClientMainForm::BuildMenuPanel() {
    MenuPanel = Named(new TPanel(this), "MenuPanel");
    SetParentColor(MenuPanel, false);
    MenuPanel->setFrameShape(QFrame::NoFrame);
    auto* row = new QHBoxLayout(MenuPanel);
    row->setContentsMargins(8, 3, 4, 3);
    row->setSpacing(6);
    GrayDotImage = Named(new TImage(MenuPanel), "GrayDotImage");
    GrayDotImage->setPixmap(Dot(QColor(0xA0, 0xA0, 0xA0)));
    GreenDotImage = Named(new TImage(MenuPanel), "GreenDotImage");
    GreenDotImage->setPixmap(Dot(QColor(0x2F, 0xB3, 0x44)));
    GreenDotImage->hide();
    ServerLabel = Named(new TLabel(MenuPanel), "ServerLabel", kTagNoCaption);
    SignOutLabel = Named(new TLabel(QStringLiteral("Sign out"), MenuPanel), "SignOutLabel");
    SignOutLabel->hide();
    SignOutLabel->setCursor(Qt::PointingHandCursor);
    SignOutLabel->installEventFilter(this);
    MenuBar = new QWidget(MenuPanel);
    MenuBar->setObjectName(QStringLiteral("MenuBar"));
    auto* buttons = new QHBoxLayout(MenuBar);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    auto toolButton = [this](const char* name, const char* caption) {
        auto* button = Named(new TToolButton(MenuBar), name);
        button->setText(QString::fromUtf8(caption));
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return button;
    };
    ServerButton = toolButton("ServerButton", "Server");
    ServerButton->setMenu(ServerMenu);
    ServerButton->setPopupMode(QToolButton::InstantPopup);
    ServerButton->hide();
    SettingsButton = toolButton("SettingsButton", "Settings");
    connect(SettingsButton, &QToolButton::clicked, Settings1, &QAction::trigger);
    HelpButton = toolButton("HelpButton", "Help");
    HelpButton->setMenu(HelpMenu);
    HelpButton->setPopupMode(QToolButton::InstantPopup);
    buttons->addWidget(ServerButton);
    buttons->addWidget(SettingsButton);
    buttons->addWidget(HelpButton);
    row->addWidget(GrayDotImage);
    row->addWidget(GreenDotImage);
    row->addWidget(ServerLabel);
    row->addWidget(SignOutLabel);
    row->addStretch(1);
    row->addWidget(MenuBar);
    MoveWindowOnPress(MenuPanel);
}

void TParlomarClientMainForm::BuildResultsArea() {
    SearchPanel = Named(new TPanel(this), "SearchPanel");
    auto* searchRow = new QHBoxLayout(SearchPanel);
    searchRow->setContentsMargins(9, 4, 9, 4);
    QueryEdit = Named(new TButtonEdit(SearchPanel), "QueryEdit");
    QueryEdit->setEnabled(false);
    searchRow->addWidget(QueryEdit);
    SearchPanel->hide();
    MoveWindowOnPress(SearchPanel);

    ResultsPanel = Named(new TPanel(this), "ResultsPanel");
    auto* resultsLayout = new QVBoxLayout(ResultsPanel);
    resultsLayout->setContentsMargins(8, 4, 8, 8);
    ResultShape = Named(new TShape(ResultsPanel), "ResultShape");
    resultsLayout->addWidget(ResultShape);
    auto* inner = new QVBoxLayout(ResultShape);
    inner->setContentsMargins(1, 1, 1, 1);
    inner->setSpacing(0);
    TabSet = new QTabBar(ResultShape);
    TabSet->setObjectName(QStringLiteral("TabSet"));
    TabSet->setDrawBase(false);
    TabSet->hide();
    TabsPaintBox = new QWidget(ResultShape);
    TabsPaintBox->setObjectName(QStringLiteral("TabsPaintBox"));
    TabsPaintBox->hide();
    FilterPanel = Named(new TPanel(ResultShape), "FilterPanel");
    auto* filterRow = new QHBoxLayout(FilterPanel);
    GetListButton = Named(new TSkinButton(QStringLiteral("List all"), FilterPanel), "GetListButton");
    AddButton = Named(new TSkinButton(QStringLiteral("Create"), FilterPanel), "AddButton");
    filterRow->addWidget(GetListButton);
    filterRow->addStretch(1);
    filterRow->addWidget(AddButton);
    FilterPanel->hide();
    MessPanel = Named(new TPanel(ResultShape), "MessPanel");
    auto* messLayout = new QVBoxLayout(MessPanel);
    MessLabel = Named(new TLabel(MessPanel), "MessLabel", kTagNoCaption);
    MessLabel->setAlignment(Qt::AlignCenter);
    MessLabel->setWordWrap(true);
    messLayout->addWidget(MessLabel);
    inner->addWidget(TabSet);
    inner->addWidget(TabsPaintBox);
    inner->addWidget(FilterPanel);
    inner->addWidget(MessPanel, 1);
    MoveWindowOnPress(ResultShape);
    MoveWindowOnPress(MessPanel);
}

void TParlomarClientMainForm::BuildLoginPanel() {
    LoginPanel = Named(new TPanel(this), "LoginPanel");
    auto* outer = new QVBoxLayout(LoginPanel);
    outer->setContentsMargins(8, 4, 8, 8);
    LoginShape = Named(new TShape(LoginPanel), "LoginShape", kTagLargeBold);
    outer->addWidget(LoginShape);
    MoveWindowOnPress(LoginShape);

    auto* centre = new QGridLayout(LoginShape);
    centre->setRowStretch(0, 1);
    centre->setRowStretch(2, 2);
    centre->setColumnStretch(0, 1);
    centre->setColumnStretch(2, 1);
    auto* form = new QGridLayout();
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(8);
    centre->addLayout(form, 1, 1);

    auto field = [&](TLabel*& label, const char* labelName, const char* caption, TEdit*& edit,
                     const char* editName, int maxLength, int row) {
        label = Named(new TLabel(QString::fromUtf8(caption), LoginShape), labelName);
        edit = Named(new TEdit(LoginShape), editName);
        edit->setMaxLength(maxLength);
        edit->setMinimumWidth(170);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        form->addWidget(label, row, 0, Qt::AlignRight);
        form->addWidget(edit, row, 1);
    };
    field(IPLabel, "IPLabel", "IP", IPEdit, "IPEdit", 64, 0);
    field(PortLabel, "PortLabel", "Port", PortEdit, "PortEdit", 5, 1);
    field(Label1, "Label1", "Username", LoginEdit, "LoginEdit", 64, 2);
    field(Label2, "Label2", "Password", PswEdit, "PswEdit", 64, 3);
    PswEdit->setEchoMode(QLineEdit::Password);
    RememberCheck =
        Named(new TBitCheckBox(QStringLiteral("remember my password"), LoginShape), "RememberCheck");
    RememberCheck->SetChecked(true);
    form->addWidget(RememberCheck, 4, 1);
    LoginButton = Named(new TSkinButton(QStringLiteral("Sign in"), LoginShape), "LoginButton");
    form->addWidget(LoginButton, 5, 1, Qt::AlignRight);

    connect(IPEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::UpdateSignInValues);
    connect(PortEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::UpdateSignInValues);
    connect(LoginEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::UpdateSignInValues);
    connect(PswEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::UpdateSignInValues);
    connect(LoginButton, &QPushButton::clicked, this, &TParlomarClientMainForm::LoginButtonClick);
}

void TParlomarClientMainForm::BuildStatusDisplay() {
    StatusImage = Named(new TImage(this), "StatusImage");
    StatusIconImage = Named(new TImage(StatusImage), "StatusIconImage");
    StatusIconImage->setFixedSize(16, 16);
    StatusLabel1 = Named(new TLabel(StatusImage), "StatusLabel1", kTagNoCaption);
    StatusLabel2 = Named(new TLabel(StatusImage), "StatusLabel2", kTagNoCaption);
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar);
        StatusPanels[i]->setTextFormat(Qt::PlainText);
        if (i == 0) {
            StatusPanels[i]->setMinimumWidth(120);
            StatusBar->addWidget(StatusPanels[i], 1);
        } else {
            StatusPanels[i]->setFixedWidth(i == 1 ? 90 : 120);
            StatusBar->addPermanentWidget(StatusPanels[i]);
        }
    }
    TrayIcon = new QSystemTrayIcon(windowIcon(), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setContextMenu(PopupMenu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) {
            show(); // TrayIconDblClick
            raise();
            activateWindow();
        }
    });
}

void TParlomarClientMainForm::FormCreate() {
    ChooseSkinAtStart();
    ApplySkin(this, FormName(), &CheckBoxImageList);
    const bool skin = SkinActive();
    StatusBar->setVisible(!skin);
    StatusImage->setVisible(skin);
    SetSkinFrame(QPixmap(), skin);
    TabSet->addTab(Q(StatusText(60)));
    TabSet->addTab(Q(StatusText(61)));
    QFont linkFont = SignOutLabel->font();
    linkFont.setUnderline(true);
    SignOutLabel->setFont(linkFont);
    SetTextColour(SignOutLabel, kLinkColour);

    ComputeVersionText();
    const QScreen* screen = QGuiApplication::primaryScreen();
    setMinimumSize(MinimumWindowSize(screen ? screen->logicalDotsPerInch() : 96.0));
    resize(std::max(kDesignWidth, minimumWidth()), std::max(kDesignHeight, minimumHeight()));

    ResultsPanel->show();
    LoadLanguageGlobals();
    ApplyCaptions(this);
    setWindowTitle(windowTitle() + QString::fromUtf8(kMakerCredit));

    MessPanel->show();
    ShowRequestStatus(6, "");
    ResultsPanel->hide(); // the sign-in panel takes the area while signed out
    LoginPanel->show();

    auto setting = [](const char* key) { return ReadIniValue("USERS", key, kSettingsTarget); };
    auto text = [](const std::string& value) { return value == "0" ? QString() : Q(value); };
    IPEdit->setText(text(setting("IP")));
    PortEdit->setText(text(setting("Port")));
    LoginEdit->setText(text(setting("Login")));
    RememberCheck->SetChecked(IniFlag(setting("SavePSW")));
    bool signInNow = false;
    if (RememberCheck->Checked()) {
        const std::string stored = setting("Psw");
        PswEdit->setText(text(stored));
        SignInValues values = GetSignInValues();
        values.encipheredPassword = stored == "0" ? std::string() : CutChars(stored, 255);
        SetSignInValues(values);
        signInNow = true;
    }

    const bool onTop = IniFlag(ReadIniValue("General", "StayOnTop", kSettingsTarget));
    Alwaysontop1->setChecked(onTop);
    SetStayOnTop(onTop);

    SettingsButton->setText(QStringLiteral("  ") + Settings1->text());
    SignOutLabel->setText(Signout1->text());
    GrayDotImage->setToolTip(Q(StatusText(31)));
    GreenDotImage->setToolTip(Q(StatusText(30)));
    QueryEdit->setToolTip(Q(StatusText(35)));

    if (signInNow) // once the event loop runs, so the window is there to show the progress
        QTimer::singleShot(0, this, [this] {
            if (!signedIn_ && !requestRunning_ && !destroyed_)
                SignIn();
        });
}

void TParlomarClientMainForm::ShowMainWindow() {
    const bool taskbarButton = ReadIniValue("GENERAL", "TaskBar", kSettingsTarget) == "1";
    // Best effort: a tool window has no taskbar button on most desktops.
    setWindowFlag(Qt::Tool, !taskbarButton);
    show();
}

void TParlomarClientMainForm::showEvent(QShowEvent* event) {
    TSkinnedForm::showEvent(event);
    if (!formShown_) {
        formShown_ = true;
        FormShow();
    }
}

void TParlomarClientMainForm::FormShow() {
    TrayIcon->setVisible(IniFlag(ReadIniValue("GENERAL", "ShowTray", kSettingsTarget)) &&
                         QSystemTrayIcon::isSystemTrayAvailable());
    TabSet->setCurrentIndex(0);
    Report("main window shown");
}

bool TParlomarClientMainForm::TrayIconShown() const {
    return TrayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TParlomarClientMainForm::Report(const char* line) const {
    // For scripts and end-to-end tests: state lines on standard output when asked for.
    if (std::getenv("PARLOMAR_REPORT")) {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }
}

// ---- Status display ----

void TParlomarClientMainForm::SetStatusSlot(int slot, const QString& text) {
    StatusPanels[slot]->setText(text);
    StatusPanels[slot]->setToolTip(text);
    if (slot == 0 && StatusLabel1->isVisible())
        StatusLabel1->setText(text);
    if (slot == 2 && StatusLabel2->isVisible())
        StatusLabel2->setText(text);
    if (slot == 0)
        TrayIcon->setToolTip(Q(AppName + VersionText + " ") + text);
}

QString TParlomarClientMainForm::StatusSlot(int slot) const {
    return StatusPanels[slot]->text();
}

void TParlomarClientMainForm::ShowRequestStatus(int n, const std::string& suffix) {
    SetStatusSlot(0, Q(StatusText(n) + " " + suffix));
    SetStatusSlot(1, QString());
    SetStatusSlot(2, QString());
}

void TParlomarClientMainForm::ShowListMessage(int code) {
    if (code == 0)
        return;
    MessLabel->setText(Q(ErrorText(code)));
    MessPanel->show();
    ShowRequestStatus(3, "");
}

void TParlomarClientMainForm::LockListControls() {
    SetTextColour(QueryEdit, palette().color(QPalette::Disabled, QPalette::WindowText));
    for (QWidget* control : std::initializer_list<QWidget*>{ServerButton, SignOutLabel, GetListButton})
        control->setEnabled(false);
    Signout1->setEnabled(false);
}

void TParlomarClientMainForm::UnlockListControls() {
    SetTextColour(QueryEdit, palette().color(QPalette::Active, QPalette::WindowText));
    for (QWidget* control : std::initializer_list<QWidget*>{ServerButton, SignOutLabel, GetListButton})
        control->setEnabled(true);
    Signout1->setEnabled(true);
    FilterPanel->hide();
}

void TParlomarClientMainForm::LayoutResults() {
    // The list grid and its columns come with the list area; the panels follow the layouts.
}

void TParlomarClientMainForm::resizeEvent(QResizeEvent* event) {
    TSkinnedForm::resizeEvent(event);
    LayoutResults();
}

void TParlomarClientMainForm::StartListFetch(const std::string& url, std::uint8_t kind) {
    if (fetch_ || !signedIn_)
        return;
    QPointer<TParlomarClientMainForm> self(this);
    fetch_ =
        std::make_unique<TGetXMLThread>(url, kind, [self](std::uint8_t doneKind, const HttpReply& reply) {
            if (self)
                self->FetchDone(doneKind, reply);
        });
    fetch_->Start();
    LockListControls();
}

void TParlomarClientMainForm::FetchDone(std::uint8_t kind, const HttpReply& reply) {
    fetch_.reset();
    UnlockListControls();
    if (!signedIn_)
        return;
    if (reply.status != kStatusOk) {
        ShowListMessage(reply.status);
        return;
    }
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        ReturnToSignIn();
        return;
    }
    ListMode = kind;
    if (kind == kFetchPackages) {
        PackageListReply = reply.text;
        TabSet->setCurrentIndex(1);
        const std::string names = XmlExtract(PackageListReply, "", "name", kXmlAllValues);
        const auto count = names.empty() ? 0 : std::count(names.begin(), names.end(), '\r') + 1;
        MessLabel->setText(Q(StatusText(40) + " " + std::to_string(count)));
        SetStatusSlot(1, Q(StatusText(40) + " " + std::to_string(count)));
        Report("packages stored");
    } else {
        AccountListReply = reply.text;
        TabSet->setCurrentIndex(0);
        const std::string users = XmlExtract(AccountListReply, "", "user", kXmlAllValues);
        const auto count = users.empty() ? 0 : std::count(users.begin(), users.end(), '\r') + 1;
        MessLabel->setText(Q(StatusText(12) + " " + std::to_string(count)));
        SetStatusSlot(1, Q(StatusText(12) + " " + std::to_string(count)));
        Report("accounts stored");
    }
    MessPanel->show();
}

void TParlomarClientMainForm::OpenSettings(int) {
    ShowMessageText(StatusText(10)); // the settings dialog comes with its own window
}

// ---- Sign-in ----

void TParlomarClientMainForm::UpdateSignInValues() {
    SignInValues values = GetSignInValues();
    values.serverAddress = CutChars(S(IPEdit->text()), 255);
    values.port = PortOf(PortEdit->text());
    values.userName = CutChars(S(LoginEdit->text()), 255);
    if (sender() == PswEdit)
        values.encipheredPassword = CutChars(EncipherPassword(S(PswEdit->text())), 255);
    SetSignInValues(values);
}

bool TParlomarClientMainForm::FilterKey(TEdit* edit, QKeyEvent* event, KeyFilterResult (*filter)(int)) {
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    const int key = text.at(0).unicode();
    // Only typed characters are filtered: keys that produce no character (cursor keys, Delete, Tab,
    // Enter) and the line break characters go their usual way.
    if (key == 9 || key == 10 || key == 13 || key == 27 || key == 127)
        return false;
    const KeyFilterResult result = filter(key);
    if (result.selectAll) {
        edit->selectAll();
        return true;
    }
    if (!result.accept)
        return true; // dropped
    if (result.key != key) {
        edit->insert(QString(QChar(result.key)));
        return true;
    }
    return false;
}

bool TParlomarClientMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SignOutLabel) {
        if (event->type() == QEvent::Enter) {
            if (SignOutLabel->isEnabled())
                SetTextColour(SignOutLabel, kLinkHoverColour);
            SignOutLabel->setCursor(SignOutLabel->isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        } else if (event->type() == QEvent::Leave) {
            if (SignOutLabel->isEnabled())
                SetTextColour(SignOutLabel, kLinkColour);
        } else if (event->type() == QEvent::MouseButtonRelease && SignOutLabel->isEnabled()) {
            Signout1Click();
            return true;
        }
    }
    auto* edit = qobject_cast<TEdit*>(watched);
    if (event->type() == QEvent::KeyPress && edit &&
        (edit == IPEdit || edit == PortEdit || edit == LoginEdit || edit == PswEdit)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) { // IPEditKeyDown
            LoginButtonClick();
            return true;
        }
        if (edit == IPEdit)
            return FilterKey(edit, key, IPEditKeyPress);
        if (edit == PortEdit)
            return FilterKey(edit, key, PortEditKeyPress);
        return FilterKey(edit, key, LoginEditKeyPress);
    }
    return TSkinnedForm::eventFilter(watched, event);
}

void TParlomarClientMainForm::LoginButtonClick() {
    if (requestRunning_ || signedIn_)
        return;
    try {
        const std::string section = "USERS";
        WriteIniValue(section, "login", S(LoginEdit->text()), kSettingsTarget);
        if (RememberCheck->Checked()) {
            WriteIniValue(section, "Psw", GetSignInValues().encipheredPassword, kSettingsTarget);
            WriteIniValue(section, "IP", S(IPEdit->text()), kSettingsTarget);
            WriteIniValue(section, "Port", std::to_string(PortOf(PortEdit->text())), kSettingsTarget);
        } else {
            WriteIniValue(section, "Psw", "", kSettingsTarget);
        }
        WriteIniBool(section, "SavePsw", RememberCheck->Checked(), kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
        return;
    }
    SignIn();
}

void TParlomarClientMainForm::SignIn() {
    if (requestRunning_ || signedIn_)
        return;
    QPointer<TParlomarClientMainForm> self(this);
    requestRunning_ = true;
    LoginButton->setEnabled(false);
    const HttpReply reply = HttpGet(VersionUrl(ServerBaseUrl()));
    if (!self || destroyed_)
        return; // the window went away while the request ran
    requestRunning_ = false;
    LoginButton->setEnabled(true);
    if (reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status));
        if (!self || destroyed_)
            return;
        ShowRequestStatus(3, "");
        LoginPanel->setFocus();
        return;
    }
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        ReturnToSignIn();
        return;
    }
    signedIn_ = true;
    setWindowTitle(Q(AppName + " - " + ProgramVersion()) + QString::fromUtf8(kMakerCredit));
    ServerLabel->setText(IPEdit->text());
    ResetResultsView();
    if (SkinActive())
        TabsPaintBox->show();
    else
        TabSet->show();
    LoginPanel->hide();
    ResultsPanel->show();
    Signout1->setVisible(true);
    SignOutLabel->show();
    GreenDotImage->show();
    GrayDotImage->hide();
    SearchPanel->show();
    QueryEdit->setEnabled(true);
    AddButton->setText(Q(StatusText(15)));
    ServerButton->show();
    ShowRequestStatus(5, "");
    Report("signed in");
    StartListFetch(ListPackagesUrl(ServerBaseUrl()), kFetchPackages);
}

void TParlomarClientMainForm::SignOut() {
    const bool wasSignedIn = signedIn_;
    signedIn_ = false;
    if (fetch_) { // a list that arrives after the sign-out is not shown
        fetch_->Discard();
        fetch_.reset();
        UnlockListControls();
    }
    ServerButton->hide();
    ResultsPanel->hide();
    LoginPanel->show();
    LoginPanel->setFocus();
    GrayDotImage->show();
    GreenDotImage->hide();
    Signout1->setVisible(false);
    SignOutLabel->hide();
    QueryEdit->setEnabled(false);
    SearchPanel->hide();
    TabsPaintBox->hide();
    TabSet->hide();
    if (wasSignedIn) {
        QPointer<TParlomarClientMainForm> self(this);
        HttpGet(ServerBaseUrl() + "/?logout"); // reply and status do not matter
        if (!self)
            return;
    }
    CloseConnection();
    ServerLabel->clear();
}

void TParlomarClientMainForm::ReturnToSignIn() {
    SignOut();
    ShowRequestStatus(11, "");
    LoginPanel->show();
}

void TParlomarClientMainForm::ResetResultsView() {
    FilterPanel->hide();
    ShowRequestStatus(4, "");
    MessLabel->setText(Q(ErrorText(12)));
    MessPanel->show();
    if (ListMode == kFetchAccounts)
        AccountListReply.clear();
    else if (ListMode == kFetchPackages)
        PackageListReply.clear();
}

void TParlomarClientMainForm::Signout1Click() {
    if (!signedIn_)
        return;
    SignOut();
    ResetResultsView();
    ShowRequestStatus(6, "");
}

// ---- Window-level commands ----

void TParlomarClientMainForm::Open1Click() {
    if (signedIn_)
        ResultsPanel->show();
    show();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    raise();
    activateWindow();
}

void TParlomarClientMainForm::Alwaysontop1Click() {
    const bool onTop = Alwaysontop1->isChecked();
    SetStayOnTop(onTop);
    try {
        WriteIniBool("General", "StayOnTop", onTop, kSettingsTarget);
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

void TParlomarClientMainForm::About1Click() {
    QPointer<TAboutForm> about = new TAboutForm(this);
    about->SetStayOnTop(Alwaysontop1->isChecked());
    about->ShowModal();
    delete about.data();
}

void TParlomarClientMainForm::Exit1Click() {
    exitRequested_ = true;
    close();
}

void TParlomarClientMainForm::Savecaptions1Click() {
    try {
        SaveLanguageGlobals();
        SaveCaptions(this);
        auto about = std::make_unique<TAboutForm>(this);
        SaveCaptions(about.get());
        auto message = std::make_unique<TMessageForm>(this);
        SaveCaptions(message.get());
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

bool TParlomarClientMainForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
        exitRequested_ = true;
        close();
        return true;
    }
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_L || event->key() == Qt::Key_P)) {
        if (ServerButton->isVisible() && ServerButton->isEnabled())
            (event->key() == Qt::Key_L ? Listaccounts1 : Listpakages1)->trigger();
        return true;
    }
    return false;
}

void TParlomarClientMainForm::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: with the tray icon shown, closing only hides the window.
    if (!exitRequested_ && TrayIconShown()) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    if (!destroyed_)
        FormDestroy();
    QCoreApplication::quit();
}

void TParlomarClientMainForm::FormDestroy() {
    destroyed_ = true;
    if (auto ui = CurrentTransportUi(); ui && !ui->IsGuiThread())
        return;
    if (fetch_) {
        TrayIcon->hide();
        hide();
        fetch_->StopAtShutdown(std::chrono::milliseconds(10000));
        fetch_.reset();
    }
    if (requestRunning_)
        AbortFlag = 1; // a sign-in still waiting ends after its current piece
    QPointer<TParlomarClientMainForm> self(this);
    SignOut();
    if (!self)
        return;
    CloseConnection();
    DeleteSkinIniCopy();
    TrayIcon->hide();
}

} // namespace parlomar
