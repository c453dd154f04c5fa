#include "gui_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "platform/list_view.h"

namespace tarnwick::test {

namespace {
constexpr int kPollMs = 1;
}

MessageAnswerer::MessageAnswerer(const Form1& form) : m_form(form) {
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { AnswerOpenDialog(); });
    m_poll.start();
}

std::vector<QString> MessageAnswerer::Texts() const {
    std::vector<QString> texts;
    for (const SeenMessage& message : m_seen) {
        texts.push_back(message.text);
    }
    return texts;
}

void MessageAnswerer::QueueInput(std::optional<QString> text) {
    m_inputs.push_back(std::move(text));
}

void MessageAnswerer::QueueFileChoice(std::optional<FileChoice> choice) {
    m_fileChoices.push_back(std::move(choice));
}

void MessageAnswerer::AnswerOpenDialog() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        AnswerMessage(*box);
    } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        AnswerInput(*input);
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        AnswerFileDialog(*files);
    }
}

void MessageAnswerer::AnswerMessage(QMessageBox& box) {
    m_seen.push_back({box.windowTitle(), box.text(), box.icon(), m_form.PushButton1->text()});
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    (ok ? ok : box.button(m_questionAnswer))->click();
}

// The next answer queued for dialog; an empty one, or none, rejects it.
template <typename Answer>
std::optional<Answer> NextAnswer(std::deque<std::optional<Answer>>& queue, QDialog& dialog) {
    if (queue.empty()) {
        ADD_FAILURE() << qPrintable(dialog.windowTitle()) << " opened with no answer queued";
        dialog.reject();
        return std::nullopt;
    }
    std::optional<Answer> answer = std::move(queue.front());
    queue.pop_front();
    if (!answer) {
        dialog.reject();
    }
    return answer;
}

void MessageAnswerer::AnswerInput(QInputDialog& box) {
    m_dialogTitles.push_back(box.windowTitle());
    m_inputPrompts.push_back(box.labelText());
    if (const std::optional<QString> answer = NextAnswer(m_inputs, box)) {
        box.setTextValue(*answer);
        box.accept();
    }
}

void MessageAnswerer::AnswerFileDialog(QFileDialog& dialog) {
    m_dialogTitles.push_back(dialog.windowTitle());
    const std::optional<FileChoice> choice = NextAnswer(m_fileChoices, dialog);
    if (!choice) {
        return;
    }
    dialog.setDirectory(choice->folder);
    QLineEdit* fileName = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    // Typed as a user types: into the focused box, which the dialog then
    // leaves as it is.
    QApplication::setActiveWindow(&dialog);
    fileName->setFocus();
    fileName->setText(choice->typed);
    QTest::keyClick(fileName, Qt::Key_Return);
}

WhenDuringRun::WhenDuringRun(std::function<bool()> condition, std::function<void()> action) {
    m_poll.setInterval(0);
    QObject::connect(&m_poll, &QTimer::timeout,
                     [this, condition = std::move(condition), action = std::move(action)] {
                         if (!m_happened && condition()) {
                             m_happened = true;
                             m_poll.stop();
                             action();
                         }
                     });
    m_poll.start();
}

TempFolder::TempFolder() {
    EXPECT_TRUE(m_dir.isValid());
}

QString TempFolder::Write(const QString& relativePath, const QByteArray& contents) const {
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(contents), contents.size());
    return path;
}

QString TempFolder::MakeFolder(const QString& relativePath) const {
    const QString path = m_dir.filePath(relativePath);
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
}

std::unique_ptr<FormUnderTest> MakeForm(
    const std::function<void(StartupEnvironment&, const TempFolder&)>& adjust) {
    auto made = std::make_unique<FormUnderTest>();
    made->programFolder = std::make_unique<TempFolder>();
    StartupEnvironment environment{
        .programFolder = made->programFolder->Path(),
        .homePage = QStringLiteral("https://tarnwick.example.com/"),
        .drawOneToHundred = [] { return 1; },
        .openUrl = [urls = &made->openedUrls](const QString& url) { urls->push_back(url); },
        .endProcess = [] { ADD_FAILURE() << "the main window ended the process"; },
    };
    if (adjust) {
        adjust(environment, *made->programFolder);
    }
    made->form = std::make_unique<Form1>(std::move(environment));
    made->form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(made->form.get()));
    return made;
}

void AddEntries(ListView& list, const std::vector<QString>& entries) {
    for (const QString& entry : entries) {
        list.Append(entry);
    }
    list.Flush();
}

void AddEntries(Form1& form, const std::vector<QString>& entries) {
    AddEntries(*form.ListView1, entries);
}

void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void ClickStart(Form1& form) {
    Click(form.PushButton1);
}

QString SettingsFolder() {
    static const QTemporaryDir folder;
    return folder.path();
}

}  // namespace tarnwick::test
