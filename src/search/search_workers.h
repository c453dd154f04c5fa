#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/file_test_pool.h"
#include "platform/system.h"

namespace tarnwick {

// The worker threads that test files for every search of a window, and the
// waiter through which the GUI thread sleeps until they have news.
class SearchWorkers {
public:
    // Enough for the paths of a full window and a few large folders.
    static constexpr std::int64_t kBytesAhead = std::int64_t{64} << 20;

    // workers: tests at once; 0 gives one per core, raised while the tests
    // wait for the storage. bytesAhead: what the tests made ahead of one
    // search may hold, in paths and folder listings.
    explicit SearchWorkers(unsigned workers, std::int64_t bytesAhead = kBytesAhead);

    FileTestPool& Pool() { return m_pool; }
    // Processes events, sleeping until one comes or until a worker has
    // settled job or begun a long job, unless job is done already.
    void WaitOnce(const FileTestJob& job);
    // Files tested ahead of a search: enough to keep every worker busy while
    // the search takes the verdicts in order, whatever the files' sizes.
    std::size_t ReadAheadDepth() const;
    std::int64_t ReadAheadBytes() const { return m_bytesAhead; }

private:
    // Called on a worker after each job and during a long one.
    void JobProgressed(const FileTestJob& job);

    EventLoopWaiter m_waiter;
    // The job whose turn it is: its end wakes the waiting GUI thread.
    std::atomic<const FileTestJob*> m_turn{nullptr};
    std::int64_t m_bytesAhead;
    FileTestPool m_pool;
};

}  // namespace tarnwick
