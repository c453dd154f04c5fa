#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_test_pool.h"

class QAbstractEventDispatcher;

namespace tarnwick {

// Lets the GUI thread sleep in its event loop until a worker has finished the
// job it named, or has begun a long one; it is woken only while it waits.
class VerdictWaiter {
public:
    VerdictWaiter();

    // Called on a worker after each job and during a long one.
    void JobProgressed(const FileTestJob& job);
    // Processes events, sleeping until one comes unless job is done already;
    // the worker that finishes wakeOn wakes the loop.
    void WaitOnce(const FileTestJob& job, const FileTestJob& wakeOn);

private:
    QAbstractEventDispatcher* m_dispatcher;
    // A count, as a wait can be nested in the events another wait processes.
    std::atomic<int> m_waiting{0};
    std::atomic<const FileTestJob*> m_wakeOn{nullptr};
};

// Tests the files that a search will come to next on the pool's workers, in
// the search's order, and hands each verdict over at the file's turn.
class ReadAhead {
public:
    ReadAhead(FileTestPool& pool, VerdictWaiter& waiter, std::size_t depth)
        : m_pool(pool), m_waiter(waiter), m_depth(depth) {}
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Once half the window is taken, fills it again with the tests that
    // nextJob() makes, until it gives none, and queues them as one batch:
    // the workers are woken and the pool's lock taken once per batch.
    template <typename NextJob>
    void TopUp(NextJob nextJob) {
        if (m_window.size() > m_depth / 2) {
            return;
        }
        std::vector<std::shared_ptr<FileTestJob>> batch;
        while (m_window.size() < m_depth) {
            std::shared_ptr<FileTestJob> job = nextJob();
            if (!job) {
                break;
            }
            m_window.push_back(job);
            batch.push_back(std::move(job));
        }
        m_pool.SubmitAll(batch);
    }

    // The verdict on path under matcher: the one tested ahead when it was
    // for the same path, phrase and mode, else a new test. Files tested
    // ahead of this one whose turn never came are dropped. Waits while the
    // event loop runs; once stopRequested() answers true the test is
    // cancelled and the verdict is Stopped.
    Expected<Verdict> VerdictFor(const std::string& path,
                                 const std::shared_ptr<const PhraseMatcher>& matcher,
                                 const std::function<bool()>& stopRequested);

    // The test started ahead for path under the same phrase and mode, taken
    // out of the window, or none.
    std::shared_ptr<FileTestJob> TakeMatchingJob(const std::string& path,
                                                 const PhraseMatcher& matcher);
    Expected<Verdict> Await(FileTestJob& job, const std::function<bool()>& stopRequested);

private:
    std::shared_ptr<FileTestJob> TakeJobFor(const std::string& path);
    // The job whose end wakes a wait for job: a later one while it runs, so
    // that the verdicts in between are taken in one go.
    const FileTestJob& WakeOnFor(const FileTestJob& job) const;
    void CancelAll();

    FileTestPool& m_pool;
    VerdictWaiter& m_waiter;
    std::size_t m_depth;
    std::deque<std::shared_ptr<FileTestJob>> m_window;
};

}  // namespace tarnwick
