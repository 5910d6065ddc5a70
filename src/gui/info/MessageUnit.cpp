#include "info/MessageUnit.h"

#include "settings/Captions.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/Skins.h"

#include <QKeyEvent>
#include <QPointer>
#include <QVBoxLayout>

namespace parlomar {

namespace {
constexpr int kClientWidth = 393;
constexpr int kClientHeight = 251;
constexpr int kButtonStripHeight = 51;
constexpr int kFooterHeight = 14;
constexpr int kPanelHeight = kClientHeight - kButtonStripHeight - kFooterHeight;
constexpr int kLabelMargin = 12;
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
        ServerInfoPanel->show();
        return;
    }
    MessageLabel->setText(ElideWrapped(MessageText, MessageLabel->font(), MessageLabel->size()));
    MessagePanel->show();
    setFixedHeight(MessagePanel->height() + kButtonStripHeight + kFooterHeight);
    if (MessageKind == kMessageQuestion) {
        CancelButton->show();
        OKButton->move(227, OKButton->y());
    }
    MessageLabel->setToolTip(MessageText);
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
        CopyTextToClipboard(MessageKind == kMessageText ? MessageText : QString());
        return true;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == 0) {
        // Enter presses the focused button, as a platform message box does; OK otherwise.
        (CancelButton->hasFocus() ? CancelButton : OKButton)->click();
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

} // namespace parlomar
