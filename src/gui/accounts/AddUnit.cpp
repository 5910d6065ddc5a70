#include "gui/accounts/AddUnit.h"

#include "core/accounts/PasswordGenerator.h"
#include "core/server/HttpTransport.h"
#include "core/settings/Localization.h"
#include "core/skins/SkinPackage.h"
#include "gui/app/AsyncRequest.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QVBoxLayout>

namespace parlomar {

namespace {

constexpr int kFooterHeight = 14;
constexpr int kOkCancelHeight = 51;
constexpr int kHeaderStripHeight = 31;
constexpr int kGeneralPanelHeight = 102;
constexpr int kAdditionalPanelHeight = 385;
constexpr int kRowHeight = 21;
const QColor kGroupBarColor(0xDD, 0xE8, 0xF0);
const QColor kGroupTextColor(0x8A, 0xB4, 0xD9);

QString Name(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// The small picture of a group bar: a coloured square with a white mark.
QPixmap GroupIcon(const QColor& color, char mark) {
    QPixmap pixmap = PlainCanvas(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
    painter.setPen(QPen(Qt::white, 1.6));
    if (mark == '+') {
        painter.drawLine(QPointF(8, 4), QPointF(8, 12));
        painter.drawLine(QPointF(4, 8), QPointF(12, 8));
    } else if (mark == '=') {
        painter.drawLine(QPointF(4, 6), QPointF(12, 6));
        painter.drawLine(QPointF(4, 10), QPointF(12, 10));
    } else {
        painter.drawEllipse(QPointF(8, 8), 3, 3);
    }
    return pixmap;
}

// Images 8 (open) and 9 (closed) of the main window's shared icons, or the plain pictures.
QPixmap ToggleImage(bool open) {
    const QPixmap shared = SharedImage(open ? 8 : 9);
    return shared.isNull() ? SectionToggleImage(open) : shared;
}

} // namespace

QPixmap SectionToggleImage(bool open) {
    QPixmap pixmap = PlainCanvas(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x5D, 0x96, 0xB0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QPainterPath arrow;
    if (open) { // pointing down
        arrow.moveTo(4, 6);
        arrow.lineTo(12, 6);
        arrow.lineTo(8, 11);
    } else { // pointing right
        arrow.moveTo(6, 4);
        arrow.lineTo(11, 8);
        arrow.lineTo(6, 12);
    }
    arrow.closeSubpath();
    painter.fillPath(arrow, QColor(0x5D, 0x96, 0xB0));
    return pixmap;
}

QPixmap UnlimitedButtonImage(int height, bool over) {
    const int shownHeight = std::max(height, 1);
    QPixmap pixmap = PlainCanvas(20, shownHeight);
    pixmap.fill(over ? QColor(0xE4, 0xF0, 0xF7) : QColor(0xF2, 0xF5, 0xF7));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x7F, 0x9D, 0xB9));
    painter.drawLine(0, 0, 0, shownHeight);
    painter.setPen(QPen(QColor(0x2E, 0x6F, 0x8E), 1.4));
    const qreal cy = shownHeight / 2.0;
    // An infinity sign: two loops side by side.
    painter.drawEllipse(QPointF(7, cy), 3.2, 2.6);
    painter.drawEllipse(QPointF(13.4, cy), 3.2, 2.6);
    return pixmap;
}

TAddForm::TAddForm(QWidget* owner) : TSkinnedForm(QStringLiteral("AddForm"), owner) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    setWindowTitle(QStringLiteral("Account"));

    // Controls are created in window order: the package panel's, then the account panel's
    // Additional section, then its General section.
    AddPackagePanel = Named(new TPanel(this), "AddPackagePanel");
    AddPackagePanel->setGeometry(0, 0, kWindowWidth, kPackagePanelHeight);
    BuildPackagePanel();
    AddAccountPanel = Named(new TPanel(this), "AddAccountPanel");
    AddAccountPanel->setGeometry(0, 0, kWindowWidth, kAccountPanelHeight);
    BuildAccountPanel();
    AddPackagePanel->hide();
    AddAccountPanel->hide();

    OkCancelPanel = Named(new TPanel(this), "OkCancelPanel");
    OKButton = Named(new TSkinButton(QStringLiteral("OK"), OkCancelPanel), "OKButton");
    CancelButton = Named(new TSkinButton(QStringLiteral("Cancel"), OkCancelPanel), "CancelButton");
    FooterImage = Named(new TImage(this), "FooterImage");
    connect(OKButton, &QPushButton::clicked, this, &TAddForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TAddForm::CancelButtonClick);
    setFixedSize(kWindowWidth, kAccountPanelHeight + kFooterHeight + kOkCancelHeight);
}

TAddForm::~TAddForm() = default;

QWidget* TAddForm::MakeControl(const EditorField& field, QWidget* parent, int group) {
    const QString name = Name(field.control);
    QWidget* control = nullptr;
    if (field.kind == EditorControl::Check) {
        auto* check = Named(new TBitCheckBox(Name(field.caption), parent), field.control.data());
        control = check;
    } else if (field.kind == EditorControl::Combo) {
        PlanEdit = Named(new TComboBox(parent), "PlanEdit");
        PlanEdit->setEditable(true);
        PlanEdit->setInsertPolicy(QComboBox::NoInsert);
        PlanEdit->setMaxVisibleItems(10);
        PlanEdit->lineEdit()->installEventFilter(this);
        filters_.insert(PlanEdit->lineEdit(), field.filter);
        connect(PlanEdit, &QComboBox::activated, this, [this](int) { PlanEditSelect(); });
        control = PlanEdit;
    } else {
        auto* edit = new TButtonEdit(parent);
        edit->setObjectName(name);
        if (field.maxLength > 0)
            edit->setMaxLength(field.maxLength);
        edit->SetButtonVisible(field.unlimitedButton);
        if (field.unlimitedButton) {
            edit->setToolTip(QStringLiteral("unlimited"));
            if (field.control == "QuotaEdit")
                connect(edit, &TButtonEdit::OnClickButton, this, &TAddForm::QuotaEditClickButton);
            else if (field.control == "Quota1dit")
                connect(edit, &TButtonEdit::OnClickButton, this, &TAddForm::Quota1ditClickButton);
            else
                connect(edit, &TButtonEdit::OnClickButton, this, [this, edit] { UnlimitedClick(edit); });
        }
        edit->installEventFilter(this);
        filters_.insert(edit, field.filter);
        if (field.filter != EditorKeyFilter::None) {
            const EditorKeyFilter filter = field.filter;
            GuardEditedText(
                edit,
                [filter](int key, const QString& before) { return FilterEditorKey(filter, key, S(before)); },
                Q(std::string(EditorKeyRefusal(filter))));
        }
        control = edit;
    }
    control->setProperty("FieldGroup", group);
    controls_.insert(name, control);
    return control;
}

void TAddForm::BuildPackagePanel() {
    // Two columns of label and edit, then the check boxes two by two.
    int index = 0;
    int checkIndex = 0;
    for (const EditorField& field : EditorFields(kPackageEditor)) {
        QWidget* control = MakeControl(field, AddPackagePanel, kPackageEditor);
        if (field.kind == EditorControl::Check) {
            const int row = checkIndex / 2;
            const int col = checkIndex % 2;
            control->setGeometry(14 + col * 225, 14 + 7 * 28 + 8 + row * 24, 215, 20);
            ++checkIndex;
            continue;
        }
        const int row = index / 2;
        const int col = index % 2;
        auto* label = Named(new TLabel(Name(field.caption), AddPackagePanel),
                            (std::string(field.control) + "Label").c_str());
        label->SetElideToFit(true);
        label->setGeometry(14 + col * 225, 14 + row * 28, 118, kRowHeight);
        control->setGeometry(134 + col * 225, 14 + row * 28, 92, kRowHeight);
        ++index;
    }
}

void TAddForm::BuildAccountPanel() {
    auto* layout = new QVBoxLayout(AddAccountPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto header = [this](const char* panelName, const char* imageName, const char* labelName,
                         const char* caption, TImage*& image, TLabel*& label) {
        auto* strip = Named(new TPanel(AddAccountPanel), panelName);
        strip->setFixedHeight(kHeaderStripHeight);
        image = Named(new TImage(strip), imageName);
        image->setGeometry(10, 8, 16, 16);
        image->setCursor(Qt::PointingHandCursor);
        image->installEventFilter(this);
        label = Named(new TLabel(QString::fromUtf8(caption), strip), labelName, kTagSmallBold);
        SetParentFont(label, false);
        label->setGeometry(34, 6, 300, 20);
        auto* rule = new QFrame(strip);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        rule->setGeometry(8, kHeaderStripHeight - 2, kWindowWidth - 16, 2);
        return strip;
    };
    auto groupBar = [](QWidget* parent, const char* panelName, const char* imageName, const char* labelName,
                       const char* caption, int top, TImage*& image, TLabel*& label, char mark) {
        auto* bar = Named(new TPanel(parent), panelName);
        bar->setAutoFillBackground(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, kGroupBarColor);
        bar->setPalette(palette);
        SetTag(bar, kTagNoSkin);
        bar->setGeometry(8, top, kWindowWidth - 16, 22);
        image = Named(new TImage(bar), imageName);
        image->setGeometry(4, 3, 16, 16);
        image->setPixmap(GroupIcon(kGroupTextColor, mark));
        label = Named(new TLabel(QString::fromUtf8(caption), bar), labelName, kTagSmallBold);
        SetParentFont(label, false);
        label->setGeometry(26, 2, 300, 18);
        return bar;
    };

    // The Additional section's controls come first in window order, although the section sits below
    // the General one.
    AdditionalHeaderPanel = header("AdditionalHeaderPanel", "AdditionalScrollImage", "AdditionalLabel",
                                   "Additional information", AdditionalScrollImage, AdditionalLabel);
    AdditionalPanel = Named(new TPanel(AddAccountPanel), "AdditionalPanel");
    AdditionalPanel->setFixedHeight(kAdditionalPanelHeight);
    DomainResPanel = groupBar(AdditionalPanel, "DomainResPanel", "DomainResImage", "DomainResLabel",
                              "Domain resources", 6, DomainResImage, DomainResLabel, '=');
    OtherOptionsPanel =
        groupBar(AdditionalPanel, "OtherOptionsPanel", "OtherOptionsImage", "OtherOptionsLabel",
                 "Other options", 210, OtherOptionsImage, OtherOptionsLabel, '+');
    CustomIPPanel = groupBar(AdditionalPanel, "CustomIPPanel", "CustomIPImage", "CustomIPLabel",
                             "Custom IP and package options", 296, CustomIPImage, CustomIPLabel, 'o');

    int resource = 0;
    int option = 0;
    TButtonEdit* pkgName = nullptr;
    TButtonEdit* customIp = nullptr;
    QWidget* general = nullptr;
    for (const EditorField& field : EditorFields(kAccountEditor)) {
        if (field.section == EditorSection::General && !general) {
            // The General section, created after the Additional one.
            GeneralHeaderPanel = header("GeneralHeaderPanel", "GeneralScrollImage", "GeneralLabel",
                                        "General information", GeneralScrollImage, GeneralLabel);
            GeneralPanel = Named(new TPanel(AddAccountPanel), "GeneralPanel");
            GeneralPanel->setFixedHeight(kGeneralPanelHeight);
            general = GeneralPanel;
        }
        QWidget* parent = field.section == EditorSection::General ? GeneralPanel : AdditionalPanel;
        QWidget* control = MakeControl(field, parent, kAccountEditor);
        const std::string labelName = std::string(field.control) + "Label";
        switch (field.section) {
        case EditorSection::DomainResources: {
            const int row = resource / 2;
            const int col = resource % 2;
            auto* label = Named(new TLabel(Name(field.caption), parent), labelName.c_str());
            label->SetElideToFit(true);
            label->setGeometry(16 + col * 225, 36 + row * 28, 118, kRowHeight);
            control->setGeometry(134 + col * 225, 36 + row * 28, 92, kRowHeight);
            ++resource;
            break;
        }
        case EditorSection::OtherOptions: {
            const int row = option / 3;
            const int col = option % 3;
            control->setGeometry(16 + col * 148, 240 + row * 24, 144, 20);
            ++option;
            break;
        }
        case EditorSection::CustomIpAndPackage:
            if (field.control == "PkgNameEdit")
                pkgName = static_cast<TButtonEdit*>(control);
            else if (field.control == "CustomipEdit")
                customIp = static_cast<TButtonEdit*>(control);
            else if (field.control == "IP1heck")
                control->setGeometry(16, 326, 200, 20);
            else
                control->setGeometry(16, 354, 200, 20);
            break;
        case EditorSection::General: {
            static const QHash<QString, QRect> places{
                {QStringLiteral("DomainEdit"), {16, 8, 100, 118}},
                {QStringLiteral("ContactemailEdit"), {241, 8, 100, 118}},
                {QStringLiteral("UsernameEdit"), {16, 40, 100, 118}},
                {QStringLiteral("PasswordEdit"), {241, 40, 100, 118}},
                {QStringLiteral("PlanEdit"), {16, 72, 100, 118}},
            };
            const QRect place = places.value(Name(field.control));
            auto* label = Named(new TLabel(Name(field.caption), parent), labelName.c_str());
            label->SetElideToFit(true);
            label->setGeometry(place.x(), place.y(), place.width(), kRowHeight);
            control->setGeometry(place.x() + place.width(), place.y(), place.height(), 22);
            break;
        }
        case EditorSection::Package:
            break;
        }
    }
    if (customIp) {
        customIp->setGeometry(220, 326, 140, kRowHeight);
        customIp->hide();
    }
    if (pkgName) {
        pkgName->setGeometry(220, 354, 140, kRowHeight);
        pkgName->hide();
    }
    connect(Check(QStringLiteral("IP1heck")), &QCheckBox::clicked, this, &TAddForm::IP1heckClick);
    connect(Check(QStringLiteral("SavepkgCheck")), &QCheckBox::clicked, this, &TAddForm::SavepkgCheckClick);

    DomainAsciiLabel = Named(new TLabel(GeneralPanel), "DomainAsciiLabel", kTagNoCaption);
    DomainAsciiLabel->setTextFormat(Qt::PlainText);
    DomainAsciiLabel->setGeometry(116, 29, kWindowWidth - 140, 12);
    {
        QFont small = DomainAsciiLabel->font();
        small.setPointSize(7);
        DomainAsciiLabel->setFont(small);
        SetParentFont(DomainAsciiLabel, false);
    }
    connect(Edit(QStringLiteral("DomainEdit")), &QLineEdit::textChanged, this,
            &TAddForm::ShowDomainAsciiForm);

    GenerateImage = Named(new TImage(GeneralPanel), "GenerateImage");
    GenerateImage->setGeometry(241, 74, 16, 16);
    GenerateImage->setPixmap(GroupIcon(kLinkColor, '+'));
    GenerateImage->setCursor(Qt::PointingHandCursor);
    GenerateImage->installEventFilter(this);
    GenPasswordLabel = Named(new TLabel(QStringLiteral("Generate new"), GeneralPanel), "GenPasswordLabel");
    GenPasswordLabel->setGeometry(261, 73, 150, 18);
    GenPasswordLabel->setCursor(Qt::PointingHandCursor);
    GenPasswordLabel->installEventFilter(this);

    layout->addWidget(GeneralHeaderPanel);
    layout->addWidget(GeneralPanel);
    layout->addWidget(AdditionalHeaderPanel);
    layout->addWidget(AdditionalPanel);
    layout->addStretch(1);
}

TButtonEdit* TAddForm::Edit(const QString& name) const {
    return qobject_cast<TButtonEdit*>(controls_.value(name));
}

TBitCheckBox* TAddForm::Check(const QString& name) const {
    return qobject_cast<TBitCheckBox*>(controls_.value(name));
}

std::string TAddForm::ResultQuery() const {
    return model_ ? model_->ResultQuery() : std::string();
}

void TAddForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

void TAddForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("AddForm"), CheckBoxImages());
    setWindowTitle(windowTitle() + QString::fromUtf8(kMakerCredit));
    model_ = std::make_unique<TEditorModel>(EditorKind, PackageAction);

    GeneralScrollImage->setPixmap(ToggleImage(true));
    AdditionalScrollImage->setPixmap(ToggleImage(true));
    if (SkinActive()) { // the group icons of the skin's shared image list
        DomainResImage->setPixmap(SharedImage(10));
        OtherOptionsImage->setPixmap(SharedImage(11));
        CustomIPImage->setPixmap(SharedImage(12));
        GenerateImage->setPixmap(SharedImage(13));
    }
    for (auto* edit : findChildren<TButtonEdit*>()) {
        if (edit->ButtonVisible()) {
            edit->ButtonNormal = UnlimitedButtonImage(edit->height(), false);
            edit->ButtonOver = UnlimitedButtonImage(edit->height(), true);
            edit->ButtonPushed = edit->ButtonOver;
            edit->UpdateButton();
        }
    }

    setWindowTitle(Q(EditorTitle(EditorKind, PackageAction, S(windowTitle()), PackageName)));
    if (EditorKind == kAccountEditor) {
        PlanEdit->clear();
        for (const std::string& item : PlanListItems(PackageListText, StatusText(50)))
            PlanEdit->addItem(Q(item));
        PlanEdit->setCurrentIndex(0);
        PlanEditSelect();
    }
    if (PackageAction == kCreatePackage || PackageAction == kEditPackage) {
        ToModel();
        model_->FillFromPackage(PackageListText, PackageAction == kEditPackage ? PackageName : std::string());
        FromModel();
    }

    AddPackagePanel->setVisible(EditorKind == kPackageEditor);
    AddAccountPanel->setVisible(EditorKind == kAccountEditor);
    const int panelHeight = EditorKind == kPackageEditor ? kPackagePanelHeight : kAccountPanelHeight;
    setFixedSize(kWindowWidth, panelHeight + kFooterHeight + kOkCancelHeight);
    OkCancelPanel->setGeometry(0, panelHeight, kWindowWidth, kOkCancelHeight);
    OKButton->move(kWindowWidth - 2 * 85 - 10, 13);
    CancelButton->move(kWindowWidth - 85 - 10, 13);
    FooterImage->setGeometry(0, panelHeight + kOkCancelHeight, kWindowWidth, kFooterHeight);
    if (EditorKind == kAccountEditor)
        Edit(QStringLiteral("DomainEdit"))->setFocus();
    SetTextColor(GenPasswordLabel, kLinkColor);
    OKButton->setEnabled(!ReadOnly);
}

void TAddForm::ToModel() {
    if (!model_)
        return;
    const auto fields = model_->Fields();
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        QWidget* control = controls_.value(Name(fields[static_cast<size_t>(i)].control));
        if (auto* check = qobject_cast<TBitCheckBox*>(control))
            model_->SetChecked(i, check->Checked());
        else if (auto* edit = qobject_cast<TButtonEdit*>(control))
            model_->SetText(i, S(edit->text()));
        else if (auto* combo = qobject_cast<TComboBox*>(control))
            model_->SetText(i, S(combo->currentText()));
    }
}

void TAddForm::FromModel() {
    if (!model_)
        return;
    const auto fields = model_->Fields();
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        QWidget* control = controls_.value(Name(fields[static_cast<size_t>(i)].control));
        if (auto* check = qobject_cast<TBitCheckBox*>(control))
            check->SetChecked(model_->Checked(i));
        else if (auto* edit = qobject_cast<TButtonEdit*>(control)) {
            const QString text = Q(model_->Text(i));
            // A longer value from the server is kept whole, so that an unchanged edit sends it back.
            if (edit->maxLength() < text.size())
                edit->setMaxLength(static_cast<int>(text.size()));
            if (edit->text() != text)
                edit->setText(text);
        }
    }
}

void TAddForm::PlanEditSelect() {
    if (!model_)
        return;
    ToModel();
    model_->SelectPlan(PackageListText, S(PlanEdit->currentText()));
    FromModel();
}

void TAddForm::OKButtonClick() {
    if (!model_ || requestRunning_ || ReadOnly)
        return;
    ToModel();
    const std::string url = model_->OkRequestUrl(BaseUrlOf(Session), StatusText(50));
    if (url.empty()) {
        Edit(QStringLiteral("DomainEdit"))->setFocus();
        return;
    }
    requestRunning_ = true;
    OKButton->setEnabled(false);
    CancelButton->setEnabled(false);
    // The window stays until the reply has come; closing it meanwhile drops the reply.
    StartRequest(this, Session, url, [this](const HttpReply& reply) { OkDone(reply); });
}

void TAddForm::OkDone(const HttpReply& reply) {
    QPointer<TAddForm> self(this);
    const EditorOkResult result = model_->OkReply(reply);
    if (!self)
        return;
    requestRunning_ = false;
    OKButton->setEnabled(true);
    CancelButton->setEnabled(true);
    if (!isVisible())
        return; // closed by a sign-out meanwhile
    if (result.signedOut) {
        signedOut_ = true;
        reject();
        return;
    }
    if (result.outcome == EditorOkOutcome::Close)
        accept();
}

void TAddForm::CancelButtonClick() {
    if (requestRunning_)
        return;
    if (model_)
        model_->Cancel();
    reject();
}

void TAddForm::reject() {
    if (!requestRunning_) // Escape while OK's request runs would drop the list's refresh
        TSkinnedForm::reject();
}

void TAddForm::ShowDomainAsciiForm() {
    const std::string typed = S(Edit(QStringLiteral("DomainEdit"))->text());
    const std::string sent = SentDomainName(typed);
    if (sent == typed)
        DomainAsciiLabel->clear();
    else if (sent.empty())
        DomainAsciiLabel->setText(QStringLiteral("not a domain name that can be sent"));
    else
        DomainAsciiLabel->setText(QStringLiteral("sent as ") + Q(sent));
}

void TAddForm::GenPasswordLabelClick() {
    Edit(QStringLiteral("PasswordEdit"))->setText(Q(GeneratePassword(kGeneratedPasswordLength)));
}

void TAddForm::GeneralScrollImageClick() {
    GeneralPanel->setVisible(!GeneralPanel->isVisible());
    GeneralScrollImage->setPixmap(ToggleImage(GeneralPanel->isVisible()));
}

void TAddForm::AdditionalScrollImageClick() {
    AdditionalPanel->setVisible(!AdditionalPanel->isVisible());
    AdditionalScrollImage->setPixmap(ToggleImage(AdditionalPanel->isVisible()));
}

void TAddForm::UnlimitedClick(TButtonEdit* edit) {
    edit->setMaxLength(kUnlimitedMaxLength);
    edit->setText(Q(std::string(kUnlimitedText)));
}

void TAddForm::QuotaEditClickButton() {
    UnlimitedClick(Edit(QStringLiteral("QuotaEdit")));
}

void TAddForm::Quota1ditClickButton() {
    UnlimitedClick(Edit(QStringLiteral("Quota1dit")));
}

void TAddForm::IP1heckClick() {
    ShowOnDemandEdit(QStringLiteral("IP1heck"));
}

void TAddForm::SavepkgCheckClick() {
    ShowOnDemandEdit(QStringLiteral("SavepkgCheck"));
}

void TAddForm::ShowOnDemandEdit(const QString& checkName) {
    const bool on = Check(checkName)->Checked();
    TButtonEdit* edit = Edit(checkName == QLatin1String("IP1heck") ? QStringLiteral("CustomipEdit")
                                                                   : QStringLiteral("PkgNameEdit"));
    edit->setVisible(on);
    if (on)
        edit->setFocus();
}

bool TAddForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && filters_.contains(watched)) {
        auto* edit = static_cast<QLineEdit*>(watched);
        const EditorKeyFilter filter = filters_.value(watched);
        if (filter != EditorKeyFilter::None) {
            const std::string current = S(edit->text());
            return FilterTypedKey(
                edit, static_cast<QKeyEvent*>(event),
                [&](int key) { return FilterEditorKey(filter, key, current); },
                Q(std::string(EditorKeyRefusal(filter))));
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == GeneralScrollImage) {
            GeneralScrollImageClick();
            return true;
        }
        if (watched == AdditionalScrollImage || watched == GenerateImage) {
            // The icon beside "Generate new" generates too: it belongs to that link.
            if (watched == GenerateImage)
                GenPasswordLabelClick();
            else
                AdditionalScrollImageClick();
            return true;
        }
        if (watched == GenPasswordLabel && GenPasswordLabel->isEnabled()) {
            GenPasswordLabelClick();
            return true;
        }
    }
    if (watched == GenPasswordLabel) {
        if (event->type() == QEvent::Enter && GenPasswordLabel->isEnabled())
            SetTextColor(GenPasswordLabel, kLinkHoverColor);
        else if (event->type() == QEvent::Leave)
            SetTextColor(GenPasswordLabel, kLinkColor);
    }
    return TSkinnedForm::eventFilter(watched, event);
}

} // namespace parlomar
