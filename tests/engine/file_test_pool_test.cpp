#include "engine/file_test_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "temp_dir.h"

namespace tarnwick {
namespace {

using std::chrono_literals::operator""ms;

void WaitUntilDone(const FileTestJob& job) {
    while (!job.Done()) {
        std::this_thread::sleep_for(1ms);
    }
}

TEST(FileTestPool, RunsEveryJobAndSignalsEachOne) {
    testing::TempDir dir;
    std::atomic<int> signalled = 0;
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    {
        FileTestPool pool(3, [&](const FileTestJob&) { ++signalled; });
        EXPECT_EQ(pool.Workers(), 3u);
        const auto matcher = std::make_shared<const PhraseMatcher>("needle", CaseMode::Sensitive);
        for (int i = 0; i < 40; ++i) {
            const std::string content = i % 2 ? "hay and needle" : "only hay";
            const std::string name = std::to_string(i) + ".txt";
            jobs.push_back(std::make_shared<FileTestJob>(dir.WriteFile(name, content), matcher));
        }
        pool.SubmitAll(jobs);
        jobs.push_back(std::make_shared<FileTestJob>(dir.PathOf("missing"), matcher));
        pool.SubmitFirst(jobs.back());
        for (const auto& job : jobs) {
            WaitUntilDone(*job);
        }
    }
    EXPECT_EQ(signalled, 41);
    for (int i = 0; i < 40; ++i) {
        const auto& outcome = jobs[static_cast<std::size_t>(i)]->Outcome();
        ASSERT_TRUE(outcome.HasValue());
        EXPECT_EQ(outcome.Value(), i % 2 ? Verdict::Contains : Verdict::Lacks) << i;
    }
    EXPECT_EQ(jobs.back()->Outcome().Value(), Verdict::NotAFile);
}

TEST(FileTestPool, SignalsALongJobOnceWhileItRunsAndOnceDone) {
    testing::TempDir dir;
    const auto matcher = std::make_shared<const PhraseMatcher>("needle", CaseMode::Sensitive);
    std::atomic<int> whileRunning = 0;
    std::atomic<int> whenDone = 0;
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    {
        FileTestPool pool(
            1, [&](const FileTestJob& job) { ++(job.Done() ? whenDone : whileRunning); });
        for (const std::size_t size : {std::size_t{300'000}, std::size_t{2'000'000}}) {
            jobs.push_back(std::make_shared<FileTestJob>(
                dir.WriteFile(std::to_string(size), std::string(size, 'a')), matcher));
        }
        pool.SubmitAll(jobs);
        for (const auto& job : jobs) {
            WaitUntilDone(*job);
        }
    }
    EXPECT_EQ(whileRunning, 1);
    EXPECT_EQ(whenDone, 2);
}

TEST(FileTestPool, CancelledJobsStopWithoutAVerdict) {
    testing::TempDir dir;
    const auto matcher = std::make_shared<const PhraseMatcher>("needle", CaseMode::Sensitive);
    const std::string large = dir.WriteFile("large", std::string(16 << 20, 'a'));
    FileTestPool pool(1, {});
    auto running = std::make_shared<FileTestJob>(large, matcher);
    auto queued = std::make_shared<FileTestJob>(large, matcher);
    pool.SubmitAll({running, queued});
    queued->Cancel();
    running->Cancel();
    WaitUntilDone(*running);
    WaitUntilDone(*queued);
    EXPECT_EQ(queued->Outcome().Value(), Verdict::Stopped);
    EXPECT_TRUE(running->Outcome().Value() == Verdict::Stopped ||
                running->Outcome().Value() == Verdict::Lacks);
}

TEST(FileTestPool, EndsWithJobsStillQueued) {
    testing::TempDir dir;
    const auto matcher = std::make_shared<const PhraseMatcher>("needle", CaseMode::Sensitive);
    const std::string file = dir.WriteFile("f", std::string(1 << 20, 'a'));
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    {
        FileTestPool pool(2, {});
        for (int i = 0; i < 100; ++i) {
            jobs.push_back(std::make_shared<FileTestJob>(file, matcher));
        }
        pool.SubmitAll(jobs);
    }
    for (const auto& job : jobs) {
        EXPECT_TRUE(job->Done());
    }
}

}  // namespace
}  // namespace tarnwick
