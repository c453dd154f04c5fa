#include "engine/file_test_pool.h"

#include <array>
#include <chrono>

namespace tarnwick {

namespace {

// Blocks of a file read before its job counts as long running.
constexpr int kBlocksOfALongRun = 4;

// Tests at once when they wait for the storage: enough requests in flight
// for a disk, and for a share where each look-up, open and read is a round
// trip, while memory stays at one block per test.
constexpr unsigned kStorageCeiling = 64;
// Jobs after which the pool decides again how many tests run at once, and how
// many of them must have waited for the storage to run more at once.
constexpr unsigned kRoundJobs = 16;
constexpr unsigned kWaitedToGrow = kRoundJobs / 4;

// A test that made no progress for this long holds its thread: another
// thread takes its place.
constexpr std::int64_t kStallMilliseconds = 250;

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The folder an entry that is no file names, with its files.
Expected<OpenedFolder> OpenAndListFolder(const std::string& path) {
    Expected<std::string> folder = OpenFolder(path);
    if (!folder) {
        return folder.Error();
    }
    OpenedFolder opened{std::move(folder).Value(), std::nullopt};
    bool listingOpened = false;
    Expected<std::vector<std::string>> files = ListFilesInFolder(opened.path, &listingOpened);
    if (listingOpened) {
        opened.files = std::move(files);
    }
    return opened;
}

unsigned Cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

bool FileTestJob::Failed() const {
    return !Outcome() || (m_folder && (!*m_folder || m_folder->Value().ListingFailed()));
}

void FileTestJob::Run(const std::function<void()>& onProgress) {
    if (Cancelled()) {
        Finish(Verdict::Stopped, false);
        return;
    }
    bool waitedOnStorage = false;
    Expected<Verdict> outcome = TestFileContent(
        m_path, *m_matcher,
        [&] {
            onProgress();
            return !Cancelled();
        },
        &waitedOnStorage);
    if (m_subject == Subject::SearchEntry && outcome && outcome.Value() == Verdict::NotAFile) {
        if (Cancelled()) {
            outcome = Verdict::Stopped;
        } else {
            m_folder = OpenAndListFolder(m_path);
        }
    }
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
      m_ceiling(workers > 0 ? workers : std::max(m_floor, kStorageCeiling)),
      m_busySince(m_ceiling),
      m_allowed(m_floor) {}

void FileTestPool::StartThreads() {
    m_threads.reserve(m_ceiling);
    for (unsigned worker = 0; worker < m_ceiling; ++worker) {
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

void FileTestPool::MarkBusy(unsigned worker) {
    m_busySince[worker].store(NowMilliseconds(), std::memory_order_relaxed);
}

void FileTestPool::MarkIdle(unsigned worker) {
    m_busySince[worker].store(0, std::memory_order_relaxed);
}

unsigned FileTestPool::StalledWorkers() const {
    const std::int64_t stalledBefore = NowMilliseconds() - kStallMilliseconds;
    unsigned stalled = 0;
    for (const auto& since : m_busySince) {
        const std::int64_t busySince = since.load(std::memory_order_relaxed);
        stalled += busySince != 0 && busySince < stalledBefore ? 1 : 0;
    }
    return stalled;
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
        wakeUps = std::min<std::size_t>(jobs.size(), m_allowed);
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

bool FileTestPool::NextJobs(unsigned worker, std::size_t most,
                            std::vector<std::shared_ptr<FileTestJob>>& jobs) {
    jobs.clear();
    std::unique_lock lock(m_mutex);
    for (;;) {
        const unsigned active = std::min(m_ceiling, m_allowed + StalledWorkers());
        const bool isActive = worker < active || m_quitting;
        if (isActive && !m_queue.empty()) {
            break;
        }
        if (m_quitting) {
            return false;
        }
        if (isActive) {
            m_jobForActive.wait(lock);
            // A wake-up for a queued job, taken by a worker that is no longer
            // active, goes on to another; with nothing queued it ends here,
            // so two idle workers never hand it back and forth.
            if (!m_queue.empty() && worker >= std::min(m_ceiling, m_allowed + StalledWorkers())) {
                m_jobForActive.notify_one();
            }
        } else if (m_queue.empty()) {
            m_roomForReserve.wait(lock);
        } else if (m_roomForReserve.wait_for(lock, std::chrono::milliseconds(kStallMilliseconds)) ==
                       std::cv_status::timeout &&
                   StalledWorkers() > 0) {
            // Stalled tests leave their places to the reserve.
            m_roomForReserve.notify_all();
        }
    }
    // A share of the queue, so that the other workers find work too; a job
    // that a batch left to be tested alone is taken alone.
    const std::size_t share = m_queue.front()->TriedTogether()
                                  ? 1
                                  : std::clamp<std::size_t>(m_queue.size() / m_allowed, 1, most);
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
        if (job->TriedTogether()) continue;
        job->MarkTriedTogether();
        if (job->Cancelled()) {
            job->Finish(Verdict::Stopped, false);
            Settled(*job);
        } else {
            paths.push_back(&job->Path());
            tested.push_back(job.get());
        }
    }
    if (paths.empty()) return;
    std::array<SmallFileOutcome, kSmallFilesPerBatch> outcomes;
    reader.ReadAll(paths, outcomes);
    for (std::size_t i = 0; i < tested.size(); ++i) {
        const SmallFileOutcome& outcome = outcomes[i];
        FileTestJob& job = *tested[i];
        if (!outcome.lookedUp) {
            continue;
        }
        std::optional<Expected<Verdict>> verdict = VerdictWithoutReading(outcome.kind);
        if (verdict && *verdict == Verdict::NotAFile &&
            job.GetSubject() == FileTestJob::Subject::SearchEntry) {
            continue;  // a folder to open and list
        }
        if (verdict) {
            job.Finish(std::move(*verdict), false);
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

// Doubles the tests at once as soon as a quarter of a round waited for the
// storage, so that a slow share is kept busy within a few round trips, and
// halves them when a whole round did not wait.
void FileTestPool::Settled(const FileTestJob& job) {
    bool grew = false;
    {
        const std::lock_guard lock(m_mutex);
        m_waitedInRound += job.WaitedOnStorage() ? 1 : 0;
        ++m_finishedInRound;
        if (m_waitedInRound == kWaitedToGrow) {
            grew = m_allowed < Ceiling();
            m_allowed = std::min(Ceiling(), m_allowed * 2);
            m_finishedInRound = m_waitedInRound = 0;
        } else if (m_finishedInRound == kRoundJobs) {
            if (m_waitedInRound == 0) {
                m_allowed = std::max(m_floor, m_allowed / 2);
            }
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

void FileTestPool::RunAlone(unsigned worker, const std::shared_ptr<FileTestJob>& job) {
    if (!TakePath(job)) {
        return;
    }
    int blocks = 0;
    job->Run([&] {
        MarkBusy(worker);
        if (++blocks == kBlocksOfALongRun && m_onProgress) {
            m_onProgress(*job);
        }
    });
    ReleasePath(job->Path());
    Settled(*job);
}

bool FileTestPool::TakePath(const std::shared_ptr<FileTestJob>& job) {
    const std::lock_guard lock(m_mutex);
    const auto [waiting, taken] = m_jobsWaitingForPath.try_emplace(job->Path());
    if (!taken) {
        waiting->second.push_back(job);
    }
    return taken;
}

// The jobs that waited for the path go first, in their order.
void FileTestPool::ReleasePath(const std::string& path) {
    bool requeued = false;
    {
        const std::lock_guard lock(m_mutex);
        const auto waiting = m_jobsWaitingForPath.find(path);
        requeued = !waiting->second.empty();
        m_queue.insert(m_queue.begin(), waiting->second.begin(), waiting->second.end());
        m_jobsWaitingForPath.erase(waiting);
    }
    if (requeued) {
        m_jobForActive.notify_all();
    }
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

// Small files are read together where the system can; the rest, and every
// file where it cannot, one by one: a worker tests one of them and gives the
// others back, so that a test that never ends holds up no other.
void FileTestPool::Work(unsigned worker) {
    std::unique_ptr<SmallFileReader> reader;
    bool readerTried = false;
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    // Without batched reads, each job is taken alone.
    while (NextJobs(worker, readerTried && !reader ? 1 : kSmallFilesPerBatch, jobs)) {
        MarkBusy(worker);
        if (jobs.size() > 1 && !readerTried) {
            reader = SmallFileReader::Create(kSingleReadLimit);
            readerTried = true;
        }
        if (jobs.size() > 1 && reader) {
            TestTogether(*reader, jobs);
        }
        std::erase_if(jobs, [](const auto& job) { return job->Done(); });
        if (!jobs.empty()) {
            GiveBack(std::span(jobs).subspan(1));
            MarkBusy(worker);
            RunAlone(worker, jobs.front());
        }
        MarkIdle(worker);
        jobs.clear();
    }
}

}  // namespace tarnwick
