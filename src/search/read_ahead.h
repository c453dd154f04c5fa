#pragma once

#include <QString>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "search/search_workers.h"

namespace tarnwick {

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

    // The finished test of the item at index, named text, under conditions:
    // the one made ahead when it was for the same text and conditions and did not
    // fail, else a test made now of the path that pathOf() gives, so that a
    // failure always describes the file as it is at its turn. The items
    // after it are tested ahead under the same conditions; those before it
    // whose turn never came are dropped. Waits while the event loop runs;
    // once stopRequested() answers true it gives nothing at once, whatever
    // the test is doing, and the test is cancelled.
    std::shared_ptr<const FileTestJob> TestedAtTurn(
        std::size_t index, const QString& text, const std::function<std::string()>& pathOf,
        const std::shared_ptr<const ContentConditions>& conditions,
        const std::function<bool()>& stopRequested);

private:
    struct AheadJob {
        std::size_t index;
        QString text;
        std::shared_ptr<FileTestJob> job;
    };

    void TopUp(std::size_t after, const std::shared_ptr<const ContentConditions>& conditions);
    std::shared_ptr<FileTestJob> TakeJobFor(
        std::size_t index, const QString& text,
        const std::shared_ptr<const ContentConditions>& conditions);
    // false when a stop came first.
    bool Await(FileTestJob& job, const std::function<bool()>& stopRequested);
    void CancelAll();

    SearchWorkers& m_workers;
    ItemAt m_itemAt;
    FileTestJob::Subject m_subject;
    std::size_t m_depth;
    // Shared with the jobs in the window, which hold bytes from it.
    std::shared_ptr<ByteAllowance> m_allowance;
    std::size_t m_nextIndex = 0;
    std::deque<AheadJob> m_window;
};

}  // namespace tarnwick
