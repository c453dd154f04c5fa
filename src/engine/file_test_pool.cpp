#include "engine/file_test_pool.h"

#include <array>

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
        Finish(Verdict::Stopped, false);
        return;
    }
    int blocks = 0;
    bool waitedOnStorage = false;
    Expected<Verdict> outcome = TestFileContent(
        m_path, *m_matcher,
        [&] {
            if (++blocks == kBlocksOfALongRun && onLongRun) {
                onLongRun(*this);
            }
            return !Cancelled();
        },
        &waitedOnStorage);
    Finish(std::move(outcome), waitedOnStorage);
}

void FileTestJob::Finish(Expected<Verdict> outcome, bool waitedOnStorage) {
    m_outcome.emplace(std::move(outcome));
    m_waitedOnStorage = waitedOnStorage;
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

bool FileTestPool::NextJobs(unsigned worker, std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    jobs.clear();
    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool active = worker < m_allowed || m_quitting;
        if (active && !m_queue.empty()) {
            break;
        }
        if (m_quitting) {
            return false;
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
    // A share of the queue, so that the other workers find work too.
    const std::size_t share =
        std::clamp<std::size_t>(m_queue.size() / m_allowed, 1, kSmallFilesPerBatch);
    for (std::size_t i = 0; i < share; ++i) {
        jobs.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    return true;
}

void FileTestPool::TestTogether(SmallFileReader& reader,
                                const std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    std::vector<const std::string*> paths;
    std::vector<FileTestJob*> tested;
    for (const auto& job : jobs) {
        if (job->Cancelled()) {
            job->Finish(Verdict::Stopped, false);
            Settled(*job);
        } else {
            paths.push_back(&job->Path());
            tested.push_back(job.get());
        }
    }
    std::array<SmallFileOutcome, kSmallFilesPerBatch> outcomes;
    reader.ReadAll(paths, outcomes);
    for (std::size_t i = 0; i < tested.size(); ++i) {
        const SmallFileOutcome& outcome = outcomes[i];
        FileTestJob& job = *tested[i];
        if (!outcome.lookedUp) {
            continue;
        }
        if (const std::optional<Verdict> verdict = VerdictWithoutReading(outcome.kind)) {
            job.Finish(*verdict, false);
        } else if (!outcome.read) {
            continue;  // too large to read in one piece
        } else if (!*outcome.read) {
            job.Finish(outcome.read->Error(), outcome.waitedOnStorage);
        } else {
            job.Finish(
                VerdictOnWholeContent(reader.Content(i, outcome.read->Value()), job.Matcher()),
                outcome.waitedOnStorage);
        }
        Settled(job);
    }
}

// Doubles the tests at once when a quarter of a round waited for the
// storage, and halves them when none did.
void FileTestPool::Settled(const FileTestJob& job) {
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
    if (m_onProgress) {
        m_onProgress(job);
    }
}

// Small files are read together where the system can; the rest, and every
// file where it cannot, one by one.
void FileTestPool::Work(unsigned worker) {
    std::unique_ptr<SmallFileReader> reader;
    bool readerTried = false;
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    while (NextJobs(worker, jobs)) {
        if (jobs.size() > 1 && !readerTried) {
            reader = SmallFileReader::Create(kSingleReadLimit);
            readerTried = true;
        }
        if (jobs.size() > 1 && reader) {
            TestTogether(*reader, jobs);
        }
        for (const auto& job : jobs) {
            if (!job->Done()) {
                job->Run(m_onProgress);
                Settled(*job);
            }
        }
    }
}

}  // namespace tarnwick
