#include "search/search_button.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "search/search_texts.h"
#include "system_files.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SearchButtonTest : public FormTest {
protected:
    const QList<QString>& Results() const { return form.ListView2->Entries(); }

    bool HeaderIs(const QString& path) const {
        return form.ListView1->HeaderText() == kSearchingEntryPrefix + path;
    }

    void ExpectIdle() const {
        EXPECT_EQ(form.PushButton1->text(), kStartCaption);
        EXPECT_EQ(form.ListView1->HeaderText(), kFileListCaption);
        EXPECT_TRUE(form.Search().StopRequested());
        EXPECT_EQ(form.Pointer().State(), PointerState::Default);
    }
};

TEST_F(SearchButtonTest, PhraseOfOnlySpacesAsksForAPhraseAndChangesNothing) {
    AddEntries(form, {files.Write("a.txt", "hello")});
    Search("   ");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, kNoPhraseText);
    EXPECT_EQ(answerer.Seen()[0].title, kNoPhraseTitle);
    EXPECT_EQ(answerer.Seen()[0].icon, QMessageBox::Warning);
    EXPECT_THAT(Results(), IsEmpty());
    EXPECT_EQ(form.PushButton1->text(), kStartCaption);
    EXPECT_FALSE(form.Search().StopRequested());
}

TEST_F(SearchButtonTest, EmptyFileListSaysSoWhileTheButtonReadsStop) {
    Search("x");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, kNoEntriesText);
    EXPECT_EQ(answerer.Seen()[0].title, QStringLiteral("Tarnwick"));
    EXPECT_EQ(answerer.Seen()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(answerer.Seen()[0].startCaption, kStopCaption);
    ExpectIdle();
}

TEST_F(SearchButtonTest, ListsTextFilesLackingThePhraseInFileListOrder) {
    const QString folder = files.MakeFolder("folder");
    const QString lacking = files.Write("folder/a.txt", "nothing to see");
    files.Write("folder/B.txt", "the needle is here");
    files.Write("folder/c.bin", QByteArray("\x01\x02\x03\x04\x05 no needle", 16));
    files.Write("folder/sub/d.txt", "deeper, no needle either");
    ASSERT_TRUE(MakeSystemFile(folder + "/e.fifo"));
    const QString lateLacking = files.Write("folder/Z.txt", "still nothing");
    const QString direct = files.Write("direct.txt", "plain words");

    AddEntries(form, {direct, folder});
    Search("needle");

    EXPECT_THAT(Results(), ElementsAre(direct, lacking, lateLacking));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
    EXPECT_EQ(answerer.Seen()[0].startCaption, kStopCaption);
    ExpectIdle();
}

TEST_F(SearchButtonTest, TwoRunsListEveryLackingFileTwice) {
    const QString lacking = files.Write("a.txt", "abc");
    AddEntries(form, {lacking, files.Write("b.txt", "needle")});
    Search("needle");
    Search("needle");

    EXPECT_THAT(Results(), ElementsAre(lacking, lacking));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText, kDoneText));
}

// The later entries are tested ahead with the first phrase; those verdicts
// must not be used once the phrase changed.
TEST_F(SearchButtonTest, PhraseIsReadForEveryEntryButMatchCaseOncePerRun) {
    const QString first = files.Write("1.txt", "ALPHA");
    const QString second = files.Write("2.txt", "alpha");
    const QString third = files.Write("3.txt", "BETA");
    const QString fourth = files.Write("4.txt", "beta");
    AddEntries(form, {first, second, third, fourth});

    WhenDuringRun edit([&] { return HeaderIs(first); },
                       [&] {
                           form.Check4->setChecked(false);
                           form.Text1->setText(QStringLiteral("beta"));
                       });
    Search("alpha");

    EXPECT_TRUE(edit.Happened());
    EXPECT_THAT(Results(), ElementsAre(first, second, third));
}

TEST_F(SearchButtonTest, MissingOrEmptyEntryIsReportedOnceAtLine138AndTheRunGoesOn) {
    const QString missing = files.Path() + "/missing.txt";
    const QString lacking = files.Write("ok.txt", "abc");
    AddEntries(form, {missing, QString(), lacking});
    Search("needle");

    ASSERT_EQ(answerer.Seen().size(), 3u);
    for (int i = 0; i < 2; ++i) {
        const SeenMessage& report = answerer.Seen()[static_cast<std::size_t>(i)];
        EXPECT_EQ(report.title, kErrorReportTitle);
        EXPECT_EQ(report.icon, QMessageBox::Warning);
        EXPECT_THAT(report.text.toStdString(),
                    HasSubstr("in Velmora.Form1.PushButton1_Click at line 138\n\n"));
        EXPECT_THAT(report.text.toStdString(), HasSubstr(TARNWICK_SUPPORT_ADDRESS));
    }
    EXPECT_THAT(answerer.Seen()[0].text.toStdString(), HasSubstr(missing.toStdString()));
    EXPECT_EQ(answerer.Seen()[2].text, kDoneText);
    EXPECT_THAT(Results(), ElementsAre(lacking));
    ExpectIdle();
}

TEST_F(SearchButtonTest, StopDuringAFolderEndsBeforeTheNextFileAndStillSaysDone) {
    const QString folder = files.MakeFolder("many");
    for (int i = 0; i < 200; ++i) {
        files.Write(QStringLiteral("many/%1.txt").arg(i, 3, 10, QLatin1Char('0')), "abc");
    }
    AddEntries(form, {folder, files.Write("after.txt", "abc")});

    qsizetype rowsAtStop = 0;
    WhenDuringRun stop([&] { return Results().size() >= 3; },
                       [&] {
                           rowsAtStop = Results().size();
                           ClickStart(form);
                           EXPECT_EQ(form.PushButton1->text(), kStartCaption);
                       });
    Search("needle");

    EXPECT_TRUE(stop.Happened());
    EXPECT_EQ(Results().size(), rowsAtStop);
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
    EXPECT_EQ(answerer.Seen()[0].startCaption, kStartCaption);
    ExpectIdle();
}

TEST_F(SearchButtonTest, WaitPointerCoversTheWholeWindowDuringARun) {
    const QString first = files.Write("1.txt", "abc");
    AddEntries(form, {first, files.Write("2.txt", "abc")});

    Qt::CursorShape windowShape = Qt::ArrowCursor;
    Qt::CursorShape phraseBoxShape = Qt::ArrowCursor;
    WhenDuringRun look([&] { return HeaderIs(first); },
                       [&] {
                           windowShape = form.cursor().shape();
                           phraseBoxShape = form.Text1->cursor().shape();
                       });
    Search("needle");

    EXPECT_EQ(windowShape, Qt::WaitCursor);
    EXPECT_EQ(phraseBoxShape, Qt::WaitCursor);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::IBeamCursor);
}

TEST(ErrorReport, NamesTheFailureTheLineAndWhereToWrite) {
    EXPECT_EQ(FormatErrorReport(QStringLiteral("Disk on fire"), SearchStep::TestFileEntry,
                                QStringLiteral("help@example.com")),
              QStringLiteral("Disk on fire\r\nin Velmora.Form1.PushButton1_Click at line "
                             "136\r\rPlease email screenshot of this message to help@example.com"));
}

// Closing the window must end the process at once, so this runs in a child.
TEST(SearchRunDeathTest, ClosingTheWindowMidRunEndsTheProcessWithoutDone) {
    EXPECT_EXIT(
        {
            TempFolder files;
            auto made = MakeForm(
                [&files](StartupEnvironment& environment, const TempFolder& programFolder) {
                    environment.endProcess = [&files, program = programFolder.Path()] {
                        for (const QString& folder : {files.Path(), program, SettingsFolder()}) {
                            QDir(folder).removeRecursively();
                        }
                        EndProcessNow();
                    };
                });
            Form1& form = *made->form;
            const QString folder = files.MakeFolder("many");
            for (int i = 0; i < 100; ++i) {
                files.Write(QStringLiteral("many/%1.txt").arg(i), "abc");
            }
            AddEntries(form, {folder});
            MessageAnswerer answerer(form);
            WhenDuringRun close([&] { return form.ListView2->Count() >= 2; },
                                [&] { form.close(); });
            form.Text1->setText(QStringLiteral("needle"));
            ClickStart(form);
            std::_Exit(answerer.Seen().empty() ? 4 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tarnwick::test
