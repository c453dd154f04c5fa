#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QFileDialog;
class QInputDialog;

namespace tarnwick::test {

struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString startCaption;  // the start button's caption while the box was shown
};

// What a file dialog is given: its folder and the text typed as the file name.
struct FileChoice {
    QString folder;
    QString typed;
};

// Answers the modal dialogs as they are shown, as a user would: message
// boxes with OK (or the button given for questions), recording what they
// showed; input boxes and file dialogs with the next answer queued for them.
// Dialogs are noticed by their show event rather than polled for, so no
// timer wakes the event loop while nothing is shown.
class DialogAnswerer : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    // onProblem hears a dialog that cannot be answered as queued;
    // startCaption, when given, is read as each message box is seen.
    explicit DialogAnswerer(std::function<void(const QString&)> onProblem,
                            std::function<QString()> startCaption = {});
    ~DialogAnswerer() override;

    const std::vector<SeenMessage>& Seen() const { return m_seen; }
    std::vector<QString> Texts() const;

    // The text typed into the next input box; nothing cancels it.
    void QueueInput(std::optional<QString> text);
    // The next file dialog's answer; nothing cancels it.
    void QueueFileChoice(std::optional<FileChoice> choice);
    void AnswerQuestionsWith(QMessageBox::StandardButton button) { m_questionAnswer = button; }

    // Titles of the input boxes and file dialogs answered, in order.
    const std::vector<QString>& DialogTitles() const { return m_dialogTitles; }
    const std::vector<QString>& InputPrompts() const { return m_inputPrompts; }
    // When the last dialog was shown, before it was answered.
    std::optional<Clock::time_point> LastSeenAt() const { return m_lastSeenAt; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer(QDialog* dialog);
    void AnswerMessage(QMessageBox& box);
    void AnswerInput(QInputDialog& box);
    void AnswerFileDialog(QFileDialog& dialog);
    template <typename Reply>
    std::optional<Reply> NextAnswer(std::deque<std::optional<Reply>>& queue, QDialog& dialog);

    std::function<void(const QString&)> m_onProblem;
    std::function<QString()> m_startCaption;
    std::vector<SeenMessage> m_seen;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<std::optional<FileChoice>> m_fileChoices;
    QMessageBox::StandardButton m_questionAnswer = QMessageBox::Yes;
    std::vector<QString> m_dialogTitles;
    std::vector<QString> m_inputPrompts;
    std::optional<Clock::time_point> m_lastSeenAt;
};

}  // namespace tarnwick::test
