#include "gui/info/MessageUnit.h"

#include "core/accounts/PackageList.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/XMLParser.h"
#include "core/settings/Localization.h"
#include "core/tools/HostLookup.h"
#include "gui/app/AsyncRequest.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>

namespace parlomar {

namespace {
constexpr int kClientWidth = 393;
constexpr int kClientHeight = 251;
constexpr int kButtonStripHeight = 51;
constexpr int kFooterHeight = 14;
constexpr int kPanelHeight = kClientHeight - kButtonStripHeight - kFooterHeight;
constexpr int kLabelMargin = 12;
constexpr int kDetailedWidth = 480;

// A hint that Qt shows as plain text: a text that could be taken for markup is escaped, and wraps.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// A reverse lookup run on a thread of its own; the view asks for the answer on the GUI thread. The
// thread owns its half, so a view closed before the answer came leaves nothing behind.
struct LookupResult {
    std::mutex mutex;
    bool done = false;
    std::string host;
};

std::atomic<ReverseLookupFunction> gServerInfoLookup{&ReverseLookup};

std::shared_ptr<LookupResult> StartReverseLookup(const std::string& address) {
    auto result = std::make_shared<LookupResult>();
    const ReverseLookupFunction lookup = gServerInfoLookup.load();
    std::thread([result, address, lookup] {
        std::string host = lookup(address);
        std::lock_guard lock(result->mutex);
        result->host = std::move(host);
        result->done = true;
    }).detach();
    return result;
}
} // namespace

TMessageForm::TMessageForm(QWidget* owner) : TSkinnedForm(QStringLiteral("MessageForm"), owner) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    escapeCloses_ = true;
    setFixedSize(kClientWidth, kClientHeight);

    MessagePanel = Named(new TPanel(this), "MessagePanel");
    MessagePanel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    MessageLabel = Named(new TLabel(MessagePanel), "MessageLabel", kTagNoCaption);
    MessageLabel->setGeometry(kLabelMargin, kLabelMargin, kClientWidth - 2 * kLabelMargin,
                              kPanelHeight - 2 * kLabelMargin);
    MessageLabel->setAlignment(Qt::AlignCenter);
    MessageLabel->setWordWrap(true);
    MessagePanel->hide();

    ServerInfoPanel = Named(new TPanel(this), "ServerInfoPanel");
    ServerInfoPanel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    ServerInfoPanel->hide();
    auto row = [this](TLabel*& caption, const char* name, const char* text, TLabel*& value,
                      const char* valueName, int index) {
        const int top = 14 + index * 24;
        caption = Named(new TLabel(QString::fromUtf8(text), ServerInfoPanel), name);
        caption->setGeometry(20, top, 130, 20);
        value = Named(new TLabel(ServerInfoPanel), valueName, kTagNoCaption);
        value->setGeometry(155, top, kClientWidth - 175, 20);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    };
    row(IPLabel, "IPLabel", "IP:", IPValLabel, "IPValLabel", 0);
    row(ParlomarLabel, "ParlomarLabel", "Control server:", ParlomarValLabel, "ParlomarValLabel", 1);
    row(HostNameLabel, "HostNameLabel", "Hostname:", HostNameValLabel, "HostNameValLabel", 2);
    row(PortLabel, "PortLabel", "Port:", PortValLabel, "PortValLabel", 3);
    row(LoggedInLabel, "LoggedInLabel", "Logged in as:", LoggedInValLabel, "LoggedInValLabel", 4);
    row(PackagesLabel, "PackagesLabel", "Packages:", PackagesValLabel, "PackagesValLabel", 5);
    row(AccountsLabel, "AccountsLabel", "Accounts:", AccountsValLabel, "AccountsValLabel", 6);
    AccountsLabel->hide();
    AccountsValLabel->hide();

    OKCancelPanel = Named(new TPanel(this), "OKCancelPanel");
    OKCancelPanel->setGeometry(0, kPanelHeight, kClientWidth, kButtonStripHeight);
    OKButton = Named(new TSkinButton(QStringLiteral("OK"), OKCancelPanel), "OKButton");
    OKButton->setGeometry(310, 13, 75, 25);
    CancelButton = Named(new TSkinButton(QStringLiteral("Cancel"), OKCancelPanel), "CancelButton");
    CancelButton->setGeometry(310, 13, 75, 25);
    CancelButton->hide();
    FooterImage = Named(new TImage(this), "FooterImage");
    FooterImage->setGeometry(0, kPanelHeight + kButtonStripHeight, kClientWidth, kFooterHeight);

    connect(OKButton, &QPushButton::clicked, this, &TMessageForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TMessageForm::OKButtonClick() {
    MessageResult = true;
    accept();
}

QString TMessageForm::ElideWrapped(const QString& text, const QFont& font, const QSize& box) {
    const QFontMetrics metrics(font);
    const int flags = Qt::TextWordWrap | Qt::AlignCenter;
    auto fits = [&](const QString& candidate) {
        return metrics.boundingRect(QRect(QPoint(0, 0), box), flags, candidate).height() <= box.height();
    };
    if (fits(text))
        return text;
    const QString ellipsis(QChar(0x2026));
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) { // the longest prefix that still fits with the ellipsis
        const qsizetype middle = (low + high + 1) / 2;
        if (fits(text.left(middle) + ellipsis))
            low = middle;
        else
            high = middle - 1;
    }
    return text.left(low) + ellipsis;
}

void TMessageForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("MessageForm"), CheckBoxImages());
    if (MessageKind == kMessageServerInfo) {
        ShowServerInfo();
        return;
    }
    if (MessageKind == kMessageQuestion && !DetailText.isEmpty()) {
        ShowWithDetails();
        return;
    }
    MessageLabel->setText(ElideWrapped(MessageText, MessageLabel->font(), MessageLabel->size()));
    MessagePanel->show();
    setFixedHeight(MessagePanel->height() + kButtonStripHeight + kFooterHeight);
    if (MessageKind == kMessageQuestion) {
        CancelButton->show();
        OKButton->move(227, OKButton->y());
    }
    MessageLabel->setToolTip(PlainToolTip(MessageText));
}

void TMessageForm::ShowWithDetails() {
    const int width = kDetailedWidth;
    const int inner = width - 2 * kLabelMargin;
    DetailsEdit = new QTextEdit(MessagePanel);
    DetailsEdit->setObjectName(QStringLiteral("DetailsEdit"));
    DetailsEdit->setReadOnly(true);
    DetailsEdit->setAcceptRichText(false);
    DetailsEdit->setFrameShape(QFrame::NoFrame);
    DetailsEdit->viewport()->setAutoFillBackground(false);
    DetailsEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    DetailsEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DetailsEdit->document()->setDocumentMargin(0);
    DetailsEdit->setPlainText(DetailText);
    // The details read in the window's text colour, which a skin sets for labels only.
    QPalette palette = DetailsEdit->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Text, MessageLabel->palette().color(group, QPalette::WindowText));
    DetailsEdit->setPalette(palette);

    // The message (fingerprint and question) is shown whole; the details get what room is left on
    // the screen and scroll beyond it.
    MessageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MessageLabel->setText(MessageText);
    const int messageHeight = MessageLabel->heightForWidth(inner);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->availableGeometry().height() : 768;
    const int chrome = kButtonStripHeight + kFooterHeight + 3 * kLabelMargin + messageHeight;
    const int roomForDetails = std::max(60, screenHeight * 9 / 10 - chrome - 40);
    // Measured on a document of its own: the edit's document is laid out for its viewport only once
    // it is shown.
    QTextDocument measure;
    measure.setDefaultFont(DetailsEdit->font());
    measure.setDefaultTextOption(DetailsEdit->document()->defaultTextOption());
    measure.setDocumentMargin(DetailsEdit->document()->documentMargin());
    measure.setPlainText(DetailText);
    measure.setTextWidth(inner - DetailsEdit->verticalScrollBar()->sizeHint().width());
    const int wanted = static_cast<int>(std::ceil(measure.size().height())) + 2;
    const int detailsHeight = std::min(wanted, roomForDetails);

    DetailsEdit->setGeometry(kLabelMargin, kLabelMargin, inner, detailsHeight);
    MessageLabel->setGeometry(kLabelMargin, 2 * kLabelMargin + detailsHeight, inner, messageHeight);
    const int panelHeight = 3 * kLabelMargin + detailsHeight + messageHeight;
    MessagePanel->setGeometry(0, 0, width, panelHeight);
    OKCancelPanel->setGeometry(0, panelHeight, width, kButtonStripHeight);
    FooterImage->setGeometry(0, panelHeight + kButtonStripHeight, width, kFooterHeight);
    CancelButton->move(width - 83, CancelButton->y());
    CancelButton->show();
    OKButton->move(width - 166, OKButton->y());
    MessagePanel->show();
    DetailsEdit->show();
    setFixedSize(width, panelHeight + kButtonStripHeight + kFooterHeight);
    if (CancelIsDefault)
        CancelButton->setFocus();
}

void TMessageForm::ShowServerInfo() {
    ServerInfoPanel->show();
    const SessionPtr session = Session;
    // The server's version follows in its row when the request answers.
    StartRequest(this, session, VersionUrl(BaseUrlOf(session)), [this](const HttpReply& reply) {
        const std::string version = reply.status == kStatusOk
                                        ? XmlExtract(reply.text, "version", "version", kXmlLastValue)
                                        : StatusText(10);
        ParlomarValLabel->setText(Q(version));
    });
    const std::string address = session ? session->Address() : std::string();
    IPValLabel->setText(Q(address));
    PortValLabel->setText(QString::number(session ? session->Port() : 0));
    LoggedInValLabel->setText(Q(session ? session->UserName() : std::string()));
    PackagesValLabel->setText(QString::number(PackageCountOf(PackageListText)));
    // The host name comes from a name lookup, which may take long: it runs off the GUI thread, and
    // the host name row and the title follow when it answers.
    const QString title = windowTitle();
    auto showHost = [this, title](const QString& host) {
        HostNameValLabel->setText(host);
        setWindowTitle(host + QStringLiteral(" - ") + Q(StatusText(42)) + QStringLiteral(" - ") + title +
                       QString::fromUtf8(kMakerCredit));
    };
    showHost(QString());
    auto lookup = StartReverseLookup(address);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [lookup, poll, showHost] {
        std::string host;
        {
            std::lock_guard lock(lookup->mutex);
            if (!lookup->done)
                return;
            host = lookup->host;
        }
        poll->stop();
        showHost(Q(host));
    });
    poll->start(20);
    if (ServerAccountCount > 0) {
        AccountsValLabel->setText(QString::number(ServerAccountCount));
        AccountsLabel->show();
        AccountsValLabel->show();
    }
}

QString TMessageForm::ServerInfoText() const {
    QStringList lines;
    const QList<std::pair<TLabel*, TLabel*>> rows{{IPLabel, IPValLabel},
                                                  {ParlomarLabel, ParlomarValLabel},
                                                  {HostNameLabel, HostNameValLabel},
                                                  {PortLabel, PortValLabel},
                                                  {LoggedInLabel, LoggedInValLabel},
                                                  {PackagesLabel, PackagesValLabel},
                                                  {AccountsLabel, AccountsValLabel}};
    for (const auto& [caption, value] : rows) {
        if (caption == AccountsLabel && !AccountsLabel->isVisibleTo(this))
            continue;
        lines.append(caption->text() + QLatin1Char(' ') + value->text());
    }
    return lines.join(QLatin1Char('\n'));
}

void TMessageForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

bool TMessageForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        CopyTextToClipboard(MessageKind == kMessageText         ? MessageText
                            : MessageKind == kMessageServerInfo ? ServerInfoText()
                                                                : QString());
        return true;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == 0) {
        // Enter presses the focused button, as a platform message box does; else the default one.
        const bool cancel = CancelButton->hasFocus() || (CancelIsDefault && !OKButton->hasFocus());
        (cancel ? CancelButton : OKButton)->click();
        return true;
    }
    return false;
}

namespace {
bool RunMessageWindow(const QString& text, int kind) {
    QPointer<TMessageForm> form = new TMessageForm();
    form->MessageKind = kind;
    form->MessageText = text;
    form->ShowModal();
    const bool result = form && form->MessageResult;
    delete form.data();
    return result;
}
} // namespace

void ShowMessageWindow(const QString& text, int kind) {
    RunMessageWindow(text, kind);
}

bool AskQuestionWindow(const QString& text) {
    return RunMessageWindow(text, kMessageQuestion);
}

bool AskDetailedQuestionWindow(const QString& details, const QString& question) {
    QPointer<TMessageForm> form = new TMessageForm();
    form->MessageKind = kMessageQuestion;
    form->MessageText = question;
    form->DetailText = details;
    form->CancelIsDefault = true;
    form->ShowModal();
    const bool result = form && form->MessageResult;
    delete form.data();
    return result;
}

} // namespace parlomar

namespace parlomar {

void SetServerInfoLookup(ReverseLookupFunction lookup) {
    gServerInfoLookup = lookup ? lookup : &ReverseLookup;
}

void ShowServerInformation(QWidget* owner, const std::string& packageListReply, int serverAccountCount,
                           bool stayOnTop, SessionPtr session) {
    QPointer<TMessageForm> form = new TMessageForm(owner);
    form->MessageKind = kMessageServerInfo;
    form->Session = std::move(session);
    form->PackageListText = packageListReply;
    form->ServerAccountCount = serverAccountCount;
    form->SetStayOnTop(stayOnTop);
    form->ShowModal();
    delete form.data();
}

} // namespace parlomar
