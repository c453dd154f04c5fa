#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "engine/file_test_pool.h"
#include "platform/system.h"

namespace tarnwick {

// The worker threads that test files for every search of a window, and the
// waiter through which the GUI thread sleeps until they have news.
class SearchWorkers {
public:
    // workers: tests at once; 0 gives one per core, raised while the tests
    // wait for the storage.
    explicit SearchWorkers(unsigned workers);

    FileTestPool& Pool() { return m_pool; }
    // Processes events, sleeping until one comes or until a worker has
    // settled job or begun a long job, unless job is done already.
    void WaitOnce(const FileTestJob& job);
    // Files tested ahead of a search: enough to keep every worker busy while
    // the search takes the verdicts in order, whatever the files' sizes.
    std::size_t ReadAheadDepth() const;

private:
    // Called on a worker after each job and during a long one.
    void JobProgressed(const FileTestJob& job);

    EventLoopWaiter m_waiter;
    // The job whose turn it is: its end wakes the waiting GUI thread.
    std::atomic<const FileTestJob*> m_turn{nullptr};
    FileTestPool m_pool;
};

// Tests the items that a search comes to next on the workers, in the
// search's order, and hands each tested job over at the item's turn.
class ReadAhead {
public:
    // An item as the search names it, and its path as the system takes it.
    struct Item {
        QString text;
        std::string path;
    };
    // itemAt(index) gives the search's item at index (from 0), or nothing
    // when there is no such item.
    using ItemAt = std::function<std::optional<Item>(std::size_t index)>;

    ReadAhead(SearchWorkers& workers, ItemAt itemAt, FileTestJob::Subject subject);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The finished test of the item at index, named text, under matcher: the
    // one made ahead when it was for the same text and matcher and did not
    // fail, else a test made now of the path that pathOf() gives, so that a
    // failure always describes the file as it is at its turn. The items
    // after it are tested ahead under the same matcher; those before it
    // whose turn never came are dropped. Waits while the event loop runs;
    // once stopRequested() answers true it gives nothing at once, whatever
    // the test is doing, and the test is cancelled.
    std::shared_ptr<const FileTestJob> TestedAtTurn(
        std::size_t index, const QString& text, const std::function<std::string()>& pathOf,
        const std::shared_ptr<const PhraseMatcher>& matcher,
        const std::function<bool()>& stopRequested);

private:
    struct AheadJob {
        std::size_t index;
        QString text;
        std::shared_ptr<FileTestJob> job;
    };

    void TopUp(std::size_t after, const std::shared_ptr<const PhraseMatcher>& matcher);
    std::shared_ptr<FileTestJob> TakeJobFor(std::size_t index, const QString& text,
                                            const std::shared_ptr<const PhraseMatcher>& matcher);
    // false when a stop came first.
    bool Await(FileTestJob& job, const std::function<bool()>& stopRequested);
    void CancelAll();

    SearchWorkers& m_workers;
    ItemAt m_itemAt;
    FileTestJob::Subject m_subject;
    std::size_t m_depth;
    std::size_t m_nextIndex = 0;
    std::deque<AheadJob> m_window;
};

}  // namespace tarnwick
