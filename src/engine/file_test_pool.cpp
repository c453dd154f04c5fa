#include "engine/file_test_pool.h"

#include <algorithm>

namespace tarnwick {

namespace {

// Blocks of a file read before its job counts as long running.
constexpr int kBlocksOfALongRun = 4;

// Tests at once when they wait for the storage: enough requests in flight
// for a disk, and for a share where each look-up, open and read is a round
// trip, while memory stays at one block per test.
constexpr unsigned kStorageCeiling = 64;

unsigned Cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

TestsAtOnce TestsAtOnceFor(unsigned workers) {
    if (workers > 0) {
        return TestsAtOnce(workers, workers);
    }
    return TestsAtOnce(Cores(), std::max(Cores(), kStorageCeiling));
}

}  // namespace

FileTestPool::FileTestPool(unsigned workers, ProgressCallback onProgress)
    : m_onProgress(std::move(onProgress)),
      m_testsAtOnce(TestsAtOnceFor(workers)),
      m_stallWatch(m_testsAtOnce.Ceiling()),
      m_foldersUnderTest(m_testsAtOnce.Ceiling()) {}

void FileTestPool::StartThreads() {
    m_threads.reserve(Ceiling());
    for (unsigned worker = 0; worker < Ceiling(); ++worker) {
        m_threads.emplace_back([this, worker] { Work(worker); });
    }
}

FileTestPool::~FileTestPool() {
    {
        const std::lock_guard lock(m_mutex);
        m_quitting = true;
        for (const auto& job : m_queue) {
            job->Cancel();
        }
    }
    m_jobForActive.notify_all();
    m_roomForReserve.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void FileTestPool::SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    if (jobs.empty()) {
        return;
    }
    std::call_once(m_started, [this] { StartThreads(); });
    std::size_t wakeUps = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), jobs.begin(), jobs.end());
        wakeUps = std::min<std::size_t>(jobs.size(), m_testsAtOnce.Allowed());
    }
    for (std::size_t i = 0; i < wakeUps; ++i) {
        m_jobForActive.notify_one();
    }
    m_roomForReserve.notify_one();
}

void FileTestPool::SubmitFirst(std::shared_ptr<FileTestJob> job) {
    std::call_once(m_started, [this] { StartThreads(); });
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_front(std::move(job));
    }
    m_jobForActive.notify_one();
    m_roomForReserve.notify_one();
}

bool FileTestPool::Active(unsigned worker) const {
    return m_quitting ||
           worker < std::min(Ceiling(), m_testsAtOnce.Allowed() + m_stallWatch.Stalled());
}

bool FileTestPool::NextJobs(unsigned worker, std::size_t most,
                            std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    jobs.clear();
    std::unique_lock lock(m_mutex);
    m_foldersUnderTest.Release(worker);
    for (;;) {
        const bool isActive = Active(worker);
        if (isActive && !m_queue.empty()) {
            break;
        }
        if (m_quitting) {
            return false;
        }
        if (isActive) {
            m_jobForActive.wait(lock);
            // A wake-up for a queued job, taken by a worker that is no longer
            // active, goes on to another once; the worker itself then sleeps
            // with the reserve, so a wake-up is never handed back and forth.
            if (!m_queue.empty() && !Active(worker)) {
                m_jobForActive.notify_one();
            }
        } else if (m_queue.empty()) {
            m_roomForReserve.wait(lock);
        } else if (m_roomForReserve.wait_for(lock, StallWatch::kStallTime) ==
                       std::cv_status::timeout &&
                   m_stallWatch.Stalled() > 0) {
            // Stalled tests leave their places to the reserve.
            m_roomForReserve.notify_all();
        }
    }
    // While the tests wait for the storage, they spread over folders.
    const bool waitingForStorage = m_testsAtOnce.Allowed() > m_testsAtOnce.Floor();
    const auto first = m_queue.begin() +
                       static_cast<std::ptrdiff_t>(
                           waitingForStorage ? m_foldersUnderTest.FirstInFreeFolder(m_queue) : 0);
    if (waitingForStorage) m_foldersUnderTest.Hold(worker, (*first)->Path());
    // A share of the queue, so that the other workers find work too; a job
    // that a batch left to be tested alone is taken alone.
    const std::size_t share =
        (*first)->TriedTogether()
            ? 1
            : std::clamp<std::size_t>(m_queue.size() / m_testsAtOnce.Allowed(), 1,
                                      std::min<std::size_t>(most, m_queue.end() - first));
    const auto last = first + static_cast<std::ptrdiff_t>(share);
    jobs.assign(std::make_move_iterator(first), std::make_move_iterator(last));
    m_queue.erase(first, last);
    return true;
}

void FileTestPool::Settled(const FileTestJob& job) {
    bool grew = false;
    {
        const std::lock_guard lock(m_mutex);
        grew = m_testsAtOnce.Settled(job.WaitedOnStorage());
    }
    if (grew) {
        m_roomForReserve.notify_all();
    }
    if (m_onProgress) {
        m_onProgress(job);
    }
}

void FileTestPool::RunAlone(unsigned worker, const std::shared_ptr<FileTestJob>& job) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_pathsUnderTest.Take(job)) {
            return;
        }
    }
    int blocks = 0;
    job->Run([&] {
        m_stallWatch.MarkBusy(worker);
        if (++blocks == kBlocksOfALongRun && m_onProgress) {
            m_onProgress(*job);
        }
    });
    std::vector<std::shared_ptr<FileTestJob>> waited;
    {
        const std::lock_guard lock(m_mutex);
        waited = m_pathsUnderTest.Release(job->Path());
    }
    // The jobs that waited for the path go first, in their order.
    GiveBack(waited);
    Settled(*job);
}

// Only a queue that was empty can have workers asleep for want of a job.
void FileTestPool::GiveBack(std::span<const std::shared_ptr<FileTestJob>> jobs) {
    if (jobs.empty()) return;
    bool wasEmpty = false;
    {
        const std::lock_guard lock(m_mutex);
        wasEmpty = m_queue.empty();
        m_queue.insert(m_queue.begin(), jobs.begin(), jobs.end());
    }
    if (wasEmpty) {
        m_jobForActive.notify_all();
        m_roomForReserve.notify_one();
    }
}

// A worker tests one file alone and gives the others it took back, so that a
// test that never ends holds up no other.
void FileTestPool::Work(unsigned worker) {
    std::unique_ptr<SmallFileReader> reader;
    bool readerTried = false;
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    // Without batched reads, each job is taken alone.
    while (NextJobs(worker, readerTried && !reader ? 1 : kSmallFilesPerBatch, jobs)) {
        m_stallWatch.MarkBusy(worker);
        if (jobs.size() > 1 && !readerTried) {
            reader = SmallFileReader::Create(kSingleReadLimit);
            readerTried = true;
        }
        if (jobs.size() > 1 && reader) {
            TestSmallFilesTogether(*reader, jobs, [this](const FileTestJob& job) { Settled(job); });
        }
        std::erase_if(jobs, [](const auto& job) { return job->Done(); });
        if (!jobs.empty()) {
            GiveBack(std::span(jobs).subspan(1));
            m_stallWatch.MarkBusy(worker);
            RunAlone(worker, jobs.front());
        }
        m_stallWatch.MarkIdle(worker);
        jobs.clear();
    }
}

}  // namespace tarnwick
