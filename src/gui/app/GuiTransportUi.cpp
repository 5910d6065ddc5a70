#include "gui/app/GuiTransportUi.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/settings/Paths.h"
#include "gui/app/MainUnit.h"
#include "gui/info/MessageUnit.h"
#include "gui/settings/Captions.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace parlomar {

GuiTransportUi::GuiTransportUi() = default;

void GuiTransportUi::SetMainForm(TParlomarClientMainForm* form) {
    mainForm_ = form;
}

void GuiTransportUi::BeginShutdown() {
    shuttingDown_ = true;
}

void GuiTransportUi::ShowRequestStatus(int n, const std::string& suffix) {
    if (mainForm_)
        mainForm_->ShowRequestStatus(n, suffix);
}

bool GuiTransportUi::IsGuiThread() {
    return QThread::currentThread() == thread();
}

void GuiTransportUi::PostToGuiThread(std::function<void()> function) {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

QString GuiTransportUi::PrintableText(const std::string& text) {
    QString printable;
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (const char32_t c : decoded.toUcs4()) {
        bool shown = true;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            shown = false;
            break;
        default:
            break;
        }
        if (shown)
            printable += QString::fromUcs4(&c, 1);
        else
            printable += QChar(QChar::ReplacementCharacter);
    }
    return printable;
}

namespace {
// "AA:BB:..." as lines of eight pairs.
QString GroupedFingerprint(const QString& fingerprint) {
    const QStringList pairs = fingerprint.split(QLatin1Char(':'));
    QStringList lines;
    for (qsizetype i = 0; i < pairs.size(); i += 8)
        lines.append(pairs.mid(i, 8).join(QLatin1Char(':')));
    return lines.join(QLatin1Char('\n'));
}
} // namespace

GuiTransportUi::CertificateQuestionText GuiTransportUi::CertificateQuestion(const CertificateInfo& info) {
    CertificateQuestionText text;
    if (info.changed)
        text.details +=
            QStringLiteral("The server sent a different certificate than the one accepted before.\n");
    else
        text.details += QStringLiteral("The server's certificate is not trusted: ") +
                        PrintableText(info.problem) + QStringLiteral(".\n");
    text.details += QStringLiteral("Host: ") + PrintableText(info.host) + QLatin1Char(':') +
                    QString::number(info.port) + QLatin1Char('\n');
    text.details += QStringLiteral("Subject: ") + PrintableText(info.subject) + QLatin1Char('\n');
    text.details += QStringLiteral("Issuer: ") + PrintableText(info.issuer) + QLatin1Char('\n');
    text.details += QStringLiteral("Valid: ") + PrintableText(info.notBefore) + QStringLiteral(" to ") +
                    PrintableText(info.notAfter);
    text.question = QStringLiteral("SHA-256:\n") + GroupedFingerprint(PrintableText(info.fingerprint)) +
                    QLatin1Char('\n');
    if (info.changed && !info.previousFingerprint.empty())
        text.question += QStringLiteral("Accepted before:\n") +
                         GroupedFingerprint(PrintableText(info.previousFingerprint)) + QLatin1Char('\n');
    // What accepting does, so that the operator knows it is not a question for this once only.
    text.question += QStringLiteral("Accepting remembers this fingerprint for ") + PrintableText(info.host) +
                     QLatin1Char(':') + QString::number(info.port) +
                     QStringLiteral(" in the settings file ") +
                     QString::fromStdString(FileLocations().settingsFile.string()) +
                     QStringLiteral("; a different certificate is asked about again.\n");
    text.question += QStringLiteral("Accept this certificate?");
    return text;
}

bool GuiTransportUi::RunOnGui(std::function<bool()> dialog) {
    if (shuttingDown_)
        return false;
    if (IsGuiThread())
        return dialog();
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool answer = false;
    };
    auto wait = std::make_shared<Wait>();
    PostToGuiThread([wait, dialog] {
        const bool answer = dialog();
        std::lock_guard lock(wait->mutex);
        wait->answer = answer;
        wait->finished = true;
        wait->done.notify_all();
    });
    std::unique_lock lock(wait->mutex);
    // The GUI thread may be waiting for this thread at exit: then the question counts as declined.
    while (!wait->finished) {
        if (shuttingDown_ || FetchShutdownBegun())
            return false;
        wait->done.wait_for(lock, std::chrono::milliseconds(50));
    }
    return wait->answer;
}

void GuiTransportUi::ShowMessage(const std::string& text) {
    RunOnGui([this, text] {
        ShowMessageOnGui(text);
        return true;
    });
}

bool GuiTransportUi::AskQuestion(const std::string& text) {
    return RunOnGui([this, text] { return AskQuestionOnGui(text); });
}

bool GuiTransportUi::AskCertificate(const CertificateInfo& info) {
    return RunOnGui([this, info] { return AskCertificateOnGui(info); });
}

void GuiTransportUi::ShowMessageOnGui(const std::string& text) {
    ShowMessageWindow(Q(text), kMessageText);
}

bool GuiTransportUi::AskQuestionOnGui(const std::string& text) {
    return AskQuestionWindow(Q(text));
}

bool GuiTransportUi::AskCertificateOnGui(const CertificateInfo& info) {
    const CertificateQuestionText text = CertificateQuestion(info);
    return AskDetailedQuestionWindow(text.details, text.question);
}

} // namespace parlomar
