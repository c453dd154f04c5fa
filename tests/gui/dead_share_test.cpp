// Stop and closing the window while a file on a share never answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "filelist/add_files.h"
#include "filelist/add_folder.h"
#include "gui_test_support.h"
#include "platform/list_view.h"
#include "platform/system.h"
#include "scoped_test_fs.h"
#include "search/search_texts.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A share with a file whose reads never return, listed twice (a second open
// of it must not block where no signal reaches), and a healthy file.
testing::TestFsOptions NeverReading(const std::string& name) {
    testing::TestFsOptions options;
    options.hangRead = {name};
    return options;
}

struct DeadShare {
    testing::ScopedTestFs share{NeverReading("dead*")};
    QString dead = QString::fromStdString(share.Write("dead.txt", "hay"));
    QString after = QString::fromStdString(share.Write("after.txt", "hay"));
    std::vector<QString> Entries() const { return {dead, dead, after}; }
};

bool HeaderNames(const Form1& form, const QString& path) {
    return form.ListView1->HeaderText() == kSearchingEntryPrefix + path;
}

class DeadShareTest : public FormTest {
protected:
    void SetUp() override {
        if (const auto why = testing::TestFsUnavailable()) GTEST_SKIP() << *why;
    }
};

TEST_F(DeadShareTest, StopEndsTheRunAtOnceAndSaysDone) {
    DeadShare share;
    AddEntries(form, share.Entries());
    QElapsedTimer sinceStop;
    WhenDuringRun stop([&] { return HeaderNames(form, share.dead); },
                       [&] {
                           ClickStart(form);
                           sinceStop.start();
                       });
    Search("needle");
    ASSERT_TRUE(stop.Happened());
    EXPECT_LT(sinceStop.elapsed(), 1000);
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
    EXPECT_THAT(form.ListView2->Entries(), IsEmpty());
    EXPECT_EQ(form.PushButton1->text(), kStartCaption);
}

// A folder tree whose walk meets a folder that never answers, a list file in
// it, or a save into it, leaves the window responsive; the share is ended from another thread
// after five seconds at the latest, so work on the window's thread ends, late.
TEST_F(DeadShareTest, AFolderTreeAListFileOrASaveOnADeadShareLeavesTheWindowResponsive) {
    const std::function<void(const testing::ScopedTestFs&)> actions[] = {
        [&](const testing::ScopedTestFs& share) {
            AddDroppedPaths(*form.ListView1, {QString::fromStdString(share.PathOf("tree"))});
        },
        [&](const testing::ScopedTestFs& share) {
            LoadListFile(&form, *form.ListView1,
                         QString::fromStdString(share.PathOf("tree/dead/list.txt")));
        },
        [&](const testing::ScopedTestFs& share) {
            AddEntries(*form.ListView2, {QStringLiteral("a.txt")});
            answerer.QueueFileChoice(
                {{QString(), QString::fromStdString(share.PathOf("tree/results.txt"))}});
            Click(form.PushButton2);
        },
    };
    std::vector<int> entriesWhileWaiting;
    for (const auto& action : actions) {
        testing::TestFsOptions options;
        options.hangLookup = {"dead*"};
        options.hangOpen = {".tarnwick-*"};  // the new file of a save
        testing::ScopedTestFs share(options);
        share.Write("tree/a.txt", "hay");
        share.Write("tree/dead/b.txt", "hay");
        std::promise<void> finished;
        std::thread release([&share, done = finished.get_future()] {
            if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) share.End();
        });
        QElapsedTimer started;
        started.start();
        qint64 eventsFlowedAfter = -1;
        QTimer::singleShot(300, [&] {
            eventsFlowedAfter = started.elapsed();
            entriesWhileWaiting.push_back(form.ListView1->Count());
            share.End();
        });
        action(share);
        EXPECT_THAT(eventsFlowedAfter, ::testing::AllOf(::testing::Ge(0), ::testing::Lt(2000)));
        finished.set_value();
        release.join();
    }
    // What the walk found before the folder that never answers is listed meanwhile.
    EXPECT_EQ(entriesWhileWaiting.front(), 1);
}

// The process must end although workers are blocked in the file system, so
// this runs in a child, which finds the share that the parent mounted
// through its environment. The share is ended after ten seconds at the
// latest, which would let a child that waited for it end too, late.
TEST(DeadShareDeathTest, ClosingTheWindowEndsTheProcessAtOnce) {
    if (const auto why = testing::TestFsUnavailable()) GTEST_SKIP() << *why;
    constexpr const char* kShareVariable = "TARNWICK_TEST_DEAD_SHARE";
    std::optional<DeadShare> share;
    if (qEnvironmentVariableIsEmpty(kShareVariable)) {
        share.emplace();
        qputenv(kShareVariable, QByteArray::fromStdString(share->share.Mount()));
    }
    const QString mount = qEnvironmentVariable(kShareVariable);
    const QString dead = mount + QStringLiteral("/dead.txt");
    std::promise<void> finished;
    std::thread release([&share, done = finished.get_future()] {
        if (share && done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            share->share.End();
        }
    });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EXIT(
        {
            auto made = MakeForm([](StartupEnvironment& environment, const TempFolder& program) {
                environment.endProcess = [folder = program.Path()] {
                    QDir(folder).removeRecursively();
                    EndProcessNow();
                };
            });
            Form1& form = *made->form;
            AddEntries(form, {dead, dead, mount + QStringLiteral("/after.txt")});
            WhenDuringRun close([&] { return HeaderNames(form, dead); }, [&] { form.close(); });
            form.Text1->setText(QStringLiteral("needle"));
            ClickStart(form);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_LT(elapsed.elapsed(), 5000);
    qunsetenv(kShareVariable);
    finished.set_value();
    release.join();
}

}  // namespace
}  // namespace tarnwick::test
