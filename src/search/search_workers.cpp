#include "search/search_workers.h"

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

SearchWorkers::SearchWorkers(unsigned workers, std::int64_t bytesAhead)
    : m_bytesAhead(bytesAhead),
      m_pool(workers, [this](const FileTestJob& job) { JobProgressed(job); }) {}

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

}  // namespace tarnwick
