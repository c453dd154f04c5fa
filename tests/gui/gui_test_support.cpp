#include "gui_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "platform/list_view.h"

namespace tarnwick::test {

MessageAnswerer::MessageAnswerer(const Form1& form)
    : DialogAnswerer([](const QString& problem) { ADD_FAILURE() << qPrintable(problem); },
                     [&form] { return form.PushButton1->text(); }) {}

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

PlacesAtShow::PlacesAtShow() {
    QCoreApplication::instance()->installEventFilter(this);
}

bool PlacesAtShow::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && widget) {
        const QWindow* native = widget->isWindow() ? widget->windowHandle() : nullptr;
        m_places.insert(widget,
                        {.accessible = QAccessible::queryAccessibleInterface(widget)->rect(),
                         .nativeWindow = native ? native->geometry() : QRect()});
    }
    return false;
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
    return QDir::toNativeSeparators(path);
}

QString TempFolder::MakeFolder(const QString& relativePath) const {
    const QString path = m_dir.filePath(relativePath);
    EXPECT_TRUE(QDir().mkpath(path));
    return QDir::toNativeSeparators(path);
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

void FormTest::Search(const QString& phrase) {
    form.Text1->setText(phrase);
    ClickStart(form);
}

QString SettingsFolder() {
    static const QTemporaryDir folder;
    return folder.path();
}

}  // namespace tarnwick::test
