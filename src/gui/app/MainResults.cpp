#include "gui/app/ListController.h"
#include "gui/app/MainUnit.h"
#include "gui/app/MainUnitPrivate.h"
#include "gui/app/SessionController.h"

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
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace parlomar {

namespace {

// The cancel button of the traceroute window: a red disc with a white cross.
QPixmap CancelGlyph() {
    QPixmap pixmap = PlainCanvas(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD0, 0x4A, 0x3C));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return pixmap;
}

// The shared icons of the plain look (a skin replaces them): 0 descending and 1 ascending sort
// arrows, 2 and 3 tray icons, 4 accounts tab, 5 packages tab, 6 current row and 7 other rows, 8 open
// and 9 closed group, 10 to 12 unused, 13 generate password, 14 copy password, 15 control panel,
// 16 cancel (traceroute window).
QList<QPixmap> PlainImageList() {
    QList<QPixmap> images;
    auto blank = [](int w, int h) {
        QPixmap pixmap(w, h);
        pixmap.fill(Qt::transparent);
        return pixmap;
    };
    // Every picture is drawn at the screen's density (sharp at 200 %).
    auto arrow = [&](bool up) {
        QPixmap pixmap = PlainCanvas(9, 6);
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
        QPixmap pixmap = PlainCanvas(16, 14);
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
        QPixmap pixmap = PlainCanvas(16, 16);
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
    images << SectionToggleImage(true) << SectionToggleImage(false);
    while (images.size() < 13)
        images << blank(16, 16);
    images << glyph(QColor(0x2F, 0xB3, 0x44), QStringLiteral("*"))
           << glyph(QColor(0x5D, 0x96, 0xB0), QStringLiteral("C"))
           << glyph(QColor(0xE0, 0x7B, 0x24), QStringLiteral("CP"));
    images << CancelGlyph();
    return images;
}

// The search box's button picture of the plain look: a magnifier.
QPixmap SearchButtonPicture(const QColor& colour) {
    QPixmap pixmap = PlainCanvas(22, 22);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawEllipse(QRectF(4, 4, 10, 10));
    painter.drawLine(QPointF(13, 13), QPointF(18, 18));
    return pixmap;
}

} // namespace

void TParlomarClientMainForm::BuildResultsArea() {
    ImageList->Images = PlainImageList();
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
    TabsPaintBox->ImageList = &ImageList->Images;
    TabsPaintBox->hide();

    // The grid and the message over it share one place.
    auto* listArea = new QWidget(ResultShape);
    auto* stack = new QGridLayout(listArea);
    stack->setContentsMargins(0, 0, 0, 0);
    AccList = Named(new TSkinedStringGrid(listArea), "AccList");
    AccList->ImageList = &ImageList->Images;
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
    connect(QueryEdit, &QLineEdit::textEdited, this, [this] { focusListWhenShown_ = false; });
    connect(QueryEdit, &TButtonEdit::OnClickButton, this, &TParlomarClientMainForm::QueryEditClickButton);
    connect(GetListButton, &QPushButton::clicked, this, &TParlomarClientMainForm::GetListButtonClick);
    connect(AddButton, &QPushButton::clicked, this, &TParlomarClientMainForm::AddButtonClick);
    connect(FilterPaintBox, &TFilterPaintBox::ItemPressed, this,
            &TParlomarClientMainForm::FilterPaintBoxMouseDown);
    connect(TabsPaintBox, &TTabsPaintBox::TabPressed, this, &TParlomarClientMainForm::TabsPaintBoxMouseDown);
    connect(AccList, &TSkinedStringGrid::HeaderClicked, this, &TParlomarClientMainForm::AccListHeaderClick);
    connect(AccList, &TSkinedStringGrid::CurrentDataRowChanged, this,
            &TParlomarClientMainForm::AccListSelectCell);
    connect(AccList, &TSkinedStringGrid::LinkClicked, this, &TParlomarClientMainForm::AccListLinkClick);
    connect(AccList, &TSkinedStringGrid::RowMenuRequested, this, &TParlomarClientMainForm::AccListRowMenu);
    connect(AccList, &TSkinedStringGrid::DetailsRequested, this, &TParlomarClientMainForm::AccListDblClick);
    connect(AccList, &TSkinedStringGrid::RowEntered, this, &TParlomarClientMainForm::AccListRowEntered);
}

void TParlomarClientMainForm::TabsPaintBoxMouseDown(int tab) {
    TabSetChange(tab - 1); // the strip counts its tabs from 1
}

void TParlomarClientMainForm::AccListDblClick() {
    Viewsummary1Click();
}

void TParlomarClientMainForm::FocusShownList() {
    if (!std::exchange(focusListWhenShown_, false) || !AccList->isVisible())
        return;
    const QWidget* focus = QApplication::focusWidget();
    if (focus &&
        (focus->window() != this || focus == FilterPaintBox || focus == TabSet || focus == TabsPaintBox))
        return;
    if (AccList->CurrentDataRow() == 0)
        if (const int first = FirstVisibleRow(AccList->Data()); first > 0)
            AccList->SelectDataRow(first);
    AccList->setFocus(Qt::OtherFocusReason);
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
    SetTextColour(QueryEdit, FieldTextColour(QueryEdit, false));
    for (QWidget* control : std::initializer_list<QWidget*>{ServerButton, SignOutLabel, GetListButton})
        control->setEnabled(false);
    Signout1->setEnabled(false);
}

void TParlomarClientMainForm::UnlockListControls() {
    SetTextColour(QueryEdit, FieldTextColour(QueryEdit, true));
    for (QWidget* control : std::initializer_list<QWidget*>{ServerButton, SignOutLabel, GetListButton})
        control->setEnabled(true);
    Signout1->setEnabled(true);
    FilterPanel->hide();
    StopButton->hide();
}

void TParlomarClientMainForm::UpdateListControls() {
    if (FetchRunning()) {
        LockListControls();
        // The stop control sits next to the progress display: in the status bar, or with a skin in
        // the status strip.
        auto* strip = static_cast<QBoxLayout*>(StatusImage->layout());
        if (SkinActive() && StopButton->parentWidget() != StatusImage) {
            StatusBar->removeWidget(StopButton);
            strip->insertWidget(2, StopButton);
        } else if (!SkinActive() && StopButton->parentWidget() != StatusBar) {
            strip->removeWidget(StopButton);
            StatusBar->insertPermanentWidget(1, StopButton);
        }
        StopButton->show();
    } else {
        UnlockListControls();
    }
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
    AccList->setVerticalScrollBarPolicy(ListMode() == kListModePackages ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAsNeeded);
    const auto round = [](double v) { return static_cast<int>(std::lround(v)); };
    const int cols = AccList->Data().ColCount();
    for (int col = 0; col < cols; ++col)
        AccList->setColumnHidden(col, false);
    if (cols > 0)
        AccList->setColumnWidth(0, round(w * 0.1));
    if (AccList->ShownList == kListModeAccounts && cols >= 8) {
        AccList->setColumnWidth(1, round(w * 0.3));
        AccList->setColumnWidth(2, fits ? round(w * 0.5) - 4 : round(w * 0.5) - scrollBar - 2);
        for (int col = 3; col <= 6; ++col)
            AccList->setColumnHidden(col, true);
        AccList->setColumnWidth(7, round(w * 0.1));
    } else if (AccList->ShownList == kListModePackages && cols >= 4) {
        AccList->setColumnWidth(1, round(w * 0.28));
        AccList->setColumnWidth(2, fits ? round(w * 0.31) - 4 : round(w * 0.31) - scrollBar - 2);
        AccList->setColumnWidth(3, round(w * 0.31) - scrollBar);
    }
}

void TParlomarClientMainForm::resizeEvent(QResizeEvent* event) {
    TSkinnedForm::resizeEvent(event);
    FormResize();
}

void TParlomarClientMainForm::FormResize() {
    LayoutResults();
}

void TParlomarClientMainForm::ShowTab(int tab) {
    const QSignalBlocker quiet(TabSet);
    TabSet->setCurrentIndex(tab);
    TabsPaintBox->SetSelectedTab(tab + 1);
    StatusIconImage->setPixmap(ImageList->Image(tab == 0 ? 4 : 5)); // the skinned strip's list icon
    lists_->SetMode(static_cast<std::uint8_t>(tab == 0 ? kListModeAccounts : kListModePackages));
    const QString list = Q(StatusText(tab == 0 ? 60 : 61));
    AccList->setAccessibleName(list);
    StatusIconImage->setAccessibleName(list);
}

// ---- Lists ----

void TParlomarClientMainForm::SearchAccounts(const std::string& text) {
    StartListFetch(SearchAccountsUrl(BaseUrlOf(sessions_->Current()), text), kFetchAccounts);
}

void TParlomarClientMainForm::RefetchLastSearch() {
    SearchAccounts(ListState.lastSearchText);
}

void TParlomarClientMainForm::FetchPackageList() {
    StartListFetch(ListPackagesUrl(BaseUrlOf(sessions_->Current())), kFetchPackages);
}

void TParlomarClientMainForm::Listaccounts1Click() {
    if (!SignedIn())
        return;
    BeginListAllAccounts(ListState);
    SearchAccounts("");
}

void TParlomarClientMainForm::Listpakages1Click() {
    if (!SignedIn())
        return;
    BeginListPackages(ListState);
    FetchPackageList();
}

void TParlomarClientMainForm::GetListButtonClick() {
    if (ListMode() == kListModeAccounts)
        Listaccounts1Click();
    else if (ListMode() == kListModePackages)
        Listpakages1Click();
}

void TParlomarClientMainForm::AddButtonClick() {
    if (ListMode() == kListModePackages)
        Createpackage1Click();
    else
        Createaccounts1Click();
}

void TParlomarClientMainForm::QueryEditClickButton() {
    if (!SignedIn())
        return;
    const std::string text = TrimmedSearchText(S(QueryEdit->text()));
    if (const int message = BeginServerSearch(ListState, text); message != 0) {
        ShowListMessage(message);
        return;
    }
    SearchAccounts(text);
}

void TParlomarClientMainForm::QueryEditChange() {
    if (settingQuery_ || (ListMode() != kListModeAccounts && ListMode() != kListModePackages))
        return;
    if (AccList->ShownList != ListMode())
        return; // the grid still shows the other list; the build on its way filters itself
    const LocalFilterResult result = ApplyLocalFilter(AccList->Data(), ListMode(), S(QueryEdit->text()),
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
    if (SignedIn()) // the tab chosen is the list asked for last
        SetWantedList(static_cast<std::uint8_t>(tab == 0 ? kFetchAccounts : kFetchPackages));
    // The list asked for is on its way.
    const bool loading = SignedIn() && lists_->Running(tab == 0 ? kFetchAccounts : kFetchPackages);
    if (tab == 0) {
        ShowTab(0);
        if (loading)
            ShowListLoading();
        else
            ShowAccountList(0, accountReply_);
    } else {
        ShowTab(1);
        if (loading)
            ShowListLoading();
        else
            ShowPackageList(PackageTabStatus(ListState), PackageListReply);
    }
    StatusIconImage->setPixmap(ImageList->Image(tab == 0 ? 4 : 5));
    SettleRequestStatus();
}

void TParlomarClientMainForm::ShowListLoading() {
    ++buildGeneration_; // a build of the other list is not shown over this
    FilterPanel->hide();
    AccList->hide();
    MessLabel->setText(Q(FormatStatusText(135, {}, "Loading the list...")));
    MessPanel->show();
}

void TParlomarClientMainForm::FilterPaintBoxMouseDown(int item) {
    if (item < 1 || item > 3)
        return;
    ListState.filterMode = item;
    FilterPaintBox->FilterMode = item;
    FilterPaintBox->update();
    ShowAccountList(0, accountReply_);
}

void TParlomarClientMainForm::ShowAccountList(int status, std::shared_ptr<const TAccountValues> accounts) {
    FilterPaintBox->SetHoveredItem(ListState.filterMode);
    if (!accounts)
        accounts = std::make_shared<const TAccountValues>();
    if (status != 0 || accounts->Empty()) {
        ++buildGeneration_; // a build still on its way is not shown over this
        TStringGridData unused;
        const AccountListView view =
            parlomar::ShowAccountList(unused, ListState, status, accounts, "", StatusTextLookup());
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
    // The worker reads the stored account values, shared with it (never copied on the GUI thread).
    builds_[generation] =
        std::thread([this, generation, boxText, state, texts, accounts, grid = std::move(seed)]() mutable {
            const AccountListView view = parlomar::ShowAccountList(grid, state, 0, accounts, boxText,
                                                                   [texts](int n) { return (*texts)[n]; });
            auto done = std::make_shared<TStringGridData>(std::move(grid));
            QMetaObject::invokeMethod(
                this,
                [this, generation, view, done, count = state.serverAccountCount, boxText,
                 sort = state.accountSort, changes = state.listChanges] {
                    AccountListBuilt(generation, view, std::move(*done), count, boxText, sort, changes);
                },
                Qt::QueuedConnection);
        });
}

void TParlomarClientMainForm::DisposeGrid(TStringGridData&& grid) {
    // A long list takes a while to free: the grid shown so far goes on a thread of its own.
    auto old = std::make_shared<TStringGridData>(std::move(grid));
    if (disposer_.joinable())
        disposer_.join();
    disposer_ = std::thread([old = std::move(old)]() mutable {
        old.reset();
#ifdef __GLIBC__
        malloc_trim(0); // its pages go back now, not only once a later list needs the room
#endif
    });
}

void TParlomarClientMainForm::AccountListBuilt(std::uint64_t generation, AccountListView view,
                                               TStringGridData grid, int serverAccountCount,
                                               const std::string& boxText, const TListSort& sorted,
                                               std::uint64_t listChanges) {
    if (auto it = builds_.find(generation); it != builds_.end()) {
        it->second.join(); // it has posted this and ends
        builds_.erase(it);
    }
    if (generation != buildGeneration_ || destroyed_ || !SignedIn() || ListMode() != kListModeAccounts)
        return; // a later list, a sign-out or the other tab came first
    const bool counted = ListState.serverAccountCount == -1; // this build counted the accounts
    if (counted)
        ListState.serverAccountCount = serverAccountCount;
    DisposeGrid(std::move(AccList->Data()));
    AccList->Data() = std::move(grid);
    AccList->ShownList = kListModeAccounts;
    if (ListState.accountSort != sorted) // a heading was clicked while the list was built
        ListState.accountSort = ApplyListSort(AccList->Data(), kListModeAccounts, ListState.accountSort);
    if (ListState.listChanges != listChanges) { // accounts were suspended or deleted meanwhile
        const ListChangesApplied applied =
            ReapplyListChanges(AccList->Data(), ListState, S(QueryEdit->text()));
        ListState.serverAccountCount -= counted ? applied.deletedRows : 0;
        view.slot1 = applied.slot1;
        view.selectRow = FirstVisibleRow(AccList->Data());
    }
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
        FocusShownList();
        ShowRequestStatus(12, std::to_string(view.fetchedRows));
        UpdateListControls();
        FilterPanel->show();
        LayoutResults();
        SetStatusSlot(1, view.slot1.Empty()
                             ? QString()
                             : Q(StatusText(view.slot1.text) + " " + std::to_string(view.slot1.count)));
    } else {
        if (view.listMessage)
            ShowListMessage(view.listMessage);
        if (!view.serverMessage.empty()) // the server refused the search and said why
            MessLabel->setText(Q(view.serverMessage));
        if (view.noAccounts) {
            const QString text = Q(view.serverMessage.empty() ? ErrorText(12) : view.serverMessage);
            SetStatusSlot(0, text);
            StatusLabel1->setText(text);
        }
        UpdateListControls();
    }
    StatusLabel2->clear();
    SetStatusSlot(2, QString());
}

void TParlomarClientMainForm::ShowPackageList(int status, const std::string& reply) {
    UpdateListControls();
    ++buildGeneration_; // an account list still being built is not shown over this
    if (ListMode() != kListModePackages)
        return; // the results area went on to the other list: only the controls are unlocked
    TStringGridData& grid = AccList->Data();
    if (status == 0 && grid.ColCount() != kPackageColumns && grid.RowCount() > 1) {
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
    AddButton->setText(Q(StatusText(view.addCaption)));
    GetListButton->setText(Q(StatusText(view.getListCaption)));
    if (view.listMessage)
        ShowListMessage(view.listMessage);
    if (view.listMessage && status == kStatusOk) // no packages: said in the status display too
        SetStatusSlot(0, Q(ErrorText(view.listMessage)));
    if (!view.shown) {
        if (!view.listMessage && grid.ColCount() == kPackageColumns && grid.RowCount() <= 1) {
            AccList->ShownList = kListModePackages;
            AccList->RowsChanged();
        }
        return;
    }
    AccList->ShownList = kListModePackages;
    AccList->RowsChanged();
    MessPanel->hide();
    AccList->show();
    FilterPanel->hide();
    if (view.selectRow > 0)
        AccList->SelectDataRow(view.selectRow);
    FocusShownList();
    ShowRequestStatus(40, std::to_string(view.fetchedRows));
    LayoutResults();
    Report(("packages shown " + std::to_string(view.fetchedRows)).c_str());
}

std::string TParlomarClientMainForm::CurrentCell(int col) const {
    const int row = AccList->CurrentDataRow();
    return row > 0 ? std::string(AccList->Data().Cell(col, row)) : std::string();
}

int TParlomarClientMainForm::RowOfUser(int row, const std::string& user) const {
    // The grid may have been rebuilt while a request waited: find the account again by its name.
    const TStringGridData& grid = AccList->Data();
    if (AccList->ShownList != kListModeAccounts || grid.ColCount() != kAccountColumns)
        return 0;
    if (row > 0 && row < grid.RowCount() && grid.Cell(kAccUserCol, row) == user)
        return row;
    for (int r = 1; r < grid.RowCount(); ++r) {
        if (grid.Cell(kAccUserCol, r) == user)
            return r;
    }
    return 0;
}

void TParlomarClientMainForm::KeepFilterBarTrue(int row) {
    if (AccList->ShownList != kListModeAccounts)
        return;
    const FilterBarKept kept =
        parlomar::KeepFilterBarTrue(AccList->Data(), ListState, row, S(QueryEdit->text()));
    if (!kept.removed)
        return;
    AccList->RowsChanged();
    SetStatusSlot(1, kept.slot1.Empty()
                         ? QString()
                         : Q(StatusText(kept.slot1.text) + " " + std::to_string(kept.slot1.count)));
    if (AccList->CurrentDataRow() == 0) { // it was the last row: the one above it takes its place
        const int above = PreviousVisibleRow(AccList->Data(), row);
        if (const int next = above > 0 ? above : FirstVisibleRow(AccList->Data()); next > 0)
            AccList->SelectDataRow(next);
    }
    LayoutResults();
}

void TParlomarClientMainForm::AccListHeaderClick(int col) {
    if (SortByHeaderClick(AccList->Data(), AccList->ShownList, col)) {
        // Refills keep this order.
        const TListSort sort = ListSortOf(AccList->Data(), AccList->ShownList);
        (AccList->ShownList == kListModePackages ? ListState.packageSort : ListState.accountSort) = sort;
        AccList->RowsChanged();
        AccList->horizontalHeader()->viewport()->update();
    }
}

void TParlomarClientMainForm::AccListSelectCell(int dataRow) {
    ListState.lastSelectedRow = dataRow;
    const QString domain =
        AccList->ShownList == kListModeAccounts ? Q(AccList->Data().Cell(kAccDomainCol, dataRow)) : QString();
    StatusLabel2->setText(domain);
    SetStatusSlot(2, domain);
}

void TParlomarClientMainForm::AccListLinkClick(const QString& text) {
    const std::string address = LinkAddress(S(text));
    if (!address.empty() && LinkOpener)
        LinkOpener(Q(address));
}

void TParlomarClientMainForm::AccListRowEntered() {
    // Enter opens what a double click opens for an account; a package goes to its editor (its
    // details where changes are switched off).
    if (AccList->ShownList == kListModePackages && ChangeAllowed("editpkg"))
        Edit1Click();
    else
        Viewsummary1Click();
}

void TParlomarClientMainForm::AccListRowMenu(const QPoint& globalPos) {
    if (AccList->CurrentDataRow() < 1)
        return;
    if (AccList->ShownList == kListModeAccounts) {
        ListPopupMenuPopup([this, globalPos] { ListPopupMenu->popup(globalPos); });
    } else if (AccList->ShownList == kListModePackages) {
        PackageMenu->popup(globalPos);
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
            if (AccList->ShownList == kListModePackages)
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

} // namespace parlomar
