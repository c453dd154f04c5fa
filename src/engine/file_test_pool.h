#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/content_test.h"
#include "engine/small_files.h"

namespace tarnwick {

// A folder entry of a search, opened and listed on a worker: its path as
// shown and joined, and its files: nothing when the folder cannot be opened
// for listing, the failure when its listing failed midway.
struct OpenedFolder {
    std::string path;
    std::optional<Expected<std::vector<std::string>>> files;

    bool ListingFailed() const { return files && !*files; }
};

// One file to test on a worker thread. The submitter reads outcome only
// after Done() turned true; Cancel() makes the worker stop before its next
// block, with the verdict Stopped.
class FileTestJob {
public:
    // A search entry that is no file is opened as a folder and its files are
    // listed by the same job; a folder's file is only tested.
    enum class Subject { SearchEntry, FolderFile };

    FileTestJob(std::string path, std::shared_ptr<const PhraseMatcher> matcher,
                Subject subject = Subject::FolderFile)
        : m_path(std::move(path)), m_matcher(std::move(matcher)), m_subject(subject) {}

    const std::string& Path() const { return m_path; }
    const PhraseMatcher& Matcher() const { return *m_matcher; }
    const std::shared_ptr<const PhraseMatcher>& SharedMatcher() const { return m_matcher; }
    Subject GetSubject() const { return m_subject; }

    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    bool Done() const { return m_done.load(std::memory_order_acquire); }
    const Expected<Verdict>& Outcome() const { return *m_outcome; }
    // Whether the test had to wait for the storage; read after Done().
    bool WaitedOnStorage() const { return m_waitedOnStorage; }
    // For a search entry whose verdict is NotAFile: the folder it names, or
    // why it cannot be opened as one; read after Done().
    const std::optional<Expected<OpenedFolder>>& Folder() const { return m_folder; }
    // Whether the outcome is a failure that the same test, made again later,
    // may not meet.
    bool Failed() const;

    // onProgress is called before each block of a long file.
    void Run(const std::function<void()>& onProgress);
    // Ends the job with an outcome found elsewhere.
    void Finish(Expected<Verdict> outcome, bool waitedOnStorage);

    // Whether a batch of small files already had the job, which it then left
    // to be tested alone.
    bool TriedTogether() const { return m_triedTogether; }
    void MarkTriedTogether() { m_triedTogether = true; }

private:
    std::string m_path;
    std::shared_ptr<const PhraseMatcher> m_matcher;
    Subject m_subject;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_done{false};
    std::optional<Expected<Verdict>> m_outcome;
    std::optional<Expected<OpenedFolder>> m_folder;
    bool m_waitedOnStorage = false;
    bool m_triedTogether = false;
};

// Worker threads that run FileTestJobs in the order they were submitted.
// onProgress is called on the worker after each job, and during a job that
// reads a long file, to wake whoever waits.
//
// By default as many tests run at once as there are cores; while tests keep
// waiting for the storage rather than for the cores (a cold disk wants many
// reads in flight, and a share one request in flight per round trip), more
// run at once, up to a ceiling, and fewer again once the data comes from
// memory. So the cores match and the storage stays busy, with memory bounded
// by one block per test running.
//
// A test that makes no progress for a while (a file on a share that does
// not answer) holds its thread, and another thread takes its place, so the
// other tests go on while fewer threads are held than the ceiling. The
// threads start with the first job; ending the pool waits for every thread.
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
    unsigned Ceiling() const { return m_ceiling; }

    // Queues the jobs in order under one lock, waking each worker once.
    void SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Puts the job ahead of every waiting one.
    void SubmitFirst(std::shared_ptr<FileTestJob> job);

private:
    void StartThreads();
    // Worker n runs jobs while n is below the number allowed; the others sleep
    // apart, so the same few threads, with their warm caches, do the work.
    void Work(unsigned worker);
    // The next jobs in order for worker, at most most: several while many
    // are queued, so that small files are read together; false when the pool
    // ends.
    bool NextJobs(unsigned worker, std::size_t most,
                  std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Tests the small files among jobs together and settles every job it can.
    void TestTogether(SmallFileReader& reader,
                      const std::vector<std::shared_ptr<FileTestJob>>& jobs);
    // Puts jobs a worker took but did not start back at the front of the
    // queue, in their order.
    void GiveBack(std::span<const std::shared_ptr<FileTestJob>> jobs);
    // Runs job unless another test of the same file is under way, which it
    // then waits for without holding a thread: a second open of a file whose
    // read a share never answers can block beyond the reach of any signal.
    void RunAlone(unsigned worker, const std::shared_ptr<FileTestJob>& job);
    // false when job was set to wait for the test of its file under way.
    bool TakePath(const std::shared_ptr<FileTestJob>& job);
    void ReleasePath(const std::string& path);
    void Settled(const FileTestJob& job);
    // Marks worker busy as of now, or idle.
    void MarkBusy(unsigned worker);
    void MarkIdle(unsigned worker);
    // Threads whose test made no progress for a while.
    unsigned StalledWorkers() const;

    ProgressCallback m_onProgress;
    unsigned m_floor;
    unsigned m_ceiling;
    std::once_flag m_started;
    // Per worker: when its test last made progress, in milliseconds of the
    // steady clock; 0 while it waits for jobs.
    std::vector<std::atomic<std::int64_t>> m_busySince;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobForActive;
    std::condition_variable m_roomForReserve;
    // Guarded by m_mutex:
    std::deque<std::shared_ptr<FileTestJob>> m_queue;
    // The files tested one by one now, each with the jobs that wait for it.
    std::unordered_map<std::string, std::vector<std::shared_ptr<FileTestJob>>> m_jobsWaitingForPath;
    bool m_quitting = false;
    unsigned m_allowed;
    unsigned m_finishedInRound = 0;
    unsigned m_waitedInRound = 0;

    std::vector<std::thread> m_threads;
};

}  // namespace tarnwick
