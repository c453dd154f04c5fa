#include "search/read_ahead.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <vector>

namespace tarnwick {

namespace {

// Files tested ahead per test running at once while the data is in memory,
// and per further test running at once while the storage is slow: when half
// the window is taken, the other half still holds two shares of the queue
// for every test, so no worker runs dry while the search waits in order for
// a file at the end of another worker's share.
constexpr std::size_t kFilesAheadPerWorker = 32;
constexpr std::size_t kFilesAheadPerStorageTest = 64;

}  // namespace

SearchWorkers::SearchWorkers(unsigned workers)
    : m_pool(workers, [this](const FileTestJob& job) { JobProgressed(job); }) {}

// A long job wakes the loop too, so that the verdicts before it are taken
// and the progress shows the file being read.
void SearchWorkers::JobProgressed(const FileTestJob& job) {
    // Pairs with the fence in the waiter: either the GUI thread's last look
    // sees the job done, or this sees the job it waits for.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!job.Done() || m_turn.load() == &job) {
        m_waiter.Wake();
    }
}

void SearchWorkers::WaitOnce(const FileTestJob& job) {
    // A wait may nest in the events another wait processes.
    const FileTestJob* const outerTurn = m_turn.exchange(&job);
    m_waiter.WaitOnce([&] { return job.Done(); });
    m_turn.store(outerTurn);
}

// While the storage is slow, the verdicts are taken in order behind a file
// that takes long to read; room for many files per test running at once lets
// the other tests go on meanwhile.
std::size_t SearchWorkers::ReadAheadDepth() const {
    return kFilesAheadPerWorker * m_pool.Workers() + kFilesAheadPerStorageTest * m_pool.Ceiling();
}

ReadAhead::ReadAhead(SearchWorkers& workers, ItemAt itemAt, FileTestJob::Subject subject)
    : m_workers(workers),
      m_itemAt(std::move(itemAt)),
      m_subject(subject),
      m_depth(workers.ReadAheadDepth()) {}

ReadAhead::~ReadAhead() {
    CancelAll();
}

void ReadAhead::CancelAll() {
    for (const AheadJob& ahead : m_window) {
        ahead.job->Cancel();
    }
}

std::shared_ptr<const FileTestJob> ReadAhead::TestedAtTurn(
    std::size_t index, const QString& text, const std::function<std::string()>& pathOf,
    const std::shared_ptr<const PhraseMatcher>& matcher,
    const std::function<bool()>& stopRequested) {
    std::shared_ptr<FileTestJob> job = TakeJobFor(index, text, matcher);
    TopUp(index, matcher);
    if (job && !Await(*job, stopRequested)) {
        return nullptr;
    }
    if (!job || job->Failed()) {
        job = std::make_shared<FileTestJob>(pathOf(), matcher, m_subject);
        m_workers.Pool().SubmitFirst(job);
        if (!Await(*job, stopRequested)) {
            return nullptr;
        }
    }
    return job;
}

// Once half the window is taken, fills it again and queues the new tests as
// one batch: the workers are woken and the pool's lock taken once per batch.
void ReadAhead::TopUp(std::size_t after, const std::shared_ptr<const PhraseMatcher>& matcher) {
    if (m_window.size() > m_depth / 2) {
        return;
    }
    m_nextIndex = std::max(m_nextIndex, after + 1);
    std::vector<std::shared_ptr<FileTestJob>> batch;
    while (m_window.size() < m_depth) {
        std::optional<Item> item = m_itemAt(m_nextIndex);
        if (!item) {
            break;
        }
        auto job = std::make_shared<FileTestJob>(std::move(item->path), matcher, m_subject);
        m_window.push_back({m_nextIndex++, std::move(item->text), job});
        batch.push_back(std::move(job));
    }
    m_workers.Pool().SubmitAll(batch);
}

std::shared_ptr<FileTestJob> ReadAhead::TakeJobFor(
    std::size_t index, const QString& text, const std::shared_ptr<const PhraseMatcher>& matcher) {
    const auto later = std::find_if(m_window.begin(), m_window.end(),
                                    [&](const AheadJob& ahead) { return ahead.index > index; });
    std::shared_ptr<FileTestJob> job;
    for (auto taken = m_window.begin(); taken != later; ++taken) {
        const bool same =
            taken->index == index && taken->text == text && taken->job->SharedMatcher() == matcher;
        if (same) {
            job = taken->job;
        } else {
            taken->job->Cancel();
        }
    }
    m_window.erase(m_window.begin(), later);
    return job;
}

// A stop is honoured at once: a test that does not end, such as a read from
// a share that does not answer, keeps its worker, never the run.
bool ReadAhead::Await(FileTestJob& job, const std::function<bool()>& stopRequested) {
    while (!job.Done() && !stopRequested()) {
        m_workers.WaitOnce(job);
    }
    if (stopRequested()) {
        job.Cancel();
        CancelAll();
        return false;
    }
    return true;
}

}  // namespace tarnwick
