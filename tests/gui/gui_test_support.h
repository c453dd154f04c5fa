#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QHash>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "app/form1.h"
#include "dialog_answerer.h"

// Readable QString and QRect values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.width() << 'x' << rect.height() << " at " << rect.x() << ',' << rect.y();
}

namespace tarnwick::test {

// The dialog answerer for tests: a dialog it cannot answer as queued is a
// test failure, and every message seen notes the start button's caption.
class MessageAnswerer : public DialogAnswerer {
public:
    using FileChoice = test::FileChoice;

    explicit MessageAnswerer(const Form1& form);
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

// What assistive technology and the window system were told at the moment
// each widget was shown: the widget's accessible rectangle on the screen and,
// for a window, its native window's place.
class PlacesAtShow : public QObject {
public:
    struct Places {
        QRect accessible;
        QRect nativeWindow;
    };

    PlacesAtShow();
    Places Of(const QWidget* widget) const { return m_places.value(widget); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<const QObject*, Places> m_places;
};

// A temporary folder with helpers that write files into it. Paths are
// given with the system's separators, as the program shows them.
class TempFolder {
public:
    TempFolder();
    QString Path() const { return QDir::toNativeSeparators(m_dir.path()); }
    QString PathOf(const QString& relativePath) const {
        return QDir::toNativeSeparators(m_dir.filePath(relativePath));
    }
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
    // Types phrase and clicks "Start Searching".
    void Search(const QString& phrase);

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
