#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <optional>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "system_files.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
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

// In the system's 8-bit text when every name fits it, else in UTF-8; a list
// file load gives the names back.
TEST_F(ResultsTest, SavesOneLinePerResultEndedByCrLf) {
    const QString accented = QStringLiteral("/école.txt");
    const struct {
        std::vector<QString> results;
        QByteArray file;
    } cases[] = {
        {{"/a.txt", "/b c.txt", accented},
         "/a.txt\r\n/b c.txt\r\n" + FileTextOf(accented) + "\r\n"},
        {{accented, "/Ωμέγα.txt", "/Привет.txt", "/中文.txt"},
         Utf8FileTextOf(accented + "\r\n/Ωμέγα.txt\r\n/Привет.txt\r\n/中文.txt\r\n")},
    };
    for (const auto& [results, file] : cases) {
        form.ListView2->Clear();
        AddEntries(*form.ListView2, results);
        Save(files.PathOf(QString::number(results.size())));
        EXPECT_EQ(Contents(files.PathOf(QString::number(results.size()))), file);
    }
    EXPECT_THAT(answerer.Seen(), IsEmpty());
    EXPECT_THAT(answerer.DialogTitles(), ElementsAre("Save", "Save"));
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
    EXPECT_EQ(Results().size(), 4u);

    for (const auto& [results, file] : cases) {
        form.ListView1->Clear();
        answerer.QueueFileChoice({{files.Path(), QString::number(results.size())}});
        Click(form.PushButton8);
        EXPECT_THAT(form.ListView1->Entries(), ElementsAreArray(results));
    }
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
    const QString path = files.PathOf("results");
    Save(path);
    Click(form.PushButton4);

    EXPECT_EQ(Contents(path), QByteArray("/caf\xe9.txt\r\n/b\r\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              QByteArray("/caf\xe9.txt\t\r\n/b       \t\r\n"));
}

// The system's reason, named with the file, on every way a save can fail.
TEST_F(ResultsTest, FailedSavesNameTheFileAndTheSystemsReason) {
    AddEntries(*form.ListView2, {"/a.txt"});
    const QString fifo = files.PathOf("fifo");
    ASSERT_TRUE(MakeSystemFile(fifo));
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {files.PathOf("no such folder/results.txt"),
         QString::fromStdString("Cannot create \"%1\": " + NoSuchFolderReason())},
        {fifo, "Cannot write \"%1\": not a regular file"},
    };
    for (const auto& [path, reason] : cases) {
        Save(path);
        ASSERT_FALSE(answerer.Seen().empty());
        EXPECT_EQ(answerer.Seen().back().text,
                  "The results could not be saved.\n\n" + reason.arg(path));
        EXPECT_EQ(answerer.Seen().back().icon, QMessageBox::Warning);
    }
    EXPECT_THAT(Results(), ElementsAre("/a.txt"));
    EXPECT_FALSE(QFile::exists(files.PathOf("no such folder")));
}

TEST_F(ResultsTest, SaveOnAFullDiskSaysSoAndKeepsTheOldFile) {
    const SmallDisk disk(files.MakeFolder("disk"));
    if (!disk.Mounted()) {
        GTEST_SKIP() << "no small disk to fill: a tmpfs, which only the super-user can mount";
    }
    const QString path = files.Write("disk/results.txt", "old results\r\n");
    std::vector<QString> results;
    for (int i = 0; i < 10000; ++i) {
        results.push_back(QStringLiteral("/result/%1.txt").arg(i));
    }
    AddEntries(*form.ListView2, results);
    Save(path);

    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].text, "The results could not be saved.\n\nCannot write \"" + path +
                                           "\": No space left on device");
    EXPECT_EQ(Contents(path), QByteArray("old results\r\n"));
    EXPECT_EQ(QDir(files.PathOf("disk")).entryList(QDir::Files), QStringList{"results.txt"});
}

TEST_F(ResultsTest, CopyThatWouldBeTooLargeIsRefusedAndLeavesTheClipboard) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    std::vector<QString> results(600, QStringLiteral("/short.txt"));
    results.push_back("/" + QString(1 << 20, QLatin1Char('l')));
    AddEntries(*form.ListView2, results);
    Click(form.PushButton4);

    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    // 601 lines of 1,048,577 characters, a TAB and CR LF, and the entries.
    EXPECT_EQ(answerer.Seen()[0].text,
              QStringLiteral("The results could not be copied to the clipboard.\n\nThe text to "
                             "copy would take up to 631251157 bytes, more than the 536870912 it "
                             "may take."));
    EXPECT_EQ(answerer.Seen()[0].icon, QMessageBox::Warning);
}

// Ends the process with end() in the middle of a save over path. Runs in a
// child process, which leaves no folder of its own behind.
void EndMidSave(const QString& path, const std::function<void()>& end) {
    auto made = MakeForm([](StartupEnvironment& environment, const TempFolder& programFolder) {
        environment.endProcess = [program = programFolder.Path()] {
            QDir(program).removeRecursively();
            QDir(SettingsFolder()).removeRecursively();
            EndProcessNow();
        };
    });
    Form1& form = *made->form;
    MessageAnswerer answerer(form);
    AddEntries(*form.ListView2, std::vector<QString>(50000, QStringLiteral("/new/result.txt")));
    WhenDuringRun endNow([&] { return form.Pointer().State() == PointerState::Busy; },
                         [&] {
                             if (!end) {
                                 form.close();
                                 return;
                             }
                             QDir(made->programFolder->Path()).removeRecursively();
                             QDir(SettingsFolder()).removeRecursively();
                             end();
                         });
    answerer.QueueFileChoice({{QFileInfo(path).path(), path}});
    Click(form.PushButton2);
    std::_Exit(3);
}

// The child runs the test again from the start: it takes the parent's file.
class ResultsDeathTest : public ::testing::Test {
protected:
    ResultsDeathTest() {
        if (qEnvironmentVariableIsEmpty(kFileVariable)) {
            m_files.emplace();
            qputenv(kFileVariable, m_files->Write("results.txt", "old results\r\n").toUtf8());
        }
        path = qEnvironmentVariable(kFileVariable);
    }
    ~ResultsDeathTest() override {
        if (m_files) qunsetenv(kFileVariable);
    }

    static constexpr const char* kFileVariable = "TARNWICK_TEST_SAVED_FILE";
    std::optional<TempFolder> m_files;
    QString path;
};

TEST_F(ResultsDeathTest, ClosingTheWindowMidSaveKeepsTheOldFileAndLeavesNothingElse) {
    EXPECT_EXIT(EndMidSave(path, {}), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Contents(path), QByteArray("old results\r\n"));
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{"results.txt"});
}

TEST_F(ResultsDeathTest, KillingTheProcessMidSaveKeepsTheOldFileAndLeavesNothingElse) {
    for (const OutsideEnd& outside : OutsideEnds()) {
        EXPECT_EXIT(EndMidSave(path, outside.end), outside.endedSo, "");
        EXPECT_EQ(Contents(path), QByteArray("old results\r\n")) << outside.name;
        EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{"results.txt"})
            << outside.name;
    }
}

TEST_F(ResultsTest, SaveThatCannotBeWrittenIsReportedAndKeepsTheList) {
    AddEntries(*form.ListView2, {"/a.txt"});
    const QString path = files.PathOf("no such folder/results.txt");
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
    const QString path = files.PathOf("all.txt");
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

    form.ListView2->Clear();
    AddEntries(*form.ListView2, {"/Ωμέγα", "/Привет", "/中文.txt"});
    Click(form.PushButton4);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("/Ωμέγα \t\r\n/Привет\t\r\n/中文.txt\t\r\n"));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kCopiedText, kCopiedText, kCopiedText));
    EXPECT_EQ(answerer.Seen()[0].title, QStringLiteral("Tarnwick"));
}

}  // namespace
}  // namespace tarnwick::test
