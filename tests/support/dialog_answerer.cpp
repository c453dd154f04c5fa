#include "dialog_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace tarnwick::test {

DialogAnswerer::DialogAnswerer(std::function<void(const QString&)> onProblem,
                               std::function<QString()> startCaption)
    : m_onProblem(std::move(onProblem)), m_startCaption(std::move(startCaption)) {
    QCoreApplication::instance()->installEventFilter(this);
}

DialogAnswerer::~DialogAnswerer() {
    QCoreApplication::instance()->removeEventFilter(this);
}

std::vector<QString> DialogAnswerer::Texts() const {
    std::vector<QString> texts;
    for (const SeenMessage& message : m_seen) {
        texts.push_back(message.text);
    }
    return texts;
}

void DialogAnswerer::QueueInput(std::optional<QString> text) {
    m_inputs.push_back(std::move(text));
}

void DialogAnswerer::QueueFileChoice(std::optional<FileChoice> choice) {
    m_fileChoices.push_back(std::move(choice));
}

bool DialogAnswerer::eventFilter(QObject* watched, QEvent* event) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (event->type() == QEvent::Show && dialog && dialog->isModal()) {
        m_lastSeenAt = Clock::now();
        // Answered once the dialog's own event loop runs.
        QTimer::singleShot(0, this, [this, shown = QPointer<QDialog>(dialog)] {
            if (shown && shown->isVisible()) {
                Answer(shown);
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void DialogAnswerer::Answer(QDialog* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        AnswerMessage(*box);
    } else if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
        AnswerInput(*input);
    } else if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
        AnswerFileDialog(*files);
    } else {
        m_onProblem(QStringLiteral("an unexpected dialog opened: ") + dialog->windowTitle());
        dialog->reject();
    }
}

void DialogAnswerer::AnswerMessage(QMessageBox& box) {
    m_seen.push_back(
        {box.windowTitle(), box.text(), box.icon(), m_startCaption ? m_startCaption() : QString()});
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    (ok ? ok : box.button(m_questionAnswer))->click();
}

// The next answer queued for dialog; an empty one, or none, rejects it.
template <typename Reply>
std::optional<Reply> DialogAnswerer::NextAnswer(std::deque<std::optional<Reply>>& queue,
                                                QDialog& dialog) {
    if (queue.empty()) {
        m_onProblem(dialog.windowTitle() + QStringLiteral(" opened with no answer queued"));
        dialog.reject();
        return std::nullopt;
    }
    std::optional<Reply> answer = std::move(queue.front());
    queue.pop_front();
    if (!answer) {
        dialog.reject();
    }
    return answer;
}

void DialogAnswerer::AnswerInput(QInputDialog& box) {
    m_dialogTitles.push_back(box.windowTitle());
    m_inputPrompts.push_back(box.labelText());
    if (const std::optional<QString> answer = NextAnswer(m_inputs, box)) {
        box.setTextValue(*answer);
        box.accept();
    }
}

void DialogAnswerer::AnswerFileDialog(QFileDialog& dialog) {
    m_dialogTitles.push_back(dialog.windowTitle());
    const std::optional<FileChoice> choice = NextAnswer(m_fileChoices, dialog);
    if (!choice) {
        return;
    }
    dialog.setDirectory(choice->folder);
    auto* fileName = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!fileName) {
        // A dialog whose name box goes by another name: picked, not typed.
        dialog.selectFile(choice->typed);
        static_cast<QDialog&>(dialog).accept();
        return;
    }
    // Typed as a user types: into the focused box, which the dialog then
    // leaves as it is.
    QApplication::setActiveWindow(&dialog);
    fileName->setFocus();
    fileName->setText(choice->typed);
    QTest::keyClick(fileName, Qt::Key_Return);
}

}  // namespace tarnwick::test
