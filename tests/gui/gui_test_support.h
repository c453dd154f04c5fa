#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "app/form1.h"

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tarnwick::test {

struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString startCaption;  // the start button's caption while the box was shown
};

// Answers the modal dialogs that open: message boxes with OK (or the
// button given for questions), recording what they showed; input boxes and
// file dialogs with the next answer queued for them.
class MessageAnswerer {
public:
    explicit MessageAnswerer(const Form1& form);

    const std::vector<SeenMessage>& Seen() const { return m_seen; }
    std::vector<QString> Texts() const;

    // The text typed into the next input box; nothing cancels it.
    void QueueInput(std::optional<QString> text);
    // What the next file dialog is given: its folder and the text typed as
    // the file name; nothing cancels it.
    struct FileChoice {
        QString folder;
        QString typed;
    };
    void QueueFileChoice(std::optional<FileChoice> choice);
    void AnswerQuestionsWith(QMessageBox::StandardButton button) { m_questionAnswer = button; }

    // Titles of the input boxes and file dialogs answered, in order.
    const std::vector<QString>& DialogTitles() const { return m_dialogTitles; }
    const std::vector<QString>& InputPrompts() const { return m_inputPrompts; }

private:
    void AnswerOpenDialog();
    void AnswerMessage(QMessageBox& box);
    void AnswerInput(QInputDialog& box);
    void AnswerFileDialog(QFileDialog& dialog);

    const Form1& m_form;
    QTimer m_poll;
    std::vector<SeenMessage> m_seen;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<std::optional<FileChoice>> m_fileChoices;
    QMessageBox::StandardButton m_questionAnswer = QMessageBox::Yes;
    std::vector<QString> m_dialogTitles;
    std::vector<QString> m_inputPrompts;
};

// Runs action once, during the search's yields, as soon as condition holds.
class WhenDuringRun {
public:
    WhenDuringRun(std::function<bool()> condition, std::function<void()> action);
    bool Happened() const { return m_happened; }

private:
    QTimer m_poll;
    bool m_happened = false;
};

// A temporary folder with helpers that write files into it.
class TempFolder {
public:
    TempFolder();
    QString Path() const { return m_dir.path(); }
    QString Write(const QString& relativePath, const QByteArray& contents) const;
    QString MakeFolder(const QString& relativePath) const;

private:
    QTemporaryDir m_dir;
};

struct FormUnderTest {
    std::unique_ptr<TempFolder> programFolder;
    std::unique_ptr<Form1> form;
    std::vector<QString> openedUrls;
};

// A shown main window whose program folder is a fresh temporary folder, with
// start-up's surroundings replaced as given.
std::unique_ptr<FormUnderTest> MakeForm(
    const std::function<void(StartupEnvironment&, const TempFolder&)>& adjust = {});

// A shown main window with its dialogs answered and a folder for files.
class FormTest : public ::testing::Test {
protected:
    std::unique_ptr<FormUnderTest> m_made = MakeForm();
    Form1& form = *m_made->form;
    MessageAnswerer answerer{form};
    TempFolder files;
};

// The folder that holds this test process's stored settings, apart from
// the user's and from the other test processes running beside it.
QString SettingsFolder();

void AddEntries(ListView& list, const std::vector<QString>& entries);
void AddEntries(Form1& form, const std::vector<QString>& entries);
void Click(QAbstractButton* button);
void ClickStart(Form1& form);

}  // namespace tarnwick::test
