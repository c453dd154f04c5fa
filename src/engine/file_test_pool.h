#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/content_test.h"
#include "engine/small_files.h"

namespace tarnwick {

// One file to test on a worker thread. The submitter reads outcome only
// after Done() turned true; Cancel() makes the worker stop before its next
// block, with the verdict Stopped.
class FileTestJob {
public:
    FileTestJob(std::string path, std::shared_ptr<const PhraseMatcher> matcher)
        : m_path(std::move(path)), m_matcher(std::move(matcher)) {}

    const std::string& Path() const { return m_path; }
    const PhraseMatcher& Matcher() const { return *m_matcher; }
    const std::shared_ptr<const PhraseMatcher>& SharedMatcher() const { return m_matcher; }

    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    bool Done() const { return m_done.load(std::memory_order_acquire); }
    const Expected<Verdict>& Outcome() const { return *m_outcome; }
    // Whether the test had to wait for the storage; read after Done().
    bool WaitedOnStorage() const { return m_waitedOnStorage; }

    // onLongRun is called once when the file turns out to take a while.
    void Run(const std::function<void(const FileTestJob&)>& onLongRun);
    // Ends the job with an outcome found elsewhere.
    void Finish(Expected<Verdict> outcome, bool waitedOnStorage);

private:
    std::string m_path;
    std::shared_ptr<const PhraseMatcher> m_matcher;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_done{false};
    std::optional<Expected<Verdict>> m_outcome;
    bool m_waitedOnStorage = false;
};

// Worker threads that run FileTestJobs in the order they were submitted.
// onProgress is called on the worker after each job, and once during a job
// that reads a long file, to wake whoever waits.
//
// By default as many tests run at once as there are cores; while tests keep
// waiting for the storage rather than for the cores (a cold disk wants many
// reads in flight), more run at once, up to a ceiling, and fewer again once
// the data comes from memory. So the cores match and the disk stays busy,
// with memory bounded by one block per test running.
class FileTestPool {
public:
    using ProgressCallback = std::function<void(const FileTestJob&)>;

    // workers: a fixed number of tests at once; 0 gives the adaptive default.
    FileTestPool(unsigned workers, ProgressCallback onProgress);
    ~FileTestPool();
    FileTestPool(const FileTestPool&) = delete;
    FileTestPool& operator=(const FileTestPool&) = delete;

    // Tests at once while the data is in memory, and at most.
    unsigned Workers() const { return m_floor; }
    unsigned Ceiling() const { return static_cast<unsigned>(m_threads.size()); }
    // Tests allowed to run at once now.
    unsigned Allowed() const;

    // Queues the jobs in order under one lock, waking each worker once.
    void SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Puts the job ahead of every waiting one.
    void SubmitFirst(std::shared_ptr<FileTestJob> job);

private:
    // Worker n runs jobs while n is below the number allowed; the others sleep
    // apart, so the same few threads, with their warm caches, do the work.
    void Work(unsigned worker);
    // The next jobs in order for worker: several while many are queued, so
    // that small files are read together; false when the pool ends.
    bool NextJobs(unsigned worker, std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Tests the small files among jobs together and settles every job it can.
    void TestTogether(SmallFileReader& reader,
                      const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    void Settled(const FileTestJob& job);

    ProgressCallback m_onProgress;
    unsigned m_floor;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobForActive;
    std::condition_variable m_roomForReserve;
    // Guarded by m_mutex:
    std::deque<std::shared_ptr<FileTestJob>> m_queue;
    bool m_quitting = false;
    unsigned m_allowed;
    unsigned m_finishedInRound = 0;
    unsigned m_waitedInRound = 0;

    std::vector<std::thread> m_threads;
};

}  // namespace tarnwick
