#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "engine/file_test_pool.h"

namespace tarnwick {

// Tests the files that a search will come to next on the pool's workers, in
// the search's order, and hands each verdict over at the file's turn.
class ReadAhead {
public:
    ReadAhead(FileTestPool& pool, std::size_t depth) : m_pool(pool), m_depth(depth) {}
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    bool HasRoom() const { return m_window.size() < m_depth; }
    void Prefetch(std::string path, std::shared_ptr<const PhraseMatcher> matcher);

    // The verdict on path under matcher: the one tested ahead when it was
    // for the same path, phrase and mode, else a new test. Files tested
    // ahead of this one whose turn never came are dropped. Waits while the
    // event loop runs; once stopRequested() answers true the test is
    // cancelled and the verdict is Stopped.
    Expected<Verdict> VerdictFor(const std::string& path,
                                 const std::shared_ptr<const PhraseMatcher>& matcher,
                                 const std::function<bool()>& stopRequested);

private:
    std::shared_ptr<FileTestJob> TakeJobFor(const std::string& path);
    Expected<Verdict> Await(FileTestJob& job, const std::function<bool()>& stopRequested);
    void CancelAll();

    FileTestPool& m_pool;
    std::size_t m_depth;
    std::deque<std::shared_ptr<FileTestJob>> m_window;
};

}  // namespace tarnwick
