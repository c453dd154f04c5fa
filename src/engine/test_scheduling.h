#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/file_test_job.h"

namespace tarnwick {

// The decisions a pool of file tests makes, each apart from the threads that
// act on them.

// How many tests run at once: the floor while the data comes from memory;
// more, up to the ceiling, while tests keep waiting for the storage (a cold
// disk wants many reads in flight, a share one request per round trip). Not
// thread-safe: the pool calls it under its lock.
class TestsAtOnce {
public:
    TestsAtOnce(unsigned floor, unsigned ceiling);

    unsigned Floor() const { return m_floor; }
    unsigned Ceiling() const { return m_ceiling; }
    unsigned Allowed() const { return m_allowed; }
    // Counts a settled test; true when more tests may run at once now.
    bool Settled(bool waitedOnStorage);

private:
    unsigned m_floor;
    unsigned m_ceiling;
    unsigned m_allowed;
    unsigned m_finishedInRound = 0;
    unsigned m_waitedInRound = 0;
};

// Per worker, since when its test made no progress: a test that made none for
// a while (a file on a share that does not answer) holds its thread, and
// another may take its place. Thread-safe.
class StallWatch {
public:
    // A test that made no progress for this long holds its thread.
    static constexpr std::chrono::milliseconds kStallTime{250};

    explicit StallWatch(unsigned workers) : m_busySince(workers) {}

    // Marks worker busy as of now, or idle.
    void MarkBusy(unsigned worker);
    void MarkIdle(unsigned worker);
    // Workers whose test made no progress for a while.
    unsigned Stalled() const;

private:
    // In milliseconds of the steady clock; 0 while the worker waits for jobs.
    std::vector<std::atomic<std::int64_t>> m_busySince;
};

// The files tested one by one now, each with the jobs that wait for it: a
// second open of a file whose read a share never answers can block beyond the
// reach of any signal, so a second test of the same file waits without
// holding a thread. Not thread-safe: the pool calls it under its lock.
class PathsUnderTest {
public:
    // false when job was set to wait for the test of its file under way.
    bool Take(const std::shared_ptr<FileTestJob>& job);
    // The jobs that waited for the path, in their order.
    std::vector<std::shared_ptr<FileTestJob>> Release(const std::string& path);

private:
    std::unordered_map<std::string, std::vector<std::shared_ptr<FileTestJob>>> m_waiting;
};

// The folders of the tests under way, so that while the tests wait for the
// storage they spread over folders: a share may answer one look-up at a time
// in a folder (a FUSE file system without parallel folder operations does),
// and tests of neighbouring files in a list would then wait for each other.
// Not thread-safe: the pool calls it under its lock.
class FoldersUnderTest {
public:
    explicit FoldersUnderTest(unsigned workers) : m_heldBy(workers) {}

    // The position in queue of the first job, within reach of the front,
    // whose folder no test is under way in; 0 when there is none.
    std::size_t FirstInFreeFolder(const std::deque<std::shared_ptr<FileTestJob>>& queue) const;
    // Marks a test under way by worker in the folder of path, until the
    // worker releases it.
    void Hold(unsigned worker, std::string_view path);
    void Release(unsigned worker);

private:
    // Tests under way per folder, and the folder each worker holds ("" for none).
    std::map<std::string, unsigned, std::less<>> m_tests;
    std::vector<std::string> m_heldBy;
};

}  // namespace tarnwick
