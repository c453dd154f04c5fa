#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "engine/file_test_job.h"
#include "engine/test_scheduling.h"

namespace tarnwick {

// Worker threads that run FileTestJobs in the order they were submitted.
// onProgress is called on the worker after each job, and during a job that
// reads a long file, to wake whoever waits.
//
// As many tests run at once as TestsAtOnce allows: one per core while the
// data is in memory, more while the tests wait for the storage; so the cores
// match and the storage stays busy, with memory bounded by one block per test
// running. A test that makes no progress for a while (a file on a share that
// does not answer) holds its thread, and a thread of the reserve takes its
// place, so the other tests go on while fewer threads are held than the
// ceiling. The threads start with the first job; ending the pool waits for
// every thread.
class FileTestPool {
public:
    using ProgressCallback = std::function<void(const FileTestJob&)>;

    // workers: a fixed number of tests at once; 0 gives the adaptive default.
    FileTestPool(unsigned workers, ProgressCallback onProgress);
    ~FileTestPool();
    FileTestPool(const FileTestPool&) = delete;
    FileTestPool& operator=(const FileTestPool&) = delete;

    // Tests at once while the data is in memory, and at most.
    unsigned Workers() const { return m_testsAtOnce.Floor(); }
    unsigned Ceiling() const { return m_testsAtOnce.Ceiling(); }

    // Queues the jobs in order under one lock, waking each worker once.
    void SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Puts the job ahead of every waiting one.
    void SubmitFirst(std::shared_ptr<FileTestJob> job);

private:
    void StartThreads();
    // Small files are read together where the system can; the rest, and
    // every file where it cannot, one by one.
    void Work(unsigned worker);
    // The next jobs in order for worker, at most most: several while many
    // are queued, so that small files are read together; false when the pool
    // ends. Worker n takes jobs while n is below the number of tests allowed
    // at once plus those stalled; the others sleep apart as the reserve, so
    // the same few threads, with their warm caches, do the work.
    bool NextJobs(unsigned worker, std::size_t most,
                  std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Whether worker may take jobs now; under the lock.
    bool Active(unsigned worker) const;
    // Puts jobs a worker took but did not start back at the front of the
    // queue, in their order.
    void GiveBack(std::span<const std::shared_ptr<FileTestJob>> jobs);
    // Runs job unless another test of the same file is under way, which it
    // then waits for without holding a thread.
    void RunAlone(unsigned worker, const std::shared_ptr<FileTestJob>& job);
    void Settled(const FileTestJob& job);

    ProgressCallback m_onProgress;
    // Guarded by m_mutex; before m_stallWatch, which watches up to its ceiling.
    TestsAtOnce m_testsAtOnce;
    StallWatch m_stallWatch;
    std::once_flag m_started;
    mutable std::mutex m_mutex;
    // Active workers wait here for jobs, the reserve for room.
    std::condition_variable m_jobForActive;
    std::condition_variable m_roomForReserve;
    // Guarded by m_mutex:
    PathsUnderTest m_pathsUnderTest;
    FoldersUnderTest m_foldersUnderTest;
    std::deque<std::shared_ptr<FileTestJob>> m_queue;
    bool m_quitting = false;

    std::vector<std::thread> m_threads;
};

}  // namespace tarnwick
