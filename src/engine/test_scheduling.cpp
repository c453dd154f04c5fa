#include "engine/test_scheduling.h"

#include <algorithm>
#include <chrono>

#include "engine/file_system.h"

namespace tarnwick {

namespace {

// Jobs after which the count of tests at once is decided again, and how many
// of them must have waited for the storage to run more at once.
constexpr unsigned kRoundJobs = 16;
constexpr unsigned kWaitedToGrow = kRoundJobs / 4;

// Queued jobs looked at for one in a free folder: the files of a list mostly
// come folder by folder, so this reaches many folders.
constexpr std::size_t kFolderReach = 1024;

std::string_view FolderOf(std::string_view path) {
    const std::size_t separator = path.find_last_of(kPathSeparator);
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator);
}

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TestsAtOnce::TestsAtOnce(unsigned floor, unsigned ceiling)
    : m_floor(floor), m_ceiling(ceiling), m_allowed(floor) {}

// Doubles the tests at once as soon as a quarter of a round waited for the
// storage, so that a slow share is kept busy within a few round trips, and
// halves them when a whole round did not wait.
bool TestsAtOnce::Settled(bool waitedOnStorage) {
    m_waitedInRound += waitedOnStorage ? 1 : 0;
    ++m_finishedInRound;
    bool grew = false;
    if (m_waitedInRound == kWaitedToGrow) {
        grew = m_allowed < m_ceiling;
        m_allowed = std::min(m_ceiling, m_allowed * 2);
        m_finishedInRound = m_waitedInRound = 0;
    } else if (m_finishedInRound == kRoundJobs) {
        if (m_waitedInRound == 0) {
            m_allowed = std::max(m_floor, m_allowed / 2);
        }
        m_finishedInRound = m_waitedInRound = 0;
    }
    return grew;
}

void StallWatch::MarkBusy(unsigned worker) {
    m_busySince[worker].store(NowMilliseconds(), std::memory_order_relaxed);
}

void StallWatch::MarkIdle(unsigned worker) {
    m_busySince[worker].store(0, std::memory_order_relaxed);
}

unsigned StallWatch::Stalled() const {
    const std::int64_t stalledBefore = NowMilliseconds() - kStallTime.count();
    unsigned stalled = 0;
    for (const auto& since : m_busySince) {
        const std::int64_t busySince = since.load(std::memory_order_relaxed);
        stalled += busySince != 0 && busySince < stalledBefore ? 1 : 0;
    }
    return stalled;
}

bool PathsUnderTest::Take(const std::shared_ptr<FileTestJob>& job) {
    const auto [waiting, taken] = m_waiting.try_emplace(job->Path());
    if (!taken) {
        waiting->second.push_back(job);
    }
    return taken;
}

std::vector<std::shared_ptr<FileTestJob>> PathsUnderTest::Release(const std::string& path) {
    const auto waiting = m_waiting.find(path);
    std::vector<std::shared_ptr<FileTestJob>> jobs = std::move(waiting->second);
    m_waiting.erase(waiting);
    return jobs;
}

std::size_t FoldersUnderTest::FirstInFreeFolder(
    const std::deque<std::shared_ptr<FileTestJob>>& queue) const {
    if (m_tests.empty()) return 0;
    const std::size_t reach = std::min(queue.size(), kFolderReach);
    std::string_view busy;
    for (std::size_t i = 0; i < reach; ++i) {
        const std::string_view folder = FolderOf(queue[i]->Path());
        // Neighbours in one folder are looked up once.
        if (i > 0 && folder == busy) continue;
        if (!m_tests.contains(folder)) return i;
        busy = folder;
    }
    return 0;
}

void FoldersUnderTest::Hold(unsigned worker, std::string_view path) {
    Release(worker);
    const std::string_view folder = FolderOf(path);
    if (folder.empty()) return;
    m_heldBy[worker] = folder;
    ++m_tests[m_heldBy[worker]];
}

void FoldersUnderTest::Release(unsigned worker) {
    std::string& held = m_heldBy[worker];
    if (held.empty()) return;
    const auto tests = m_tests.find(held);
    if (--tests->second == 0) m_tests.erase(tests);
    held.clear();
}

}  // namespace tarnwick
