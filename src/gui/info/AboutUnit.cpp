#include "gui/info/AboutUnit.h"

#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>

namespace parlomar {

namespace {
const QColor kLinkColour(0x5D, 0x96, 0xB0);
const QColor kLinkHoverColour(0x7A, 0xB3, 0xCD);
constexpr const char* kSupportForum = "https://forum.parlomar.example/";
constexpr const char* kHostingPage = "https://www.parlomar.example/hosting";
constexpr const char* kDomainsPage = "https://www.parlomar.example/domains";

void SetLinkColour(TLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
} // namespace

bool OpenLink(const QString& address) {
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
                           scheme != QLatin1String("mailto")))
        return false;
    return QDesktopServices::openUrl(url);
}

TAboutForm::TAboutForm(QWidget* owner) : TSkinnedForm(QStringLiteral("AboutForm"), owner) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    setFixedSize(400, 423);

    auto label = [this](const char* name, const char* text, QRect geometry, int tag = 0) {
        auto* l = Named(new TLabel(QString::fromUtf8(text), this), name, tag);
        l->setGeometry(geometry);
        return l;
    };
    AboutLabel = label("AboutLabel", "Parlomar Client for Windows", {0, 0, 400, 32}, kTagLargeBold);
    AboutLabel->setAlignment(Qt::AlignCenter);
    SetParentFont(AboutLabel, false);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(10, 33, 380, 2);
    Label1 = label("Label1", "beta", {352, 2, 44, 14});
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);

    CreditLabel = label("CreditLabel", "Parlomar Labs makes tools for hosting operators.\nSee also our",
                        {20, 48, 360, 36}, kTagSmallBold);
    SetParentFont(CreditLabel, false);
    Label10 = label("Label10", "hosting offer", {20, 86, 170, 18}, kTagSmallBold);
    Label12 = label("Label12", "domain registration", {200, 86, 180, 18}, kTagSmallBold);
    SetParentFont(Label10, false);
    SetParentFont(Label12, false);

    VersionLabel = label("VersionLabel", "version:", {20, 130, 100, 18});
    VersionValueLabel = label("VersionValueLabel", "", {130, 130, 250, 18}, kTagNoCaption);
    ReleaseLabel = label("ReleaseLabel", "release:", {20, 152, 100, 18});
    ReleaseValueLabel = label("ReleaseValueLabel", "", {130, 152, 250, 18}, kTagNoCaption);

    SupportLabel = label("SupportLabel", "support:", {20, 196, 100, 18});
    URLLabel1 = label("URLLabel1", "www.parlomar.example/support", {130, 196, 250, 18}, kTagNoCaption);
    FeedbackLabel = label("FeedbackLabel", "feedback:", {20, 218, 100, 18});
    Label3 = label("Label3", "feedback@parlomar.example", {130, 218, 250, 18}, kTagNoCaption);
    BugreportLabel = label("BugreportLabel", "bugreport:", {20, 240, 100, 18});
    Label5 = label("Label5", "bugs@parlomar.example", {130, 240, 250, 18}, kTagNoCaption);

    CopyRightLabel = label("CopyRightLabel", "Made by Parlomar Labs", {20, 290, 360, 18});
    UrlLabel2 = label("UrlLabel2", "https://www.parlomar.example", {20, 308, 360, 18}, kTagNoCaption);
    TranslationLabel = label("TranslationLabel", "Translation services", {20, 334, 360, 18});
    TranslateLabel = label("TranslateLabel", "English texts by the Parlomar Labs team", {20, 352, 360, 18});
    UrlLabel3 = label("UrlLabel3", "https://translate.parlomar.example", {20, 370, 360, 18}, kTagNoCaption);

    OKButton = Named(new TSkinButton(QStringLiteral("OK"), this), "OKButton");
    OKButton->setGeometry(163, 395, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    FooterImage = Named(new TImage(this), "FooterImage");
    FooterImage->setGeometry(0, 409, 400, 14);

    links_ = {URLLabel1, UrlLabel2, UrlLabel3, Label3, Label5, Label10, Label12};
    for (TLabel* link : links_) {
        link->installEventFilter(this);
        link->setCursor(Qt::PointingHandCursor);
    }
}

void TAboutForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("AboutForm"), CheckBoxImages());
    VersionValueLabel->setText(Q(VersionText));
    ReleaseValueLabel->setText(Q(FileDateText(ExecutableFolder() / "ParlomarClient")));
    if (ReleaseValueLabel->text().isEmpty()) // not the program's own file (a test): the running one
        ReleaseValueLabel->setText(Q(FileDateText(S(QCoreApplication::applicationFilePath()))));
    for (TLabel* link : links_) {
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        SetLinkColour(link, kLinkColour);
    }
    setWindowTitle(windowTitle() + QString::fromUtf8(kMakerCredit));
}

void TAboutForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

QString TAboutForm::CopyText() const {
    const QChar lf(10);
    return AboutLabel->text() + lf + VersionLabel->text() + QLatin1Char(' ') + VersionValueLabel->text() +
           lf + ReleaseLabel->text() + QLatin1Char(' ') + ReleaseValueLabel->text() + lf +
           SupportLabel->text() + QLatin1Char(' ') + URLLabel1->text() + lf + CopyRightLabel->text() +
           QLatin1Char(' ') + UrlLabel2->text() + lf + TranslateLabel->text() + QLatin1Char(' ') +
           UrlLabel3->text();
}

QString TAboutForm::LinkTarget(const TLabel* label) const {
    if (label == URLLabel1)
        return QString::fromUtf8(kSupportForum);
    if (label == Label10)
        return QString::fromUtf8(kHostingPage);
    if (label == Label12)
        return QString::fromUtf8(kDomainsPage);
    if (label == Label3 || label == Label5)
        return QStringLiteral("mailto:") + label->text();
    return label->text();
}

bool TAboutForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        CopyTextToClipboard(CopyText());
        return true;
    }
    return event->key() == Qt::Key_Escape; // closes only with OK
}

void TAboutForm::URLLabel1Click() {
    OpenLink(LinkTarget(URLLabel1));
}

void TAboutForm::UrlLabel2Click() {
    OpenLink(LinkTarget(UrlLabel2));
}

void TAboutForm::Label3Click() {
    OpenLink(LinkTarget(Label3));
}

void TAboutForm::Label10Click() {
    OpenLink(LinkTarget(Label10));
}

void TAboutForm::Label12Click() {
    OpenLink(LinkTarget(Label12));
}

void TAboutForm::URLLabel1MouseEnter(TLabel* link) {
    if (link->isEnabled())
        SetLinkColour(link, kLinkHoverColour);
}

void TAboutForm::URLLabel1MouseLeave(TLabel* link) {
    SetLinkColour(link, kLinkColour);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    auto* link = qobject_cast<TLabel*>(watched);
    if (link && links_.contains(link)) {
        if (event->type() == QEvent::Enter)
            URLLabel1MouseEnter(link);
        else if (event->type() == QEvent::Leave)
            URLLabel1MouseLeave(link);
        else if (event->type() == QEvent::MouseButtonRelease) {
            if (link == URLLabel1)
                URLLabel1Click();
            else if (link == UrlLabel2)
                UrlLabel2Click();
            else if (link == Label3)
                Label3Click();
            else if (link == Label10)
                Label10Click();
            else if (link == Label12)
                Label12Click();
            else
                OpenLink(LinkTarget(link));
            return true;
        }
    }
    return TSkinnedForm::eventFilter(watched, event);
}

} // namespace parlomar
