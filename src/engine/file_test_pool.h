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

    // onLongRun is called once when the file turns out to take a while.
    void Run(const std::function<void(const FileTestJob&)>& onLongRun);

private:
    std::string m_path;
    std::shared_ptr<const PhraseMatcher> m_matcher;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_done{false};
    std::optional<Expected<Verdict>> m_outcome;
};

// Worker threads that run FileTestJobs in the order they were submitted.
// onProgress is called on the worker after each job, and once during a job
// that reads a long file, to wake whoever waits.
class FileTestPool {
public:
    using ProgressCallback = std::function<void(const FileTestJob&)>;

    FileTestPool(unsigned workers, ProgressCallback onProgress);
    ~FileTestPool();
    FileTestPool(const FileTestPool&) = delete;
    FileTestPool& operator=(const FileTestPool&) = delete;

    // One per core when workers is 0.
    static unsigned WorkersFor(unsigned requested);
    unsigned Workers() const { return static_cast<unsigned>(m_threads.size()); }

    // Queues the jobs in order under one lock, waking each worker once.
    void SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Puts the job ahead of every waiting one.
    void SubmitFirst(std::shared_ptr<FileTestJob> job);

private:
    void Work();
    std::shared_ptr<FileTestJob> NextJob();

    ProgressCallback m_onProgress;
    std::mutex m_mutex;
    std::condition_variable m_jobWaiting;
    std::deque<std::shared_ptr<FileTestJob>> m_queue;
    bool m_quitting = false;
    std::vector<std::thread> m_threads;
};

}  // namespace tarnwick
