#include "search/search_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "search/search_texts.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SearchRunTest : public FormTest {
protected:
    void Search(const QString& phrase) {
        form.Text1->setText(phrase);
        ClickStart(form);
    }

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

TEST_F(SearchRunTest, PhraseOfOnlySpacesAsksForAPhraseAndChangesNothing) {
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

TEST_F(SearchRunTest, EmptyFileListSaysSoWhileTheButtonReadsStop) {
    Search("x");

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, kNoEntriesText);
    EXPECT_EQ(answerer.Seen()[0].title, QStringLiteral("Tarnwick"));
    EXPECT_EQ(answerer.Seen()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(answerer.Seen()[0].startCaption, kStopCaption);
    ExpectIdle();
}

TEST_F(SearchRunTest, ListsTextFilesLackingThePhraseInFileListOrder) {
    const QString folder = files.MakeFolder("folder");
    const QString lacking = files.Write("folder/a.txt", "nothing to see");
    files.Write("folder/B.txt", "the needle is here");
    files.Write("folder/c.bin", QByteArray("\x01\x02\x03\x04\x05 no needle", 16));
    files.Write("folder/sub/d.txt", "deeper, no needle either");
    ASSERT_EQ(mkfifo(qPrintable(folder + "/e.fifo"), 0600), 0);
    const QString lateLacking = files.Write("folder/Z.txt", "still nothing");
    const QString direct = files.Write("direct.txt", "plain words");

    AddEntries(form, {direct, folder});
    Search("needle");

    EXPECT_THAT(Results(), ElementsAre(direct, lacking, lateLacking));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
    EXPECT_EQ(answerer.Seen()[0].startCaption, kStopCaption);
    ExpectIdle();
}

TEST_F(SearchRunTest, TwoRunsListEveryLackingFileTwice) {
    const QString lacking = files.Write("a.txt", "abc");
    AddEntries(form, {lacking, files.Write("b.txt", "needle")});
    Search("needle");
    Search("needle");

    EXPECT_THAT(Results(), ElementsAre(lacking, lacking));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText, kDoneText));
}

TEST_F(SearchRunTest, MatchCaseDecidesHowLettersCompare) {
    const QString upper = files.Write("upper.txt", "Le mot ÉCOLE est ici");
    const QString spaced = files.Write("spaced.txt", "word école");
    AddEntries(form, {upper, spaced});

    Search("école");
    EXPECT_THAT(Results(), ElementsAre(upper));

    form.ListView2->Clear();
    form.Check4->setChecked(false);
    Search("école");
    EXPECT_THAT(Results(), IsEmpty());

    form.ListView2->Clear();
    Search(" école ");
    EXPECT_THAT(Results(), ElementsAre(spaced));
}

// The later entries are tested ahead with the first phrase; those verdicts
// must not be used once the phrase changed.
TEST_F(SearchRunTest, PhraseIsReadForEveryEntryButMatchCaseOncePerRun) {
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

TEST_F(SearchRunTest, MissingOrEmptyEntryIsReportedOnceAtLine138AndTheRunGoesOn) {
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

// A descriptor limit reached is a real open failure, even for the super-user.
TEST_F(SearchRunTest, FileThatCannotBeOpenedIsReportedAtLine136AndLeftOut) {
    const QString unopenable = files.Write("1.txt", "abc");
    AddEntries(form, {unopenable});
    form.Text1->setText(QStringLiteral("needle"));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    // The limit bounds descriptor numbers: open() takes the lowest free one.
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit exhausted = saved;
    exhausted.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    ClickStart(form);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].title, kErrorReportTitle);
    EXPECT_THAT(answerer.Seen()[0].text.toStdString(),
                HasSubstr("Cannot open \"" + unopenable.toStdString() +
                          "\": Too many open files\n"
                          "in Velmora.Form1.PushButton1_Click at line 136"));
    EXPECT_EQ(answerer.Seen()[1].text, kDoneText);
    EXPECT_THAT(Results(), IsEmpty());
}

TEST_F(SearchRunTest, ShortenedFileListIsReportedOnceAtLine130AndEndsTheLoop) {
    const QString first = files.Write("1.txt", "abc");
    AddEntries(form, {first, files.Write("2.txt", "abc"), files.Write("3.txt", "abc")});

    WhenDuringRun clear([&] { return HeaderIs(first); }, [&] { form.ListView1->Clear(); });
    Search("needle");

    EXPECT_TRUE(clear.Happened());
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].title, kErrorReportTitle);
    EXPECT_THAT(answerer.Seen()[0].text.toStdString(), HasSubstr("at line 130"));
    EXPECT_EQ(answerer.Seen()[1].text, kDoneText);
    EXPECT_THAT(Results(), ElementsAre(first));
    ExpectIdle();
}

TEST_F(SearchRunTest, StopDuringAFolderEndsBeforeTheNextFileAndStillSaysDone) {
    const QString folder = files.MakeFolder("many");
    for (int i = 0; i < 200; ++i) {
        files.Write(QStringLiteral("many/%1.txt").arg(i, 3, 10, QLatin1Char('0')), "abc");
    }
    AddEntries(form, {folder, files.Write("after.txt", "abc")});

    std::size_t rowsAtStop = 0;
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

TEST_F(SearchRunTest, StopDuringALargeFileLeavesItOut) {
    const QString small = files.Write("small.txt", "abc");
    const QString large = files.Write("large.txt", QByteArray(32 << 20, 'a'));
    AddEntries(form, {small, large});

    // The large file was tested ahead with the first phrase; the edit makes
    // its test start at its turn, so that the stop comes while it is read.
    WhenDuringRun edit([&] { return HeaderIs(small); },
                       [&] { form.Text1->setText(QStringLiteral("needle!")); });
    WhenDuringRun stop([&] { return HeaderIs(large); }, [&] { ClickStart(form); });
    Search("needle");

    EXPECT_TRUE(stop.Happened());
    EXPECT_THAT(Results(), ElementsAre(small));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
}

TEST_F(SearchRunTest, WaitPointerCoversTheWholeWindowDuringARun) {
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
