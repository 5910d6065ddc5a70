#include "gui/settings/CustUnit.h"

#include <algorithm>

#include "core/Error.h"
#include "core/accounts/KeyFilters.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "gui/accounts/AddUnit.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QKeyEvent>

namespace parlomar {

namespace {

constexpr int kPageLeft = 125;
constexpr int kPageTop = 8;
constexpr int kPageWidth = TCustForm::kClientWidth - kPageLeft - 8;
constexpr int kOkCancelHeight = 51;
constexpr int kPageHeight = TCustForm::kClientHeight - kOkCancelHeight - kPageTop - 4;
constexpr int kViewPanelHeight = 132; // six rows of boxes
constexpr int kViewColumnGap = 12;    // between the widest caption of a column and the next column
constexpr char kViewColumnProperty[] = "ViewColumn";
const QColor kDialogColor(0xEC, 0xEF, 0xEF);

QString Text(const std::string& text) {
    return Q(text);
}

} // namespace

TCustForm::TCustForm(QWidget* owner, int page)
    : TSkinnedForm(QStringLiteral("CustForm"), owner), CurrentPage(page) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    escapeCloses_ = true;
    SetDesignedTransparentColor(true, QColor(0x00, 0x80, 0x80));
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(QStringLiteral("Settings"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kDialogColor);
    setPalette(palette);

    CustListBox = Named(new TListBox(this), "CustListBox");
    CustListBox->setGeometry(8, kPageTop, 109, kPageHeight);
    CustListBox->addItems({QStringLiteral("General"), QStringLiteral("Proxy"), QStringLiteral("View"),
                           QStringLiteral("Skins")});
    connect(CustListBox, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            CustListBoxClick(row);
    });

    auto pagePanel = [this](const char* name, int tag) {
        auto* panel = Named(new TPanel(this), name);
        SetTag(panel, tag);
        panel->setGeometry(kPageLeft, kPageTop, kPageWidth, kPageHeight);
        return panel;
    };
    auto heading = [](QWidget* parent, const char* name, const char* text) {
        auto* label = Named(new TLabel(QString::fromUtf8(text), parent), name, kTagLargeBold);
        SetParentFont(label, false);
        label->setGeometry(8, 4, 300, 24);
        return label;
    };
    auto check = [this](QWidget* parent, const char* name, const char* text, int top) {
        auto* box = Named(new TBitCheckBox(QString::fromUtf8(text), parent), name);
        box->setGeometry(12, top, kPageWidth - 24, 20);
        pageWide_.append(box);
        return box;
    };

    // General page.
    GeneralPanel = pagePanel("GeneralPanel", kGeneralPage);
    Generallabel = heading(GeneralPanel, "Generallabel", "General");
    TrayCheck = check(GeneralPanel, "TrayCheck", "Show at System tray", 40);
    TaskBarCheck = check(GeneralPanel, "TaskBarCheck", "Show at Taskbar", 66);
    OnTopCheck = check(GeneralPanel, "OnTopCheck", "Always on top", 92);
    CertCheck = check(GeneralPanel, "CertCheck", "Warn about untrusted server certificates", 118);

    // Proxy page.
    NetworkPanel = pagePanel("NetworkPanel", kProxyPage);
    NetworkLabel = heading(NetworkPanel, "NetworkLabel", "Proxy");
    ProxyCheck = check(NetworkPanel, "ProxyCheck", "Use proxy", 36);
    int top = 66;
    auto field = [&](const char* labelName, const char* caption, const char* editName, TLabel*& label) {
        label = Named(new TLabel(QString::fromUtf8(caption), NetworkPanel), labelName);
        label->SetElideToFit(true);
        label->setGeometry(12, top, 170, 21);
        auto* edit = Named(new TButtonEdit(NetworkPanel), editName);
        edit->SetButtonVisible(false);
        edit->setGeometry(186, top, 190, 21);
        edit->setEnabled(false);
        edit->installEventFilter(this);
        top += 30;
        return edit;
    };
    ProxyAdrEdit = field("ProxyAdrLabel", "Http/Https proxy adress", "ProxyAdrEdit", ProxyAdrLabel);
    ProxyPortEdit = field("ProxyPortLabel", "Http/https proxy port", "ProxyPortEdit", ProxyPortLabel);
    ProxyUserEdit = field("ProxyUserLabel", "Http proxy user", "ProxyUserEdit", ProxyUserLabel);
    ProxyPSWEdit = field("ProxyPswLabel", "Http proxy password", "ProxyPSWEdit", ProxyPswLabel);
    ProxyPSWEdit->setEchoMode(QLineEdit::Password);
    top += 8;
    SocksProxyAddrEdit = field("Label2", "Socks 5  proxy adress", "SocksProxyAddrEdit", Label2);
    SocksProxyPortEdit = field("Label3", "Socks 5 proxy port", "SocksProxyPortEdit", Label3);
    connect(ProxyCheck, &QCheckBox::clicked, this, &TCustForm::ProxyCheckClick);
    connect(ProxyPSWEdit, &QLineEdit::textEdited, this, &TCustForm::ProxyPSWEditChange);

    // View page: one check box per switchable row of each details view.
    ViewPanel = pagePanel("ViewPanel", kViewPage);
    Label1 = heading(ViewPanel, "Label1", "View");
    LimitDomainViewLabel = Named(new TLabel(QStringLiteral("Limit view domain info"), ViewPanel),
                                 "LimitDomainViewLabel", kTagSmallBold);
    SetParentFont(LimitDomainViewLabel, false);
    LimitDomainViewLabel->setGeometry(8, 30, 300, 18);
    CheckBoxPanel1 = Named(new TPanel(ViewPanel), "CheckBoxPanel1", kViewPage);
    CheckBoxPanel1->setGeometry(4, 48, kPageWidth - 8, kViewPanelHeight);
    LimitPackageViewLabel = Named(new TLabel(QStringLiteral("Limit view package info "), ViewPanel),
                                  "LimitPackageViewLabel", kTagSmallBold);
    SetParentFont(LimitPackageViewLabel, false);
    LimitPackageViewLabel->setGeometry(8, 48 + kViewPanelHeight + 6, 300, 18);
    CheckBoxPanel2 = Named(new TPanel(ViewPanel), "CheckBoxPanel2", kViewPage);
    CheckBoxPanel2->setGeometry(4, 48 + kViewPanelHeight + 24, kPageWidth - 8, kViewPanelHeight);

    BuildSkinsPage();

    OkCancelPanel = Named(new TPanel(this), "OkCancelPanel");
    OkCancelPanel->setGeometry(0, kClientHeight - kOkCancelHeight, kClientWidth, kOkCancelHeight);
    OKButton = Named(new TSkinButton(QString::fromUtf8("\u041e\u041a"), OkCancelPanel), "OKButton");
    CancelButton = Named(new TSkinButton(QStringLiteral("Cancel"), OkCancelPanel), "CancelButton");
    OKButton->move(kClientWidth - 2 * 85 - 8, 6);
    CancelButton->move(kClientWidth - 85 - 8, 6);
    FooterImage = Named(new TImage(OkCancelPanel), "FooterImage");
    FooterImage->setGeometry(0, kOkCancelHeight - 14, kClientWidth, 14);
    connect(OKButton, &QPushButton::clicked, this, &TCustForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TCustForm::CancelButtonClick);

    connect(TrayCheck, &QCheckBox::clicked, this, &TCustForm::TrayCheckClick);
    connect(TaskBarCheck, &QCheckBox::clicked, this, &TCustForm::TaskBarCheckClick);
    connect(OnTopCheck, &QCheckBox::clicked, this, &TCustForm::OnTopCheckClick);

    // The view check boxes are built from the settings file as it is at this opening.
    BuildViewBoxes(CheckBoxPanel1, SummaryViewCheckBoxes(kViewPanelHeight));
    BuildViewBoxes(CheckBoxPanel2, PackageViewCheckBoxes(kViewPanelHeight));
    FitViewPage();
}

void TCustForm::BuildViewBoxes(TPanel* panel, const std::vector<ViewCheckBox>& boxes) {
    for (const ViewCheckBox& box : boxes) {
        auto* check = new TBitCheckBox(Text(box.caption), panel);
        check->setObjectName(Text(box.key));
        SetTag(check, kTagNoCaption); // the caption comes from the field labels, not from this window
        QFont font = check->font();
        font.setBold(true);
        check->setFont(font);
        check->setProperty("ViewKey", Text(box.key));
        check->setProperty(kViewColumnProperty, (box.left - kViewBoxMargin) / kViewColumnStep);
        check->setGeometry(box.left, box.top, kViewColumnStep - 4, kViewBoxStep);
        check->SetChecked(box.checked);
        check->show();
    }
}

std::vector<int> TCustForm::ViewColumnWidths(TPanel* panel) const {
    std::vector<int> widths;
    for (const TBitCheckBox* box : ViewBoxes(panel)) {
        const auto column = static_cast<size_t>(box->property(kViewColumnProperty).toInt());
        if (widths.size() <= column)
            widths.resize(column + 1, 0);
        widths[column] = std::max(widths[column], box->WholeWidth());
    }
    return widths;
}

void TCustForm::FitViewPage() {
    // Each column of view boxes is as wide as its widest caption and the columns stay at least the
    // designed step apart; the dialog widens until both panels fit, so no caption is cut.
    auto lefts = [](const std::vector<int>& widths) {
        std::vector<int> out;
        int left = kViewBoxMargin;
        for (const int width : widths) {
            out.push_back(left);
            left += std::max(kViewColumnStep, width + kViewColumnGap);
        }
        return out;
    };
    int panelWidth = kPageWidth - 8;
    for (TPanel* panel : {CheckBoxPanel1, CheckBoxPanel2}) {
        const std::vector<int> widths = ViewColumnWidths(panel);
        if (!widths.empty())
            panelWidth = std::max(panelWidth, lefts(widths).back() + widths.back() + 4);
    }
    const int pageWidth = panelWidth + 8;
    const int clientWidth = kPageLeft + pageWidth + 8;

    for (TPanel* page : {GeneralPanel, NetworkPanel, ViewPanel})
        page->resize(pageWidth, page->height());
    for (TBitCheckBox* box : pageWide_)
        box->resize(pageWidth - 24, box->height());
    for (TPanel* panel : {CheckBoxPanel1, CheckBoxPanel2}) {
        panel->resize(panelWidth, panel->height());
        const std::vector<int> columns = lefts(ViewColumnWidths(panel));
        for (TBitCheckBox* box : ViewBoxes(panel)) {
            const auto column = static_cast<size_t>(box->property(kViewColumnProperty).toInt());
            // The last column has the room up to the panel's edge.
            const int right = column + 1 < columns.size() ? columns[column + 1] : panelWidth;
            box->setGeometry(columns[column], box->y(), right - columns[column] - 4, kViewBoxStep);
        }
    }
    OkCancelPanel->setGeometry(0, OkCancelPanel->y(), clientWidth, kOkCancelHeight);
    OKButton->move(clientWidth - 2 * 85 - 8, 6);
    CancelButton->move(clientWidth - 85 - 8, 6);
    FooterImage->setGeometry(0, kOkCancelHeight - 14, clientWidth, 14);
    SetFixedClientSize(QSize(clientWidth, kClientHeight));
}

QList<TBitCheckBox*> TCustForm::ViewBoxes(TPanel* panel) const {
    QList<TBitCheckBox*> boxes;
    for (QObject* child : panel->children())
        if (auto* box = qobject_cast<TBitCheckBox*>(child))
            boxes.append(box);
    return boxes;
}

std::vector<ViewCheckBox> TCustForm::ViewBoxValues(TPanel* panel) const {
    std::vector<ViewCheckBox> values;
    for (TBitCheckBox* box : ViewBoxes(panel)) {
        ViewCheckBox value;
        value.key = S(box->property("ViewKey").toString());
        value.checked = box->Checked();
        values.push_back(std::move(value));
    }
    return values;
}

void TCustForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

void TCustForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("CustForm"), CheckBoxImages());
    setWindowTitle(Q(SettingsDialogTitle(S(windowTitle()))) + QString::fromUtf8(kMakerCredit));
    RestyleViewBoxes();
    FitViewPage(); // the skin's check box pictures may take other room than the plain boxes

    const int page = CurrentPage >= 0 && CurrentPage < CustListBox->count() ? CurrentPage : kGeneralPage;
    CustListBox->setCurrentRow(page);
    CustListBoxClick(page);

    const SettingsDialogValues values = ReadSettingsDialogValues();
    ProxyCheck->SetChecked(values.useProxy);
    TrayCheck->SetChecked(values.showTray);
    TaskBarCheck->SetChecked(values.taskBar);
    OnTopCheck->SetChecked(values.stayOnTop);
    ProxyAdrEdit->setText(Text(values.proxyAddr));
    ProxyPortEdit->setText(Text(values.proxyPort));
    ProxyUserEdit->setText(Text(values.proxyUser));
    ProxyPSWEdit->setText(Text(values.proxyPassword));
    CertCheck->SetChecked(values.untrustedCert);
    EncipheredProxyPassword = values.proxyPassword;
    SocksProxyAddrEdit->setText(Text(values.socksAddr));
    SocksProxyPortEdit->setText(Text(values.socksPort));
    FillSkinsList();
    ProxyCheckClick();
}

void TCustForm::RestyleViewBoxes() {
    const QPalette boxPalette = TrayCheck->palette();
    for (TPanel* panel : {CheckBoxPanel1, CheckBoxPanel2})
        for (TBitCheckBox* box : ViewBoxes(panel)) {
            QPalette palette = box->palette();
            palette.setColor(QPalette::WindowText, boxPalette.color(QPalette::WindowText));
            box->setPalette(palette);
        }
}

void TCustForm::CustListBoxClick(int page) {
    SetTag(OkCancelPanel, page);
    for (TPanel* panel : findChildren<TPanel*>()) {
        if (panel->metaObject() == &TPanel::staticMetaObject)
            panel->setVisible(TagOf(panel) == page);
    }
    CurrentPage = page;
}

void TCustForm::TrayCheckClick() {
    if (Calls.showTray)
        Calls.showTray(TrayCheck->Checked());
}

void TCustForm::TaskBarCheckClick() {
    if (Calls.showTaskBarButton)
        Calls.showTaskBarButton(TaskBarCheck->Checked());
}

void TCustForm::OnTopCheckClick() {
    if (Calls.stayOnTop)
        Calls.stayOnTop(OnTopCheck->Checked());
    SetStayOnTop(OnTopCheck->Checked());
}

void TCustForm::ProxyPSWEditChange() {
    EncipheredProxyPassword = EncipherPassword(S(ProxyPSWEdit->text()));
}

void TCustForm::ProxyCheckClick() {
    const bool on = ProxyCheck->Checked();
    for (TButtonEdit* edit :
         {ProxyAdrEdit, ProxyPortEdit, ProxyUserEdit, ProxyPSWEdit, SocksProxyAddrEdit, SocksProxyPortEdit}) {
        edit->setEnabled(on);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, on ? QColor(Qt::white) : this->palette().color(QPalette::Window));
        palette.setColor(QPalette::Text,
                         on ? QColor(Qt::black) : this->palette().color(QPalette::WindowText));
        edit->setPalette(palette);
    }
}

SettingsDialogValues TCustForm::Values() const {
    SettingsDialogValues values;
    values.useProxy = ProxyCheck->Checked();
    values.proxyAddr = S(ProxyAdrEdit->text());
    values.proxyPort = S(ProxyPortEdit->text());
    values.proxyUser = S(ProxyUserEdit->text());
    values.proxyPassword = EncipheredProxyPassword;
    values.socksAddr = S(SocksProxyAddrEdit->text());
    values.socksPort = S(SocksProxyPortEdit->text());
    values.showTray = TrayCheck->Checked();
    values.taskBar = TaskBarCheck->Checked();
    values.stayOnTop = OnTopCheck->Checked();
    values.untrustedCert = CertCheck->Checked();
    return values;
}

void TCustForm::OKButtonClick() {
    const SettingsOkPlan plan =
        PlanSettingsOk(Values(), ViewBoxValues(CheckBoxPanel1), ViewBoxValues(CheckBoxPanel2));
    try {
        ApplySettingsOk(plan, [session = Session] {
            if (session)
                session->CloseConnection();
        });
    } catch (const Error& error) {
        ShowMessageText(error.what()); // the writes before the failed one stay; the window stays open
        return;
    }
    accept();
}

void TCustForm::CancelButtonClick() {
    reject();
}

bool TCustForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

std::optional<bool> TCustForm::NetworkEditKeyDown(QObject* watched, QKeyEvent* key) {
    if (watched == ProxyPortEdit || watched == SocksProxyPortEdit)
        return FilterTypedKey(static_cast<QLineEdit*>(watched), key, ProxyPortEditKeyPress);
    if (watched == ProxyAdrEdit || watched == SocksProxyAddrEdit)
        return FilterTypedKey(static_cast<QLineEdit*>(watched), key, ProxyAdrEditKeyPress);
    if (watched == ProxyUserEdit || watched == ProxyPSWEdit)
        return FilterTypedKey(static_cast<QLineEdit*>(watched), key, ProxyUserEditKeyPress);
    return std::nullopt;
}

bool TCustForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (const std::optional<bool> filtered = NetworkEditKeyDown(watched, static_cast<QKeyEvent*>(event)))
            return *filtered;
    }
    return TSkinnedForm::eventFilter(watched, event);
}

} // namespace parlomar
