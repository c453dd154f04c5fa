#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "platform/list_view.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const QString kCopiedText = QStringLiteral(
    "Results have been copied to the clipboard.\n\nClick a text area where you normally type and "
    "press Ctrl+V to paste the clipboard.");

QByteArray Contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

class ResultsTest : public FormTest {
protected:
    const QList<QString>& Results() const { return form.ListView2->Entries(); }
    void Save(const QString& path) {
        answerer.QueueFileChoice({{files.Path(), path}});
        Click(form.PushButton2);
    }
};

TEST_F(ResultsTest, FiltersUseTheFileListPromptsAndEndWithTheArrow) {
    const std::vector<QString> results = {"C:\\docs\\a.TXT", "C:\\docs\\b.log", "D:\\x.txt"};
    AddEntries(*form.ListView2, results);
    answerer.QueueInput(QStringLiteral("txt"));
    Click(form.PushButton17);
    EXPECT_THAT(Results(), ElementsAre("C:\\docs\\b.log"));
    EXPECT_EQ(form.Pointer().State(), PointerState::Arrow);

    form.ListView2->Clear();
    AddEntries(*form.ListView2, results);
    answerer.QueueInput(QStringLiteral("C:\\DOCS"));
    Click(form.PushButton11);
    EXPECT_THAT(Results(), ElementsAre("C:\\docs\\a.TXT", "C:\\docs\\b.log"));
    EXPECT_THAT(answerer.InputPrompts(),
                ElementsAre("Remove entries containing: ", "Remove entries not containing: "));

    form.Pointer().Set(PointerState::Default);
    answerer.QueueInput(std::nullopt);
    Click(form.PushButton17);
    EXPECT_EQ(Results().size(), 2u);
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
}

TEST_F(ResultsTest, DeleteKeyDoubleClickAndClearRemoveResults) {
    AddEntries(*form.ListView2, {"/a", "/b", "/c"});
    form.ListView2->selectRow(0);
    QTest::keyClick(form.ListView2, Qt::Key_Delete, Qt::AltModifier);
    EXPECT_THAT(Results(), ElementsAre("/b", "/c"));

    const QRect row = form.ListView2->visualRect(form.ListView2->model()->index(1, 0));
    QTest::mouseDClick(form.ListView2->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_THAT(Results(), ElementsAre("/b"));

    Click(form.PushButton6);
    EXPECT_THAT(Results(), IsEmpty());
    EXPECT_EQ(form.ListView2->HeaderText(), QStringLiteral("Results"));
}

TEST_F(ResultsTest, SavesOneLinePerResultEndedByCrLf) {
    AddEntries(*form.ListView2, {"/a.txt", "/b c.txt", "/école.txt"});
    const QString path = files.Path() + "/results";
    Save(path);

    EXPECT_EQ(Contents(path), QByteArray("/a.txt\r\n/b c.txt\r\n/\xc3\xa9"
                                         "cole.txt\r\n"));
    EXPECT_THAT(answerer.Seen(), IsEmpty());
    EXPECT_THAT(answerer.DialogTitles(), ElementsAre("Save"));
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
    EXPECT_EQ(Results().size(), 3u);
}

TEST_F(ResultsTest, OverwriteNeedsAYesAndAnEmptyListGivesAnEmptyFile) {
    const QString path = files.Write("old.txt", "old content");
    answerer.AnswerQuestionsWith(QMessageBox::No);
    Save(path);
    EXPECT_EQ(Contents(path), QByteArray("old content"));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Are you sure you wish to overwrite " + path + " ?");
    EXPECT_EQ(answerer.Seen()[0].title, QStringLiteral("Tarnwick"));

    answerer.AnswerQuestionsWith(QMessageBox::Yes);
    Save(path);
    EXPECT_EQ(Contents(path), QByteArray());
}

TEST_F(ResultsTest, SaveAndCopyHandBackTheBytesOfNamesThatAreNotUtf8) {
    AddEntries(*form.ListView2, {QStringLiteral("/caf") + QChar(0xDCE9) + ".txt", "/b"});
    const QString path = files.Path() + "/results";
    Save(path);
    Click(form.PushButton4);

    EXPECT_EQ(Contents(path), QByteArray("/caf\xe9.txt\r\n/b\r\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              QByteArray("/caf\xe9.txt\t\r\n/b       \t\r\n"));
}

TEST_F(ResultsTest, SaveThatCannotBeWrittenIsReportedAndKeepsTheList) {
    AddEntries(*form.ListView2, {"/a.txt"});
    const QString path = files.Path() + "/no such folder/results.txt";
    Save(path);

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_THAT(answerer.Seen()[0].text.toStdString(), testing::HasSubstr(path.toStdString()));
    EXPECT_EQ(answerer.Seen()[0].icon, QMessageBox::Warning);
    EXPECT_THAT(Results(), ElementsAre("/a.txt"));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ResultsTest, ClearingTheListDuringASaveStillWritesEveryResult) {
    std::vector<QString> results;
    QByteArray expected;
    for (int i = 0; i < 20000; ++i) {
        results.push_back(QStringLiteral("/result/%1.txt").arg(i));
        expected += results.back().toUtf8() + "\r\n";
    }
    AddEntries(*form.ListView2, results);
    WhenDuringRun clear([&] { return form.Pointer().State() == PointerState::Busy; },
                        [&] { Click(form.PushButton6); });
    const QString path = files.Path() + "/all.txt";
    Save(path);

    EXPECT_TRUE(clear.Happened());
    EXPECT_THAT(Results(), IsEmpty());
    EXPECT_EQ(Contents(path), expected);
}

TEST_F(ResultsTest, CopyPadsEveryLineToTheLongestAndEndsItWithATab) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Click(form.PushButton4);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    AddEntries(*form.ListView2,
               {"C:\\a.txt", "C:\\bb\\c.txt", QStringLiteral("C:\\\u00e9t\u00e9")});
    Click(form.PushButton4);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("C:\\a.txt   \t\r\nC:\\bb\\c.txt\t\r\nC:\\\u00e9t\u00e9     \t\r\n"));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kCopiedText, kCopiedText));
    EXPECT_EQ(answerer.Seen()[0].title, QStringLiteral("Tarnwick"));
}

}  // namespace
}  // namespace tarnwick::test
