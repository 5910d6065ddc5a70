#pragma once

#include "app/GuiTransportUi.h"

#include <QTemporaryDir>

#include <deque>
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

} // namespace parlomar::test
