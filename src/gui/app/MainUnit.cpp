#include "app/MainUnit.h"

#include "Error.h"
#include "accounts/AddUnit.h"
#include "accounts/FilterPaintBox.h"
#include "accounts/InputUnit.h"
#include "accounts/PackageList.h"
#include "accounts/SummaryUnit.h"
#include "app/WindowOpeners.h"
#include "info/AboutUnit.h"
#include "info/MessageUnit.h"
#include "server/ApiRequests.h"
#include "server/Global.h"
#include "server/HttpTransport.h"
#include "server/PasswordCipher.h"
#include "server/TransportUi.h"
#include "server/XMLParser.h"
#include "settings/Captions.h"
#include "settings/CustUnit.h"
#include "settings/IniFile.h"
#include "settings/Localization.h"
#include "skins/BitCheckBox.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/SkinPackage.h"
#include "skins/SkinedStringGrid.h"
#include "skins/Skins.h"

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

// The shared icons of the plain look (a skin replaces them): 0 descending and 1 ascending sort
// arrows, 2 and 3 tray icons, 4 accounts tab, 5 packages tab, 6 current row and 7 other rows, 8 to 12
// unused, 13 generate password, 14 copy password, 15 control panel.
// The search box's button picture of the plain look: a magnifier.
QPixmap SearchButtonPicture(const QColor& colour) {
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawEllipse(QRectF(4, 4, 10, 10));
    painter.drawLine(QPointF(13, 13), QPointF(18, 18));
    return pixmap;
}

QList<QPixmap> PlainImageList() {
    QList<QPixmap> images;
    auto blank = [](int w, int h) {
        QPixmap pixmap(w, h);
        pixmap.fill(Qt::transparent);
        return pixmap;
    };
    auto arrow = [&](bool up) {
        QPixmap pixmap = blank(9, 6);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x55, 0x66, 0x77));
        const QPolygonF down{QPointF(0, 0.5), QPointF(9, 0.5), QPointF(4.5, 5.5)};
        const QPolygonF upward{QPointF(0, 5.5), QPointF(9, 5.5), QPointF(4.5, 0.5)};
        painter.drawPolygon(up ? upward : down);
        return pixmap;
    };
    auto rowIcon = [&](const QColor& colour) {
        QPixmap pixmap = blank(16, 14);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(3, 2.5, 10, 9), 2, 2);
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygonF{QPointF(5.5, 5), QPointF(10.5, 5), QPointF(8, 8.5)});
        return pixmap;
    };
    auto glyph = [&](const QColor& colour, const QString& text) {
        QPixmap pixmap = blank(16, 16);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(9);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
        return pixmap;
    };
    images << arrow(false) << arrow(true) << glyph(QColor(0x2E, 0x6F, 0x8E), QStringLiteral("P"))
           << glyph(QColor(0x2E, 0x6F, 0x8E), QStringLiteral("P"))
           << glyph(QColor(0x5D, 0x96, 0xB0), QStringLiteral("A"))
           << glyph(QColor(0x8E, 0x7A, 0x2E), QStringLiteral("K")) << rowIcon(QColor(0x5D, 0x96, 0xB0))
           << rowIcon(QColor(0xB8, 0xC2, 0xCC));
    while (images.size() < 13)
        images << blank(16, 16);
    images << glyph(QColor(0x2F, 0xB3, 0x44), QStringLiteral("*"))
           << glyph(QColor(0x5D, 0x96, 0xB0), QStringLiteral("C"))
           << glyph(QColor(0xE0, 0x7B, 0x24), QStringLiteral("CP"));
    return images;
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
    for (auto& [generation, build] : builds_)
        build.join();
    builds_.clear();
    if (disposer_.joinable())
        disposer_.join();
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
    connect(Listaccounts1, &QAction::triggered, this, &TParlomarClientMainForm::Listaccounts1Click);
    connect(Listpakages1, &QAction::triggered, this, &TParlomarClientMainForm::Listpakages1Click);
    connect(Viewserverinformation1, &QAction::triggered, this,
            &TParlomarClientMainForm::Viewserverinformation1Click);
    connect(Createaccounts1, &QAction::triggered, this, &TParlomarClientMainForm::Createaccounts1Click);
    connect(Createpackage1, &QAction::triggered, this, &TParlomarClientMainForm::Createpackage1Click);
    BuildListMenus();
}

void TParlomarClientMainForm::BuildListMenus() {
    ListPopupMenu = Named(new QMenu(this), "ListPopupMenu");
    CopyToClipboard1 = Item(ListPopupMenu, "CopyToClipboard1", "Copy to clipboard");
    CopyToClipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Suspend1 = Item(ListPopupMenu, "Suspend1", "Suspend");
    Suspend1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    LimitBandWidth1 = Item(ListPopupMenu, "LimitBandWidth1", "Limit bandwidth");
    Changepassword1 = Item(ListPopupMenu, "Changepassword1", "Change password");
    Viewsummary1 = Item(ListPopupMenu, "Viewsummary1", "View details");
    ListPopupMenu->addSeparator();
    Deleteaccount1 = Item(ListPopupMenu, "Deleteaccount1", "Delete account");
    DetectIP1 = Item(ListPopupMenu, "DetectIP1", "Detect IP");
    Viewwhoisinfo1 = Item(ListPopupMenu, "Viewwhoisinfo1", "View whois info");
    Traceroute1 = Item(ListPopupMenu, "Traceroute1", "Traceroute...");
    for (TMenuItem* hidden : {DetectIP1, Viewwhoisinfo1, Traceroute1})
        hidden->setVisible(false);
    // The short cuts are handled by the window's key preview while the grid has the focus.
    for (TMenuItem* item : {CopyToClipboard1, Suspend1})
        item->setShortcutContext(Qt::WidgetShortcut);

    PackageMenu = Named(new QMenu(this), "PackageMenu");
    Copytoclipboard2 = Item(PackageMenu, "Copytoclipboard2", "Copy to clipboard");
    Copytoclipboard2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    Copytoclipboard2->setShortcutContext(Qt::WidgetShortcut);
    Edit1 = Item(PackageMenu, "Edit1", "Edit...");
    Delete1 = Item(PackageMenu, "Delete1", "Delete...");

    connect(CopyToClipboard1, &QAction::triggered, this, &TParlomarClientMainForm::CopyToClipboard1Click);
    connect(Suspend1, &QAction::triggered, this, &TParlomarClientMainForm::Suspend1Click);
    connect(LimitBandWidth1, &QAction::triggered, this, &TParlomarClientMainForm::LimitBandWidth1Click);
    connect(Changepassword1, &QAction::triggered, this, &TParlomarClientMainForm::Changepassword1Click);
    connect(Viewsummary1, &QAction::triggered, this, &TParlomarClientMainForm::Viewsummary1Click);
    connect(Deleteaccount1, &QAction::triggered, this, &TParlomarClientMainForm::Deleteaccount1Click);
    connect(Copytoclipboard2, &QAction::triggered, this, &TParlomarClientMainForm::Copytoclipboard2Click);
    connect(Edit1, &QAction::triggered, this, &TParlomarClientMainForm::Edit1Click);
    connect(Delete1, &QAction::triggered, this, &TParlomarClientMainForm::Delete1Click);
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
    ImageList = PlainImageList();
    SearchPanel = Named(new TPanel(this), "SearchPanel");
    auto* searchRow = new QHBoxLayout(SearchPanel);
    searchRow->setContentsMargins(9, 4, 9, 4);
    QueryEdit = Named(new TButtonEdit(SearchPanel), "QueryEdit");
    QueryEdit->setEnabled(false);
    QueryEdit->setMaxLength(30);
    QFont queryFont(QStringLiteral("Arial"));
    queryFont.setPixelSize(17);
    QueryEdit->setFont(queryFont);
    QueryEdit->ButtonNormal = SearchButtonPicture(QColor(0x7F, 0x9D, 0xB9));
    QueryEdit->ButtonOver = SearchButtonPicture(QColor(0x5D, 0x96, 0xB0));
    QueryEdit->ButtonPushed = SearchButtonPicture(QColor(0x2E, 0x6F, 0x8E));
    QueryEdit->UpdateButton();
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
    TabSet->setExpanding(false);
    TabSet->hide();
    TabsPaintBox = new TTabsPaintBox(ResultShape);
    TabsPaintBox->ImageList = &ImageList;
    TabsPaintBox->hide();

    // The grid and the message over it share one place.
    auto* listArea = new QWidget(ResultShape);
    auto* stack = new QGridLayout(listArea);
    stack->setContentsMargins(0, 0, 0, 0);
    AccList = Named(new TSkinedStringGrid(listArea), "AccList");
    AccList->ImageList = &ImageList;
    AccList->hide();
    MessPanel = Named(new TPanel(listArea), "MessPanel");
    auto* messLayout = new QVBoxLayout(MessPanel);
    MessLabel = Named(new TLabel(MessPanel), "MessLabel", kTagNoCaption);
    MessLabel->setAlignment(Qt::AlignCenter);
    MessLabel->setWordWrap(true);
    messLayout->addWidget(MessLabel);
    stack->addWidget(AccList, 0, 0);
    stack->addWidget(MessPanel, 0, 0);
    stack->setRowStretch(0, 1);

    FilterPanel = Named(new TPanel(ResultShape), "FilterPanel");
    auto* filterRow = new QHBoxLayout(FilterPanel);
    filterRow->setContentsMargins(0, 0, 0, 0);
    FilterPaintBox = new TFilterPaintBox(FilterPanel);
    filterRow->addWidget(FilterPaintBox, 1);
    FilterPanel->hide();

    ButtonsPanel = new QWidget(ResultShape);
    ButtonsPanel->setObjectName(QStringLiteral("ButtonsPanel"));
    auto* buttonsRow = new QHBoxLayout(ButtonsPanel);
    buttonsRow->setContentsMargins(8, 4, 8, 6);
    GetListButton = Named(new TSkinButton(QStringLiteral("Get a list"), ButtonsPanel), "GetListButton");
    GetListButton->MinWidth = 100;
    AddButton = Named(new TSkinButton(QStringLiteral("Create"), ButtonsPanel), "AddButton");
    buttonsRow->addWidget(GetListButton);
    buttonsRow->addStretch(1);
    buttonsRow->addWidget(AddButton);

    inner->addWidget(TabSet);
    inner->addWidget(TabsPaintBox);
    inner->addWidget(listArea, 1);
    inner->addWidget(FilterPanel);
    inner->addWidget(ButtonsPanel);
    MoveWindowOnPress(ResultShape);
    MoveWindowOnPress(MessPanel);

    connect(QueryEdit, &QLineEdit::textChanged, this, &TParlomarClientMainForm::QueryEditChange);
    connect(QueryEdit, &TButtonEdit::OnClickButton, this, &TParlomarClientMainForm::QueryEditClickButton);
    connect(GetListButton, &QPushButton::clicked, this, &TParlomarClientMainForm::GetListButtonClick);
    connect(AddButton, &QPushButton::clicked, this, &TParlomarClientMainForm::AddButtonClick);
    connect(FilterPaintBox, &TFilterPaintBox::ItemPressed, this,
            &TParlomarClientMainForm::FilterPaintBoxMouseDown);
    connect(TabsPaintBox, &TTabsPaintBox::TabPressed, this, [this](int tab) { TabSetChange(tab - 1); });
    connect(AccList, &TSkinedStringGrid::HeaderClicked, this, &TParlomarClientMainForm::AccListHeaderClick);
    connect(AccList, &TSkinedStringGrid::CurrentDataRowChanged, this,
            &TParlomarClientMainForm::AccListSelectCell);
    connect(AccList, &TSkinedStringGrid::LinkClicked, this, &TParlomarClientMainForm::AccListLinkClick);
    connect(AccList, &TSkinedStringGrid::RowMenuRequested, this, &TParlomarClientMainForm::AccListRowMenu);
    connect(AccList, &TSkinedStringGrid::DetailsRequested, this, [this](int) { Viewsummary1Click(); });
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
    TabSet->addTab(ImageList.value(4), Q(StatusText(60)));
    TabSet->addTab(ImageList.value(5), Q(StatusText(61)));
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
    const QSignalBlocker quiet(TabSet);
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
    StatusPanels[slot]->setToolTip(TSkinedStringGrid::PlainHint(text)); // may hold a server's domain
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
    AccList->hide();
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
    // Column widths from the grid width W; the grid is as tall as its rows, at most the space there is.
    const int width = AccList->viewport()->width() > 0 ? AccList->width() : ResultsPanel->width() - 18;
    const double w = std::max(0, width);
    const int rowHeight = AccList->Data().DefaultRowHeight();
    const int rows = AccList->VisibleRowCount();
    const int available = AccList->parentWidget()->height();
    const int wanted = AccList->horizontalHeader()->height() + rows * rowHeight + 10;
    const bool fits = wanted <= available;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    AccList->setVerticalScrollBarPolicy(ListMode == kListModePackages ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAsNeeded);
    const auto round = [](double v) { return static_cast<int>(std::lround(v)); };
    const int cols = AccList->Data().ColCount();
    for (int col = 0; col < cols; ++col)
        AccList->setColumnHidden(col, false);
    if (cols > 0)
        AccList->setColumnWidth(0, round(w * 0.1));
    if (AccList->ListMode == kListModeAccounts && cols >= 8) {
        AccList->setColumnWidth(1, round(w * 0.3));
        AccList->setColumnWidth(2, fits ? round(w * 0.5) - 4 : round(w * 0.5) - scrollBar - 2);
        for (int col = 3; col <= 6; ++col)
            AccList->setColumnHidden(col, true);
        AccList->setColumnWidth(7, round(w * 0.1));
    } else if (AccList->ListMode == kListModePackages && cols >= 4) {
        AccList->setColumnWidth(1, round(w * 0.28));
        AccList->setColumnWidth(2, fits ? round(w * 0.31) - 4 : round(w * 0.31) - scrollBar - 2);
        AccList->setColumnWidth(3, round(w * 0.31) - scrollBar);
    }
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
    if (!signedIn_) {
        UnlockListControls();
        return;
    }
    if (reply.status == kStatusOk && IsSignedOutReply(reply.text, reply.httpStatus)) {
        UnlockListControls();
        queuedPackageFetches_ = 0;
        ReturnToSignIn();
        return;
    }
    {
        const QSignalBlocker quiet(QueryEdit); // emptying the box is no filter change
        settingQuery_ = true;
        QueryEdit->clear();
        settingQuery_ = false;
    }
    if (kind == kFetchPackages) {
        PackageListReply = reply.text;
        ListState.packageReplyStored = true;
        Report("packages stored");
        ShowTab(1);
        ShowPackageList(reply.status, PackageListReply);
        if (queuedPackageFetches_ > 0) {
            --queuedPackageFetches_;
            FetchPackageList();
        }
    } else {
        // The completion is the reply's last user (the fetch drops it right after), and the reply
        // object itself is not const: its text is taken over instead of copying a long list again
        // on the GUI thread.
        accountReply_ = std::make_shared<const std::string>(std::move(const_cast<HttpReply&>(reply).text));
        Report("accounts stored");
        ShowAccountList(reply.status, *accountReply_);
        ShowTab(0);
    }
}

void TParlomarClientMainForm::ShowTab(int tab) {
    const QSignalBlocker quiet(TabSet);
    TabSet->setCurrentIndex(tab);
    TabsPaintBox->SetSelectedTab(tab + 1);
    ListMode = static_cast<std::uint8_t>(tab == 0 ? kListModeAccounts : kListModePackages);
}

void TParlomarClientMainForm::OpenSettings(int page) {
    OpenSettingsDialog(this, page);
}

// ---- Lists ----

void TParlomarClientMainForm::SearchAccounts(const std::string& text) {
    ListMode = kListModeAccounts;
    StartListFetch(SearchAccountsUrl(ServerBaseUrl(), text), kFetchAccounts);
}

void TParlomarClientMainForm::RefetchLastSearch() {
    SearchAccounts(ListState.lastSearchText);
}

void TParlomarClientMainForm::FetchPackageList() {
    LockListControls();
    StartListFetch(ListPackagesUrl(ServerBaseUrl()), kFetchPackages);
    if (!fetch_)
        UnlockListControls();
}

void TParlomarClientMainForm::Listaccounts1Click() {
    if (!signedIn_ || fetch_)
        return;
    ServerButton->setEnabled(false);
    BeginListAllAccounts(ListState);
    SearchAccounts("");
}

void TParlomarClientMainForm::Listpakages1Click() {
    if (!signedIn_ || fetch_)
        return;
    ListMode = kListModePackages;
    ListState.listMode = kListModePackages;
    BeginListPackages(ListState);
    FetchPackageList();
}

void TParlomarClientMainForm::GetListButtonClick() {
    if (ListMode == kListModeAccounts)
        Listaccounts1Click();
    else if (ListMode == kListModePackages)
        Listpakages1Click();
}

void TParlomarClientMainForm::AddButtonClick() {
    if (ListMode == kListModePackages)
        Createpackage1Click();
    else
        Createaccounts1Click();
}

void TParlomarClientMainForm::QueryEditClickButton() {
    if (!signedIn_)
        return;
    const std::string text = S(QueryEdit->text());
    if (const int message = BeginServerSearch(ListState, text); message != 0) {
        ShowListMessage(message);
        return;
    }
    SearchAccounts(text);
}

void TParlomarClientMainForm::QueryEditChange() {
    if (settingQuery_ || (ListMode != kListModeAccounts && ListMode != kListModePackages))
        return;
    if (AccList->ListMode != ListMode)
        return; // the grid still shows the other list; the build on its way filters itself
    const LocalFilterResult result = ApplyLocalFilter(AccList->Data(), ListMode, S(QueryEdit->text()),
                                                      MessPanel->isVisible(), ListState.filterMode);
    if (!result.ran)
        return;
    AccList->RowsChanged();
    SetStatusSlot(1, result.slot1.Empty()
                         ? QString()
                         : Q(StatusText(result.slot1.text) + " " + std::to_string(result.slot1.count)));
    if (AccList->CurrentDataRow() == 0) {
        if (const int first = FirstVisibleRow(AccList->Data()); first > 0)
            AccList->SelectDataRow(first);
    }
    LayoutResults();
}

void TParlomarClientMainForm::TabSetChange(int tab) {
    if (tab == 0) {
        ShowTab(0);
        ShowAccountList(0, *accountReply_);
    } else {
        ShowTab(1);
        ListState.listMode = kListModePackages;
        ShowPackageList(PackageTabStatus(ListState), PackageListReply);
    }
    StatusIconImage->setPixmap(ImageList.value(tab == 0 ? 4 : 5));
}

void TParlomarClientMainForm::FilterPaintBoxMouseDown(int item) {
    if (item < 1 || item > 3)
        return;
    ListState.filterMode = item;
    FilterPaintBox->FilterMode = item;
    FilterPaintBox->update();
    ShowAccountList(0, *accountReply_);
}

void TParlomarClientMainForm::ShowAccountList(int status, const std::string& reply) {
    ListState.listMode = ListMode;
    FilterPaintBox->SetHoveredItem(ListState.filterMode);
    if (status != 0 || reply.empty()) {
        ++buildGeneration_; // a build still on its way is not shown over this
        TStringGridData unused;
        const AccountListView view =
            parlomar::ShowAccountList(unused, ListState, status, reply, "", StatusTextLookup());
        ApplyAccountView(view);
        return;
    }
    // The parse, sort and filters of a long list take a while: they run on a worker over a grid of
    // its own, which is handed to the view when done. Only the heading row (texts and sort markers)
    // and the bandwidth limits set in this run go with it.
    const TStringGridData& shown = AccList->Data();
    TStringGridData seed(kAccountColumns, 1);
    if (shown.ColCount() == kAccountColumns) {
        for (int col = 0; col < kAccountColumns; ++col) {
            seed.SetCell(col, 0, shown.Cell(col, 0));
            seed.SetObject(col, 0, shown.Object(col, 0));
        }
        for (int row = 1; row < shown.RowCount(); ++row) {
            if (!shown.Cell(kAccBandwidthCol, row).empty()) {
                const int at = seed.RowCount();
                seed.SetRowCount(at + 1);
                seed.SetCell(kAccUserCol, at, shown.Cell(kAccUserCol, row));
                seed.SetCell(kAccBandwidthCol, at, shown.Cell(kAccBandwidthCol, row));
            }
        }
    }
    seed.SetDefaultRowHeight(AccList->Data().DefaultRowHeight());
    auto texts = std::make_shared<std::map<int, std::string>>();
    for (int n : {17, 26, 27, 28, 29, 65, 66})
        (*texts)[n] = StatusText(n);
    const std::uint64_t generation = ++buildGeneration_;
    const std::string boxText = S(QueryEdit->text());
    TListState state = ListState;
    state.accountReply.clear();
    state.packageReply.clear();
    // The worker reads the stored reply itself when that is what is shown (no copy of a long text).
    auto replyCopy =
        &reply == accountReply_.get() ? accountReply_ : std::make_shared<const std::string>(reply);
    builds_[generation] =
        std::thread([this, generation, boxText, state, texts, replyCopy, grid = std::move(seed)]() mutable {
            const AccountListView view = parlomar::ShowAccountList(grid, state, 0, *replyCopy, boxText,
                                                                   [texts](int n) { return (*texts)[n]; });
            auto done = std::make_shared<TStringGridData>(std::move(grid));
            QMetaObject::invokeMethod(
                this,
                [this, generation, view, done, count = state.serverAccountCount, boxText] {
                    AccountListBuilt(generation, view, std::move(*done), count, boxText);
                },
                Qt::QueuedConnection);
        });
}

void TParlomarClientMainForm::DisposeGrid(TStringGridData&& grid) {
    // A long list takes a while to free: the grid shown so far goes on a thread of its own.
    auto old = std::make_shared<TStringGridData>(std::move(grid));
    if (disposer_.joinable())
        disposer_.join();
    disposer_ = std::thread([old = std::move(old)]() mutable { old.reset(); });
}

void TParlomarClientMainForm::AccountListBuilt(std::uint64_t generation, AccountListView view,
                                               TStringGridData grid, int serverAccountCount,
                                               const std::string& boxText) {
    if (auto it = builds_.find(generation); it != builds_.end()) {
        it->second.join(); // it has posted this and ends
        builds_.erase(it);
    }
    if (generation != buildGeneration_ || destroyed_ || !signedIn_ || ListMode != kListModeAccounts)
        return; // a later list, a sign-out or the other tab came first
    ListState.serverAccountCount = serverAccountCount;
    DisposeGrid(std::move(AccList->Data()));
    AccList->Data() = std::move(grid);
    AccList->ListMode = kListModeAccounts;
    if (const std::string now = S(QueryEdit->text()); now != boxText) {
        const LocalFilterResult filtered =
            ApplyLocalFilter(AccList->Data(), kListModeAccounts, now, false, ListState.filterMode);
        view.slot1 = filtered.slot1;
        view.selectRow = FirstVisibleRow(AccList->Data());
    }
    AccList->RowsChanged();
    ApplyAccountView(view);
    Report(("accounts shown " + std::to_string(view.fetchedRows)).c_str());
}

void TParlomarClientMainForm::ApplyAccountView(const AccountListView& view) {
    if (view.addCaption)
        AddButton->setText(Q(StatusText(view.addCaption)));
    if (view.getListCaption)
        GetListButton->setText(Q(StatusText(view.getListCaption)));
    if (view.shown) {
        MessPanel->hide();
        AccList->show();
        FilterPanel->show();
        if (view.selectRow > 0)
            AccList->SelectDataRow(view.selectRow);
        ShowRequestStatus(12, std::to_string(view.fetchedRows));
        UnlockListControls();
        FilterPanel->show();
        LayoutResults();
        SetStatusSlot(1, view.slot1.Empty()
                             ? QString()
                             : Q(StatusText(view.slot1.text) + " " + std::to_string(view.slot1.count)));
    } else {
        if (view.listMessage)
            ShowListMessage(view.listMessage);
        if (view.noAccounts) {
            const QString text = Q(ErrorText(12));
            SetStatusSlot(0, text);
            StatusLabel1->setText(text);
        }
        UnlockListControls();
    }
    StatusLabel2->clear();
    SetStatusSlot(2, QString());
}

void TParlomarClientMainForm::ShowPackageList(int status, const std::string& reply) {
    UnlockListControls();
    ListState.listMode = ListMode;
    ++buildGeneration_; // an account list still being built is not shown over this
    TStringGridData& grid = AccList->Data();
    if (status == 0 && ListMode == kListModePackages && grid.ColCount() != kPackageColumns &&
        grid.RowCount() > 1) {
        // Leaving a (possibly long) account list: only its heading row stays with the grid.
        TStringGridData heading(grid.ColCount(), 1);
        heading.SetDefaultRowHeight(grid.DefaultRowHeight());
        for (int col = 0; col < grid.ColCount(); ++col) {
            heading.SetCell(col, 0, grid.Cell(col, 0));
            heading.SetObject(col, 0, grid.Object(col, 0));
        }
        DisposeGrid(std::move(grid));
        grid = std::move(heading);
        AccList->RowsChanged();
    }
    const PackageListView view =
        parlomar::ShowPackageList(grid, ListState, status, reply, [](int n) { return StatusText(n); });
    if (!view.applies)
        return;
    AddButton->setText(Q(StatusText(view.addCaption)));
    GetListButton->setText(Q(StatusText(view.getListCaption)));
    if (view.listMessage)
        ShowListMessage(view.listMessage);
    if (!view.shown) {
        if (!view.listMessage && grid.ColCount() == kPackageColumns && grid.RowCount() <= 1) {
            AccList->ListMode = kListModePackages;
            AccList->RowsChanged();
        }
        return;
    }
    AccList->ListMode = kListModePackages;
    AccList->RowsChanged();
    MessPanel->hide();
    AccList->show();
    FilterPanel->hide();
    if (view.selectRow > 0)
        AccList->SelectDataRow(view.selectRow);
    ShowRequestStatus(40, std::to_string(view.fetchedRows));
    LayoutResults();
    Report(("packages shown " + std::to_string(view.fetchedRows)).c_str());
}

std::string TParlomarClientMainForm::CurrentCell(int col) const {
    const int row = AccList->CurrentDataRow();
    return row > 0 ? AccList->Data().Cell(col, row) : std::string();
}

int TParlomarClientMainForm::RowOfUser(int row, const std::string& user) const {
    // The grid may have been rebuilt while a request waited: find the account again by its name.
    const TStringGridData& grid = AccList->Data();
    if (AccList->ListMode != kListModeAccounts || grid.ColCount() != kAccountColumns)
        return 0;
    if (row > 0 && row < grid.RowCount() && grid.Cell(kAccUserCol, row) == user)
        return row;
    for (int r = 1; r < grid.RowCount(); ++r) {
        if (grid.Cell(kAccUserCol, r) == user)
            return r;
    }
    return 0;
}

void TParlomarClientMainForm::AccListHeaderClick(int col) {
    if (SortByHeaderClick(AccList->Data(), AccList->ListMode, col)) {
        AccList->RowsChanged();
        AccList->horizontalHeader()->viewport()->update();
    }
}

void TParlomarClientMainForm::AccListSelectCell(int dataRow) {
    ListState.lastSelectedRow = dataRow;
    const QString domain =
        AccList->ListMode == kListModeAccounts ? Q(AccList->Data().Cell(kAccDomainCol, dataRow)) : QString();
    StatusLabel2->setText(domain);
    SetStatusSlot(2, domain);
}

void TParlomarClientMainForm::AccListLinkClick(const QString& text) {
    const std::string address = LinkAddress(S(text));
    if (!address.empty() && LinkOpener)
        LinkOpener(Q(address));
}

void TParlomarClientMainForm::AccListRowMenu(const QPoint& globalPos) {
    if (AccList->CurrentDataRow() < 1)
        return;
    if (AccList->ListMode == kListModeAccounts) {
        QPointer<TParlomarClientMainForm> self(this);
        ListPopupMenuPopup();
        if (self)
            ListPopupMenu->popup(globalPos);
    } else if (AccList->ListMode == kListModePackages) {
        PackageMenu->popup(globalPos);
    }
}

void TParlomarClientMainForm::CopyToClipboard1Click() {
    if (const int row = AccList->CurrentDataRow(); row > 0 && AccList->ListMode == kListModeAccounts)
        CopyTextToClipboard(Q(AccountCopyText(AccList->Data(), row)));
}

void TParlomarClientMainForm::Copytoclipboard2Click() {
    if (const int row = AccList->CurrentDataRow(); row > 0 && AccList->ListMode == kListModePackages)
        CopyTextToClipboard(Q(PackageCopyText(AccList->Data(), row)));
}

void TParlomarClientMainForm::ListPopupMenuPopup() {
    int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ListMode != kListModeAccounts)
        return;
    if (SuspendMenuCaption(AccList->Data(), row) == 0) {
        const std::string user = AccList->Data().Cell(kAccUserCol, row);
        QPointer<TParlomarClientMainForm> self(this);
        const int answer = QuerySuspended(user);
        if (!self || !signedIn_)
            return;
        row = RowOfUser(row, user);
        if (row < 1)
            return;
        StoreQueriedSuspended(AccList->Data(), row, answer);
        AccList->CellsChanged();
    }
    const int caption = SuspendMenuCaption(AccList->Data(), row);
    Suspend1->setEnabled(caption != 0);
    if (caption)
        Suspend1->setText(Q(StatusText(caption)));
}

void TParlomarClientMainForm::Suspend1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ListMode != kListModeAccounts)
        return;
    const SuspendAction action = SuspendActionOf(AccList->Data(), row);
    if (action == SuspendAction::Unsuspend)
        UnsuspendAccount();
    else if (action == SuspendAction::Suspend)
        SuspendAccount();
}

namespace {
struct SuspendRequest {
    const char* function;
    int question;
    bool suspended;
};
} // namespace

static void RunSuspend(TParlomarClientMainForm* form, const SuspendRequest& request) {
    TSkinedStringGrid* grid = form->AccList;
    const int row = grid->CurrentDataRow();
    if (row < 1)
        return;
    const std::string user = grid->Data().Cell(kAccUserCol, row);
    const std::string domain = grid->Data().Cell(kAccDomainCol, row);
    QPointer<TParlomarClientMainForm> self(form);
    form->Signout1->setEnabled(false);
    std::string status;
    std::string message;
    ConfirmAndCallForUser(user, request.function, StatusText(request.question) + " " + domain, status,
                          message);
    if (!self)
        return;
    form->Signout1->setEnabled(true);
    if (status.empty() && message.empty())
        return; // declined
    ShowMessageText(message.empty() ? ErrorText(11) : message);
    if (!self)
        return;
    // Find the row again: the list may have been rebuilt while the request waited.
    const TStringGridData& data = grid->Data();
    int at = 0;
    if (grid->ListMode == kListModeAccounts) {
        if (row < data.RowCount() && data.Cell(kAccUserCol, row) == user)
            at = row;
        for (int r = 1; at == 0 && r < data.RowCount(); ++r)
            if (data.Cell(kAccUserCol, r) == user)
                at = r;
    }
    if (at > 0)
        ApplySuspendAnswer(grid->Data(), at, request.suspended, status, message);
    grid->CellsChanged();
}

void TParlomarClientMainForm::SuspendAccount() {
    RunSuspend(this, {"suspendacct", 19, true});
}

void TParlomarClientMainForm::UnsuspendAccount() {
    RunSuspend(this, {"unsuspendacct", 20, false});
}

void TParlomarClientMainForm::ShowInputImages(TInputForm* input) const {
    // With a skin the dialog's link labels get their pictures from the shared icons.
    if (SkinActive()) {
        input->GenerateImage->setPixmap(ImageList.value(13));
        input->CopyImage->setPixmap(ImageList.value(14));
    }
}

void TParlomarClientMainForm::LimitBandWidth1Click() {
    int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ListMode != kListModeAccounts)
        return;
    const std::string user = AccList->Data().Cell(kAccUserCol, row);
    QPointer<TParlomarClientMainForm> self(this);
    QPointer<TInputForm> input = new TInputForm(this);
    input->SetStayOnTop(Alwaysontop1->isChecked());
    input->BandWidthPanel->show();
    ShowInputImages(input);
    input->InputValue = AccList->Data().Cell(kAccBandwidthCol, row);
    input->ShowModal();
    const bool accepted = input && input->Accepted;
    const std::string value = input ? input->InputValue : std::string();
    delete input.data();
    if (!self || !accepted || !signedIn_)
        return;
    const HttpReply reply = HttpGet(LimitBandwidthUrl(ServerBaseUrl(), user, value));
    if (!self || !signedIn_)
        return;
    const bool signedOut = IsSignedOutReply(reply.text, reply.httpStatus);
    bool applied = reply.status == kStatusOk;
    if (!signedOut && reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status));
    } else if (!signedOut) {
        // A limit the server refused is not shown as set.
        const ApiResult result = ReadApiResult(reply.text);
        if (result.status != "1") {
            applied = false;
            ShowMessageText(result.statusmsg.empty() ? ErrorText(11) : result.statusmsg);
        }
    }
    if (!self)
        return;
    row = RowOfUser(row, user);
    if (ApplyBandwidthAnswer(AccList->Data(), row, value, applied && row > 0, reply.status, signedOut)) {
        ReturnToSignIn();
        return;
    }
    AccList->CellsChanged();
}

void TParlomarClientMainForm::Changepassword1Click() {
    const std::string user = CurrentCell(kAccUserCol);
    if (!user.empty() && AccList->ListMode == kListModeAccounts)
        ChangeAccountPassword(user);
}

void TParlomarClientMainForm::ChangeAccountPassword(const std::string& userName) {
    QPointer<TParlomarClientMainForm> self(this);
    QPointer<TInputForm> input = new TInputForm(this);
    input->SetStayOnTop(Alwaysontop1->isChecked());
    input->ChangePasswordPanel->show();
    ShowInputImages(input);
    input->ShowModal();
    const bool accepted = input && input->Accepted;
    const std::string password = input ? input->InputValue : std::string();
    delete input.data();
    if (!self || !accepted || !signedIn_)
        return;
    const HttpReply reply = HttpGet(PasswdUrl(ServerBaseUrl(), userName, password));
    if (!self)
        return;
    if (reply.status != kStatusOk) {
        ShowMessageText(ErrorText(reply.status)); // a failed transfer, not an empty server message
        return;
    }
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        ReturnToSignIn();
        return;
    }
    ShowMessageText(XmlExtract(reply.text, "", "statusmsg", kXmlLastValue));
}

void TParlomarClientMainForm::Viewsummary1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1)
        return;
    if (AccList->ListMode == kListModeAccounts)
        OpenAccountDetails(this, AccList->Data().Cell(kAccUserCol, row));
    else if (AccList->ListMode == kListModePackages)
        OpenPackageDetails(this, AccList->Data().Cell(kPkgNameCol, row));
}

void TParlomarClientMainForm::Deleteaccount1Click() {
    const std::string user = CurrentCell(kAccUserCol);
    if (user.empty() || AccList->ListMode != kListModeAccounts)
        return;
    QPointer<TParlomarClientMainForm> self(this);
    const int result =
        ConfirmAndCall("removeacct?user=", user, StatusText(53), StatusText(54), StatusText(51));
    if (!self || !signedIn_)
        return;
    const AfterDelete after = AfterAccountDelete(result, ListMode);
    if (after.showTransportError)
        ShowMessageText(ErrorText(result));
    if (!self || !signedIn_)
        return;
    if (after.refetchAccounts)
        RefetchLastSearch();
    for (int i = 0; i < after.packageFetches; ++i) {
        if (fetch_)
            ++queuedPackageFetches_;
        else
            FetchPackageList();
    }
}

void TParlomarClientMainForm::Createaccounts1Click() {
    if (signedIn_)
        OpenAccountEditor(this);
}

void TParlomarClientMainForm::Createpackage1Click() {
    if (signedIn_)
        OpenPackageEditor(this);
}

void TParlomarClientMainForm::Edit1Click() {
    const int row = AccList->CurrentDataRow();
    if (row > 0 && AccList->ListMode == kListModePackages)
        OpenPackageEditorFor(this, AccList->Data().Cell(kPkgNameCol, row));
}

void TParlomarClientMainForm::Delete1Click() {
    const int row = AccList->CurrentDataRow();
    if (row < 1 || AccList->ListMode != kListModePackages)
        return;
    const std::string name = AccList->Data().Cell(kPkgNameCol, row);
    QPointer<TParlomarClientMainForm> self(this);
    const int result = ConfirmAndCall("killpkg?pkg=", name, StatusText(52), StatusText(54), StatusText(51));
    if (!self || !signedIn_)
        return;
    const AfterDelete after = AfterPackageDelete(result, ListMode);
    if (after.showTransportError)
        ShowMessageText(ErrorText(result));
    if (!self || !signedIn_)
        return;
    for (int i = 0; i < after.packageFetches; ++i) {
        if (fetch_)
            ++queuedPackageFetches_;
        else
            FetchPackageList();
    }
}

void TParlomarClientMainForm::Viewserverinformation1Click() {
    if (!signedIn_)
        return;
    ShowServerInformation(this, PackageListReply, ListState.serverAccountCount, Alwaysontop1->isChecked());
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
    ListMode = kListModePackages;
    FetchPackageList();
}

void TParlomarClientMainForm::SignOut() {
    const bool wasSignedIn = signedIn_;
    signedIn_ = false;
    queuedPackageFetches_ = 0;
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
    AccList->hide();
    MessPanel->show();
    if (ListMode == kFetchAccounts)
        accountReply_ = std::make_shared<const std::string>();
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
        auto settings = std::make_unique<TCustForm>(this);
        SaveCaptions(settings.get());
        auto editor = std::make_unique<TAddForm>(this);
        SaveCaptions(editor.get());
        auto message = std::make_unique<TMessageForm>(this);
        SaveCaptions(message.get());
        auto input = std::make_unique<TInputForm>(this);
        SaveCaptions(input.get());
        auto details = std::make_unique<TSummaryForm>(this);
        SaveCaptions(details.get());
    } catch (const Error& error) {
        ShowMessageText(error.what());
    }
}

bool TParlomarClientMainForm::ListKeyDown(QObject* target, QKeyEvent* event) {
    QObject* focus = target;
    if (focus == QueryEdit && event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        QueryEditClickButton(); // QueryEditKeyDown
        return true;
    }
    if (focus == QueryEdit && event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_A) {
        QueryEdit->selectAll();
        return true;
    }
    if (focus == AccList && event->modifiers() == Qt::ControlModifier) {
        if (event->key() == Qt::Key_C) {
            if (AccList->ListMode == kListModePackages)
                Copytoclipboard2Click();
            else
                CopyToClipboard1Click();
            return true;
        }
        if (event->key() == Qt::Key_U) {
            Suspend1Click();
            return true;
        }
    }
    return false;
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
