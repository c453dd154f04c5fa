#include "engine/file_test_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "engine/readable_file.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

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
        const auto matcher =
            std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
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
        ASSERT_TRUE(outcome.HasValue()) << outcome.Error().description;
        EXPECT_EQ(outcome.Value(), i % 2 ? Verdict::Contains : Verdict::Lacks) << i;
    }
    EXPECT_EQ(jobs.back()->Outcome().Value(), Verdict::NotAFile);
}

TEST(FileTestPool, SignalsALongJobOnceWhileItRunsAndOnceDone) {
    testing::TempDir dir;
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
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
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
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
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
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

#ifndef _WIN32
// Writes the file and drops its pages from memory, so that reading it waits
// for the storage; false where the system keeps them anyway.
bool WriteUncached(const std::string& path, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string content(size, 'a');
    const bool written = fd >= 0 && write(fd, content.data(), size) == static_cast<ssize_t>(size) &&
                         fsync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    if (fd >= 0) close(fd);
    return written;
}

bool ReadWaitedOnStorage(const std::string& path) {
    auto file = ReadableFile::Open(path);
    char byte = 0;
    EXPECT_TRUE(file.HasValue() && file.Value().Read(&byte, 1).HasValue()) << path;
    return file.HasValue() && file.Value().WaitedOnStorage();
}

// The threads that ran the tests of a pass, as their signals tell.
class ThreadsSeen {
public:
    void Add() {
        const std::lock_guard lock(m_mutex);
        m_threads.insert(std::this_thread::get_id());
    }
    std::size_t TakeCount() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_threads, {}).size();
    }

private:
    std::mutex m_mutex;
    std::set<std::thread::id> m_threads;
};

// The number of the tests that waited for the storage.
int TestAll(FileTestPool& pool, const std::vector<std::string>& paths) {
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher("needle", CaseMode::Sensitive));
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    for (const std::string& path : paths) {
        jobs.push_back(std::make_shared<FileTestJob>(path, matcher));
    }
    pool.SubmitAll(jobs);
    int waited = 0;
    for (const auto& job : jobs) {
        WaitUntilDone(*job);
        waited += job->WaitedOnStorage() ? 1 : 0;
    }
    return waited;
}

// Reads from memory run one test per core; reads that wait for the storage
// run more at once, up to the ceiling, and fewer again once memory serves.
TEST(FileTestPool, RunsMoreTestsAtOnceWhileTheyWaitForTheStorage) {
    testing::TempDir dir;
    const std::string probe = dir.PathOf("probe");
    ASSERT_TRUE(WriteUncached(probe, 8192));
    if (!ReadWaitedOnStorage(probe) || ReadWaitedOnStorage(probe)) {
        GTEST_SKIP() << "this file system does not tell reads from memory apart";
    }
    std::vector<std::string> paths;
    for (int i = 0; i < 64; ++i) {
        paths.push_back(dir.PathOf(std::to_string(i)));
        ASSERT_TRUE(WriteUncached(paths.back(), 8192));
    }
    ThreadsSeen threads;
    FileTestPool pool(0, [&](const FileTestJob&) { threads.Add(); });
    ASSERT_GT(pool.Ceiling(), pool.Workers());

    EXPECT_GT(TestAll(pool, paths), 48);
    EXPECT_GT(threads.TakeCount(), pool.Workers());
    for (int pass = 0; pass < 3; ++pass) {
        threads.TakeCount();
        EXPECT_EQ(TestAll(pool, paths), 0);
    }
    EXPECT_LE(threads.TakeCount(), pool.Workers());
}

TEST(FileTestPool, AFixedNumberOfWorkersNeverGrows) {
    testing::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 32; ++i) {
        paths.push_back(dir.PathOf(std::to_string(i)));
        ASSERT_TRUE(WriteUncached(paths.back(), 8192));
    }
    ThreadsSeen threads;
    FileTestPool pool(1, [&](const FileTestJob&) { threads.Add(); });
    EXPECT_EQ(pool.Ceiling(), 1u);
    TestAll(pool, paths);
    EXPECT_EQ(threads.TakeCount(), 1u);
}
#endif

}  // namespace
}  // namespace tarnwick
