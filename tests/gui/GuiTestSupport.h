#pragma once

#include "TestSupport.h"

#include "gui/app/AsyncRequest.h"
#include "gui/app/GuiTransportUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class QWidget;

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlomar::test {

// The GUI seam with prepared answers: messages and questions are recorded instead of shown, questions
// take the next prepared answer (false when none is left), certificates are accepted when asked.
class AnsweringUi : public GuiTransportUi {
public:
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    int certificateQuestions = 0;
    bool acceptCertificates = true;

protected:
    void ShowMessageOnGui(const std::string& text) override { messages.push_back(text); }
    bool AskQuestionOnGui(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool AskCertificateOnGui(const CertificateInfo&) override {
        ++certificateQuestions;
        return acceptCertificates;
    }
};

// A test class whose every test runs with an answering seam installed; the seam is removed and the
// connection closed after each test. A class with more to set up or tear down declares its own
// init/cleanup and calls these.
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::shared_ptr<AnsweringUi> ui;

protected slots:
    void init();
    void cleanup();
};

// Waits until every request a window started has had its completion run (or was dropped).
inline bool WaitForRequests() {
    return QTest::qWaitFor([] { return RequestsInFlight() == 0; }, 20000);
}

// The text holds the line (with its line feed).
inline bool Has(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The status text `n` as the status bar shows it: the text, a space, then `suffix`.
QString Status(int n, const std::string& suffix = "");

// Asks the widget for its hint at a point, as hovering does, and returns the width of the hint window
// shown (-1 when none shows); the hint is hidden again.
int ShownHintWidth(QWidget* widget, const QPoint& at);

// A temporary program folder (settings file, language file) made the program folder for a test.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    QString Path() const { return dir_.path(); }
    void WriteLanguage(const std::string& text);
    void WriteSettings(const std::string& text);
    std::string Settings() const;
    std::string Language() const;

private:
    QTemporaryDir dir_;
};

// Runs `step` on the next modal window that opens (a dialog shown with ShowModal blocks the test).
// Gives up after 10 s, so a dialog that never opened cannot catch a later test's dialog.
template <typename Window>
inline void OnNextModal(std::function<void(Window*)> step) {
    auto poll = std::make_shared<std::function<void()>>();
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    *poll = [step, poll, since] {
        if (since->hasExpired(10000)) {
            *poll = nullptr; // the running copy keeps itself alive; this ends the cycle
            QFAIL("the expected dialog did not open");
        }
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            *poll = nullptr; // the running copy keeps itself alive; this ends the cycle
            QPointer<Window> guard(window);
            step(window);
            if (guard && guard->isVisible())
                guard->reject(); // a failed check inside the step must not leave the test waiting
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

} // namespace parlomar::test
