#pragma once

#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
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

// Answers every message box that opens with OK, recording what it showed.
class MessageAnswerer {
public:
    explicit MessageAnswerer(const Form1& form);

    const std::vector<SeenMessage>& Seen() const { return m_seen; }
    std::vector<QString> Texts() const;

private:
    void AnswerOpenBox();

    const Form1& m_form;
    QTimer m_poll;
    std::vector<SeenMessage> m_seen;
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

void AddEntries(Form1& form, const std::vector<QString>& entries);
void ClickStart(Form1& form);

}  // namespace tarnwick::test
