#include "engine/file_test_pool.h"

namespace tarnwick {

namespace {

// Blocks of a file read before its job counts as long running.
constexpr int kBlocksOfALongRun = 4;

// Tests at once when they wait for the storage: enough reads in flight for a
// disk, while memory stays at one block per test.
constexpr unsigned kStorageCeiling = 32;
// Jobs after which the pool decides again how many tests run at once, and how
// many of them must have waited for the storage to run more at once.
constexpr unsigned kRoundJobs = 16;
constexpr unsigned kWaitedToGrow = kRoundJobs / 4;

unsigned Cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

void FileTestJob::Run(const std::function<void(const FileTestJob&)>& onLongRun) {
    if (Cancelled()) {
        m_outcome.emplace(Verdict::Stopped);
    } else {
        int blocks = 0;
        m_outcome.emplace(TestFileContent(
            m_path, *m_matcher,
            [&] {
                if (++blocks == kBlocksOfALongRun && onLongRun) {
                    onLongRun(*this);
                }
                return !Cancelled();
            },
            &m_waitedOnStorage));
    }
    m_done.store(true, std::memory_order_release);
}

FileTestPool::FileTestPool(unsigned workers, ProgressCallback onProgress)
    : m_onProgress(std::move(onProgress)),
      m_floor(workers > 0 ? workers : Cores()),
      m_allowed(m_floor) {
    const unsigned threads = workers > 0 ? workers : std::max(m_floor, kStorageCeiling);
    m_threads.reserve(threads);
    for (unsigned worker = 0; worker < threads; ++worker) {
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

unsigned FileTestPool::Allowed() const {
    const std::lock_guard lock(m_mutex);
    return m_allowed;
}

void FileTestPool::SubmitAll(const std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    if (jobs.empty()) {
        return;
    }
    std::size_t wakeUps = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), jobs.begin(), jobs.end());
        wakeUps = std::min<std::size_t>(jobs.size(), m_allowed);
    }
    for (std::size_t i = 0; i < wakeUps; ++i) {
        m_jobForActive.notify_one();
    }
}

void FileTestPool::SubmitFirst(std::shared_ptr<FileTestJob> job) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_front(std::move(job));
    }
    m_jobForActive.notify_one();
}

std::shared_ptr<FileTestJob> FileTestPool::NextJob(unsigned worker) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool active = worker < m_allowed || m_quitting;
        if (active && !m_queue.empty()) {
            break;
        }
        if (m_quitting) {
            return nullptr;
        }
        if (active) {
            m_jobForActive.wait(lock);
            // A wake-up meant for an active worker, taken by one that is no
            // longer active, goes on to another.
            if (worker >= m_allowed) {
                m_jobForActive.notify_one();
            }
        } else {
            m_roomForReserve.wait(lock);
        }
    }
    std::shared_ptr<FileTestJob> job = std::move(m_queue.front());
    m_queue.pop_front();
    return job;
}

// Doubles the tests at once when a quarter of a round waited for the
// storage, and halves them when none did.
void FileTestPool::Finished(const FileTestJob& job) {
    bool grew = false;
    {
        const std::lock_guard lock(m_mutex);
        m_waitedInRound += job.WaitedOnStorage() ? 1 : 0;
        if (++m_finishedInRound == kRoundJobs) {
            const unsigned before = m_allowed;
            if (m_waitedInRound >= kWaitedToGrow) {
                m_allowed = std::min(Ceiling(), m_allowed * 2);
            } else if (m_waitedInRound == 0) {
                m_allowed = std::max(m_floor, m_allowed / 2);
            }
            grew = m_allowed > before;
            m_finishedInRound = m_waitedInRound = 0;
        }
    }
    if (grew) {
        m_roomForReserve.notify_all();
    }
}

void FileTestPool::Work(unsigned worker) {
    while (const std::shared_ptr<FileTestJob> job = NextJob(worker)) {
        job->Run(m_onProgress);
        Finished(*job);
        if (m_onProgress) {
            m_onProgress(*job);
        }
    }
}

}  // namespace tarnwick
