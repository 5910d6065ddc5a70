#include "gui/app/MainUnit.h"
#include "gui/app/ListController.h"
#include "gui/app/MainUnitPrivate.h"
#include "gui/app/SessionController.h"
#include "gui/app/TraceController.h"

#include "core/Error.h"
#include "core/accounts/PackageList.h"
#include "core/server/ApiRequests.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/TransportUi.h"
#include "core/server/XMLParser.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"
#include "core/skins/SkinPackage.h"
#include "gui/accounts/AddUnit.h"
#include "gui/accounts/FilterPaintBox.h"
#include "gui/accounts/InputUnit.h"
#include "gui/accounts/SummaryUnit.h"
#include "gui/app/WindowOpeners.h"
#include "gui/info/AboutUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/Captions.h"
#include "gui/settings/CustUnit.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/Skins.h"
#include "gui/tools/TracertUnit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
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
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace parlomar {

namespace {

constexpr int kDesignWidth = 368;
constexpr int kDesignHeight = 407;

QPixmap Dot(const QColor& colour) {
    QPixmap pixmap = PlainCanvas(14, 14);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return pixmap;
}

// The main window is a window to assistive technology (its base class would make it a dialog).
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("parlomar::TParlomarClientMainForm") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

// The program's icon, rendered at build time from its one drawing (data/icons) in several sizes.
QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

TMenuItem* Item(QMenu* menu, const char* name, const char* caption) {
    auto* item = Named(new TMenuItem(QString::fromUtf8(caption), menu), name);
    menu->addAction(item);
    return item;
}

QSize TParlomarClientMainForm::MinimumWindowSize(double dotsPerInch) {
    return QSize(static_cast<int>(std::lround(375 * dotsPerInch / 96.0)),
                 static_cast<int>(std::lround(420 * dotsPerInch / 96.0)));
}

TParlomarClientMainForm::TParlomarClientMainForm(QWidget* parent)
    : TSkinnedForm(QStringLiteral("ParlomarClientMainForm"), parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    static const bool accessible = [] {
        QAccessible::installFactory(&MainWindowAccessible);
        return true;
    }();
    (void)accessible;
    ResetFetchShutdown();

    BuildSkinComponents();
    BuildMenus();
    BuildMenuPanel();
    BuildResultsArea();
    BuildAccountKeys();
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

    sessions_ = new TSessionController(this);
    connect(sessions_, &TSessionController::Answered, this, &TParlomarClientMainForm::SignInDone);
    lists_ = new TListController(this);
    connect(lists_, &TListController::Arrived, this, &TParlomarClientMainForm::FetchDone);
    trace_ = new TTraceController(this);
    Timer = trace_->Timer();
    connect(trace_, &TTraceController::OutputCollected, this, &TParlomarClientMainForm::TraceCollected);
    connect(trace_, &TTraceController::Ended, this, &TParlomarClientMainForm::TraceEnded);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(mapToGlobal(at)); });

    FormCreate();
}

TParlomarClientMainForm::~TParlomarClientMainForm() {
    for (auto& [generation, build] : builds_)
        build.join();
    builds_.clear();
    if (!destroyed_)
        FormDestroy();
    if (disposer_.joinable()) // the sign-out of FormDestroy may have handed it the last grid
        disposer_.join();
    if (CheckBoxImages() == &CheckBoxImageList->Images)
        SetCheckBoxImages(nullptr);
    if (SharedImageList() == &ImageList->Images)
        SetSharedPictures(nullptr, nullptr);
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
    ServerMenu->addSeparator();
    Activitylog1 = Item(ServerMenu, "Activitylog1", "Activity log...");
    Findall1 = Item(ServerMenu, "Findall1", "Find on every server...");
    Findall1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    addAction(Findall1); // signed in or not
    est1 = Item(ServerMenu, "est1", "Test");
    est1->setVisible(false);
    // Signing out and leaving have their place in the server menu too, with short cuts that work
    // wherever the focus is in the window (an item the menu hides takes no key).
    ServerMenu->addSeparator();
    ServerMenu->addAction(Signout1);
    ServerMenu->addAction(Exit1);
    Signout1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    addAction(Signout1);
    addAction(Exit1);

    HelpMenu = Named(new QMenu(this), "HelpMenu");
    About2 = Item(HelpMenu, "About2", "About...");

    connect(Open1, &QAction::triggered, this, &TParlomarClientMainForm::Open1Click);
    connect(Alwaysontop1, &QAction::triggered, this, &TParlomarClientMainForm::Alwaysontop1Click);
    connect(Settings1, &QAction::triggered, this, &TParlomarClientMainForm::Settings1Click);
    connect(Signout1, &QAction::triggered, this, &TParlomarClientMainForm::Signout1Click);
    connect(About1, &QAction::triggered, this, &TParlomarClientMainForm::About1Click);
    connect(About2, &QAction::triggered, this, &TParlomarClientMainForm::About1Click);
    connect(Exit1, &QAction::triggered, this, &TParlomarClientMainForm::Exit1Click);
    connect(Savecaptions1, &QAction::triggered, this, &TParlomarClientMainForm::Savecaptions1Click);
    connect(Saveskinattributes1, &QAction::triggered, this,
            &TParlomarClientMainForm::Saveskinattributes1Click);
    connect(Listaccounts1, &QAction::triggered, this, &TParlomarClientMainForm::Listaccounts1Click);
    connect(Listpakages1, &QAction::triggered, this, &TParlomarClientMainForm::Listpakages1Click);
    connect(Viewserverinformation1, &QAction::triggered, this,
            &TParlomarClientMainForm::Viewserverinformation1Click);
    connect(Createaccounts1, &QAction::triggered, this, &TParlomarClientMainForm::Createaccounts1Click);
    connect(Createpackage1, &QAction::triggered, this, &TParlomarClientMainForm::Createpackage1Click);
    connect(Activitylog1, &QAction::triggered, this, &TParlomarClientMainForm::Activitylog1Click);
    connect(Findall1, &QAction::triggered, this, &TParlomarClientMainForm::Findall1Click);
    connect(est1, &QAction::triggered, this, &TParlomarClientMainForm::est1Click);
    BuildListMenus();
    // Every item of a menu has an access key, given when it opens (captions change with the
    // language file and the row), and the window's font.
    for (QMenu* menu : {PopupMenu, ServerMenu, HelpMenu, ListPopupMenu, PackageMenu})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            menu->setFont(font()); // the window's font (a skin's too), not the desktop's
            QList<QObject*> items;
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    items.append(action);
            GiveMnemonics(items);
        });
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

void TParlomarClientMainForm::BuildStatusDisplay() {
    StatusImage = Named(new TImage(this), "StatusImage");
    StatusIconImage = Named(new TImage(StatusImage), "StatusIconImage");
    StatusIconImage->setFixedSize(16, 16);
    StatusLabel1 = Named(new TLabel(StatusImage), "StatusLabel1", kTagNoCaption);
    StatusLabel2 = Named(new TLabel(StatusImage), "StatusLabel2", kTagNoCaption);
    StatusLabel1->SetElideToFit(true);
    StatusLabel2->SetElideToFit(true);
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        // A text longer than its slot (a long domain) is elided; the slot's hint holds it whole.
        StatusPanels[i] = new TLabel(StatusBar);
        SetTag(StatusPanels[i], kTagNoCaption);
        StatusPanels[i]->SetElideToFit(true);
        if (i == 0) {
            // The general status is shown in full: a text wider than its room takes a second line.
            StatusPanels[i]->setMinimumWidth(120);
            StatusPanels[i]->setWordWrap(true);
            StatusBar->addWidget(StatusPanels[i], 1);
        } else {
            StatusPanels[i]->setFixedWidth(i == 1 ? 90 : 120);
            StatusBar->addPermanentWidget(StatusPanels[i]);
        }
    }
    ReadOnlyLabel = Named(new TLabel(QStringLiteral("read-only"), StatusBar), "ReadOnlyLabel");
    ReadOnlyLabel->setToolTip(QStringLiteral("Changes are switched off for this server"));
    SetTextColour(ReadOnlyLabel, QColor(0xB0, 0x30, 0x30));
    ReadOnlyLabel->hide();
    StatusBar->insertPermanentWidget(1, ReadOnlyLabel);
    StopButton = Named(new TToolButton(StatusBar), "StopButton");
    StopButton->setText(QStringLiteral("Stop"));
    StopButton->setToolTip(QStringLiteral("Stop the list being fetched (Esc)"));
    StopButton->setAutoRaise(true);
    StopButton->hide();
    StatusBar->insertPermanentWidget(1, StopButton);
    connect(StopButton, &QToolButton::clicked, this, &TParlomarClientMainForm::StopListFetches);
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
    std::string refusedSkin;
    const SkinPackageState skinState = ChooseSkinAtStart(&refusedSkin);
    TabSet->addTab(ImageList->Image(4), Q(StatusText(60)));
    TabSet->addTab(ImageList->Image(5), Q(StatusText(61)));
    AccList->SetSkinedScroller(true); // the picture scroll bar of a skin, before the skin sets its width
    ApplySkin(this, FormName(), &CheckBoxImageList->Images);
    RefreshSkinLayout();
    TabsPaintBox->SetTexts({Q(StatusText(60)), Q(StatusText(61))});
    FilterPaintBox->SetItems({Q(StatusText(64)), Q(StatusText(65)), Q(StatusText(66))});
    connect(TabSet, &QTabBar::currentChanged, this, &TParlomarClientMainForm::TabSetChange);
    LinkOpener = [](const QString& address) { QDesktopServices::openUrl(QUrl(address)); };
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
    // The skin named in the settings could not be used: the status says why.
    if (const int refusal = SkinRefusalStatusText(skinState))
        ShowRequestStatus(refusal, refusedSkin);
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
        signInValues_.encipheredPassword = stored == "0" ? std::string() : CutChars(stored, 255);
        signInNow = true;
    }

    const bool onTop = IniFlag(ReadIniValue("General", "StayOnTop", kSettingsTarget));
    Alwaysontop1->setChecked(onTop);
    SetStayOnTop(onTop);

    SettingsButton->setText(QStringLiteral("  ") + Settings1->text());
    GiveMnemonics({ServerButton, SettingsButton, HelpButton}); // Alt+S opens the server menu ...
    SignOutLabel->setText(Signout1->text());
    GrayDotImage->setToolTip(Q(StatusText(31)));
    GreenDotImage->setToolTip(Q(StatusText(30)));
    QueryEdit->setToolTip(Q(StatusText(35)));
    NameControls();

    if (signInNow) // once the event loop runs, so the window is there to show the progress
        QTimer::singleShot(0, this, [this] {
            if (!SignedIn() && !RequestRunning() && !destroyed_)
                SignIn();
        });
}

void TParlomarClientMainForm::NameControls() {
    // Names for assistive technology where a control shows no text of its own (or one with padding).
    auto named = [](QWidget* control, const QString& name, const QString& fallback) {
        control->setAccessibleName(name.trimmed().isEmpty() ? fallback : name.trimmed());
    };
    named(GrayDotImage, GrayDotImage->toolTip(), QStringLiteral("Not connected"));
    named(GreenDotImage, GreenDotImage->toolTip(), QStringLiteral("Connected"));
    named(QueryEdit, QueryEdit->toolTip(), QStringLiteral("Search"));
    named(SettingsButton, CaptionOf(Settings1), QStringLiteral("Settings"));
    named(SignOutLabel, CaptionOf(Signout1), QStringLiteral("Sign out"));
    named(FilterPaintBox, QStringLiteral("Show accounts"), {});
    named(TabSet, QStringLiteral("Lists"), {});
    named(TabsPaintBox, QStringLiteral("Lists"), {});
    named(StatusBar, QStringLiteral("Status"), {});
    named(StatusImage, QStringLiteral("Status"), {});
    ServersAction->setToolTip(ServersAction->text());
}

void TParlomarClientMainForm::ShowMainWindow() {
    const bool taskbarButton = ReadIniValue("GENERAL", "TaskBar", kSettingsTarget) == "1";
    // Best effort: a tool window has no taskbar button on most desktops.
    setWindowFlag(Qt::Tool, !taskbarButton);
    show();
}

void TParlomarClientMainForm::BringToFront() {
    if (exitRequested_ || destroyed_)
        return;
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    Report("brought to front");
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
    const QSignalBlocker quiet(TabSet);
    TabSet->setCurrentIndex(0);
    if (!SignedIn())
        FocusSignInField(); // the address when it is empty, the password when only it is missing
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
    if (slot > 0) // an empty slot leaves its room to the general status
        StatusPanels[slot]->setVisible(!text.isEmpty());
    StatusPanels[slot]->setToolTip(TSkinedStringGrid::PlainHint(text)); // may hold a server's domain
    if (slot == 0 && StatusLabel1->isVisibleTo(this))
        StatusLabel1->setText(text);
    if (slot == 2 && StatusLabel2->isVisibleTo(this))
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

void TParlomarClientMainForm::OpenSettings(int page) {
    OpenSettingsDialog(this, page);
}

void TParlomarClientMainForm::Settings1Click() {
    OpenSettings(0);
}

void TParlomarClientMainForm::SignOutLabelMouseEnter() {
    if (SignOutLabel->isEnabled())
        SetTextColour(SignOutLabel, kLinkHoverColour);
    SignOutLabel->setCursor(SignOutLabel->isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TParlomarClientMainForm::SignOutLabelMouseLeave() {
    if (SignOutLabel->isEnabled())
        SetTextColour(SignOutLabel, kLinkColour);
}

void TParlomarClientMainForm::SignOutLabelClick() {
    Signout1Click();
}

bool TParlomarClientMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SignOutLabel) {
        if (event->type() == QEvent::Enter) {
            SignOutLabelMouseEnter();
        } else if (event->type() == QEvent::Leave) {
            SignOutLabelMouseLeave();
        } else if (event->type() == QEvent::MouseButtonRelease && SignOutLabel->isEnabled()) {
            SignOutLabelClick();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && (watched == QueryEdit || watched == AccList)) {
        if (ListKeyDown(watched, static_cast<QKeyEvent*>(event)))
            return true;
    }
    auto* edit = qobject_cast<TEdit*>(watched);
    if (event->type() == QEvent::KeyPress && edit &&
        (edit == IPEdit || edit == PortEdit || edit == LoginEdit || edit == PswEdit)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) { // IPEditKeyDown
            LoginButtonClick();
            return true;
        }
        if (edit == IPEdit && key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier) {
            ShowSavedServers();
            return true;
        }
        return FilterSignInKey(edit, key);
    }
    return TSkinnedForm::eventFilter(watched, event);
}

// ---- Window-level commands ----

void TParlomarClientMainForm::Open1Click() {
    if (SignedIn())
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
        auto settings = std::make_unique<TCustForm>(this);
        SaveCaptions(settings.get());
        auto input = std::make_unique<TInputForm>(this);
        SaveCaptions(input.get());
        auto tracert = std::make_unique<TTracertForm>(this, &ImageList->Images);
        SaveCaptions(tracert.get());
        auto editor = std::make_unique<TAddForm>(this);
        SaveCaptions(editor.get());
        auto message = std::make_unique<TMessageForm>(this);
        SaveCaptions(message.get());
        auto details = std::make_unique<TSummaryForm>(this);
        SaveCaptions(details.get());
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

bool TParlomarClientMainForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && FetchRunning()) {
        StopListFetches();
        return true;
    }
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
    // The window goes at once; what follows runs without it.
    TrayIcon->hide();
    hide();
    // Every fetch thread ends, those replaced or discarded earlier too (up to 10 s, then until each
    // has ended), before the program's globals go away.
    StopAllFetches(std::chrono::milliseconds(10000));
    lists_->StopAll();
    StopTraceAndWindow();
    QPointer<TParlomarClientMainForm> self(this);
    SignOut(); // also ends a sign-in still waiting for its reply
    if (!self)
        return;
    // The sign-out request has at most 2 s; a little more covers its thread's own end.
    WaitForFetchThreads(std::chrono::milliseconds(2500));
    DeleteSkinIniCopy();
    TrayIcon->hide();
}

bool TParlomarClientMainForm::SignedIn() const {
    return sessions_->SignedIn();
}

bool TParlomarClientMainForm::RequestRunning() const {
    return sessions_->SigningIn();
}

bool TParlomarClientMainForm::ReadOnly() const {
    return sessions_->ReadOnly();
}

SessionPtr TParlomarClientMainForm::Session() const {
    return sessions_->ForWindows();
}

void TParlomarClientMainForm::SetWindowsSession(SessionPtr session) {
    sessions_->SetWindowsSession(std::move(session));
}

} // namespace parlomar
